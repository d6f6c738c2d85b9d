#pragma once

#include "archive_address.h"
#include "archive_buffer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace Recorder {

// Writes what the recorder receives into the archive, on a thread of its
// own that owns the connection. Rows wait in a bounded buffer while the
// archive is unreachable; the connection is tried again with the reconnect
// backoff (1 s doubling to 8 s) and the buffer written when it is back, in
// order. A refused role or password, a missing database and a newer schema
// end recording: `fatal` is called once with the program's exit status.
class ArchiveWriter {
public:
    // Exit statuses of the recorder for what ends it.
    static constexpr int newerSchemaStatus = 2;
    static constexpr int refusedStatus = 3;
    static constexpr int noDatabaseStatus = 4;

    struct Options {
        History::ArchiveAddress address;
        std::size_t bound = 1000000;
        std::size_t batchRows = 5000;
        std::chrono::milliseconds flushPeriod{250};
        std::function<void(const std::string&)> log;        // writer thread
        std::function<void(int, const std::string&)> fatal; // writer thread
    };

    explicit ArchiveWriter(Options options);
    ~ArchiveWriter();

    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    void start();

    // Any thread; the rows already carry their keys.
    void push(const History::Reading& reading) { shared_->buffer.push(reading); }
    void push(History::Event event) { shared_->buffer.push(std::move(event)); }

    // Writes what is held, waiting at most `limit`; false when rows were
    // left unwritten (said in the log).
    bool stop(std::chrono::milliseconds limit);

    bool connected() const { return shared_->connected; }
    // False while the writer thread still runs (a stop that ran out of time).
    bool finished() const;
    std::uint64_t written() const { return shared_->written; }
    std::size_t buffered() const { return shared_->buffer.size(); }

private:
    friend class WriterThread;
    struct Shared {
        explicit Shared(Options o) : options(std::move(o)), buffer(options.bound) {}
        Options options;
        ArchiveBuffer buffer;
        std::atomic<bool> connected{false};
        std::atomic<bool> stopping{false};
        std::atomic<std::int64_t> deadlineMs{0}; // steady clock, once stopping
        std::atomic<std::uint64_t> written{0};
        std::atomic<bool> allWritten{true};
        std::mutex doneMutex;
        std::condition_variable doneChanged;
        bool done = false;
    };

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
    bool started_ = false;
};

} // namespace Recorder
