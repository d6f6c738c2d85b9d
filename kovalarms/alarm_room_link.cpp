#include "alarm_room_link.h"

#include "alarm_room_schema.h"

#include <QEventLoop>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTimer>
#include <QVariant>

namespace AlarmsTool {

namespace {

std::optional<double> number(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toDouble();
}

std::string text(const QVariant& value)
{
    return value.toString().toStdString();
}

// The server's message without its "ERROR:" and the context lines after it.
std::string serverSaid(const QSqlError& error)
{
    QString said = error.databaseText().section(QLatin1Char('\n'), 0, 0).trimmed();
    if (said.startsWith(QLatin1String("ERROR:")))
        said = said.mid(6).trimmed();
    return said.toStdString();
}

// Binds `instrument` twice: empty matches every instrument.
const char* const instrumentFilter = "(CAST(? AS TEXT) = '' OR instrument = ?)";

} // namespace

AlarmRoomLink::AlarmRoomLink(const History::ArchiveAddress& address)
    : address_(address), connection_(QStringLiteral("kovalarms"))
{}

AlarmRoomLink::~AlarmRoomLink()
{
    if (!db_.isValid())
        return;
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

bool AlarmRoomLink::open()
{
    db_ = address_.addDatabase(connection_);
    if (!db_.open())
        return failOpen(db_.lastError());
    return true;
}

// libpq's texts are the only way to tell a refused login from a server
// that does not answer (no SQLSTATE comes with them).
bool AlarmRoomLink::failOpen(const QSqlError& error)
{
    const QString text = error.text();
    const std::string where = address_.label();
    if (text.contains(QLatin1String("password authentication failed")) ||
        text.contains(QLatin1String("no password supplied")) || text.contains(QLatin1String("pg_hba.conf")) ||
        (text.contains(QLatin1String("role \"")) && text.contains(QLatin1String("does not exist")))) {
        fault_ = {RightRefused,
            "the " + where + " refused the login of " + address_.user +
                " (a wrong password in PGPASSWORD or ~/.pgpass, or no such role)"};
        return false;
    }
    if (text.contains(QLatin1String("database \"")) && text.contains(QLatin1String("does not exist"))) {
        fault_ = {Unreachable, "the " + where + " does not exist"};
        return false;
    }
    fault_ = {Unreachable, "cannot reach the " + where + ": " + text.simplified().toStdString()};
    return false;
}

bool AlarmRoomLink::fail(const QSqlError& error, const char* what)
{
    const QString code = error.nativeErrorCode();
    const std::string said = serverSaid(error);
    if (code == QLatin1String("42501"))
        fault_ = {RightRefused, address_.user + " has no right to " + what + " (" + said + ")"};
    else if (code == QLatin1String(AlarmRoomSchema::unknownPointState))
        fault_ = {UnknownPoint, said + " (no alarm service has listed it: kovalarms list shows the points)"};
    else if (code == QLatin1String(AlarmRoomSchema::badActionState))
        fault_ = {BadUse, said};
    else if (code == QLatin1String("42P01") || code == QLatin1String("42883"))
        fault_ = {Unreachable,
            "the " + address_.label() +
                " holds no alarm tables: no kovrecorder of this version has opened it"};
    else
        fault_ = {Unreachable,
            std::string("the archive failed to ") + what + ": " + error.text().simplified().toStdString()};
    return false;
}

std::optional<std::vector<PointRow>> AlarmRoomLink::points(const std::string& instrument)
{
    QSqlQuery query(db_);
    const bool prepared = query.prepare(
        QStringLiteral("SELECT instrument, point_key, state, since_ms, value, setpoint, acknowledged, "
                       "shelved_until_ms, acted_by, acted_ms, comment FROM alarm_state WHERE %1")
            .arg(QLatin1String(instrumentFilter)));
    query.addBindValue(QString::fromStdString(instrument));
    query.addBindValue(QString::fromStdString(instrument));
    if (!prepared || !query.exec()) {
        fail(query.lastError(), "read the alarm states");
        return std::nullopt;
    }
    std::vector<PointRow> rows;
    while (query.next()) {
        PointRow row;
        row.instrument = text(query.value(0));
        row.key = text(query.value(1));
        row.state = text(query.value(2));
        row.sinceMs = query.value(3).toLongLong();
        row.value = number(query.value(4));
        row.setpoint = number(query.value(5));
        row.acknowledged = query.value(6).toBool();
        row.shelvedUntilMs = query.value(7).toLongLong();
        row.actedBy = text(query.value(8));
        row.actedMs = query.value(9).toLongLong();
        row.comment = text(query.value(10));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::optional<std::vector<ServiceRow>> AlarmRoomLink::services(const std::string& instrument)
{
    QSqlQuery query(db_);
    const bool prepared =
        query.prepare(QStringLiteral("SELECT instrument, service, heartbeat_ms FROM alarm_service WHERE %1")
                          .arg(QLatin1String(instrumentFilter)));
    query.addBindValue(QString::fromStdString(instrument));
    query.addBindValue(QString::fromStdString(instrument));
    if (!prepared || !query.exec()) {
        fail(query.lastError(), "read the alarm service");
        return std::nullopt;
    }
    std::vector<ServiceRow> rows;
    while (query.next())
        rows.push_back({text(query.value(0)), text(query.value(1)), query.value(2).toLongLong()});
    return rows;
}

std::optional<std::int64_t> AlarmRoomLink::serverNowMs()
{
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("SELECT (extract(epoch FROM clock_timestamp()) * 1000)::bigint")) ||
        !query.next()) {
        fail(query.lastError(), "tell the time");
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

std::optional<std::vector<std::int64_t>> AlarmRoomLink::request(const std::string& instrument,
    const std::string& action, const std::vector<std::string>& points, int minutes,
    const std::string& comment)
{
    if (!db_.transaction()) {
        fail(db_.lastError(), "begin");
        return std::nullopt;
    }
    std::vector<std::int64_t> ids;
    for (const std::string& point : points) {
        QSqlQuery query(db_);
        const bool prepared = query.prepare(QStringLiteral("SELECT kov_alarm_action(?, ?, ?, ?, ?)"));
        for (const QVariant& value : {QVariant(QString::fromStdString(instrument)),
                 QVariant(QString::fromStdString(point)), QVariant(QString::fromStdString(action)),
                 QVariant(minutes), QVariant(QString::fromStdString(comment))})
            query.addBindValue(value);
        if (!prepared || !query.exec() || !query.next()) {
            fail(query.lastError(), (action + " " + point).c_str());
            db_.rollback();
            return std::nullopt;
        }
        ids.push_back(query.value(0).toLongLong());
    }
    if (!db_.commit()) {
        fail(db_.lastError(), "commit");
        return std::nullopt;
    }
    return ids;
}

std::optional<std::vector<ActionRow>> AlarmRoomLink::actions(const std::vector<std::int64_t>& ids)
{
    QStringList list;
    for (const std::int64_t id : ids)
        list << QString::number(id);
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("SELECT id, instrument, point_key, action, done_ms IS NOT NULL, "
                                   "coalesce(outcome, '') FROM alarm_actions WHERE id IN (%1) ORDER BY id")
                        .arg(list.join(QLatin1Char(','))))) {
        fail(query.lastError(), "read the actions");
        return std::nullopt;
    }
    std::vector<ActionRow> rows;
    while (query.next())
        rows.push_back({query.value(0).toLongLong(), text(query.value(1)), text(query.value(2)),
            text(query.value(3)), query.value(4).toBool(), text(query.value(5))});
    return rows;
}

bool AlarmRoomLink::listen()
{
    if (db_.driver()->subscribeToNotification(QLatin1String(AlarmRoomSchema::stateChannel)))
        return true;
    return fail(db_.driver()->lastError(), "listen");
}

void AlarmRoomLink::waitForNews(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    const auto news = QObject::connect(db_.driver(),
        qOverload<const QString&, QSqlDriver::NotificationSource, const QVariant&>(&QSqlDriver::notification),
        &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(news);
}

} // namespace AlarmsTool
