#include "alarm_room.h"

#include "alarm_room_schema.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>

namespace Recorder {

namespace {

// A silent server is noticed within seconds, not after TCP's minutes: the
// lock (and the service) goes to another recorder meanwhile.
constexpr const char* keepAlive =
    ";keepalives_idle=5;keepalives_interval=2;keepalives_count=2;tcp_user_timeout=9000";

QVariant number(const std::optional<double>& value)
{
    return value && std::isfinite(*value) ? QVariant(*value) : QVariant(QMetaType::fromType<double>());
}

QVariant number(double value)
{
    return number(std::optional<double>(value));
}

std::optional<double> optionalNumber(const QVariant& value)
{
    return value.isNull() ? std::nullopt : std::optional<double>(value.toDouble());
}

QString text(const std::string& value)
{
    return QString::fromStdString(value);
}

} // namespace

bool AlarmRoom::State::sameAs(const State& o) const
{
    return pointKey == o.pointKey && point == o.point && state == o.state && level == o.level &&
        active == o.active && acknowledged == o.acknowledged && sinceMs == o.sinceMs &&
        raisedMs == o.raisedMs && shelvedUntilMs == o.shelvedUntilMs && value == o.value &&
        setpoint == o.setpoint && actedBy == o.actedBy && actedMs == o.actedMs && comment == o.comment;
}

AlarmRoom::AlarmRoom(History::ArchiveAddress address, std::string connectionName, std::string instrument)
    : address_(std::move(address)),
      connection_(QString::fromStdString(connectionName)),
      instrument_(QString::fromStdString(instrument))
{}

AlarmRoom::~AlarmRoom()
{
    close();
}

void AlarmRoom::close()
{
    if (!db_.isValid())
        return;
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

bool AlarmRoom::fail(const QSqlQuery& query, const char* what)
{
    QString why = query.lastError().text().simplified();
    if (why.size() > 300)
        why = why.left(300) + QStringLiteral("...");
    lastError_ = std::string(what) + ": " + why.toStdString();
    return false;
}

bool AlarmRoom::run(QSqlQuery& query, const char* what)
{
    return query.exec() || fail(query, what);
}

AlarmRoom::Opened AlarmRoom::open(std::function<void()> onAction)
{
    close();
    db_ = address_.addDatabase(connection_, 2);
    db_.setConnectOptions(db_.connectOptions() + QLatin1String(keepAlive));
    if (!db_.open()) {
        lastError_ = "connect: " + db_.lastError().text().simplified().toStdString();
        close();
        return Opened::Failed;
    }
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("SELECT to_regclass('alarm_actions') IS NOT NULL")) || !query.next()) {
        fail(query, "look for the alarm tables");
        close();
        return Opened::Failed;
    }
    if (!query.value(0).toBool()) {
        close();
        return Opened::NotYet;
    }
    QSqlDriver* driver = db_.driver();
    const QString channel = QString::fromLatin1(AlarmRoomSchema::actionChannel);
    QObject::connect(driver, &QSqlDriver::notification, driver,
        [instrument = instrument_, channel, onAction = std::move(onAction)](
            const QString& name, QSqlDriver::NotificationSource, const QVariant& payload) {
            if (name == channel && payload.toString() == instrument && onAction)
                onAction();
        });
    if (!driver->subscribeToNotification(channel)) {
        lastError_ = "listen on " + channel.toStdString() + ": " + driver->lastError().text().toStdString();
        close();
        return Opened::Failed;
    }
    return Opened::Ok;
}

std::optional<bool> AlarmRoom::tryLock()
{
    QSqlQuery query(db_);
    query.prepare(QStringLiteral("SELECT pg_try_advisory_lock(?, hashtext(?))"));
    query.addBindValue(AlarmRoomSchema::lockClass);
    query.addBindValue(instrument_);
    if (!run(query, "service lock") || !query.next())
        return std::nullopt;
    return query.value(0).toBool();
}

std::optional<std::string> AlarmRoom::service()
{
    QSqlQuery query(db_);
    query.prepare(QStringLiteral("SELECT service FROM alarm_service WHERE instrument = ?"));
    query.addBindValue(instrument_);
    if (!run(query, "read the service"))
        return std::nullopt;
    return query.next() ? query.value(0).toString().toStdString() : std::string();
}

bool AlarmRoom::notifyConsoles()
{
    QSqlQuery query(db_);
    query.prepare(QStringLiteral("SELECT pg_notify(?, ?)"));
    query.addBindValue(QString::fromLatin1(AlarmRoomSchema::stateChannel));
    query.addBindValue(instrument_);
    return run(query, "notify");
}

bool AlarmRoom::heartbeat(const std::string& service, std::int64_t startedMs, std::int64_t nowMs)
{
    QSqlQuery query(db_);
    query.prepare(QStringLiteral(
        "INSERT INTO alarm_service (instrument, service, started_ms, heartbeat_ms) VALUES (?, ?, ?, ?) "
        "ON CONFLICT (instrument) DO UPDATE SET service = excluded.service, started_ms = "
        "excluded.started_ms, heartbeat_ms = excluded.heartbeat_ms"));
    query.addBindValue(instrument_);
    query.addBindValue(text(service));
    query.addBindValue(static_cast<qlonglong>(startedMs));
    query.addBindValue(static_cast<qlonglong>(nowMs));
    return run(query, "heartbeat") && notifyConsoles();
}

std::optional<std::vector<AlarmRoom::State>> AlarmRoom::states()
{
    QSqlQuery query(db_);
    query.prepare(QStringLiteral(
        "SELECT point_key, point, state, level, active, acknowledged, since_ms, raised_ms, shelved_until_ms, "
        "value, setpoint, acted_by, acted_ms, comment FROM alarm_state WHERE instrument = ?"));
    query.addBindValue(instrument_);
    if (!run(query, "read the alarm states"))
        return std::nullopt;
    std::vector<State> rows;
    while (query.next())
        rows.push_back({query.value(0).toString().toStdString(), query.value(1).toString().toStdString(),
            query.value(2).toString().toStdString(), query.value(3).toInt(), query.value(4).toBool(),
            query.value(5).toBool(), query.value(6).toLongLong(), query.value(7).toLongLong(),
            query.value(8).toLongLong(), optionalNumber(query.value(9)), optionalNumber(query.value(10)),
            query.value(11).toString().toStdString(), query.value(12).toLongLong(),
            query.value(13).toString().toStdString()});
    return rows;
}

std::optional<std::vector<AlarmRoom::Action>> AlarmRoom::pendingActions()
{
    QSqlQuery query(db_);
    query.prepare(
        QStringLiteral("SELECT id, point_key, action, minutes, comment, user_name FROM alarm_actions "
                       "WHERE instrument = ? AND done_ms IS NULL ORDER BY id"));
    query.addBindValue(instrument_);
    if (!run(query, "read the actions"))
        return std::nullopt;
    std::vector<Action> actions;
    while (query.next())
        actions.push_back({query.value(0).toLongLong(), query.value(1).toString().toStdString(),
            query.value(2).toString().toStdString(), query.value(3).toInt(),
            query.value(4).toString().toStdString(), query.value(5).toString().toStdString()});
    return actions;
}

// seq counts the records of one millisecond, as the local history does.
bool AlarmRoom::insertRecord(const AlarmRecord& r)
{
    QSqlQuery query(db_);
    query.prepare(QStringLiteral(
        "INSERT INTO alarm_records (instrument, time_ms, seq, action, point, user_name, point_key, comment, "
        "until_ms, value, setpoint) SELECT ?, ?, coalesce(max(seq) + 1, 0), ?, ?, ?, ?, ?, ?, ?, ? "
        "FROM alarm_records WHERE instrument = ? AND time_ms = ?"));
    query.addBindValue(instrument_);
    query.addBindValue(static_cast<qlonglong>(r.timeMs));
    query.addBindValue(static_cast<int>(r.action));
    query.addBindValue(text(r.point));
    query.addBindValue(text(r.user));
    query.addBindValue(text(r.pointKey));
    query.addBindValue(text(r.comment));
    query.addBindValue(static_cast<qlonglong>(r.untilMs));
    query.addBindValue(number(r.value));
    query.addBindValue(number(r.setpoint));
    query.addBindValue(instrument_);
    query.addBindValue(static_cast<qlonglong>(r.timeMs));
    return run(query, "insert alarm record");
}

bool AlarmRoom::upsertState(const State& s, std::int64_t nowMs)
{
    QSqlQuery query(db_);
    query.prepare(QStringLiteral(
        "INSERT INTO alarm_state (instrument, point_key, point, state, level, active, acknowledged, "
        "since_ms, "
        "raised_ms, shelved_until_ms, value, setpoint, acted_by, acted_ms, comment, updated_ms) VALUES "
        "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (instrument, point_key) DO UPDATE SET "
        "point = excluded.point, state = excluded.state, level = excluded.level, active = excluded.active, "
        "acknowledged = excluded.acknowledged, since_ms = excluded.since_ms, raised_ms = excluded.raised_ms, "
        "shelved_until_ms = excluded.shelved_until_ms, value = excluded.value, setpoint = excluded.setpoint, "
        "acted_by = excluded.acted_by, acted_ms = excluded.acted_ms, comment = excluded.comment, "
        "updated_ms = excluded.updated_ms"));
    query.addBindValue(instrument_);
    query.addBindValue(text(s.pointKey));
    query.addBindValue(text(s.point));
    query.addBindValue(text(s.state));
    query.addBindValue(s.level);
    query.addBindValue(s.active);
    query.addBindValue(s.acknowledged);
    query.addBindValue(static_cast<qlonglong>(s.sinceMs));
    query.addBindValue(static_cast<qlonglong>(s.raisedMs));
    query.addBindValue(static_cast<qlonglong>(s.shelvedUntilMs));
    query.addBindValue(number(s.value));
    query.addBindValue(number(s.setpoint));
    query.addBindValue(text(s.actedBy));
    query.addBindValue(static_cast<qlonglong>(s.actedMs));
    query.addBindValue(text(s.comment));
    query.addBindValue(static_cast<qlonglong>(nowMs));
    return run(query, "write alarm state");
}

bool AlarmRoom::write(const std::vector<AlarmRecord>& records, const std::vector<State>& rows,
    const std::vector<Done>& done, std::int64_t nowMs)
{
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("BEGIN")))
        return fail(query, "begin");
    bool ok = true;
    for (std::size_t i = 0; ok && i < records.size(); ++i)
        ok = insertRecord(records[i]);
    for (std::size_t i = 0; ok && i < rows.size(); ++i)
        ok = upsertState(rows[i], nowMs);
    for (std::size_t i = 0; ok && i < done.size(); ++i) {
        QSqlQuery update(db_);
        update.prepare(QStringLiteral("UPDATE alarm_actions SET done_ms = ?, outcome = ? WHERE id = ?"));
        update.addBindValue(static_cast<qlonglong>(nowMs));
        update.addBindValue(text(done[i].outcome));
        update.addBindValue(static_cast<qlonglong>(done[i].id));
        ok = run(update, "mark the action done");
    }
    // Inside the transaction: the consoles hear of it once it is committed.
    ok = ok && (rows.empty() || notifyConsoles());
    if (ok && query.exec(QStringLiteral("COMMIT")))
        return true;
    if (ok)
        fail(query, "commit");
    const std::string why = lastError_;
    query.exec(QStringLiteral("ROLLBACK"));
    lastError_ = why;
    return false;
}

} // namespace Recorder
