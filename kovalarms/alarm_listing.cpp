#include "alarm_listing.h"

#include "alarm_point.h"

#include <QDateTime>
#include <QString>

#include <algorithm>
#include <array>
#include <tuple>

namespace AlarmListing {

namespace {

using AlarmsTool::PointRow;

constexpr std::size_t columns = 7;

std::string shown(const std::optional<double>& value)
{
    return value ? QString::number(*value).toStdString() : std::string("-");
}

// Who acknowledged it or shelved it, and the comment they gave.
std::string acted(const PointRow& row, std::int64_t nowMs)
{
    std::string text;
    if (row.shelvedUntilMs > nowMs)
        text = "shelved by " + (row.actedBy.empty() ? std::string("?") : row.actedBy) + " until " +
            isoTime(row.shelvedUntilMs);
    else if (row.acknowledged && !row.actedBy.empty())
        text = "acknowledged by " + row.actedBy + " at " + isoTime(row.actedMs);
    else
        return "-";
    return row.comment.empty() ? text : text + " \"" + row.comment + "\"";
}

// The engine's order; a key it does not know goes last.
int severity(const std::string& key)
{
    const auto point = AlarmPoint::fromKey(key);
    return point ? point->index() : AlarmPoint::count;
}

} // namespace

std::string isoTime(std::int64_t ms)
{
    if (ms <= 0)
        return "-";
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODate).toStdString();
}

std::vector<std::string> pointLines(std::vector<PointRow> rows, std::int64_t nowMs)
{
    std::sort(rows.begin(), rows.end(), [](const PointRow& a, const PointRow& b) {
        return std::make_tuple(a.instrument, severity(a.key), a.key) <
            std::make_tuple(b.instrument, severity(b.key), b.key);
    });
    std::vector<std::array<std::string, columns>> table;
    std::array<std::size_t, columns> width{};
    for (const PointRow& row : rows) {
        table.push_back({row.instrument, row.key, row.state, isoTime(row.sinceMs), shown(row.value),
            shown(row.setpoint), acted(row, nowMs)});
        for (std::size_t c = 0; c < columns; ++c)
            width[c] = std::max(width[c], table.back()[c].size());
    }
    std::vector<std::string> lines;
    for (const auto& cells : table) {
        std::string line;
        for (std::size_t c = 0; c + 1 < columns; ++c)
            line += cells[c] + std::string(width[c] - cells[c].size() + 2, ' ');
        lines.push_back(line + cells.back());
    }
    return lines;
}

std::string serviceLine(
    const std::string& instrument, const std::optional<AlarmsTool::ServiceRow>& service, std::int64_t nowMs)
{
    const std::string head = "alarm_service: " + instrument + ": ";
    if (!service)
        return head + "none has run (no recorder has been this instrument's alarm service)";
    const std::int64_t ageMs = std::max<std::int64_t>(0, nowMs - service->heartbeatMs);
    const std::string age = std::to_string(ageMs / 1000) + " s";
    return head + service->service + ", last heartbeat " + age + " ago" +
        (ageMs > lostAfterMs ? " (lost: not heard for over " + std::to_string(lostAfterMs / 1000) + " s)"
                             : "");
}

} // namespace AlarmListing
