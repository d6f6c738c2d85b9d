#pragma once

#include "archive_address.h"
#include "archive_buffer.h"
#include "liveness.h"

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
// order. A batch the archive refuses for what it holds is written row by
// row; the rows it still refuses are set aside in a file and logged, and
// the rest goes on. What is held when the writer stops is kept in a spool
// file and written first at the next start. A refused role or password, a
// missing database and a newer schema end recording: `fatal` is called once
// with the program's exit status.
class ArchiveWriter {
public:
    // Exit statuses of the recorder for what ends it.
    static constexpr int newerSchemaStatus = 2;
    static constexpr int refusedStatus = 3;
    static constexpr int noDatabaseStatus = 4;

    struct Options {
        History::ArchiveAddress address;
        std::string instrument; // named in every row of a shared archive
        std::size_t bound = 1000000;
        std::size_t eventBytes = std::size_t(128) << 20; // what messages and link changes held may take
        std::size_t batchRows = 5000;
        std::size_t batchBytes = std::size_t(8) << 20; // of events, as a rule
        std::chrono::milliseconds flushPeriod{250};
        // Empty: what is held at the end is lost (said in the log).
        std::string spoolPath;
        // Empty: refused rows are only logged.
        std::string refusedPath;
        std::function<void(const std::string&)> log;        // any thread, one at a time
        std::function<void(int, const std::string&)> fatal; // writer thread
        // Stamped by the writer thread each time round (null: none).
        std::shared_ptr<Liveness::Beat> beat;
    };

    explicit ArchiveWriter(Options options);
    ~ArchiveWriter();

    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // Reads the spool a stop left (its rows are written first), then
    // starts the writer thread.
    void start();

    // Any thread; the rows already carry their keys.
    void push(const History::Reading& reading) { shared_->buffer.push(reading); }
    void push(History::Event event) { shared_->buffer.push(std::move(event)); }

    // Writes what is held, waiting at most `limit`, and keeps the rest in
    // the spool file; false when rows were left unwritten (said in the log).
    bool stop(std::chrono::milliseconds limit);

    bool connected() const { return shared_->connected; }
    // False while the writer thread still runs (a stop that ran out of time).
    bool finished() const;
    std::uint64_t written() const { return shared_->written; }
    std::size_t buffered() const { return shared_->buffer.size(); }
    std::uint64_t refused() const { return shared_->refused; }
    std::uint64_t thinned() const { return shared_->buffer.thinned(); }
    std::uint64_t dropped() const { return shared_->buffer.lost(); }

private:
    friend class WriterThread;
    struct Shared {
        explicit Shared(Options o) : options(std::move(o)), buffer(options.bound, options.eventBytes) {}
        void log(const std::string& text) const
        {
            if (options.log)
                options.log(text);
        }
        // Writes the batch under way and the buffer to the spool file, once
        // (the writer thread at its end, or a stop that ran out of time);
        // false when rows were held and could not be kept.
        bool keepHeld();

        Options options;
        ArchiveBuffer buffer;
        // The batch being written: changed by the writer thread under the
        // lock, read under it by a stop that ran out of time.
        std::mutex pendingMutex;
        History::Batch pending;
        std::mutex spoolMutex;
        bool spoolWritten = false;   // under spoolMutex
        std::size_t spoolLoaded = 0; // rows read from the spool at the start
        std::atomic<bool> connected{false};
        std::atomic<bool> stopping{false};
        std::atomic<std::int64_t> deadlineMs{0}; // steady clock, once stopping
        std::atomic<std::uint64_t> written{0};
        std::atomic<std::uint64_t> refused{0};
        std::atomic<bool> allWritten{true};
        std::mutex doneMutex;
        std::condition_variable doneChanged;
        bool done = false;
    };

    void loadSpool();

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
    bool started_ = false;
};

} // namespace Recorder
