#include "room_alarm_reader.h"

#include "alarm_room_schema.h"
#include "reconnect_backoff.h"
#include "sql_interrupt.h"

#include <ace/Log_Msg.h>

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <QVariant>

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>

namespace {

// A server gone silent must not hold the reader for longer than this.
constexpr int statementTimeoutMs = 5000;
// How long an idle reader takes to close its connection at the end.
constexpr int idleStopMs = 1000;
const char* const insufficientPrivilege = "42501";

QString connectionName()
{
    static std::atomic<int> count{0};
    return QStringLiteral("kov_room_alarms_%1").arg(++count);
}

std::int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::optional<double> number(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toDouble();
}

std::string text(const QSqlError& error)
{
    const QString why = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return why.simplified().toStdString();
}

} // namespace

// The owner, for posting to, while it is there.
struct RoomAlarmReader::Shared {
    std::mutex mutex;
    RoomAlarmReader* owner = nullptr;
    SqlInterrupt interrupt;

    template<class Call>
    void post(Call call)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (owner)
            QMetaObject::invokeMethod(
                owner, [owner = owner, call] { call(owner); }, Qt::QueuedConnection);
    }
};

class RoomAlarmReader::Worker : public QObject {
public:
    Worker(Options options, std::shared_ptr<Shared> shared)
        : options_(std::move(options)),
          shared_(std::move(shared)),
          instrument_(QString::fromStdString(options_.instrument)),
          connection_(connectionName()),
          backoff_(options_.retryFirstSeconds, options_.retryLongestSeconds, steadyMs,
              [] {
                  static thread_local std::mt19937 random{std::random_device{}()};
                  return std::uniform_real_distribution<double>(0.0, 1.0)(random);
              }),
          poll_(this),
          retry_(this),
          soon_(this)
    {
        poll_.setInterval(options_.pollMs);
        connect(&poll_, &QTimer::timeout, this, [this] { readNow(); });
        retry_.setSingleShot(true);
        connect(&retry_, &QTimer::timeout, this, [this] { open(); });
        soon_.setSingleShot(true);
        connect(&soon_, &QTimer::timeout, this, [this] { readNow(); });
    }

    ~Worker() override { close(); }

    void start()
    {
        poll_.start();
        open();
    }

    // Notifications come in bursts (a state change, then the heartbeat):
    // one read covers those of one pass of the loop.
    void readSoon()
    {
        if (!soon_.isActive())
            soon_.start(0);
    }

    void act(const RoomAlarmAction& action)
    {
        RoomActionAnswer answer{RoomActionAnswer::Outcome::Queued, action, options_.address.user, {}};
        if (!db_.isOpen()) {
            answer.outcome = RoomActionAnswer::Outcome::Unreachable;
            answer.why = "the archive is not reachable";
        } else {
            QSqlQuery call(db_);
            call.prepare(QStringLiteral("SELECT kov_alarm_action(?, ?, ?, ?, ?)"));
            call.addBindValue(instrument_);
            call.addBindValue(QString::fromStdString(action.pointKey));
            call.addBindValue(QString::fromStdString(action.action));
            call.addBindValue(action.minutes);
            call.addBindValue(QString::fromStdString(action.comment));
            if (!call.exec()) {
                const QSqlError error = call.lastError();
                answer.why = text(error);
                answer.outcome = error.nativeErrorCode() == QLatin1String(insufficientPrivilege)
                    ? RoomActionAnswer::Outcome::NoRight
                    : error.type() == QSqlError::ConnectionError || !db_.isOpen()
                    ? RoomActionAnswer::Outcome::Unreachable
                    : RoomActionAnswer::Outcome::Failed;
            }
        }
        shared_->post([answer](RoomAlarmReader* owner) { emit owner->answered(answer); });
    }

    void readNow()
    {
        if (!db_.isOpen()) {
            if (!retry_.isActive())
                open();
            return;
        }
        RoomAlarmSnapshot snapshot;
        if (!readState(snapshot) || !readService(snapshot)) {
            lost(snapshot.problem);
            return;
        }
        snapshot.reachable = true;
        post(snapshot);
    }

private:
    void open()
    {
        if (db_.isOpen() || shared_->interrupt.interrupted())
            return;
        // A connection the server ended is closed but still registered.
        close();
        db_ = options_.address.addDatabase(connection_, options_.connectSeconds);
        if (!db_.open()) {
            lost(text(db_.lastError()));
            return;
        }
        shared_->interrupt.attach(db_, 0);
        QSqlQuery(db_).exec(QStringLiteral("SET statement_timeout = %1").arg(statementTimeoutMs));
        QSqlDriver* driver = db_.driver();
        connect(driver, &QSqlDriver::notification, this,
            [this](const QString&, QSqlDriver::NotificationSource, const QVariant& payload) {
                if (payload.toString() == instrument_)
                    readSoon();
            });
        if (!driver->subscribeToNotification(QString::fromLatin1(AlarmRoomSchema::stateChannel))) {
            lost("cannot listen for the alarm service: " + text(driver->lastError()));
            return;
        }
        if (backoff_.scheduled())
            ACE_DEBUG((LM_INFO, "The room's alarms: %s answers again\n", options_.address.label().c_str()));
        backoff_.reset();
        readNow();
    }

    bool readState(RoomAlarmSnapshot& snapshot)
    {
        QSqlQuery query(db_);
        query.setForwardOnly(true);
        query.prepare(QStringLiteral(
            "SELECT point_key, point, state, level, active, acknowledged, since_ms, raised_ms, "
            "shelved_until_ms, value, setpoint, acted_by, acted_ms, comment FROM alarm_state "
            "WHERE instrument = ? ORDER BY point_key"));
        query.addBindValue(instrument_);
        if (!query.exec()) {
            snapshot.problem = text(query.lastError());
            return false;
        }
        while (query.next()) {
            RoomAlarmRow row;
            row.pointKey = query.value(0).toString().toStdString();
            row.point = query.value(1).toString().toStdString();
            row.state = query.value(2).toString().toStdString();
            row.level = query.value(3).toInt();
            row.active = query.value(4).toBool();
            row.acknowledged = query.value(5).toBool();
            row.sinceMs = query.value(6).toLongLong();
            row.raisedMs = query.value(7).toLongLong();
            row.shelvedUntilMs = query.value(8).toLongLong();
            row.value = number(query.value(9));
            row.setpoint = number(query.value(10));
            row.actedBy = query.value(11).toString().toStdString();
            row.actedMs = query.value(12).toLongLong();
            row.comment = query.value(13).toString().toStdString();
            snapshot.rows.push_back(std::move(row));
        }
        return true;
    }

    bool readService(RoomAlarmSnapshot& snapshot)
    {
        QSqlQuery query(db_);
        query.setForwardOnly(true);
        query.prepare(QStringLiteral(
            "SELECT service, (extract(epoch FROM clock_timestamp()) * 1000)::bigint - heartbeat_ms "
            "FROM alarm_service WHERE instrument = ?"));
        query.addBindValue(instrument_);
        if (!query.exec()) {
            snapshot.problem = text(query.lastError());
            return false;
        }
        if (query.next()) {
            snapshot.service = query.value(0).toString().toStdString();
            snapshot.heartbeatAgeMs = query.value(1).toLongLong();
        }
        return true;
    }

    // Said once per outage in client.log; tried again later.
    void lost(const std::string& why)
    {
        if (!backoff_.scheduled())
            ACE_ERROR(
                (LM_WARNING, "The room's alarms: %s: %s\n", options_.address.label().c_str(), why.c_str()));
        close();
        RoomAlarmSnapshot snapshot;
        snapshot.problem = why;
        post(snapshot);
        if (shared_->interrupt.interrupted())
            return;
        backoff_.schedule();
        retry_.start(int(backoff_.msUntilTry()));
    }

public:
    void close()
    {
        if (!db_.isValid())
            return;
        if (db_.isOpen())
            db_.driver()->unsubscribeFromNotification(QString::fromLatin1(AlarmRoomSchema::stateChannel));
        shared_->interrupt.detach();
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection_);
    }

private:
    void post(const RoomAlarmSnapshot& snapshot)
    {
        shared_->post([snapshot](RoomAlarmReader* owner) { emit owner->read(snapshot); });
    }

    const Options options_;
    std::shared_ptr<Shared> shared_;
    const QString instrument_;
    const QString connection_;
    QSqlDatabase db_;
    ReconnectBackoff backoff_;
    // Children, so that they move to the reader's thread with it.
    QTimer poll_;
    QTimer retry_;
    QTimer soon_;
};

RoomAlarmReader::RoomAlarmReader(Options options, QObject* parent)
    : QObject(parent),
      instrument_(options.instrument),
      role_(options.address.user),
      shared_(std::make_shared<Shared>()),
      stopWaitMs_(options.connectSeconds * 1000 + statementTimeoutMs)
{
    shared_->owner = this;
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("room alarms"));
    worker_ = new Worker(std::move(options), shared_);
    worker_->moveToThread(thread_);
    // Closed and deleted on the thread that opened the connection.
    Worker* worker = worker_;
    connect(
        thread_, &QThread::finished, worker, [worker] { delete worker; }, Qt::DirectConnection);
    thread_->start();
    QMetaObject::invokeMethod(
        worker_, [worker] { worker->start(); }, Qt::QueuedConnection);
}

RoomAlarmReader::~RoomAlarmReader()
{
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->owner = nullptr;
    }
    // Closed in order when the reader is idle; cut when it is inside the
    // database (a connection attempt is not cut: it ends on its own).
    Worker* worker = worker_;
    QMetaObject::invokeMethod(
        worker_,
        [worker] {
            worker->close();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    if (!thread_->wait(QDeadlineTimer(idleStopMs))) {
        shared_->interrupt.interrupt();
        thread_->quit();
    }
    if (!thread_->wait(QDeadlineTimer(stopWaitMs_))) {
        // A connection attempt that outlasts its own limit: left to end
        // on its own rather than waited for.
        ACE_ERROR((LM_WARNING, "The room's alarms: the reader did not end in time\n"));
        return;
    }
    delete thread_;
}

void RoomAlarmReader::act(const RoomAlarmAction& action)
{
    Worker* worker = worker_;
    QMetaObject::invokeMethod(
        worker_, [worker, action] { worker->act(action); }, Qt::QueuedConnection);
}

void RoomAlarmReader::refresh()
{
    Worker* worker = worker_;
    QMetaObject::invokeMethod(
        worker_, [worker] { worker->readSoon(); }, Qt::QueuedConnection);
}
