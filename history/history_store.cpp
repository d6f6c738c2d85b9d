#include "history_store.h"

#include "history_file.h"
#include "history_schema.h"

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
// per-housing tables, the housing.
struct TrimTarget {
    const char* table;
    const char* timeColumn;
    int housing; // -1: the table has none
    int Retention::*days;
};

constexpr TrimTarget trimTargets[] = {
    {"readings", "arrival_ms", 0, &Retention::rawDays},
    {"readings", "arrival_ms", 1, &Retention::rawDays},
    {"rollups", "minute_ms", 0, &Retention::rollupDays},
    {"rollups", "minute_ms", 1, &Retention::rollupDays},
    {"messages", "arrival_ms", -1, &Retention::eventDays},
    {"setpoint_changes", "time_ms", -1, &Retention::eventDays},
    {"link_changes", "time_ms", -1, &Retention::eventDays},
    {"alarm_records", "time_ms", -1, &Retention::eventDays},
};
constexpr int trimTargetCount = sizeof trimTargets / sizeof trimTargets[0];

} // namespace

HistoryStore::HistoryStore(std::string path, std::string connectionName)
    : path_(std::move(path)), connection_(QString::fromStdString(connectionName))
{
    lastArrival_.fill(none);
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
    for (auto* query :
        {&insertReading_, &insertMessage_, &insertSetpoint_, &insertLink_, &insertAlarm_, &rollUp_})
        query->reset();
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
    for (const char* pragma :
        {"PRAGMA busy_timeout = 2000", "PRAGMA journal_mode = WAL", "PRAGMA synchronous = NORMAL"})
        if (Fault fault = exec(QString::fromLatin1(pragma)); fault != Fault::None)
            return fault;
    QSqlQuery check(db_);
    if (!check.exec(QStringLiteral("PRAGMA quick_check(1)")) || !check.next())
        return fail(check.lastError(), "quick_check");
    if (check.value(0).toString() != QLatin1String("ok")) {
        lastError_ = "quick_check: " + check.value(0).toString().toStdString();
        return Fault::Damaged;
    }

    QSqlQuery version(db_);
    if (version.exec(QStringLiteral("SELECT max(version) FROM schema_version")) && version.next() &&
        version.value(0).toInt() > HistorySchema::version) {
        lastError_ = "schema version " + version.value(0).toString().toStdString() + ", this client writes " +
            std::to_string(HistorySchema::version);
        return Fault::NewerSchema;
    }
    if (Fault fault = exec(QStringLiteral("BEGIN")); fault != Fault::None)
        return fault;
    for (const std::string& statement : HistorySchema::createStatements(HistorySchema::Dialect::Sqlite))
        if (Fault fault = exec(QString::fromStdString(statement)); fault != Fault::None) {
            exec(QStringLiteral("ROLLBACK"));
            return fault;
        }
    const QString setVersion = QStringLiteral(
        "INSERT INTO schema_version (version) SELECT %1 WHERE NOT EXISTS (SELECT 1 FROM schema_version)")
                                   .arg(HistorySchema::version);
    if (Fault fault = exec(setVersion); fault != Fault::None) {
        exec(QStringLiteral("ROLLBACK"));
        return fault;
    }
    return exec(QStringLiteral("COMMIT"));
}

Fault HistoryStore::prepareStatements()
{
    struct Statement {
        std::unique_ptr<QSqlQuery>* query;
        const char* sql;
    };
    const Statement statements[] = {
        {&insertReading_,
            "INSERT INTO readings (housing, arrival_ms, reading_time, temperature, humidity, water) "
            "VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING"},
        {&insertMessage_,
            "INSERT INTO messages (arrival_ms, seq, priority, instrument_time, message_text) "
            "VALUES (?, ?, ?, ?, ?) ON CONFLICT DO NOTHING"},
        {&insertSetpoint_,
            "INSERT INTO setpoint_changes (time_ms, seq, housing, setpoint, old_value, new_value) "
            "VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING"},
        {&insertLink_,
            "INSERT INTO link_changes (time_ms, seq, kind, reason) VALUES (?, ?, ?, ?) ON CONFLICT DO "
            "NOTHING"},
        {&insertAlarm_,
            "INSERT INTO alarm_records (time_ms, seq, action, point, user_name) VALUES (?, ?, ?, ?, ?) "
            "ON CONFLICT DO NOTHING"},
        {&rollUp_, HistorySchema::rollUpStatement},
    };
    for (const Statement& statement : statements) {
        *statement.query = std::make_unique<QSqlQuery>(db_);
        if (!(*statement.query)->prepare(QString::fromLatin1(statement.sql)))
            return fail((*statement.query)->lastError(), "prepare");
    }
    return Fault::None;
}

// Where the keys go on: the last reading of each housing and the last
// sequence number of each event table.
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
    const std::pair<const char*, Sequence*> tables[] = {{"messages", &messageSeq_},
        {"setpoint_changes", &setpointSeq_}, {"link_changes", &linkSeq_}, {"alarm_records", &alarmSeq_}};
    for (const auto& [table, sequence] : tables) {
        const char* time = sequence == &messageSeq_ ? "arrival_ms" : "time_ms";
        const QString sql = QStringLiteral("SELECT %2, max(seq) FROM %1 WHERE %2 = (SELECT max(%2) FROM %1)")
                                .arg(QLatin1String(table), QLatin1String(time));
        if (!query.exec(sql))
            return fail(query.lastError(), "last sequence");
        if (query.next() && !query.value(0).isNull())
            *sequence = Sequence{query.value(0).toLongLong(), query.value(1).toInt() + 1};
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
    std::int64_t arrival = reading.arrivalMs;
    if (lastArrival_[housing] != none && arrival <= lastArrival_[housing])
        arrival = lastArrival_[housing] + 1;
    lastArrival_[housing] = arrival;
    const std::int64_t minute = minuteOf(arrival);
    if (minute != openMinute_[housing]) {
        if (openMinute_[housing] != none)
            completed_.emplace_back(housing, openMinute_[housing]);
        openMinute_[housing] = minute;
    }
    QSqlQuery& query = *insertReading_;
    query.bindValue(0, housing);
    query.bindValue(1, static_cast<qlonglong>(arrival));
    query.bindValue(2, static_cast<qlonglong>(reading.readingTime));
    query.bindValue(3, value(reading.temperature));
    query.bindValue(4, value(reading.humidity));
    query.bindValue(5, reading.water ? 1 : 0);
    if (!query.exec())
        return fail(query.lastError(), "insert reading");
    return Fault::None;
}

int HistoryStore::nextSeq(Sequence& sequence, std::int64_t timeMs)
{
    if (timeMs != sequence.lastMs) {
        sequence.lastMs = timeMs;
        sequence.next = 0;
    }
    return sequence.next++;
}

Fault HistoryStore::insertEvent(const Event& event)
{
    QSqlQuery* query = nullptr;
    if (const auto* message = std::get_if<MessageRecord>(&event)) {
        query = insertMessage_.get();
        query->bindValue(0, static_cast<qlonglong>(message->arrivalMs));
        query->bindValue(1, nextSeq(messageSeq_, message->arrivalMs));
        query->bindValue(2, message->priority);
        query->bindValue(3, static_cast<qlonglong>(message->instrumentTime));
        query->bindValue(4, QString::fromStdString(message->text));
    } else if (const auto* change = std::get_if<SetpointChange>(&event)) {
        query = insertSetpoint_.get();
        query->bindValue(0, static_cast<qlonglong>(change->timeMs));
        query->bindValue(1, nextSeq(setpointSeq_, change->timeMs));
        query->bindValue(2, change->housing);
        query->bindValue(3, static_cast<int>(change->which));
        query->bindValue(4, change->oldValue);
        query->bindValue(5, change->newValue);
    } else if (const auto* link = std::get_if<LinkChange>(&event)) {
        query = insertLink_.get();
        query->bindValue(0, static_cast<qlonglong>(link->timeMs));
        query->bindValue(1, nextSeq(linkSeq_, link->timeMs));
        query->bindValue(2, static_cast<int>(link->kind));
        query->bindValue(3, QString::fromStdString(link->reason));
    } else if (const auto* alarm = std::get_if<AlarmRecord>(&event)) {
        query = insertAlarm_.get();
        query->bindValue(0, static_cast<qlonglong>(alarm->timeMs));
        query->bindValue(1, nextSeq(alarmSeq_, alarm->timeMs));
        query->bindValue(2, static_cast<int>(alarm->action));
        query->bindValue(3, QString::fromStdString(alarm->point));
        query->bindValue(4, QString::fromStdString(alarm->user));
    }
    if (query && !query->exec())
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
    const TrimTarget& target = trimTargets[retentionTarget_];
    int deleted = 0;
    if (Fault fault = trim(retentionTarget_, nowMs - retention.*target.days * dayMs, deleted);
        fault != Fault::None)
        return fault;
    if (deleted < retentionBatch)
        retentionTarget_ = (retentionTarget_ + 1) % trimTargetCount;
    more = deleted >= retentionBatch || retentionTarget_ != 0;
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
