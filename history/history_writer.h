#pragma once

#include "history_batch.h"
#include "history_fault.h"
#include "history_store.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace History {

class HistoryQueue;

// Records into the history file on a thread of its own, which owns the
// database connection. Any thread pushes records (a copy into a queue
// bounded by rows and by bytes of text; never a wait on the disk); the
// writer commits what has been queued at least once a flush period, so a
// killed process loses at most that much.
//
// Faults: a damaged file is moved aside and a new one started; a file or
// disk that cannot be written pauses recording (what is queued meanwhile is
// dropped) and is tried again every retry period; a file of a newer client
// is left alone; a file another client holds is tried again at every pass
// (logged once while it lasts). Each is logged through `log` and told once
// through `notice` (a pause once its first retry has failed too); both are
// called on the writer thread.
class HistoryWriter {
public:
    enum class State {
        Starting,
        Recording,
        Paused,
        ReadOnly, // a newer client's file: nothing recorded
        Stopped
    };

    struct Options {
        std::string path;
        Retention retention;
        std::size_t readingCapacity = 65536;
        std::size_t eventCapacity = 16384;
        std::size_t eventBytes = 32u << 20; // of texts queued
        std::chrono::milliseconds flushPeriod{250};
        std::chrono::milliseconds retryPeriod{60000};
        std::chrono::milliseconds retentionPeriod{3600000};
        // A write's wait for another client that holds the file.
        std::chrono::milliseconds busyWait{HistoryStore::busyMs};
        std::function<void(const std::string&)> log;
        std::function<void(const std::string&)> notice;
    };

    explicit HistoryWriter(Options options);
    // Stops as stop() does.
    ~HistoryWriter();

    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    void start();

    // Any thread.
    void push(const Reading& reading);
    void push(Event event);

    // Writes what is queued, rolls up the open minutes and closes the file.
    // After most of `limit` the writer's database work is interrupted: what
    // it committed stays, what it could not write is counted in the log.
    // Returns once the thread has ended; false when records were left
    // unwritten.
    bool stop(std::chrono::milliseconds limit = std::chrono::seconds(5));

    State state() const;
    std::uint64_t thinned() const;
    std::uint64_t lost() const;    // other records not queued (queue full)
    std::uint64_t written() const; // readings committed

private:
    friend class WriterLoop;
    struct Shared;
    static void run(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

} // namespace History
