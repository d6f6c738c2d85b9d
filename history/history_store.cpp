#include "history_store.h"

#include "history_file.h"
#include "history_schema.h"

#include <QDateTime>
#include <QSqlError>
#include <QVariant>

#include <cmath>
#include <limits>

namespace History {

namespace {

constexpr std::int64_t dayMs = 24LL * 3600 * 1000;
constexpr std::int64_t none = std::numeric_limits<std::int64_t>::min();

QVariant value(double v)
{
    return std::isfinite(v) ? QVariant(v) : QVariant();
}

std::int64_t minuteOf(std::int64_t ms)
{
    return ms / HistoryStore::minuteMs * HistoryStore::minuteMs;
}

// What a retention step trims: a table, its time column and, for the
// per-housing tables, the housing; and the record that shows whether the
// clock ran on past the limit (a housing's readings or rollups, or -1:
// both housings' rollups).
struct TrimTarget {
    const char* table;
    const char* timeColumn;
    int housing; // -1: the table has none
    int Retention::*days;
    const char* recordTable;
    const char* recordColumn;
    int recordHousing;
};

constexpr TrimTarget trimTargets[] = {
    {"readings", "arrival_ms", 0, &Retention::rawDays, "readings", "arrival_ms", 0},
    {"readings", "arrival_ms", 1, &Retention::rawDays, "readings", "arrival_ms", 1},
    {"rollups", "minute_ms", 0, &Retention::rollupDays, "rollups", "minute_ms", 0},
    {"rollups", "minute_ms", 1, &Retention::rollupDays, "rollups", "minute_ms", 1},
    {"messages", "arrival_ms", -1, &Retention::eventDays, "rollups", "minute_ms", -1},
    {"setpoint_changes", "time_ms", -1, &Retention::eventDays, "rollups", "minute_ms", -1},
    {"link_changes", "time_ms", -1, &Retention::eventDays, "rollups", "minute_ms", -1},
    {"alarm_records", "time_ms", -1, &Retention::eventDays, "rollups", "minute_ms", -1},
};
constexpr int trimTargetCount = sizeof trimTargets / sizeof trimTargets[0];

std::string utcText(std::int64_t ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm 'UTC'"))
        .toStdString();
}

std::string daysText(std::int64_t ms)
{
    return std::to_string(ms / dayMs) + (ms / dayMs == 1 ? " day" : " days");
}

} // namespace

HistoryStore::HistoryStore(
    std::string path, std::string connectionName, std::shared_ptr<SqlInterrupt> interrupt)
    : path_(std::move(path)),
      connection_(QString::fromStdString(connectionName)),
      interrupt_(std::move(interrupt))
{
    lastArrival_.fill(none);
    newest_.fill(Newest{none, 0});
    openMinute_.fill(none);
}

HistoryStore::~HistoryStore()
{
    close();
}

bool HistoryStore::isOpen() const
{
    return db_.isOpen();
}

void HistoryStore::close()
{
    for (auto* query : {&appendReading_, &insertReading_, &insertMessage_, &insertSetpoint_, &insertLink_,
             &insertAlarm_, &rollUp_})
        query->reset();
    interrupt_->detach();
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection_);
    }
}

Fault HistoryStore::classify(const QSqlError& error)
{
    // SQLite's primary result code (the low byte of an extended one).
    const int code = error.nativeErrorCode().toInt() & 0xff;
    switch (code) {
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return Fault::Damaged;
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return Fault::Busy;
    default:
        // Read-only, full, I/O error, cannot open, and what else may come
        // from the file system: wait and try again.
        return Fault::Unwritable;
    }
}

Fault HistoryStore::fail(const QSqlError& error, const char* what)
{
    lastError_ = std::string(what) + ": " + error.text().toStdString() + " (SQLite code " +
        error.nativeErrorCode().toStdString() + ")";
    return classify(error);
}

Fault HistoryStore::exec(const QString& sql)
{
    QSqlQuery query(db_);
    if (!query.exec(sql))
        return fail(query.lastError(), sql.left(60).toUtf8().constData());
    return Fault::None;
}

Fault HistoryStore::open()
{
    close();
    HistoryFile::keepPrivate(path_);
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db_.setDatabaseName(QString::fromStdString(path_));
    if (!db_.open()) {
        const Fault fault = fail(db_.lastError(), "open");
        close();
        return fault;
    }
    interrupt_->attach(db_, busyWaitMs_);
    Fault fault = prepareFile();
    if (fault == Fault::None)
        fault = prepareStatements();
    if (fault == Fault::None)
        fault = readKeys();
    for (int housing = 0; housing < Housing::count && fault == Fault::None; ++housing)
        fault = rollUpFromLast(housing);
    if (fault != Fault::None)
        close();
    return fault;
}

Fault HistoryStore::prepareFile()
{
    // A file that is not a database fails the first statement (NOTADB); a
    // damaged one the check.
    for (const char* pragma : {"PRAGMA journal_mode = WAL", "PRAGMA synchronous = NORMAL"})
        if (Fault fault = exec(QString::fromLatin1(pragma)); fault != Fault::None)
            return fault;
    QSqlQuery check(db_);
    if (!check.exec(QStringLiteral("PRAGMA quick_check(1)")) || !check.next())
        return fail(check.lastError(), "quick_check");
    if (check.value(0).toString() != QLatin1String("ok")) {
        lastError_ = "quick_check: " + check.value(0).toString().toStdString();
        return Fault::Damaged;
    }
    check.finish();

    // A newer client's file is left as it is, even when it cannot be written.
    QSqlQuery version(db_);
    if (version.exec(QStringLiteral("SELECT max(version) FROM schema_version")) && version.next() &&
        version.value(0).toInt() > HistorySchema::version) {
        lastError_ = "schema version " + version.value(0).toString().toStdString() + ", this client writes " +
            std::to_string(HistorySchema::version);
        return Fault::NewerSchema;
    }
    version.finish();
    // Taken for writing first: a second client opening the file meanwhile
    // waits, then finds it prepared.
    if (Fault fault = exec(QStringLiteral("BEGIN IMMEDIATE")); fault != Fault::None)
        return fault;
    QSqlError error;
    std::string statement;
    const HistorySchema::Prepared prepared =
        HistorySchema::prepare(db_, HistorySchema::Dialect::Sqlite, upgradedFrom_, error, statement);
    if (prepared != HistorySchema::Prepared::Ready) {
        exec(QStringLiteral("ROLLBACK"));
        if (prepared == HistorySchema::Prepared::Newer) {
            lastError_ = "schema version " + std::to_string(upgradedFrom_) + ", this client writes " +
                std::to_string(HistorySchema::version);
            return Fault::NewerSchema;
        }
        return fail(error, statement.substr(0, 60).c_str());
    }
    return exec(QStringLiteral("COMMIT"));
}

Fault HistoryStore::prepareStatements()
{
    struct Statement {
        std::unique_ptr<QSqlQuery>* query;
        const char* sql;
    };
    // Each row takes the next number of its time: a clock that stepped
    // back, or a burst within one millisecond, keeps every row and its time.
    // A reading after the newest one is appended with the number it must
    // have (half the work), unless that key is taken after all.
    const std::string rollUp = HistorySchema::rollUpStatement(HistorySchema::Dialect::Sqlite);
    const Statement statements[] = {
        {&appendReading_,
            "INSERT INTO readings (housing, arrival_ms, reading_time, temperature, humidity, water, seq) "
            "VALUES (?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING"},
        {&insertReading_,
            "INSERT INTO readings (housing, arrival_ms, reading_time, temperature, humidity, water, seq) "
            "SELECT ?, ?, ?, ?, ?, ?, coalesce(max(seq) + 1, 0) FROM readings WHERE housing = ? AND "
            "arrival_ms = ?"},
        {&insertMessage_,
            "INSERT INTO messages (arrival_ms, seq, priority, instrument_time, message_text) "
            "SELECT ?, coalesce(max(seq) + 1, 0), ?, ?, ? FROM messages WHERE arrival_ms = ?"},
        {&insertSetpoint_,
            "INSERT INTO setpoint_changes (time_ms, seq, housing, setpoint, old_value, new_value) "
            "SELECT ?, coalesce(max(seq) + 1, 0), ?, ?, ?, ? FROM setpoint_changes WHERE time_ms = ?"},
        {&insertLink_,
            "INSERT INTO link_changes (time_ms, seq, kind, reason) "
            "SELECT ?, coalesce(max(seq) + 1, 0), ?, ? FROM link_changes WHERE time_ms = ?"},
        {&insertAlarm_,
            "INSERT INTO alarm_records (time_ms, seq, action, point, user_name, point_key, comment, "
            "until_ms, "
            "value, setpoint) "
            "SELECT ?, coalesce(max(seq) + 1, 0), ?, ?, ?, ?, ?, ?, ?, ? FROM alarm_records WHERE time_ms = "
            "?"},
        {&rollUp_, rollUp.c_str()},
    };
    for (const Statement& statement : statements) {
        *statement.query = std::make_unique<QSqlQuery>(db_);
        if (!(*statement.query)->prepare(QString::fromLatin1(statement.sql)))
            return fail((*statement.query)->lastError(), "prepare");
    }
    return Fault::None;
}

// Where the rollups go on: the last reading of each housing.
Fault HistoryStore::readKeys()
{
    QSqlQuery query(db_);
    for (int housing = 0; housing < Housing::count; ++housing) {
        query.prepare(QStringLiteral("SELECT max(arrival_ms) FROM readings WHERE housing = ?"));
        query.addBindValue(housing);
        if (!query.exec() || !query.next())
            return fail(query.lastError(), "last reading");
        lastArrival_[housing] = query.value(0).isNull() ? none : query.value(0).toLongLong();
        openMinute_[housing] = lastArrival_[housing] == none ? none : minuteOf(lastArrival_[housing]);
    }
    return Fault::None;
}

// After a SIGKILL the minutes since the last rollup have none (or a partial
// one): they are rolled up again from the raw rows.
Fault HistoryStore::rollUpFromLast(int housing)
{
    if (lastArrival_[housing] == none)
        return Fault::None;
    QSqlQuery query(db_);
    query.prepare(QStringLiteral("SELECT max(minute_ms) FROM rollups WHERE housing = ?"));
    query.addBindValue(housing);
    if (!query.exec() || !query.next())
        return fail(query.lastError(), "last rollup");
    const std::int64_t from = query.value(0).isNull() ? none : query.value(0).toLongLong();
    return rollUp(housing, from, openMinute_[housing] + minuteMs);
}

Fault HistoryStore::rollUp(int housing, std::int64_t fromMs, std::int64_t toMs)
{
    rollUp_->bindValue(0, housing);
    rollUp_->bindValue(1, static_cast<qlonglong>(fromMs));
    rollUp_->bindValue(2, static_cast<qlonglong>(toMs));
    if (!rollUp_->exec())
        return fail(rollUp_->lastError(), "rollup");
    return Fault::None;
}

Fault HistoryStore::write(const Batch& batch)
{
    if (!isOpen())
        return Fault::Unwritable;
    if (Fault fault = exec(QStringLiteral("BEGIN IMMEDIATE")); fault != Fault::None)
        return fault;
    Fault fault = Fault::None;
    for (const Reading& reading : batch.readings)
        if ((fault = insertReading(reading)) != Fault::None)
            break;
    for (const Event& event : batch.events) {
        if (fault != Fault::None)
            break;
        fault = insertEvent(event);
    }
    for (const auto& [housing, minute] : completed_) {
        if (fault != Fault::None)
            break;
        fault = rollUp(housing, minute, minute + minuteMs);
    }
    if (fault == Fault::None)
        fault = exec(QStringLiteral("COMMIT"));
    if (fault != Fault::None) {
        // The keys handed out stay used: a retried batch never reuses them.
        exec(QStringLiteral("ROLLBACK"));
        return fault;
    }
    completed_.clear();
    return Fault::None;
}

Fault HistoryStore::insertReading(const Reading& reading)
{
    if (reading.housing < 0 || reading.housing >= Housing::count)
        return Fault::None;
    const int housing = reading.housing;
    const auto arrival = static_cast<qlonglong>(reading.arrivalMs);
    const std::int64_t minute = minuteOf(reading.arrivalMs);
    if (minute != openMinute_[housing]) {
        if (openMinute_[housing] != none)
            completed_.emplace_back(housing, openMinute_[housing]);
        openMinute_[housing] = minute;
    }
    // Both statements take the row's values first, then its number or where to look it up.
    auto bindRow = [&](QSqlQuery& query) {
        query.bindValue(0, housing);
        query.bindValue(1, arrival);
        query.bindValue(2, static_cast<qlonglong>(reading.readingTime));
        query.bindValue(3, value(reading.temperature));
        query.bindValue(4, value(reading.humidity));
        query.bindValue(5, reading.water ? 1 : 0);
    };
    Newest& newest = newest_[housing];
    if (reading.arrivalMs >= newest.timeMs) {
        const int seq = reading.arrivalMs == newest.timeMs ? newest.nextSeq : 0;
        newest = Newest{reading.arrivalMs, seq + 1};
        bindRow(*appendReading_);
        appendReading_->bindValue(6, seq);
        if (!appendReading_->exec())
            return fail(appendReading_->lastError(), "insert reading");
        if (appendReading_->numRowsAffected() == 1)
            return Fault::None;
    }
    bindRow(*insertReading_);
    insertReading_->bindValue(6, housing);
    insertReading_->bindValue(7, arrival);
    if (!insertReading_->exec())
        return fail(insertReading_->lastError(), "insert reading");
    return Fault::None;
}

Fault HistoryStore::insertEvent(const Event& event)
{
    QSqlQuery* query = nullptr;
    qlonglong time = 0;
    int last = 0; // the time again, for its next number
    if (const auto* message = std::get_if<MessageRecord>(&event)) {
        query = insertMessage_.get();
        time = message->arrivalMs;
        last = 4;
        query->bindValue(1, message->priority);
        query->bindValue(2, static_cast<qlonglong>(message->instrumentTime));
        query->bindValue(3, QString::fromStdString(message->text));
    } else if (const auto* change = std::get_if<SetpointChange>(&event)) {
        query = insertSetpoint_.get();
        time = change->timeMs;
        last = 5;
        query->bindValue(1, change->housing);
        query->bindValue(2, static_cast<int>(change->which));
        query->bindValue(3, change->oldValue);
        query->bindValue(4, change->newValue);
    } else if (const auto* link = std::get_if<LinkChange>(&event)) {
        query = insertLink_.get();
        time = link->timeMs;
        last = 3;
        query->bindValue(1, static_cast<int>(link->kind));
        query->bindValue(2, QString::fromStdString(link->reason));
    } else if (const auto* alarm = std::get_if<AlarmRecord>(&event)) {
        query = insertAlarm_.get();
        time = alarm->timeMs;
        last = 9;
        query->bindValue(1, static_cast<int>(alarm->action));
        query->bindValue(2, QString::fromStdString(alarm->point));
        query->bindValue(3, QString::fromStdString(alarm->user));
        query->bindValue(4, QString::fromStdString(alarm->pointKey));
        query->bindValue(5, QString::fromStdString(alarm->comment));
        query->bindValue(6, static_cast<qlonglong>(alarm->untilMs));
        query->bindValue(7, value(alarm->value));
        query->bindValue(8, value(alarm->setpoint));
    }
    if (!query)
        return Fault::None;
    query->bindValue(0, time);
    query->bindValue(last, time);
    if (!query->exec())
        return fail(query->lastError(), "insert event");
    return Fault::None;
}

Fault HistoryStore::finishRollups()
{
    if (!isOpen())
        return Fault::Unwritable;
    for (int housing = 0; housing < Housing::count; ++housing)
        if (openMinute_[housing] != none)
            completed_.emplace_back(housing, openMinute_[housing]);
    return write(Batch{});
}

Fault HistoryStore::retentionStep(std::int64_t nowMs, const Retention& retention, bool& more)
{
    more = false;
    if (!isOpen())
        return Fault::Unwritable;
    if (retentionTarget_ == 0)
        held_.clear();
    const TrimTarget& target = trimTargets[retentionTarget_];
    const std::int64_t cutoff = nowMs - retention.*target.days * dayMs;
    std::string gap;
    if (Fault fault = gapAt(retentionTarget_, cutoff, nowMs, gap); fault != Fault::None)
        return fault;
    int deleted = 0;
    if (!gap.empty() && held_.empty())
        held_ = gap;
    if (gap.empty())
        if (Fault fault = trim(retentionTarget_, cutoff, deleted); fault != Fault::None)
            return fault;
    if (deleted < retentionBatch)
        retentionTarget_ = (retentionTarget_ + 1) % trimTargetCount;
    more = deleted >= retentionBatch || retentionTarget_ != 0;
    return Fault::None;
}

// The newest row of the target's record before the cutoff and the oldest
// from it on: `gap` says what lies between them when that is too long.
Fault HistoryStore::gapAt(int target, std::int64_t cutoffMs, std::int64_t nowMs, std::string& gap)
{
    const TrimTarget& t = trimTargets[target];
    const QString sql = QStringLiteral("SELECT (SELECT max(%2) FROM %1 WHERE housing = ? AND %2 < ?), "
                                       "(SELECT min(%2) FROM %1 WHERE housing = ? AND %2 >= ?)")
                            .arg(QLatin1String(t.recordTable), QLatin1String(t.recordColumn));
    std::int64_t before = none;
    std::int64_t after = std::numeric_limits<std::int64_t>::max();
    QSqlQuery query(db_);
    query.prepare(sql);
    for (int housing = 0; housing < Housing::count; ++housing) {
        if (t.recordHousing >= 0 && housing != t.recordHousing)
            continue;
        query.bindValue(0, housing);
        query.bindValue(1, static_cast<qlonglong>(cutoffMs));
        query.bindValue(2, housing);
        query.bindValue(3, static_cast<qlonglong>(cutoffMs));
        if (!query.exec() || !query.next())
            return fail(query.lastError(), "retention limit");
        if (!query.value(0).isNull())
            before = std::max<std::int64_t>(before, query.value(0).toLongLong());
        if (!query.value(1).isNull())
            after = std::min<std::int64_t>(after, query.value(1).toLongLong());
    }
    if (before == none)
        return Fault::None; // nothing recorded before the limit
    const std::string what = std::string(t.table) + " before " + utcText(cutoffMs);
    if (after == std::numeric_limits<std::int64_t>::max())
        gap = what + ": the clock (" + utcText(nowMs) + ") is " + daysText(nowMs - before) +
            " past the newest row recorded (" + utcText(before) + ")";
    else if (after - before >= retentionGapMs)
        gap = what + ": nothing was recorded from " + utcText(before) + " to " + utcText(after);
    return Fault::None;
}

// Deletes the oldest rows before the cutoff, up to a batch of them (more
// when several share the last time).
Fault HistoryStore::trim(int target, std::int64_t cutoffMs, int& deleted)
{
    const TrimTarget& t = trimTargets[target];
    const QString housing = t.housing < 0 ? QString() : QStringLiteral(" AND housing = %1").arg(t.housing);
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE %2 < ?%3 AND %2 <= (SELECT max(%2) FROM "
                                       "(SELECT %2 FROM %1 WHERE %2 < ?%3 ORDER BY %2 LIMIT %4) AS oldest)")
                            .arg(QLatin1String(t.table), QLatin1String(t.timeColumn), housing)
                            .arg(retentionBatch);
    QSqlQuery query(db_);
    query.prepare(sql);
    query.addBindValue(static_cast<qlonglong>(cutoffMs));
    query.addBindValue(static_cast<qlonglong>(cutoffMs));
    if (!query.exec())
        return fail(query.lastError(), "retention");
    deleted = query.numRowsAffected();
    return Fault::None;
}

} // namespace History
