#pragma once

#include "archive_address.h"
#include "history_batch.h"
#include "housing.h"

#include <QSqlDatabase>

#include <array>
#include <cstdint>
#include <functional>
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
// A batch the server refuses for what it holds (a constraint, an encoding,
// a privilege) rather than for a lost connection is written again row by
// row, each row under a savepoint, so that one bad row costs only itself.
// Used on one thread only.
class ArchiveStore {
public:
    enum class Outcome {
        Ok,
        Unreachable, // no connection, or it broke: try again later
        Refused,     // the server refused the role or its password
        NoDatabase,  // the database does not exist
        NewerSchema, // written by a newer program: left alone
        Rejected,    // the server refused what a statement holds; the connection is fine
    };

    // A row (or a minute's rollup) that writeRowByRow could not write.
    struct RefusedRow {
        enum class Kind {
            Reading,
            Event,
            Rollup
        };
        Kind kind = Kind::Reading;
        std::size_t index = 0; // into the batch's readings or events; the housing of a rollup
        std::string why;
    };

    static constexpr std::int64_t minuteMs = 60000;
    // Rows per INSERT statement.
    static constexpr std::size_t rowsPerStatement = 500;

    // `instrument` names every row written to a PostgreSQL archive (one
    // shared by many instruments); an SQLite one holds a single instrument.
    ArchiveStore(History::ArchiveAddress address, std::string connectionName, std::string instrument = {});
    ~ArchiveStore();

    ArchiveStore(const ArchiveStore&) = delete;
    ArchiveStore& operator=(const ArchiveStore&) = delete;

    // Connects, creates the tables when missing, checks the schema version
    // (an older archive is brought to this one in place, every row kept)
    // and rolls up the minutes a stopped recorder left open.
    Outcome open();
    void close();
    bool isOpen() const { return db_.isOpen(); }

    // Ok, Unreachable (nothing written: try again later) or Rejected
    // (nothing written: writeRowByRow will find the rows at fault).
    Outcome write(const History::Batch& batch);
    // Writes each row on its own in one transaction: Ok with `refused`
    // naming the rows the server refused, Unreachable, or Rejected when the
    // transaction as a whole was refused at its end.
    Outcome writeRowByRow(const History::Batch& batch, std::vector<RefusedRow>& refused);
    // Rolls up the minutes still open (at the end of recording).
    Outcome finishRollups();

    // The version the archive had before open() (0: a new one).
    int upgradedFrom() const { return upgradedFrom_; }

    // Why the last call failed (never a password).
    const std::string& lastError() const { return lastError_; }
    const History::ArchiveAddress& address() const { return address_; }
    const std::string& instrument() const { return instrument_; }

    // Which outcome an error at connection time means.
    static Outcome classify(const QSqlError& error);
    // Whether a failed statement was refused for what it holds (a
    // constraint, an encoding, a privilege: the same rows would fail
    // again), rather than for a lost connection or a passing condition (a
    // full disk, a deadlock, a busy file) worth trying again.
    static bool refusesRows(const QSqlError& error, History::ArchiveAddress::Kind kind);

private:
    Outcome exec(const QString& sql);
    Outcome fail(const QSqlError& error, const char* what);
    Outcome failConnect(const QSqlError& error);
    Outcome rowByRow(const History::Batch& batch, std::vector<RefusedRow>& refused);
    Outcome underSavepoint(const std::function<Outcome()>& write, std::string& why);
    Outcome createTables();
    Outcome newerSchema(int found);
    Outcome rollUp(int housing, std::int64_t fromMs, std::int64_t toMs);
    Outcome rollUpLeftOpen(int housing);
    Outcome insertReadings(const std::vector<History::Reading>& readings);
    Outcome insertEvent(const History::Event& event);
    void noteMinute(int housing, std::int64_t arrivalMs);

    static constexpr std::int64_t none = std::numeric_limits<std::int64_t>::min();

    bool shared() const { return address_.kind == History::ArchiveAddress::Kind::Postgres; }
    // "instrument = ? AND " where rows carry it; bindInstrument() adds its value.
    QString ofInstrument() const;
    QString instrumentColumn() const; // "instrument, " or nothing
    QString instrumentValue() const;  // "?, " or nothing
    void bindInstrument(QSqlQuery& query) const;

    History::ArchiveAddress address_;
    QString connection_;
    std::string instrument_;
    QSqlDatabase db_;
    std::array<std::int64_t, Housing::count> openMinute_{none, none};
    std::vector<std::pair<int, std::int64_t>> completed_; // (housing, minute) to roll up
    int upgradedFrom_ = 0;
    std::string lastError_;
};

} // namespace Recorder
