#pragma once

#include "history_source.h"
#include "sql_interrupt.h"

#include <QSqlDatabase>

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

private:
    bool run(QSqlQuery& query, const char* sql, std::initializer_list<qlonglong> values);

    std::string path_;
    QString connection_;
    QSqlDatabase db_;
    std::string lastError_;
    bool labelled_ = false;
    SqlInterrupt interrupt_;
};

} // namespace History
