#pragma once

#include "archive_address.h"
#include "history_batch.h"
#include "housing.h"

#include <QSqlDatabase>

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

class QSqlError;

namespace Recorder {

// The archive as the recorder's writer thread sees it: the history's tables
// (created on first use), written in batches of multi-row INSERTs, one
// transaction per batch; a row whose key is already there is left as it is,
// so a batch may be written again. The per-minute rollups of each minute a
// batch completes are recomputed from the raw rows in the same transaction.
// Used on one thread only.
class ArchiveStore {
public:
    enum class Outcome {
        Ok,
        Unreachable, // no connection, or it broke: try again later
        Refused,     // the server refused the role or its password
        NoDatabase,  // the database does not exist
        NewerSchema, // written by a newer program: left alone
    };

    static constexpr std::int64_t minuteMs = 60000;
    // Rows per INSERT statement.
    static constexpr std::size_t rowsPerStatement = 500;

    ArchiveStore(History::ArchiveAddress address, std::string connectionName);
    ~ArchiveStore();

    ArchiveStore(const ArchiveStore&) = delete;
    ArchiveStore& operator=(const ArchiveStore&) = delete;

    // Connects, creates the tables when missing, checks the schema version
    // (an older archive is brought to this one in place, every row kept)
    // and rolls up the minutes a stopped recorder left open.
    Outcome open();
    void close();
    bool isOpen() const { return db_.isOpen(); }

    Outcome write(const History::Batch& batch);
    // Rolls up the minutes still open (at the end of recording).
    Outcome finishRollups();

    // The version the archive had before open() (0: a new one).
    int upgradedFrom() const { return upgradedFrom_; }

    // Why the last call failed (never a password).
    const std::string& lastError() const { return lastError_; }
    const History::ArchiveAddress& address() const { return address_; }

    // Which outcome an error of the database means.
    static Outcome classify(const QSqlError& error);

private:
    Outcome exec(const QString& sql);
    Outcome fail(const QSqlError& error, const char* what);
    Outcome createTables();
    Outcome newerSchema(int found);
    Outcome rollUp(int housing, std::int64_t fromMs, std::int64_t toMs);
    Outcome rollUpLeftOpen(int housing);
    Outcome insertReadings(const std::vector<History::Reading>& readings);
    Outcome insertEvent(const History::Event& event);
    void noteMinute(int housing, std::int64_t arrivalMs);

    static constexpr std::int64_t none = std::numeric_limits<std::int64_t>::min();

    History::ArchiveAddress address_;
    QString connection_;
    QSqlDatabase db_;
    std::array<std::int64_t, Housing::count> openMinute_{none, none};
    std::vector<std::pair<int, std::int64_t>> completed_; // (housing, minute) to roll up
    int upgradedFrom_ = 0;
    std::string lastError_;
};

} // namespace Recorder
