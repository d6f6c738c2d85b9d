#pragma once

#include "history_source.h"
#include "sql_interrupt.h"

#include <QSqlDatabase>
#include <QVariant>

#include <optional>
#include <string>

class QSqlQuery;

namespace History {

// Reads the local history file with a read-only connection of its own,
// opened on the thread that creates the object (a reader never blocks the
// writer: WAL). Each answer reads to the end of its statement, so the
// writer's checkpoints are never held up.
class SqliteHistorySource : public HistorySource {
public:
    explicit SqliteHistorySource(std::string path);
    ~SqliteHistorySource() override;

    SqliteHistorySource(const SqliteHistorySource&) = delete;
    SqliteHistorySource& operator=(const SqliteHistorySource&) = delete;

    std::vector<Reading> readings(int housing, std::int64_t fromMs, std::int64_t toMs) override;
    std::vector<MinuteRollup> rollups(int housing, std::int64_t fromMs, std::int64_t toMs) override;
    std::vector<RollupBucket> buckets(
        int housing, std::int64_t fromMs, std::int64_t toMs, std::int64_t bucketMs) override;
    std::vector<SetpointsInForce> setpoints(int housing, std::int64_t fromMs, std::int64_t toMs) override;
    std::vector<MessageRecord> messages(std::int64_t fromMs, std::int64_t toMs) override;
    std::vector<SetpointChange> setpointChanges(std::int64_t fromMs, std::int64_t toMs) override;
    std::vector<LinkChange> linkChanges(std::int64_t fromMs, std::int64_t toMs) override;
    std::vector<AlarmRecord> alarmRecords(std::int64_t fromMs, std::int64_t toMs) override;

    // The shift report's reads (sqlite_report_reads.cpp).
    ReadingSummary readingSummary(int housing, std::int64_t fromMs, std::int64_t toMs,
        const SetpointsInForce& limits, bool perMinute) override;
    std::vector<ReadingGap> readingGaps(int housing, std::int64_t fromMs, std::int64_t toMs,
        std::int64_t longerThanMs, bool perMinute) override;
    std::int64_t usualIntervalMs(
        int housing, std::int64_t fromMs, std::int64_t toMs, bool perMinute) override;
    std::vector<MinuteRollup> readingBuckets(
        int housing, std::int64_t fromMs, std::int64_t toMs, std::int64_t bucketMs) override;
    std::vector<LinkOutage> linkOutages(std::int64_t fromMs, std::int64_t toMs) override;
    AlarmLoad alarmLoad(std::int64_t fromMs, std::int64_t toMs, std::int64_t windowMs, int floodAbove,
        int busyHourAbove) override;
    AlarmHandling alarmHandling(std::int64_t fromMs, std::int64_t toMs, std::int64_t longestShelfMs) override;

    std::vector<MessageRecord> messagesAtLeast(
        int priority, std::int64_t fromMs, std::int64_t toMs, int limit) override;
    std::string description() const override;
    std::string lastError() const override { return lastError_; }
    void interrupt() override { interrupt_.interrupt(); }

protected:
    // A reader of the same tables through another driver (the archive):
    // `db` is set up and not yet opened under the name `connection`; `label`
    // is what description() answers.
    SqliteHistorySource(QSqlDatabase db, QString connection, std::string label);

    // Opens the connection at the first question; false says why in lastError().
    bool ready();

    // The rows of one instrument only, in a store that holds many (the
    // archive's tables lead with `instrument`); unset for one that holds
    // a single instrument's (the history file).
    void setInstrument(std::string name) { instrument_ = std::move(name); }

private:
    bool run(QSqlQuery& query, const char* sql, std::initializer_list<qlonglong> values);
    bool runWith(QSqlQuery& query, const QString& sql, QVariantList values);
    // The SQL as this store takes it: each "{...}" in it kept, with its "?"
    // bound to the instrument (inserted into `values` in their order), where
    // an instrument is set, and dropped where none is.
    QString scoped(const QString& sql, QVariantList& values) const;
    // The report's pieces of a reading summary.
    bool addRawSummary(ReadingSummary& into, int housing, std::int64_t fromMs, std::int64_t toMs,
        const SetpointsInForce& limits);
    bool addMinuteSummary(ReadingSummary& into, int housing, std::int64_t fromMs, std::int64_t toMs,
        const SetpointsInForce& limits);
    std::int64_t lastRolledMinute(int housing, std::int64_t fromMs, std::int64_t toMs);
    std::vector<AlarmSpan> spans(AlarmSpan::Kind kind, const char* actions, int start, const char* ends,
        std::int64_t lookBackFromMs, std::int64_t fromMs, std::int64_t toMs);

    std::string path_;
    QString connection_;
    QSqlDatabase db_;
    std::string lastError_;
    std::optional<std::string> instrument_;
    bool labelled_ = false;
    SqlInterrupt interrupt_;
};

} // namespace History
