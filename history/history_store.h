#pragma once

#include "history_batch.h"
#include "history_fault.h"
#include "housing.h"

#include "sql_interrupt.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QSqlError;

namespace History {

// How long each kind of row is kept, in days.
struct Retention {
    int rawDays = 90;
    int rollupDays = 3650;
    int eventDays = 3650;
};

// The SQLite history file as its one writer sees it: created with its
// tables on first open, or brought to this version (WAL, synchronous
// NORMAL, a busy wait for a second client in the same folder), written one
// batch per transaction, rolled up per minute and trimmed in small steps.
// Every row keeps the time it was given; rows of one time are numbered in
// `seq` as they are inserted. Everything runs on the thread that called
// open(); the object is used and destroyed there, but for `interrupt`.
class HistoryStore {
public:
    static constexpr std::int64_t minuteMs = 60000;
    // Rows deleted by one retention step at most (about a millisecond).
    static constexpr int retentionBatch = 5000;
    // A gap in the record at least this long at a retention limit holds
    // the trimming there (see retentionStep).
    static constexpr std::int64_t retentionGapMs = 3600000;
    // How long a write waits for another client that holds the file, by
    // default.
    static constexpr int busyMs = 2000;

    // `connectionName` must be unique in the process; `interrupt` ends the
    // store's work from another thread.
    HistoryStore(std::string path, std::string connectionName,
        std::shared_ptr<SqlInterrupt> interrupt = std::make_shared<SqlInterrupt>());
    ~HistoryStore();

    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens or creates the file and brings the per-minute rollups up to
    // the last reading stored. NewerSchema leaves it closed.
    Fault open();
    void close();
    // Before open().
    void setBusyWait(int ms) { busyWaitMs_ = ms; }
    bool isOpen() const;

    // The version the file had before open() brought it to this one (0: a
    // new file).
    int upgradedFrom() const { return upgradedFrom_; }

    // One transaction: the readings, the events, and the rollups of every
    // minute completed by these readings.
    Fault write(const Batch& batch);

    // Rolls up the minutes still open (at the end of recording).
    Fault finishRollups();

    // One bounded step of trimming, as its own transaction. `more` tells
    // whether anything older than the limits may remain. The clock is not
    // trusted alone: rows before a limit go only where the record runs on
    // across it (the readings for raw readings and rollups, the rollups for
    // the events). Where the newest row before the limit is followed by
    // nothing, or only after a gap of retentionGapMs or more, the clock was
    // set forward (or the client was off that long): those rows stay until
    // the limit has passed the gap, by when they are that old whatever
    // the clock said. retentionHeld() then says why, until the next pass.
    Fault retentionStep(std::int64_t nowMs, const Retention& retention, bool& more);
    const std::string& retentionHeld() const { return held_; }

    // Why the last call failed, for the log.
    const std::string& lastError() const { return lastError_; }
    const std::string& path() const { return path_; }

    // The store's fault for an error of the SQLite driver.
    static Fault classify(const QSqlError& error);

private:
    Fault prepareFile();
    Fault prepareStatements();
    Fault readKeys();
    Fault rollUpFromLast(int housing);
    Fault rollUp(int housing, std::int64_t fromMs, std::int64_t toMs);
    Fault insertReading(const Reading& reading);
    Fault insertEvent(const Event& event);
    Fault exec(const QString& sql);
    Fault fail(const QSqlError& error, const char* what);
    Fault trim(int target, std::int64_t cutoffMs, int& deleted);
    Fault gapAt(int target, std::int64_t cutoffMs, std::int64_t nowMs, std::string& gap);

    std::string path_;
    QString connection_;
    QSqlDatabase db_;
    std::unique_ptr<QSqlQuery> appendReading_, insertReading_, insertMessage_, insertSetpoint_, insertLink_,
        insertAlarm_, rollUp_;
    std::shared_ptr<SqlInterrupt> interrupt_;
    // The newest reading of each housing as this store wrote it: the next
    // one at or after it is appended without looking up its number.
    struct Newest {
        std::int64_t timeMs;
        int nextSeq;
    };
    std::array<Newest, Housing::count> newest_{};
    std::array<std::int64_t, Housing::count> lastArrival_{};
    std::array<std::int64_t, Housing::count> openMinute_{};
    std::vector<std::pair<int, std::int64_t>> completed_; // (housing, minute) to roll up
    int upgradedFrom_ = 0;
    int busyWaitMs_ = busyMs;
    int retentionTarget_ = 0;
    std::string held_;
    std::string lastError_;
};

} // namespace History
