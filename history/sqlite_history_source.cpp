#include "sqlite_history_source.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <array>
#include <atomic>

namespace History {

namespace {

std::string connectionName()
{
    static std::atomic<int> count{0};
    return "kov_history_reader_" + std::to_string(++count);
}

double number(const QVariant& value)
{
    return value.isNull() ? noData : value.toDouble();
}

std::string text(const QVariant& value)
{
    return value.toString().toStdString();
}

// Per bucket, over the rollups of one housing in it.
const char* const bucketColumns =
    "min(minute_ms), max(minute_ms), min(min_temperature), max(max_temperature), "
    "sum(mean_temperature * reading_count) / "
    "NULLIF(sum(CASE WHEN mean_temperature IS NULL THEN 0 ELSE reading_count END), 0), "
    "min(min_humidity), max(max_humidity), sum(mean_humidity * reading_count) / "
    "NULLIF(sum(CASE WHEN mean_humidity IS NULL THEN 0 ELSE reading_count END), 0), "
    "max(water), sum(reading_count), count(*)";

} // namespace

SqliteHistorySource::SqliteHistorySource(std::string path)
    : path_(std::move(path)), connection_(QString::fromStdString(connectionName()))
{
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db_.setDatabaseName(QString::fromStdString(path_));
    db_.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
}

SqliteHistorySource::SqliteHistorySource(QSqlDatabase db, QString connection, std::string label)
    : path_(std::move(label)), connection_(std::move(connection)), db_(std::move(db)), labelled_(true)
{}

SqliteHistorySource::~SqliteHistorySource()
{
    interrupt_.detach();
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

std::string SqliteHistorySource::description() const
{
    return labelled_ ? path_ : "local history " + path_;
}

// Opened at the first question, so that a file created later is found.
bool SqliteHistorySource::ready()
{
    if (db_.isOpen())
        return true;
    if (db_.open()) {
        interrupt_.attach(db_, 2000);
        return true;
    }
    lastError_ = "cannot open " + path_ + ": " + db_.lastError().text().toStdString();
    return false;
}

bool SqliteHistorySource::run(QSqlQuery& query, const char* sql, std::initializer_list<qlonglong> values)
{
    QVariantList bound;
    for (qlonglong value : values)
        bound.push_back(value);
    return runWith(query, QString::fromLatin1(sql), bound);
}

QString SqliteHistorySource::scoped(const QString& sql, QVariantList& values) const
{
    QString out;
    out.reserve(sql.size() + 32);
    int bound = 0; // the '?' so far, each a value
    for (int i = 0; i < sql.size(); ++i) {
        if (sql[i] == QLatin1Char('?')) {
            ++bound;
        } else if (sql[i] == QLatin1Char('{')) {
            const int end = sql.indexOf(QLatin1Char('}'), i);
            const QString part = sql.mid(i + 1, end - i - 1);
            i = end;
            if (!instrument_)
                continue;
            for (QChar c : part)
                if (c == QLatin1Char('?'))
                    values.insert(bound++, QString::fromStdString(*instrument_));
            out += part;
            continue;
        }
        out += sql[i];
    }
    return out;
}

std::vector<Reading> SqliteHistorySource::readings(int housing, std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<Reading> rows;
    if (!ready())
        return rows;
    QSqlQuery query(db_);
    if (!run(query,
            "SELECT reading_time, arrival_ms, temperature, humidity, water FROM readings "
            "WHERE {instrument = ? AND }housing = ? AND arrival_ms >= ? AND arrival_ms < ? ORDER BY "
            "arrival_ms",
            {housing, fromMs, toMs}))
        return rows;
    while (query.next())
        rows.push_back(Reading{housing, query.value(0).toLongLong(), query.value(1).toLongLong(),
            number(query.value(2)), number(query.value(3)), query.value(4).toInt() != 0});
    return rows;
}

std::vector<MinuteRollup> SqliteHistorySource::rollups(int housing, std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<MinuteRollup> rows;
    if (!ready())
        return rows;
    QSqlQuery query(db_);
    if (!run(query,
            "SELECT minute_ms, min_temperature, max_temperature, mean_temperature, min_humidity, "
            "max_humidity, mean_humidity, water, reading_count FROM rollups "
            "WHERE {instrument = ? AND }housing = ? AND minute_ms >= ? AND minute_ms < ? ORDER BY minute_ms",
            {housing, fromMs, toMs}))
        return rows;
    while (query.next()) {
        MinuteRollup row;
        row.housing = housing;
        row.minuteMs = query.value(0).toLongLong();
        row.minTemperature = number(query.value(1));
        row.maxTemperature = number(query.value(2));
        row.meanTemperature = number(query.value(3));
        row.minHumidity = number(query.value(4));
        row.maxHumidity = number(query.value(5));
        row.meanHumidity = number(query.value(6));
        row.water = query.value(7).toInt() != 0;
        row.count = query.value(8).toInt();
        rows.push_back(row);
    }
    return rows;
}

// PostgreSQL groups the rollups by bucket in a hash table. SQLite would sort
// them all first (it cannot tell that the bucket follows the key's order),
// so there the buckets are listed in a temporary table of this connection
// and each one's rollups found through the key: half the time.
std::vector<RollupBucket> SqliteHistorySource::buckets(
    int housing, std::int64_t fromMs, std::int64_t toMs, std::int64_t bucketMs)
{
    std::vector<RollupBucket> rows;
    if (!ready() || toMs <= fromMs)
        return rows;
    const std::int64_t width = bucketWidth(bucketMs);
    QSqlQuery query(db_);
    if (db_.driverName() == QLatin1String("QSQLITE")) {
        if (!run(query,
                "CREATE TEMP TABLE IF NOT EXISTS kov_buckets (start_ms BIGINT PRIMARY KEY) WITHOUT ROWID",
                {}) ||
            !run(query, "DELETE FROM temp.kov_buckets", {}) ||
            !run(query,
                "WITH RECURSIVE b(s) AS (SELECT ? / ? * ? UNION ALL SELECT s + ? FROM b WHERE s + ? < ?) "
                "INSERT INTO temp.kov_buckets SELECT s FROM b",
                {fromMs, width, width, width, width, toMs}))
            return rows;
        const std::string sql = std::string("SELECT start_ms, ") + bucketColumns +
            " FROM temp.kov_buckets JOIN rollups ON housing = ? AND minute_ms >= max(start_ms, ?) AND "
            "minute_ms < min(start_ms + ?, ?) GROUP BY start_ms ORDER BY start_ms";
        if (!run(query, sql.c_str(), {housing, fromMs, width, toMs}))
            return rows;
    } else {
        const std::string sql = std::string("SELECT minute_ms / ? * ? AS bucket_ms, ") + bucketColumns +
            " FROM rollups WHERE {instrument = ? AND }housing = ? AND minute_ms >= ? AND minute_ms < ? GROUP "
            "BY bucket_ms "
            "ORDER BY bucket_ms";
        if (!run(query, sql.c_str(), {width, width, housing, fromMs, toMs}))
            return rows;
    }
    while (query.next()) {
        RollupBucket row;
        row.housing = housing;
        row.startMs = query.value(0).toLongLong();
        row.firstMinuteMs = query.value(1).toLongLong();
        row.lastMinuteMs = query.value(2).toLongLong();
        row.minTemperature = number(query.value(3));
        row.maxTemperature = number(query.value(4));
        row.meanTemperature = number(query.value(5));
        row.minHumidity = number(query.value(6));
        row.maxHumidity = number(query.value(7));
        row.meanHumidity = number(query.value(8));
        row.water = query.value(9).toInt() != 0;
        row.count = query.value(10).toLongLong();
        row.minutes = query.value(11).toInt();
        rows.push_back(row);
    }
    return rows;
}

// The set in force at fromMs is each setpoint's last value up to then (each
// start records the whole set); every later change gives a new whole set.
std::vector<SetpointsInForce> SqliteHistorySource::setpoints(
    int housing, std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<SetpointsInForce> sets;
    if (!ready())
        return sets;
    QSqlQuery query(db_);
    if (!run(query,
            "SELECT time_ms, setpoint, new_value FROM setpoint_changes WHERE {instrument = ? AND }housing = "
            "? AND time_ms < ? "
            "ORDER BY time_ms, seq",
            {housing, toMs}))
        return sets;
    struct Row {
        std::int64_t time;
        int which;
        double value;
    };
    std::vector<Row> rows;
    while (query.next()) {
        const int which = query.value(1).toInt();
        if (which >= 0 && which < 4)
            rows.push_back(Row{query.value(0).toLongLong(), which, query.value(2).toDouble()});
    }

    std::array<double, 4> values{};
    std::array<bool, 4> known{};
    std::int64_t since = fromMs;
    bool pastFrom = false;
    auto whole = [&] { return known[0] && known[1] && known[2] && known[3]; };
    auto inForce = [&] { return SetpointsInForce{since, values[0], values[1], values[2], values[3]}; };
    for (std::size_t i = 0; i < rows.size();) {
        const std::int64_t time = rows[i].time;
        if (time > fromMs && !pastFrom) {
            pastFrom = true;
            if (whole())
                sets.push_back(inForce());
        }
        bool changed = false;
        for (; i < rows.size() && rows[i].time == time; ++i) {
            const Row& row = rows[i];
            changed = changed || !known[row.which] || values[row.which] != row.value;
            values[row.which] = row.value;
            known[row.which] = true;
        }
        if (!changed)
            continue;
        since = time;
        if (pastFrom && whole())
            sets.push_back(inForce());
    }
    if (!pastFrom && whole())
        sets.push_back(inForce());
    return sets;
}

std::vector<MessageRecord> SqliteHistorySource::messages(std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<MessageRecord> rows;
    if (!ready())
        return rows;
    QSqlQuery query(db_);
    if (!run(query,
            "SELECT priority, instrument_time, arrival_ms, message_text FROM messages "
            "WHERE {instrument = ? AND }arrival_ms >= ? AND arrival_ms < ? ORDER BY arrival_ms, seq",
            {fromMs, toMs}))
        return rows;
    while (query.next())
        rows.push_back(MessageRecord{query.value(0).toInt(), query.value(1).toLongLong(),
            query.value(2).toLongLong(), text(query.value(3))});
    return rows;
}

// The whole sets recorded at each start (old value equal to new) are not
// changes and are left out.
std::vector<SetpointChange> SqliteHistorySource::setpointChanges(std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<SetpointChange> rows;
    if (!ready())
        return rows;
    QSqlQuery query(db_);
    if (!run(query,
            "SELECT housing, setpoint, old_value, new_value, time_ms FROM setpoint_changes "
            "WHERE {instrument = ? AND }time_ms >= ? AND time_ms < ? AND old_value <> new_value ORDER BY "
            "time_ms, seq",
            {fromMs, toMs}))
        return rows;
    while (query.next())
        rows.push_back(SetpointChange{query.value(0).toInt(), static_cast<Setpoint>(query.value(1).toInt()),
            query.value(2).toDouble(), query.value(3).toDouble(), query.value(4).toLongLong()});
    return rows;
}

std::vector<LinkChange> SqliteHistorySource::linkChanges(std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<LinkChange> rows;
    if (!ready())
        return rows;
    QSqlQuery query(db_);
    if (!run(query,
            "SELECT kind, reason, time_ms FROM link_changes WHERE {instrument = ? AND }time_ms >= ? AND "
            "time_ms < ? "
            "ORDER BY time_ms, seq",
            {fromMs, toMs}))
        return rows;
    while (query.next())
        rows.push_back(LinkChange{static_cast<LinkEvent>(query.value(0).toInt()), text(query.value(1)),
            query.value(2).toLongLong()});
    return rows;
}

std::vector<AlarmRecord> SqliteHistorySource::alarmRecords(std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<AlarmRecord> rows;
    if (!ready())
        return rows;
    QSqlQuery query(db_);
    if (!run(query,
            "SELECT action, point, user_name, time_ms, point_key, comment, until_ms, value, setpoint "
            "FROM alarm_records WHERE {instrument = ? AND }time_ms >= ? AND time_ms < ? ORDER BY time_ms, "
            "seq",
            {fromMs, toMs}))
        return rows;
    while (query.next()) {
        const int action = query.value(0).toInt();
        // A row written by a later version with an action this one does not know.
        if (action < 0 || action > static_cast<int>(AlarmAction::ShelfExpired))
            continue;
        AlarmRecord record{static_cast<AlarmAction>(action), text(query.value(1)), text(query.value(2)),
            query.value(3).toLongLong(), text(query.value(4)), text(query.value(5)),
            query.value(6).toLongLong()};
        record.value = number(query.value(7));
        record.setpoint = number(query.value(8));
        rows.push_back(std::move(record));
    }
    return rows;
}

} // namespace History
