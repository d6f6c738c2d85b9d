#include "alarms_command.h"

#include "alarm_listing.h"
#include "alarm_room_link.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <set>

namespace AlarmsTool {

namespace {

// How often the actions are read again while waiting: the service need
// not notify when an action changes no state.
constexpr int rereadMs = 200;

Status failed(const AlarmRoomLink& link, std::ostream& err)
{
    err << "kovalarms: " << link.fault().message << "\n";
    return link.fault().status;
}

std::optional<ServiceRow> serviceOf(const std::vector<ServiceRow>& services, const std::string& instrument)
{
    for (const ServiceRow& service : services)
        if (service.instrument == instrument)
            return service;
    return std::nullopt;
}

Status list(AlarmRoomLink& link, const AlarmsOptions& options, std::ostream& out, std::ostream& err)
{
    const auto points = link.points(options.instrument);
    const auto services = points ? link.services(options.instrument) : std::nullopt;
    const auto nowMs = services ? link.serverNowMs() : std::nullopt;
    if (!nowMs)
        return failed(link, err);
    std::set<std::string> instruments;
    if (!options.instrument.empty())
        instruments.insert(options.instrument);
    for (const PointRow& point : *points)
        instruments.insert(point.instrument);
    for (const ServiceRow& service : *services)
        instruments.insert(service.instrument);
    if (points->empty())
        out << (options.instrument.empty() ? std::string("The archive") : options.instrument)
            << " holds no alarm points: no alarm service has run"
            << (options.instrument.empty() ? "" : " for it") << ".\n";
    for (const std::string& line : AlarmListing::pointLines(*points, *nowMs))
        out << line << "\n";
    for (const std::string& instrument : instruments)
        out << AlarmListing::serviceLine(instrument, serviceOf(*services, instrument), *nowMs) << "\n";
    return Success;
}

// Why a queued action was not applied yet, as far as the archive tells.
std::string serviceState(AlarmRoomLink& link, const std::string& instrument)
{
    const auto services = link.services(instrument);
    const auto nowMs = services ? link.serverNowMs() : std::nullopt;
    if (!nowMs)
        return "";
    const auto service = serviceOf(*services, instrument);
    if (!service)
        return "; no alarm service has run for " + instrument;
    return "; " + service->service + " was last heard " +
        std::to_string(std::max<std::int64_t>(0, *nowMs - service->heartbeatMs) / 1000) + " s ago";
}

Status act(AlarmRoomLink& link, const AlarmsOptions& options, std::ostream& out, std::ostream& err)
{
    // Listening before the action is queued: no answer can be missed.
    if (!link.listen())
        return failed(link, err);
    const auto ids =
        link.request(options.instrument, options.action(), options.points, options.minutes, options.comment);
    if (!ids)
        return failed(link, err);
    const QDeadlineTimer deadline(options.waitSeconds * 1000LL);
    std::optional<std::vector<ActionRow>> actions;
    for (;;) {
        actions = link.actions(*ids);
        if (!actions) {
            // Queued all the same: the service applies it when it can.
            err << "kovalarms: queued (action " << ids->front() << (ids->size() > 1 ? " and on" : "")
                << "), but its outcome is not known: " << link.fault().message << "\n";
            return link.fault().status;
        }
        const bool allDone =
            std::all_of(actions->begin(), actions->end(), [](const ActionRow& a) { return a.done; });
        if (allDone || deadline.hasExpired())
            break;
        link.waitForNews(static_cast<int>(std::min<qint64>(rereadMs, deadline.remainingTime())));
    }
    Status status = Success;
    for (const ActionRow& action : *actions) {
        out << action.instrument << " " << action.action << " " << action.point << ": ";
        if (!action.done) {
            out << "queued (action " << action.id << "), not applied within " << options.waitSeconds << " s"
                << serviceState(link, action.instrument) << ". The alarm service applies it when it runs.\n";
            status = Queued;
        } else if (action.outcome == "done") {
            out << "done\n";
        } else {
            out << "not applied: " << action.outcome << "\n";
            if (status == Success)
                status = Declined;
        }
    }
    return status;
}

} // namespace

Status run(const AlarmsOptions& options, std::ostream& out, std::ostream& err)
{
    AlarmRoomLink link(options.archive);
    if (!link.open())
        return failed(link, err);
    if (options.command == AlarmsOptions::Command::List)
        return list(link, options, out, err);
    return act(link, options, out, err);
}

} // namespace AlarmsTool
