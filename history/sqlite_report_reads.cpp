// The shift report's reads of the history file (and, through the same
// class, of the archive): everything is summed, grouped and windowed by the
// database, and only the figures come back. The SQL is what SQLite 3.40 and
// PostgreSQL 15 both take: window frames with a numeric offset need that
// offset written into the statement (SQLite takes no parameter there) and
// as BIGINT (PostgreSQL wants the ordering column's type).
#include "sqlite_history_source.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace History {

namespace {

constexpr std::int64_t minute = 60000;

// Each quantity with the instrument's no-data value -1.0 taken out.
const char* const summaryColumns =
    "count(*), min(%1arrival_ms), max(%1arrival_ms), "
    "count(NULLIF(%1temperature, -1.0)), min(NULLIF(%1temperature, -1.0)), max(NULLIF(%1temperature, -1.0)), "
    "sum(NULLIF(%1temperature, -1.0)), "
    "sum(CASE WHEN NULLIF(%1temperature, -1.0) >= ? THEN 1 ELSE 0 END), "
    "sum(CASE WHEN NULLIF(%1temperature, -1.0) >= ? AND %1temperature < ? THEN 1 ELSE 0 END), "
    "count(NULLIF(%1humidity, -1.0)), min(NULLIF(%1humidity, -1.0)), max(NULLIF(%1humidity, -1.0)), "
    "sum(NULLIF(%1humidity, -1.0)), "
    "sum(CASE WHEN NULLIF(%1humidity, -1.0) >= ? THEN 1 ELSE 0 END), "
    "sum(CASE WHEN NULLIF(%1humidity, -1.0) >= ? AND %1humidity < ? THEN 1 ELSE 0 END), "
    "sum(CASE WHEN %1water <> 0 THEN 1 ELSE 0 END)";

// A minute lies wholly in one level of each quantity when no level falls
// inside its least..greatest, it holds no -1.0 and its water sensor stayed
// calm. Parameters: temperature over, warning; humidity over, warning.
const char* const wholeMinute = "(%1min_temperature IS NULL OR (%1min_temperature <> -1.0 "
                                "AND NOT (%1min_temperature < ? AND %1max_temperature >= ?) "
                                "AND NOT (%1min_temperature < ? AND %1max_temperature >= ?))) "
                                "AND (%1min_humidity IS NULL OR (%1min_humidity <> -1.0 "
                                "AND NOT (%1min_humidity < ? AND %1max_humidity >= ?) "
                                "AND NOT (%1min_humidity < ? AND %1max_humidity >= ?))) AND %1water = 0";

double number(const QVariant& value)
{
    return value.isNull() ? noData : value.toDouble();
}

double least(double a, double b)
{
    return std::isnan(a) ? b : std::isnan(b) ? a : std::min(a, b);
}

double greatest(double a, double b)
{
    return std::isnan(a) ? b : std::isnan(b) ? a : std::max(a, b);
}

void add(LevelCounts& into, const LevelCounts& part)
{
    into.count += part.count;
    into.least = least(into.least, part.least);
    into.greatest = greatest(into.greatest, part.greatest);
    into.sum += part.sum;
    into.inWarning += part.inWarning;
    into.overLimit += part.overLimit;
}

void add(ReadingSummary& into, const ReadingSummary& part)
{
    if (part.readings == 0)
        return;
    into.firstMs = into.readings == 0 ? part.firstMs : std::min(into.firstMs, part.firstMs);
    into.lastMs = into.readings == 0 ? part.lastMs : std::max(into.lastMs, part.lastMs);
    into.readings += part.readings;
    add(into.temperature, part.temperature);
    add(into.humidity, part.humidity);
    into.waterAlarm += part.waterAlarm;
}

// A warning level above the over-limit level has no band of its own: the
// setpoints window says "over" first.
double warningOf(double warning, double over)
{
    return std::min(warning, over);
}

QVariantList levelValues(const SetpointsInForce& limits)
{
    const double tw = warningOf(limits.tempWarning, limits.overTemp);
    const double rw = warningOf(limits.rhWarning, limits.overRh);
    return {limits.overTemp, tw, limits.overTemp, limits.overRh, rw, limits.overRh};
}

QVariantList wholeMinuteValues(const SetpointsInForce& limits)
{
    const double tw = warningOf(limits.tempWarning, limits.overTemp);
    const double rw = warningOf(limits.rhWarning, limits.overRh);
    return {limits.overTemp, limits.overTemp, tw, tw, limits.overRh, limits.overRh, rw, rw};
}

ReadingSummary summaryRow(const QSqlQuery& query)
{
    ReadingSummary s;
    s.readings = query.value(0).toLongLong();
    if (s.readings == 0)
        return s;
    s.firstMs = query.value(1).toLongLong();
    s.lastMs = query.value(2).toLongLong();
    for (int q = 0; q < 2; ++q) {
        LevelCounts& c = q == 0 ? s.temperature : s.humidity;
        const int at = 3 + q * 6;
        c.count = query.value(at).toLongLong();
        c.least = number(query.value(at + 1));
        c.greatest = number(query.value(at + 2));
        c.sum = query.value(at + 3).toDouble();
        c.overLimit = query.value(at + 4).toLongLong();
        c.inWarning = query.value(at + 5).toLongLong();
    }
    s.waterAlarm = query.value(15).toLongLong();
    return s;
}

} // namespace

bool SqliteHistorySource::runWith(QSqlQuery& query, const QString& sql, QVariantList values)
{
    query.setForwardOnly(true);
    if (query.prepare(scoped(sql, values))) {
        for (const QVariant& value : values)
            query.addBindValue(value);
        if (query.exec()) {
            lastError_.clear();
            return true;
        }
    }
    lastError_ = query.lastError().text().toStdString();
    return false;
}

bool SqliteHistorySource::addRawSummary(
    ReadingSummary& into, int housing, std::int64_t fromMs, std::int64_t toMs, const SetpointsInForce& limits)
{
    if (fromMs >= toMs)
        return true;
    QSqlQuery query(db_);
    const QString sql =
        QStringLiteral("SELECT %1 FROM readings WHERE {instrument = ? AND }housing = ? AND arrival_ms >= ? "
                       "AND arrival_ms < ?")
            .arg(QString::fromLatin1(summaryColumns).arg(QString()));
    if (!runWith(
            query, sql, levelValues(limits) + QVariantList{housing, qlonglong(fromMs), qlonglong(toMs)}) ||
        !query.next())
        return false;
    add(into, summaryRow(query));
    return true;
}

std::int64_t SqliteHistorySource::lastRolledMinute(int housing, std::int64_t fromMs, std::int64_t toMs)
{
    QSqlQuery query(db_);
    if (!run(query,
            "SELECT max(minute_ms) FROM rollups WHERE {instrument = ? AND }housing = ? AND minute_ms >= ? "
            "AND minute_ms < ?",
            {housing, fromMs, toMs}) ||
        !query.next() || query.value(0).isNull())
        return -1;
    return query.value(0).toLongLong();
}

// Whole minutes in one level from their rollups, the others from their raw
// readings (found through the rollups' key, one short range each). The
// count of values of a whole minute is its count of readings: a reading
// without data inside an otherwise valid minute counts in that minute's
// level, and its mean is weighed as one.
bool SqliteHistorySource::addMinuteSummary(
    ReadingSummary& into, int housing, std::int64_t fromMs, std::int64_t toMs, const SetpointsInForce& limits)
{
    const QVariantList range{housing, qlonglong(fromMs), qlonglong(toMs)};
    QSqlQuery whole(db_);
    const QString wholeSql = QStringLiteral(
        "SELECT sum(reading_count), min(minute_ms), max(minute_ms), "
        "sum(CASE WHEN min_temperature IS NULL THEN 0 ELSE reading_count END), min(min_temperature), "
        "max(max_temperature), sum(mean_temperature * reading_count), "
        "sum(CASE WHEN min_temperature >= ? THEN reading_count ELSE 0 END), "
        "sum(CASE WHEN min_temperature >= ? AND max_temperature < ? THEN reading_count ELSE 0 END), "
        "sum(CASE WHEN min_humidity IS NULL THEN 0 ELSE reading_count END), min(min_humidity), "
        "max(max_humidity), sum(mean_humidity * reading_count), "
        "sum(CASE WHEN min_humidity >= ? THEN reading_count ELSE 0 END), "
        "sum(CASE WHEN min_humidity >= ? AND max_humidity < ? THEN reading_count ELSE 0 END), 0 "
        "FROM rollups WHERE {instrument = ? AND }housing = ? AND minute_ms >= ? AND minute_ms < ? AND %1")
                                 .arg(QString::fromLatin1(wholeMinute).arg(QString()));
    if (!runWith(whole, wholeSql, levelValues(limits) + range + wholeMinuteValues(limits)) || !whole.next())
        return false;
    ReadingSummary part = summaryRow(whole);
    // The minutes' starts stand for the first and last arrival here; the
    // caller asks the raw rows for both.
    if (part.readings > 0)
        part.lastMs += minute - 1;
    add(into, part);

    QSqlQuery mixed(db_);
    const QString mixedSql = QStringLiteral(
        "SELECT %1 FROM rollups m JOIN readings r ON {r.instrument = m.instrument AND }r.housing = m.housing "
        "AND r.arrival_ms >= m.minute_ms AND r.arrival_ms < m.minute_ms + 60000 "
        "WHERE {m.instrument = ? AND }m.housing = ? AND m.minute_ms >= ? AND m.minute_ms < ? AND NOT (%2)")
                                 .arg(QString::fromLatin1(summaryColumns).arg(QStringLiteral("r.")),
                                     QString::fromLatin1(wholeMinute).arg(QStringLiteral("m.")));
    if (!runWith(mixed, mixedSql, levelValues(limits) + range + wholeMinuteValues(limits)) || !mixed.next())
        return false;
    add(into, summaryRow(mixed));
    return true;
}

ReadingSummary SqliteHistorySource::readingSummary(
    int housing, std::int64_t fromMs, std::int64_t toMs, const SetpointsInForce& limits, bool perMinute)
{
    ReadingSummary summary;
    if (!ready() || fromMs >= toMs)
        return summary;
    if (!perMinute) {
        addRawSummary(summary, housing, fromMs, toMs, limits);
        return summary;
    }
    // Raw at both ends: the part minutes, and those not rolled up yet.
    const std::int64_t first = (fromMs + minute - 1) / minute * minute;
    std::int64_t end = toMs / minute * minute;
    const std::int64_t last = first < end ? lastRolledMinute(housing, first, end) : -1;
    if (!lastError_.empty())
        return summary;
    end = last < 0 ? first : std::min(end, last + minute);
    if (first >= end) {
        addRawSummary(summary, housing, fromMs, toMs, limits);
        return summary;
    }
    if (!addRawSummary(summary, housing, fromMs, first, limits) ||
        !addMinuteSummary(summary, housing, first, end, limits) ||
        !addRawSummary(summary, housing, end, toMs, limits))
        return ReadingSummary{};
    // The first and last arrival, each one step of the key.
    QSqlQuery query(db_);
    for (const char* which : {"min", "max"}) {
        const QString sql =
            QStringLiteral("SELECT %1(arrival_ms) FROM readings WHERE {instrument = ? AND }housing = ? AND "
                           "arrival_ms >= ? AND arrival_ms < ?")
                .arg(QLatin1String(which));
        if (!runWith(query, sql, {housing, qlonglong(fromMs), qlonglong(toMs)}) || !query.next())
            return ReadingSummary{};
        (which[1] == 'i' ? summary.firstMs : summary.lastMs) = query.value(0).toLongLong();
    }
    return summary;
}

std::vector<ReadingGap> SqliteHistorySource::readingGaps(
    int housing, std::int64_t fromMs, std::int64_t toMs, std::int64_t longerThanMs, bool perMinute)
{
    std::vector<ReadingGap> gaps;
    if (!ready() || fromMs >= toMs)
        return gaps;
    auto rawGaps = [&](std::int64_t from) {
        QSqlQuery query(db_);
        if (!run(query,
                "SELECT arrival_ms, next_ms FROM (SELECT arrival_ms, "
                "LEAD(arrival_ms) OVER (ORDER BY arrival_ms) AS next_ms FROM readings "
                "WHERE {instrument = ? AND }housing = ? AND arrival_ms >= ? AND arrival_ms < ?) AS s "
                "WHERE next_ms - arrival_ms > ? ORDER BY arrival_ms",
                {housing, from, toMs, longerThanMs}))
            return false;
        while (query.next())
            gaps.push_back({query.value(0).toLongLong(), query.value(1).toLongLong()});
        return true;
    };
    if (!perMinute) {
        rawGaps(fromMs);
        return gaps;
    }
    // Empty minutes between rolled-up ones, each measured on its readings.
    const std::int64_t last = lastRolledMinute(housing, fromMs / minute * minute, toMs);
    if (last < 0) {
        rawGaps(fromMs);
        return gaps;
    }
    QSqlQuery candidates(db_);
    if (!run(candidates,
            "SELECT minute_ms FROM (SELECT minute_ms, LEAD(minute_ms) OVER (ORDER BY minute_ms) AS next_ms "
            "FROM rollups WHERE {instrument = ? AND }housing = ? AND minute_ms >= ? AND minute_ms <= ?) AS s "
            "WHERE next_ms - minute_ms > 60000 ORDER BY minute_ms",
            {housing, fromMs / minute * minute, last}))
        return gaps;
    std::vector<std::int64_t> minutes;
    while (candidates.next())
        minutes.push_back(candidates.value(0).toLongLong());
    QSqlQuery query(db_);
    for (std::int64_t m : minutes) {
        if (!run(query,
                "SELECT max(arrival_ms) FROM readings WHERE {instrument = ? AND }housing = ? AND arrival_ms "
                ">= ? AND arrival_ms < "
                "?",
                {housing, std::max(m, fromMs), m + minute}) ||
            !query.next())
            return {};
        if (query.value(0).isNull())
            continue;
        const std::int64_t before = query.value(0).toLongLong();
        if (!run(query,
                "SELECT min(arrival_ms) FROM readings WHERE {instrument = ? AND }housing = ? AND arrival_ms "
                "> ? AND arrival_ms < "
                "?",
                {housing, before, toMs}) ||
            !query.next())
            return {};
        if (query.value(0).isNull())
            continue;
        const std::int64_t after = query.value(0).toLongLong();
        if (after - before > longerThanMs)
            gaps.push_back({before, after});
    }
    // After the last rolled-up minute: raw.
    const std::size_t rolled = gaps.size();
    if (!rawGaps(std::max(fromMs, last)))
        return {};
    // A gap that starts in the last rolled-up minute is found both ways.
    if (rolled > 0 && gaps.size() > rolled && gaps[rolled].fromMs == gaps[rolled - 1].fromMs)
        gaps.erase(gaps.begin() + static_cast<std::ptrdiff_t>(rolled));
    return gaps;
}

std::int64_t SqliteHistorySource::usualIntervalMs(
    int housing, std::int64_t fromMs, std::int64_t toMs, bool perMinute)
{
    if (!ready() || fromMs >= toMs)
        return 0;
    QSqlQuery query(db_);
    if (perMinute) {
        // The most common count of readings in a minute.
        if (!run(query,
                "SELECT reading_count FROM rollups WHERE {instrument = ? AND }housing = ? AND minute_ms >= ? "
                "AND minute_ms < ? "
                "GROUP BY reading_count ORDER BY count(*) DESC, reading_count DESC LIMIT 1",
                {housing, fromMs, toMs}))
            return 0;
        if (query.next() && query.value(0).toLongLong() > 0)
            return minute / query.value(0).toLongLong();
        if (!lastError_.empty())
            return 0;
    }
    // The most common step, to the tenth of a second.
    if (!run(query,
            "SELECT (next_ms - arrival_ms + 50) / 100 AS step FROM (SELECT arrival_ms, "
            "LEAD(arrival_ms) OVER (ORDER BY arrival_ms) AS next_ms FROM readings "
            "WHERE {instrument = ? AND }housing = ? AND arrival_ms >= ? AND arrival_ms < ?) AS s WHERE "
            "next_ms IS NOT NULL "
            "GROUP BY (next_ms - arrival_ms + 50) / 100 ORDER BY count(*) DESC, 1 LIMIT 1",
            {housing, fromMs, toMs}))
        return 0;
    return query.next() ? std::max<std::int64_t>(1, query.value(0).toLongLong() * 100) : 0;
}

std::vector<MinuteRollup> SqliteHistorySource::readingBuckets(
    int housing, std::int64_t fromMs, std::int64_t toMs, std::int64_t bucketMs)
{
    std::vector<MinuteRollup> buckets;
    if (!ready() || fromMs >= toMs || bucketMs <= 0)
        return buckets;
    QSqlQuery query(db_);
    // A minute that held -1.0 has it in its mean: left out of the means.
    const bool minutes = bucketMs >= minute;
    const char* sql = minutes
        ? "SELECT (minute_ms - ?) / ?, min(NULLIF(min_temperature, -1.0)), max(max_temperature), "
          "sum(CASE WHEN min_temperature = -1.0 THEN NULL ELSE mean_temperature * reading_count END) / "
          "sum(CASE WHEN mean_temperature IS NULL OR min_temperature = -1.0 THEN NULL ELSE reading_count "
          "END), "
          "min(NULLIF(min_humidity, -1.0)), max(max_humidity), "
          "sum(CASE WHEN min_humidity = -1.0 THEN NULL ELSE mean_humidity * reading_count END) / "
          "sum(CASE WHEN mean_humidity IS NULL OR min_humidity = -1.0 THEN NULL ELSE reading_count END), "
          "max(water), sum(reading_count) FROM rollups "
          "WHERE {instrument = ? AND }housing = ? AND minute_ms >= ? AND minute_ms < ? GROUP BY 1 ORDER BY 1"
        : "SELECT (arrival_ms - ?) / ?, min(NULLIF(temperature, -1.0)), max(NULLIF(temperature, -1.0)), "
          "avg(NULLIF(temperature, -1.0)), min(NULLIF(humidity, -1.0)), max(NULLIF(humidity, -1.0)), "
          "avg(NULLIF(humidity, -1.0)), max(water), count(*) FROM readings "
          "WHERE {instrument = ? AND }housing = ? AND arrival_ms >= ? AND arrival_ms < ? GROUP BY 1 ORDER BY "
          "1";
    if (!run(query, sql, {fromMs, bucketMs, housing, fromMs, toMs}))
        return buckets;
    while (query.next()) {
        MinuteRollup b;
        b.housing = housing;
        b.minuteMs = fromMs + query.value(0).toLongLong() * bucketMs;
        b.minTemperature = number(query.value(1));
        b.maxTemperature = number(query.value(2));
        b.meanTemperature = number(query.value(3));
        b.minHumidity = number(query.value(4));
        b.maxHumidity = number(query.value(5));
        b.meanHumidity = number(query.value(6));
        b.water = query.value(7).toInt() != 0;
        b.count = query.value(8).toInt();
        buckets.push_back(b);
    }
    return buckets;
}

// A loss starts an outage unless the link was lost already; the next
// connection of any kind ends it. The frame runs backwards so that it only
// grows (cheap in both databases).
std::vector<LinkOutage> SqliteHistorySource::linkOutages(std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<LinkOutage> outages;
    if (!ready() || fromMs >= toMs)
        return outages;
    QSqlQuery query(db_);
    if (!run(query,
            "SELECT time_ms, reason, back_ms FROM (SELECT time_ms, kind, reason, "
            "LAG(kind) OVER (ORDER BY time_ms, seq) AS before, "
            "MIN(CASE WHEN kind <> 1 THEN time_ms END) OVER (ORDER BY time_ms DESC, seq DESC "
            "ROWS BETWEEN UNBOUNDED PRECEDING AND 1 PRECEDING) AS back_ms "
            "FROM link_changes WHERE {instrument = ? AND }time_ms < ?) AS c "
            "WHERE kind = 1 AND (before IS NULL OR before <> 1) AND (back_ms IS NULL OR back_ms > ?) "
            "ORDER BY time_ms",
            {toMs, fromMs}))
        return outages;
    while (query.next())
        outages.push_back(
            {query.value(0).toLongLong(), query.value(2).isNull() ? 0 : query.value(2).toLongLong(),
                query.value(1).toString().toStdString()});
    return outages;
}

AlarmLoad SqliteHistorySource::alarmLoad(
    std::int64_t fromMs, std::int64_t toMs, std::int64_t windowMs, int floodAbove, int busyHourAbove)
{
    AlarmLoad load;
    if (!ready() || fromMs >= toMs || windowMs <= 0)
        return load;
    const std::int64_t hour = 3'600'000;
    load.windows = static_cast<int>((toMs - fromMs + windowMs - 1) / windowMs);
    load.hours = static_cast<int>((toMs - fromMs + hour - 1) / hour);
    QSqlQuery query(db_);
    if (!run(query,
            "SELECT point, count(*), max(in_minute) FROM (SELECT point, COUNT(*) OVER (PARTITION BY point "
            "ORDER BY time_ms RANGE BETWEEN CAST(60000 AS BIGINT) PRECEDING AND CURRENT ROW) AS in_minute "
            "FROM alarm_records WHERE {instrument = ? AND }action = 0 AND time_ms >= ? AND time_ms < ?) AS r "
            "GROUP BY point ORDER BY 2 DESC, point",
            {fromMs, toMs}))
        return AlarmLoad{};
    while (query.next())
        load.points.push_back(
            {query.value(0).toString().toStdString(), query.value(1).toLongLong(), query.value(2).toInt()});
    if (load.points.empty())
        return load;

    const QString busiest = QStringLiteral(
        "SELECT time_ms, COUNT(*) OVER (ORDER BY time_ms RANGE BETWEEN CURRENT ROW AND "
        "CAST(%1 AS BIGINT) FOLLOWING) AS n FROM alarm_records WHERE {instrument = ? AND }action = 0 "
        "AND time_ms >= ? AND time_ms < ? ORDER BY n DESC, time_ms LIMIT 1")
                                .arg(windowMs - 1);
    if (!runWith(query, busiest, {qlonglong(fromMs), qlonglong(toMs)}) || !query.next())
        return AlarmLoad{};
    load.busiestFromMs = query.value(0).toLongLong();
    load.busiestCount = query.value(1).toInt();

    for (const auto& [length, above, count] : {std::tuple{windowMs, floodAbove, &load.floodWindows},
             std::tuple{hour, busyHourAbove, &load.busyHours}}) {
        if (!run(query,
                "SELECT count(*) FROM (SELECT (time_ms - ?) / ? AS w FROM alarm_records WHERE {instrument = "
                "? AND }action = 0 "
                "AND time_ms >= ? AND time_ms < ? GROUP BY 1 HAVING count(*) > ?) AS f",
                {fromMs, length, fromMs, toMs, above}) ||
            !query.next())
            return AlarmLoad{};
        *count = query.value(0).toInt();
    }
    return load;
}

// Spans from a start action to the first of the end actions after it, per
// point; a start that follows a start continues the span (a restart of the
// client raised it again).
std::vector<AlarmSpan> SqliteHistorySource::spans(AlarmSpan::Kind kind, const char* actions, int start,
    const char* ends, std::int64_t lookBackFromMs, std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<AlarmSpan> out;
    QSqlQuery query(db_);
    const QString sql = QStringLiteral(
        "SELECT point, time_ms, end_ms FROM (SELECT point, action, time_ms, "
        "LAG(action) OVER (PARTITION BY point ORDER BY time_ms, seq) AS before, "
        "MIN(CASE WHEN action IN (%3) THEN time_ms END) OVER (PARTITION BY point "
        "ORDER BY time_ms DESC, seq DESC ROWS BETWEEN UNBOUNDED PRECEDING AND 1 PRECEDING) AS end_ms "
        "FROM alarm_records WHERE {instrument = ? AND }action IN (%1) AND time_ms >= ? AND time_ms < ?) AS r "
        "WHERE action = %2 AND (before IS NULL OR before <> %2) AND (end_ms IS NULL OR end_ms > ?) "
        "ORDER BY point, time_ms")
                            .arg(QLatin1String(actions))
                            .arg(start)
                            .arg(QLatin1String(ends));
    if (!runWith(query, sql, {qlonglong(lookBackFromMs), qlonglong(toMs), qlonglong(fromMs)}))
        return out;
    while (query.next())
        out.push_back({kind, query.value(0).toString().toStdString(), query.value(1).toLongLong(),
            query.value(2).isNull() ? 0 : query.value(2).toLongLong()});
    return out;
}

AlarmHandling SqliteHistorySource::alarmHandling(
    std::int64_t fromMs, std::int64_t toMs, std::int64_t longestShelfMs)
{
    AlarmHandling handling;
    if (!ready() || fromMs >= toMs)
        return handling;
    QSqlQuery query(db_);
    if (!run(query,
            "SELECT ack_ms - time_ms FROM (SELECT action, time_ms, MIN(CASE WHEN action = 2 THEN time_ms "
            "END) "
            "OVER (PARTITION BY point ORDER BY time_ms DESC, seq DESC ROWS BETWEEN UNBOUNDED PRECEDING "
            "AND 1 PRECEDING) AS ack_ms FROM alarm_records WHERE {instrument = ? AND }action IN (0, 2) AND "
            "time_ms >= ? "
            "AND time_ms < ?) AS r WHERE action = 0 AND ack_ms IS NOT NULL ORDER BY 1",
            {fromMs, toMs}))
        return handling;
    while (query.next())
        handling.acknowledgeMs.push_back(query.value(0).toLongLong());

    // An alarm may have been raised or left unacknowledged long before the
    // range; a shelf lasts at most longestShelfMs.
    const std::int64_t always = std::numeric_limits<std::int64_t>::min() / 2;
    const std::tuple<AlarmSpan::Kind, const char*, int, const char*, std::int64_t> kinds[] = {
        {AlarmSpan::Kind::Active, "0, 1", 0, "1", always},
        {AlarmSpan::Kind::Unacknowledged, "0, 2", 0, "2", always},
        {AlarmSpan::Kind::Shelved, "3, 4, 5", 3, "4, 5", fromMs - longestShelfMs},
    };
    for (const auto& [kind, actions, start, ends, lookBack] : kinds) {
        std::vector<AlarmSpan> part = spans(kind, actions, start, ends, lookBack, fromMs, toMs);
        if (!lastError_.empty())
            return AlarmHandling{};
        handling.spans.insert(handling.spans.end(), part.begin(), part.end());
    }
    // A shelf whose end was not journalled ended when it ran out at the latest.
    for (AlarmSpan& span : handling.spans) {
        if (span.kind != AlarmSpan::Kind::Shelved || span.endMs != 0)
            continue;
        const std::int64_t ranOut = span.startMs + longestShelfMs;
        if (ranOut < toMs)
            span.endMs = ranOut;
    }
    handling.spans.erase(std::remove_if(handling.spans.begin(), handling.spans.end(),
                             [fromMs](const AlarmSpan& s) { return s.endMs != 0 && s.endMs <= fromMs; }),
        handling.spans.end());
    return handling;
}

std::vector<MessageRecord> SqliteHistorySource::messagesAtLeast(
    int priority, std::int64_t fromMs, std::int64_t toMs, int limit)
{
    std::vector<MessageRecord> rows;
    if (!ready() || fromMs >= toMs || limit <= 0)
        return rows;
    QSqlQuery query(db_);
    if (!run(query,
            "SELECT priority, instrument_time, arrival_ms, message_text FROM messages "
            "WHERE {instrument = ? AND }arrival_ms >= ? AND arrival_ms < ? AND priority >= ? ORDER BY "
            "arrival_ms, seq LIMIT ?",
            {fromMs, toMs, priority, limit}))
        return rows;
    while (query.next())
        rows.push_back(MessageRecord{query.value(0).toInt(), query.value(1).toLongLong(),
            query.value(2).toLongLong(), query.value(3).toString().toStdString()});
    return rows;
}

} // namespace History
