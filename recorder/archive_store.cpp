#include "archive_store.h"

#include "alarm_room_schema.h"
#include "history_schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>

namespace Recorder {

namespace {

using History::Event;

// Tables are created under this lock, so that two recorders starting
// together do not both create them.
constexpr const char* createLock = "SELECT pg_advisory_xact_lock(4711180)";

QString literal(double value)
{
    return std::isfinite(value) ? QString::number(value, 'g', 17) : QStringLiteral("NULL");
}

// A text as an SQL literal (standard_conforming_strings, PostgreSQL's
// default since 9.1: only the quote is doubled).
QString literalText(const std::string& text)
{
    QString quoted = QString::fromStdString(text);
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

std::int64_t minuteOf(std::int64_t ms)
{
    return ms >= 0 ? ms / ArchiveStore::minuteMs * ArchiveStore::minuteMs
                   : (ms - ArchiveStore::minuteMs + 1) / ArchiveStore::minuteMs * ArchiveStore::minuteMs;
}

} // namespace

ArchiveStore::ArchiveStore(
    History::ArchiveAddress address, std::string connectionName, std::string instrument)
    : address_(std::move(address)),
      connection_(QString::fromStdString(connectionName)),
      instrument_(std::move(instrument))
{}

QString ArchiveStore::ofInstrument() const
{
    return shared() ? QStringLiteral("instrument = ? AND ") : QString();
}

QString ArchiveStore::instrumentColumn() const
{
    return shared() ? QStringLiteral("instrument, ") : QString();
}

QString ArchiveStore::instrumentValue() const
{
    return shared() ? QStringLiteral("?, ") : QString();
}

void ArchiveStore::bindInstrument(QSqlQuery& query) const
{
    if (shared())
        query.addBindValue(QString::fromStdString(instrument_));
}

ArchiveStore::~ArchiveStore()
{
    close();
}

void ArchiveStore::close()
{
    if (!db_.isValid())
        return;
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

// libpq's texts are the only way to tell these apart at connection time
// (no SQLSTATE comes with them).
ArchiveStore::Outcome ArchiveStore::classify(const QSqlError& error)
{
    const QString text = error.text() + QLatin1Char(' ') + error.nativeErrorCode();
    if (text.contains(QLatin1String("password authentication failed")) ||
        text.contains(QLatin1String("no password supplied")) || text.contains(QLatin1String("28P01")) ||
        (text.contains(QLatin1String("role \"")) && text.contains(QLatin1String("does not exist"))))
        return Outcome::Refused;
    if ((text.contains(QLatin1String("database \"")) && text.contains(QLatin1String("does not exist"))) ||
        text.contains(QLatin1String("3D000")))
        return Outcome::NoDatabase;
    return Outcome::Unreachable;
}

// SQLSTATE classes (PostgreSQL) and primary result codes (SQLite) of
// conditions that pass: the same statement may well succeed later.
bool ArchiveStore::refusesRows(const QSqlError& error, History::ArchiveAddress::Kind kind)
{
    const QString code = error.nativeErrorCode();
    if (kind == History::ArchiveAddress::Kind::Sqlite) {
        bool number = false;
        const int primary = code.toInt(&number) & 0xff;
        // BUSY, LOCKED, NOMEM, IOERR, FULL, CANTOPEN, PROTOCOL
        return number && primary != 5 && primary != 6 && primary != 7 && primary != 10 && primary != 13 &&
            primary != 14 && primary != 15;
    }
    // No SQLSTATE: libpq's own error, the connection is gone.
    if (code.size() != 5)
        return false;
    // Connection (08), resources (53), operator intervention (57), system
    // (58), a rolled-back transaction (40: deadlock, serialization), a lock
    // not available (55P03), an internal error (XX).
    for (const char* passing : {"08", "53", "57", "58", "40", "XX"})
        if (code.startsWith(QLatin1String(passing)))
            return false;
    return code != QLatin1String("55P03");
}

// Log lines quote the server's text, which may repeat a whole row (a
// failing row's detail): kept to a line's length.
ArchiveStore::Outcome ArchiveStore::fail(const QSqlError& error, const char* what)
{
    QString text = error.text().simplified();
    if (text.size() > 300)
        text = text.left(300) + QStringLiteral("...");
    lastError_ = std::string(what) + ": " + text.toStdString();
    return refusesRows(error, address_.kind) ? Outcome::Rejected : Outcome::Unreachable;
}

ArchiveStore::Outcome ArchiveStore::failConnect(const QSqlError& error)
{
    fail(error, "connect");
    return classify(error);
}

ArchiveStore::Outcome ArchiveStore::exec(const QString& sql)
{
    QSqlQuery query(db_);
    if (!query.exec(sql))
        return fail(query.lastError(), sql.left(40).toUtf8().constData());
    return Outcome::Ok;
}

ArchiveStore::Outcome ArchiveStore::open()
{
    close();
    // libpq's shortest limit: a stop must not wait long on a silent host.
    db_ = address_.addDatabase(connection_, 2);
    if (!db_.open()) {
        const Outcome outcome = failConnect(db_.lastError());
        close();
        return outcome;
    }
    // PostgreSQL's notices ("already exists, skipping") would go to
    // standard error, the recorder's log.
    Outcome outcome = exec(address_.kind == History::ArchiveAddress::Kind::Sqlite
            ? QStringLiteral("PRAGMA journal_mode = WAL")
            : QStringLiteral("SET client_min_messages = warning"));
    if (outcome == Outcome::Ok)
        outcome = createTables();
    for (int housing = 0; housing < Housing::count && outcome == Outcome::Ok; ++housing)
        outcome = rollUpLeftOpen(housing);
    if (outcome != Outcome::Ok)
        close();
    return outcome;
}

ArchiveStore::Outcome ArchiveStore::createTables()
{
    const bool postgres = address_.kind == History::ArchiveAddress::Kind::Postgres;
    // A newer archive is refused before anything is locked (a table not yet
    // there fails this query; the creation below tells).
    QSqlQuery version(db_);
    if (version.exec(QStringLiteral("SELECT max(version) FROM schema_version")) && version.next() &&
        version.value(0).toInt() > HistorySchema::version)
        return newerSchema(version.value(0).toInt());
    version.finish();
    // Under the lock the version is read again: of two recorders starting
    // together, the second finds the tables made, or brought up to date.
    if (Outcome outcome = exec(postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
        outcome != Outcome::Ok)
        return outcome;
    if (postgres)
        if (Outcome outcome = exec(QString::fromLatin1(createLock)); outcome != Outcome::Ok) {
            exec(QStringLiteral("ROLLBACK"));
            return outcome;
        }
    int from = 0;
    QSqlError error;
    std::string statement;
    const HistorySchema::Prepared prepared = HistorySchema::prepare(db_,
        postgres ? HistorySchema::Dialect::Postgres : HistorySchema::Dialect::Sqlite, from, error, statement,
        instrument_);
    if (prepared != HistorySchema::Prepared::Ready) {
        const Outcome outcome = prepared == HistorySchema::Prepared::Newer
            ? newerSchema(from)
            : fail(error, statement.substr(0, 40).c_str());
        const std::string why = lastError_;
        exec(QStringLiteral("ROLLBACK"));
        lastError_ = why;
        return outcome;
    }
    upgradedFrom_ = from;
    if (postgres)
        for (const std::string& sql : AlarmRoomSchema::createStatements())
            if (Outcome outcome = exec(QString::fromStdString(sql)); outcome != Outcome::Ok) {
                const std::string why = lastError_;
                exec(QStringLiteral("ROLLBACK"));
                lastError_ = why;
                return outcome;
            }
    return exec(QStringLiteral("COMMIT"));
}

ArchiveStore::Outcome ArchiveStore::newerSchema(int found)
{
    lastError_ = "the archive's schema is version " + std::to_string(found) +
        "; this recorder writes version " + std::to_string(HistorySchema::version);
    return Outcome::NewerSchema;
}

// The minutes since the last rollup up to the last reading: what a recorder
// that stopped without finishing left open.
ArchiveStore::Outcome ArchiveStore::rollUpLeftOpen(int housing)
{
    QSqlQuery query(db_);
    query.prepare(QStringLiteral("SELECT (SELECT max(minute_ms) FROM rollups WHERE %1housing = ?), "
                                 "(SELECT max(arrival_ms) FROM readings WHERE %1housing = ?)")
                      .arg(ofInstrument()));
    bindInstrument(query);
    query.addBindValue(housing);
    bindInstrument(query);
    query.addBindValue(housing);
    if (!query.exec() || !query.next())
        return fail(query.lastError(), "last rollup");
    if (query.value(1).isNull())
        return Outcome::Ok;
    const std::int64_t last = query.value(1).toLongLong();
    const std::int64_t from = query.value(0).isNull() ? minuteOf(last) : query.value(0).toLongLong();
    query.finish();
    return rollUp(housing, from, minuteOf(last) + minuteMs);
}

ArchiveStore::Outcome ArchiveStore::rollUp(int housing, std::int64_t fromMs, std::int64_t toMs)
{
    QSqlQuery query(db_);
    query.prepare(QString::fromStdString(HistorySchema::rollUpStatement(
        shared() ? HistorySchema::Dialect::Postgres : HistorySchema::Dialect::Sqlite)));
    bindInstrument(query);
    query.addBindValue(housing);
    query.addBindValue(static_cast<qlonglong>(fromMs));
    query.addBindValue(static_cast<qlonglong>(toMs));
    if (!query.exec())
        return fail(query.lastError(), "rollup");
    return Outcome::Ok;
}

void ArchiveStore::noteMinute(int housing, std::int64_t arrivalMs)
{
    const std::int64_t minute = minuteOf(arrivalMs);
    if (minute == openMinute_[housing])
        return;
    if (openMinute_[housing] != none)
        completed_.emplace_back(housing, openMinute_[housing]);
    openMinute_[housing] = minute;
}

ArchiveStore::Outcome ArchiveStore::write(const History::Batch& batch)
{
    if (!isOpen())
        return Outcome::Unreachable;
    if (Outcome outcome = exec(QStringLiteral("BEGIN")); outcome != Outcome::Ok)
        return outcome;
    // Minutes noted here are rolled up even when this transaction fails:
    // the rollup of a later batch recomputes them from what is there.
    for (const History::Reading& reading : batch.readings)
        noteMinute(reading.housing, reading.arrivalMs);
    Outcome outcome = insertReadings(batch.readings);
    for (std::size_t i = 0; i < batch.events.size() && outcome == Outcome::Ok; ++i)
        outcome = insertEvent(batch.events[i]);
    for (std::size_t i = 0; i < completed_.size() && outcome == Outcome::Ok; ++i)
        outcome = rollUp(completed_[i].first, completed_[i].second, completed_[i].second + minuteMs);
    if (outcome == Outcome::Ok)
        outcome = exec(QStringLiteral("COMMIT"));
    if (outcome != Outcome::Ok) {
        const std::string why = lastError_;
        exec(QStringLiteral("ROLLBACK"));
        lastError_ = why;
        return outcome;
    }
    completed_.clear();
    return Outcome::Ok;
}

ArchiveStore::Outcome ArchiveStore::underSavepoint(const std::function<Outcome()>& write, std::string& why)
{
    // Only the row itself may be refused: a failing savepoint means the
    // transaction is no good, and the batch is tried again later.
    if (exec(QStringLiteral("SAVEPOINT kov_row")) != Outcome::Ok)
        return Outcome::Unreachable;
    const Outcome outcome = write();
    if (outcome == Outcome::Ok)
        return exec(QStringLiteral("RELEASE SAVEPOINT kov_row")) == Outcome::Ok ? Outcome::Ok
                                                                                : Outcome::Unreachable;
    if (outcome != Outcome::Rejected)
        return outcome;
    why = lastError_;
    return exec(QStringLiteral("ROLLBACK TO SAVEPOINT kov_row")) == Outcome::Ok ? Outcome::Rejected
                                                                                : Outcome::Unreachable;
}

ArchiveStore::Outcome ArchiveStore::rowByRow(const History::Batch& batch, std::vector<RefusedRow>& refused)
{
    using Kind = RefusedRow::Kind;
    for (const History::Reading& reading : batch.readings)
        noteMinute(reading.housing, reading.arrivalMs);
    std::string why;
    for (std::size_t i = 0; i < batch.readings.size(); ++i) {
        const std::vector<History::Reading> one{batch.readings[i]};
        const Outcome outcome = underSavepoint([&] { return insertReadings(one); }, why);
        if (outcome == Outcome::Rejected)
            refused.push_back({Kind::Reading, i, why});
        else if (outcome != Outcome::Ok)
            return outcome;
    }
    for (std::size_t i = 0; i < batch.events.size(); ++i) {
        const Outcome outcome = underSavepoint([&] { return insertEvent(batch.events[i]); }, why);
        if (outcome == Outcome::Rejected)
            refused.push_back({Kind::Event, i, why});
        else if (outcome != Outcome::Ok)
            return outcome;
    }
    // A minute whose rollup is refused is not tried again: the raw rows
    // are there, and a later rollup of it recomputes it from them.
    for (const auto& [housing, minute] : completed_) {
        const Outcome outcome =
            underSavepoint([&, h = housing, m = minute] { return rollUp(h, m, m + minuteMs); }, why);
        if (outcome == Outcome::Rejected)
            refused.push_back({Kind::Rollup, static_cast<std::size_t>(housing), why});
        else if (outcome != Outcome::Ok)
            return outcome;
    }
    return exec(QStringLiteral("COMMIT"));
}

ArchiveStore::Outcome ArchiveStore::writeRowByRow(
    const History::Batch& batch, std::vector<RefusedRow>& refused)
{
    refused.clear();
    if (!isOpen())
        return Outcome::Unreachable;
    if (Outcome outcome = exec(QStringLiteral("BEGIN")); outcome != Outcome::Ok)
        return outcome;
    const Outcome outcome = rowByRow(batch, refused);
    if (outcome != Outcome::Ok) {
        const std::string why = lastError_;
        exec(QStringLiteral("ROLLBACK"));
        lastError_ = why;
        refused.clear();
        return outcome;
    }
    completed_.clear();
    return Outcome::Ok;
}

// Numbers only, so written as literals: one statement per few hundred rows
// is what makes thousands of rows a second cheap.
ArchiveStore::Outcome ArchiveStore::insertReadings(const std::vector<History::Reading>& readings)
{
    const QString head = QStringLiteral("INSERT INTO readings (%1housing, arrival_ms, seq, reading_time, "
                                        "temperature, humidity, water) VALUES ")
                             .arg(shared() ? QStringLiteral("instrument, ") : QString());
    // Quoted once: the name goes into every row of the statement.
    const QString instrument = shared() ? literalText(instrument_) + QLatin1Char(',') : QString();
    for (std::size_t start = 0; start < readings.size(); start += rowsPerStatement) {
        QString sql = head;
        sql.reserve(head.size() + 80 * rowsPerStatement);
        const std::size_t end = std::min(readings.size(), start + rowsPerStatement);
        for (std::size_t i = start; i < end; ++i) {
            const History::Reading& r = readings[i];
            // The name is added as it is, never through arg(): it may hold a "%1".
            sql += (i == start ? QStringLiteral("(") : QStringLiteral(",(")) + instrument +
                QStringLiteral("%1,%2,%3,%4,%5,%6,%7)")
                    .arg(r.housing)
                    .arg(r.arrivalMs)
                    .arg(r.seq)
                    .arg(r.readingTime)
                    .arg(literal(r.temperature), literal(r.humidity))
                    .arg(r.water ? 1 : 0);
        }
        sql += QStringLiteral(" ON CONFLICT DO NOTHING");
        if (Outcome outcome = exec(sql); outcome != Outcome::Ok)
            return outcome;
    }
    return Outcome::Ok;
}

// The keys are RecordKeys', given on arrival: a row already there is the
// same record, written again or by a second recorder.
ArchiveStore::Outcome ArchiveStore::insertEvent(const Event& event)
{
    QSqlQuery query(db_);
    if (const auto* message = std::get_if<History::MessageRecord>(&event)) {
        query.prepare(QStringLiteral("INSERT INTO messages (%1arrival_ms, seq, priority, instrument_time, "
                                     "message_text) VALUES (%2?, ?, ?, ?, ?) ON CONFLICT DO NOTHING")
                          .arg(instrumentColumn(), instrumentValue()));
        bindInstrument(query);
        query.addBindValue(static_cast<qlonglong>(message->arrivalMs));
        query.addBindValue(message->seq);
        query.addBindValue(message->priority);
        query.addBindValue(static_cast<qlonglong>(message->instrumentTime));
        query.addBindValue(QString::fromStdString(message->text));
    } else if (const auto* link = std::get_if<History::LinkChange>(&event)) {
        query.prepare(QStringLiteral("INSERT INTO link_changes (%1time_ms, seq, kind, reason) VALUES "
                                     "(%2?, ?, ?, ?) ON CONFLICT DO NOTHING")
                          .arg(instrumentColumn(), instrumentValue()));
        bindInstrument(query);
        query.addBindValue(static_cast<qlonglong>(link->timeMs));
        query.addBindValue(link->seq);
        query.addBindValue(static_cast<int>(link->kind));
        query.addBindValue(QString::fromStdString(link->reason));
    } else if (const auto* change = std::get_if<History::SetpointChange>(&event)) {
        query.prepare(
            QStringLiteral("INSERT INTO setpoint_changes (%1time_ms, seq, housing, setpoint, "
                           "old_value, new_value) VALUES (%2?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING")
                .arg(instrumentColumn(), instrumentValue()));
        bindInstrument(query);
        query.addBindValue(static_cast<qlonglong>(change->timeMs));
        query.addBindValue(change->seq);
        query.addBindValue(change->housing);
        query.addBindValue(static_cast<int>(change->which));
        query.addBindValue(change->oldValue);
        query.addBindValue(change->newValue);
    } else {
        // Alarm records are the alarm service's: it numbers and writes them
        // itself, while it holds the instrument's service lock.
        return Outcome::Ok;
    }
    if (!query.exec())
        return fail(query.lastError(), "insert event");
    return Outcome::Ok;
}

ArchiveStore::Outcome ArchiveStore::finishRollups()
{
    for (int housing = 0; housing < Housing::count; ++housing)
        if (openMinute_[housing] != none)
            completed_.emplace_back(housing, openMinute_[housing]);
    return write(History::Batch{});
}

} // namespace Recorder
