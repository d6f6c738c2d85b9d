#include "alarm_service.h"

#include "alarm_observer.h"
#include "alarm_room_schema.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QTimer>

namespace Recorder {

namespace {

std::int64_t steadyNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t utcNowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

bool acted(AlarmAction action)
{
    return action == AlarmAction::Acknowledged || action == AlarmAction::Shelved ||
        action == AlarmAction::Unshelved;
}

} // namespace

AlarmService::AlarmService(Options options)
    : options_(std::move(options)),
      engine_(options_.settings, options_.user, {steadyNowMs, utcNowMs}),
      room_(options_.address, "kov-alarm-service", options_.instrument),
      setpoints_(options_.setpoints),
      backoff_(1, 60, steadyNowMs, [this] { return std::uniform_real_distribution<double>(0, 1)(random_); })
{
    engine_.setListener(
        {[this](const AlarmRecord& record) { recorded(record); }, {}, [this] { dirty_ = true; }});
    moveToThread(&thread_);
    connect(&thread_, &QThread::started, this, [this] { begin(); });
}

AlarmService::~AlarmService()
{
    stop(std::chrono::seconds(5));
}

void AlarmService::say(const std::string& text) const
{
    if (options_.log)
        options_.log("alarm service: " + text);
}

std::int64_t AlarmService::steadyMs() const
{
    return steadyNowMs();
}

void AlarmService::start()
{
    thread_.start();
}

bool AlarmService::stop(std::chrono::milliseconds limit)
{
    if (!thread_.isRunning())
        return true;
    QMetaObject::invokeMethod(
        this, [this] { finish(); }, Qt::QueuedConnection);
    return thread_.wait(QDeadlineTimer(limit.count()));
}

void AlarmService::reading(int housing, double celsius, double percent, bool water)
{
    {
        std::lock_guard<std::mutex> lock(gatheredMutex_);
        if (gathered_.size() >= mostGathered)
            return;
        gathered_.push_back({housing, celsius, percent, water});
        if (gathered_.size() > 1)
            return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (gather_ && !gather_->isActive())
                gather_->start();
        },
        Qt::QueuedConnection);
}

void AlarmService::linkUp(bool up)
{
    QMetaObject::invokeMethod(
        this,
        [this, up] {
            judgeGathered();
            engine_.linkUp(up);
            flush();
        },
        Qt::QueuedConnection);
}

void AlarmService::setSettings(const AlarmSettings& settings, const Setpoints& setpoints)
{
    QMetaObject::invokeMethod(
        this,
        [this, settings, setpoints] {
            judgeGathered();
            engine_.setSettings(settings);
            setpoints_ = setpoints;
        },
        Qt::QueuedConnection);
}

void AlarmService::begin()
{
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { tick(); });
    timer_->start(options_.tickPeriod);
    gather_ = new QTimer(this);
    gather_->setSingleShot(true);
    gather_->setInterval(options_.gatherPeriod);
    connect(gather_, &QTimer::timeout, this, [this] {
        judgeGathered();
        flush();
    });
    connectNow();
}

// The connection goes, and with it the lock: a standby takes over within
// its next try.
void AlarmService::finish()
{
    delete timer_;
    timer_ = nullptr;
    delete gather_;
    gather_ = nullptr;
    if (active_.exchange(false) && options_.observer)
        options_.observer->serviceActive(false);
    room_.close();
    thread_.quit();
}

void AlarmService::judgeGathered()
{
    std::vector<Sample> samples;
    {
        std::lock_guard<std::mutex> lock(gatheredMutex_);
        samples.swap(gathered_);
    }
    for (const Sample& sample : samples) {
        if (!Housing::valid(sample.housing))
            continue;
        engine_.reading(
            sample.housing, sample.celsius, sample.percent, sample.water, setpoints_[sample.housing]);
        // A warning level shows in the state rows but is no latch change.
        for (int i = 0; i < 2; ++i) {
            const AlarmEngine::Level level = engine_.level(
                sample.housing, i == 0 ? AlarmPoint::Kind::Temperature : AlarmPoint::Kind::Humidity);
            dirty_ = dirty_ || level != levels_[sample.housing][i];
            levels_[sample.housing][i] = level;
        }
    }
}

void AlarmService::tick()
{
    judgeGathered();
    engine_.tick();
    const std::int64_t now = steadyMs();
    if (!connected_) {
        if (!backoff_.scheduled() || backoff_.msUntilTry() == 0)
            connectNow();
    } else if (!active_) {
        if (now - lastLockTryMs_ >= options_.lockPeriod.count())
            tryTakeOver();
    } else {
        if (now - lastBeatMs_ >= options_.heartbeatPeriod.count())
            beat();
        // Notifications can be missed (one that came during a query).
        if (active_)
            applyActions();
    }
    flush();
    if (active_ && options_.observer)
        options_.observer->tick(engine_, utcNowMs());
}

void AlarmService::connectNow()
{
    switch (room_.open([this] {
        if (active_)
            applyActions();
    })) {
    case AlarmRoom::Opened::NotYet:
        return; // the writer makes the tables; the next tick looks again
    case AlarmRoom::Opened::Failed:
        lost(room_.lastError());
        return;
    case AlarmRoom::Opened::Ok:
        break;
    }
    connected_ = true;
    backoff_.reset();
    failures_.succeeded();
    tryTakeOver();
}

void AlarmService::tryTakeOver()
{
    lastLockTryMs_ = steadyMs();
    const std::optional<bool> held = room_.tryLock();
    if (!held) {
        lost(room_.lastError());
        return;
    }
    if (*held) {
        takeOver();
        return;
    }
    if (saidStandby_)
        return;
    saidStandby_ = true;
    const std::optional<std::string> who = room_.service();
    say("standby for instrument " + options_.instrument + ": the service is " +
        (who && !who->empty() ? *who : std::string("another recorder")));
}

void AlarmService::takeOver()
{
    const std::optional<std::vector<AlarmRoom::State>> rows = room_.states();
    if (!rows) {
        lost(room_.lastError());
        return;
    }
    restore(*rows);
    active_ = true;
    saidStandby_ = false;
    startedMs_ = utcNowMs();
    unwritten_.clear();
    beat();
    if (!flush({}, true))
        return;
    say("the alarm service of instrument " + options_.instrument + " (" + options_.service + ")");
    if (options_.observer)
        options_.observer->serviceActive(true);
    applyActions();
}

// What the previous service had: its shelves, its acknowledgements of what
// this engine has latched too, who acted, and since when each state holds.
// Nothing of it is journalled again.
void AlarmService::restore(const std::vector<AlarmRoom::State>& rows)
{
    written_ = {};
    restoring_ = true;
    const std::int64_t now = utcNowMs();
    for (const AlarmRoom::State& row : rows) {
        const std::optional<AlarmPoint> point = AlarmPoint::fromKey(row.pointKey);
        if (!point)
            continue;
        const int i = point->index();
        written_[i] = row;
        if (row.actedMs >= acted_[i].ms)
            acted_[i] = {row.actedBy, row.actedMs, row.comment};
        const AlarmLatch::Entry& entry = engine_.latch().entry(*point);
        if (row.shelvedUntilMs > now && !entry.shelved())
            engine_.restoreShelf(*point, row.shelvedUntilMs, row.actedBy, row.comment);
        // The same episode, already acknowledged; a point active here but
        // not there is a new one.
        else if (row.acknowledged && row.raisedMs != 0 && entry.unacknowledged &&
            (row.active || !entry.active))
            engine_.acknowledge(*point, row.actedBy, row.comment);
    }
    restoring_ = false;
    dirty_ = true;
}

void AlarmService::beat()
{
    lastBeatMs_ = steadyMs();
    if (!room_.heartbeat(options_.service, startedMs_, utcNowMs()))
        lost(room_.lastError());
}

void AlarmService::applyActions()
{
    const std::optional<std::vector<AlarmRoom::Action>> actions = room_.pendingActions();
    if (!actions) {
        lost(room_.lastError());
        return;
    }
    for (const AlarmRoom::Action& action : *actions)
        if (!flush({{action.id, apply(action)}}))
            return;
}

std::string AlarmService::apply(const AlarmRoom::Action& a)
{
    if (a.action == AlarmRoomSchema::acknowledge && a.pointKey == AlarmRoomSchema::allPoints) {
        engine_.acknowledgeAll(a.user, a.comment);
        return "done";
    }
    const std::optional<AlarmPoint> point = AlarmPoint::fromKey(a.pointKey);
    if (!point)
        return "no such point";
    if (a.action == AlarmRoomSchema::acknowledge)
        return engine_.acknowledge(*point, a.user, a.comment) ? "done" : "nothing to acknowledge";
    if (a.action == AlarmRoomSchema::shelve)
        return engine_.shelve(*point, a.minutes * std::int64_t{60'000}, a.user, a.comment)
            ? "done"
            : "a shelf lasts 1 to " + std::to_string(AlarmEngine::longestShelfMs / 60'000) + " minutes";
    if (a.action == AlarmRoomSchema::unshelve)
        return engine_.unshelve(*point, a.user, a.comment) ? "done" : "not shelved";
    return "not an alarm action";
}

bool AlarmService::flush(const std::vector<AlarmRoom::Done>& done, bool all)
{
    if (!active_) {
        unwritten_.clear();
        dirty_ = false;
        return false;
    }
    std::vector<AlarmRoom::State> rows;
    std::vector<int> indexes;
    if (dirty_ || all) {
        for (int i = 0; i < AlarmPoint::count; ++i) {
            AlarmRoom::State row = stateOf(AlarmPoint::at(i));
            if (all || !written_[i] || !written_[i]->sameAs(row)) {
                rows.push_back(std::move(row));
                indexes.push_back(i);
            }
        }
    }
    dirty_ = false;
    if (rows.empty() && unwritten_.empty() && done.empty())
        return true;
    if (!room_.write(unwritten_, rows, done, utcNowMs())) {
        lost(room_.lastError());
        return false;
    }
    for (std::size_t k = 0; k < rows.size(); ++k)
        written_[indexes[k]] = std::move(rows[k]);
    unwritten_.clear();
    return true;
}

void AlarmService::lost(const std::string& why)
{
    room_.close();
    connected_ = false;
    written_ = {};
    backoff_.schedule();
    if (active_.exchange(false)) {
        say("no longer the alarm service of instrument " + options_.instrument + ": " + why + "; " +
            (unwritten_.empty() ? std::string()
                                : std::to_string(unwritten_.size()) + " alarm records not written; ") +
            "connecting again in " + std::to_string(backoff_.secondsUntilTry()) + " s");
        unwritten_.clear();
        if (options_.observer)
            options_.observer->serviceActive(false);
        return;
    }
    const FailureLog::Verdict verdict = failures_.failed("archive", steadyMs());
    if (verdict.write)
        say("cannot reach the archive: " + why + "; next try in " +
            std::to_string(backoff_.secondsUntilTry()) + " s");
    if (verdict.summarised > 0)
        say(std::to_string(verdict.summarised) + " more tries to reach the archive failed");
}

void AlarmService::recorded(const AlarmRecord& record)
{
    dirty_ = true;
    if (restoring_)
        return;
    if (const std::optional<AlarmPoint> point = AlarmPoint::fromKey(record.pointKey);
        point && acted(record.action))
        acted_[point->index()] = {record.user, record.timeMs, record.comment};
    if (!active_)
        return;
    unwritten_.push_back(record);
    if (options_.observer)
        options_.observer->recorded(record);
}

AlarmRoom::State AlarmService::stateOf(AlarmPoint point) const
{
    const int i = point.index();
    const AlarmLatch::Entry& e = engine_.latch().entry(point);
    AlarmRoom::State s;
    s.pointKey = point.key();
    s.point = point.name();
    s.state = e.stateText();
    const AlarmEngine::Level level =
        point.measured() ? engine_.level(point.housing, point.kind) : AlarmEngine::Level::Within;
    s.level = e.active                                                              ? 2
        : level == AlarmEngine::Level::Warning || level == AlarmEngine::Level::Over ? 1
                                                                                    : 0;
    s.active = e.active;
    s.acknowledged = !e.unacknowledged;
    s.raisedMs = e.raisedMs != 0 ? engine_.utcMs(e.raisedMs) : 0;
    s.shelvedUntilMs = e.shelvedUntilUtcMs;
    if (e.hasValue) {
        s.value = e.value;
        s.setpoint = e.setpoint;
    }
    s.actedBy = acted_[i].by;
    s.actedMs = acted_[i].ms;
    s.comment = acted_[i].comment;
    const std::optional<AlarmRoom::State>& before = written_[i];
    s.sinceMs = before && before->state == s.state && before->level == s.level ? before->sinceMs : utcNowMs();
    return s;
}

} // namespace Recorder
