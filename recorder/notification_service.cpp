#include "notification_service.h"

#include "notification_planner.h"

namespace Recorder {

namespace {

Notifier::Options notifierOptions(const NotificationService::Options& options)
{
    Notifier::Options o;
    o.address = options.address;
    o.instrument = options.instrument;
    o.settings = options.settings;
    o.log = options.log;
    o.retryLongestSeconds = options.retryLongestSeconds;
    o.utcMs = options.utcMs;
    return o;
}

} // namespace

NotificationService::NotificationService(Options options)
    : options_(std::move(options)), notifier_(notifierOptions(options_))
{}

NotificationService::~NotificationService()
{
    stop();
}

void NotificationService::start()
{
    notifier_.start();
}

void NotificationService::stop()
{
    notifier_.stop();
}

std::string NotificationService::acknowledgeCommand(
    const History::ArchiveAddress& address, const std::string& instrument)
{
    return "kovalarms --archive postgresql://" + address.user + "@" + address.host + ":" +
        std::to_string(address.port) + "/" + address.database + " --instrument " + instrument + " ack";
}

void NotificationService::serviceActive(bool active)
{
    planner_.reset();
    if (active)
        planner_ = std::make_unique<NotificationPlanner>(
            options_.settings, options_.instrument, acknowledgeCommand(options_.address, options_.instrument),
            [this](const Notification& n) { due(n); },
            [this](const std::string& pointKey) { notifier_.cancelled(pointKey); });
    takenOverMs_ = 0;
    passed_.clear();
    notifier_.setActive(active);
}

void NotificationService::due(const Notification& notification)
{
    Notification n = notification;
    const bool first = passed_.insert({n.pointKey, static_cast<int>(n.stage)}).second;
    n.continued =
        first && n.stage != Notification::Stage::AllClear && n.raisedMs <= takenOverMs_ + continuedWithinMs;
    notifier_.due(n);
}

void NotificationService::recorded(const AlarmRecord& record)
{
    if (planner_)
        planner_->recorded(record);
}

void NotificationService::tick(const AlarmEngine& engine, std::int64_t nowUtcMs)
{
    if (!planner_)
        return;
    if (takenOverMs_ == 0)
        takenOverMs_ = nowUtcMs;
    planner_->tick(engine, nowUtcMs);
}

} // namespace Recorder
