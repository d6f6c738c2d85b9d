#pragma once

#include "history_batch.h"
#include "history_fault.h"
#include "housing.h"

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
// tables on first open (WAL, synchronous NORMAL, a busy timeout for a second
// client in the same folder), written one batch per transaction, rolled up
// per minute and trimmed in small steps. Everything runs on the thread that
// called open(); the object is used and destroyed there.
class HistoryStore {
public:
    static constexpr std::int64_t minuteMs = 60000;
    // Rows deleted by one retention step at most (about a millisecond).
    static constexpr int retentionBatch = 5000;

    // `connectionName` must be unique in the process.
    HistoryStore(std::string path, std::string connectionName);
    ~HistoryStore();

    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens or creates the file and brings the per-minute rollups up to
    // the last reading stored. NewerSchema leaves it closed.
    Fault open();
    void close();
    bool isOpen() const;

    // One transaction: the readings (a reading in an already used
    // millisecond of its housing moves on by one), the events, and the
    // rollups of every minute completed by these readings.
    Fault write(const Batch& batch);

    // Rolls up the minutes still open (at the end of recording).
    Fault finishRollups();

    // One bounded step of trimming, as its own transaction. `more` tells
    // whether anything older than the limits may remain.
    Fault retentionStep(std::int64_t nowMs, const Retention& retention, bool& more);

    // Why the last call failed, for the log.
    const std::string& lastError() const { return lastError_; }
    const std::string& path() const { return path_; }

    // The store's fault for an error of the SQLite driver.
    static Fault classify(const QSqlError& error);

private:
    struct Sequence {
        std::int64_t lastMs = INT64_MIN;
        int next = 0;
    };

    Fault prepareFile();
    Fault prepareStatements();
    Fault readKeys();
    Fault rollUpFromLast(int housing);
    Fault rollUp(int housing, std::int64_t fromMs, std::int64_t toMs);
    Fault insertReading(const Reading& reading);
    Fault insertEvent(const Event& event);
    int nextSeq(Sequence& sequence, std::int64_t timeMs);
    Fault exec(const QString& sql);
    Fault fail(const QSqlError& error, const char* what);
    Fault trim(int target, std::int64_t cutoffMs, int& deleted);

    std::string path_;
    QString connection_;
    QSqlDatabase db_;
    std::unique_ptr<QSqlQuery> insertReading_, insertMessage_, insertSetpoint_, insertLink_, insertAlarm_,
        rollUp_;
    std::array<std::int64_t, Housing::count> lastArrival_{};
    std::array<std::int64_t, Housing::count> openMinute_{};
    std::vector<std::pair<int, std::int64_t>> completed_; // (housing, minute) to roll up
    Sequence messageSeq_, setpointSeq_, linkSeq_, alarmSeq_;
    int retentionTarget_ = 0;
    std::string lastError_;
};

} // namespace History
