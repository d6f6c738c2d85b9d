#include "archive_writer.h"

#include "archive_store.h"
#include "failure_log.h"
#include "reconnect_backoff.h"

#include <random>
#include <utility>

namespace Recorder {

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

std::string connectionName()
{
    static std::atomic<int> count{0};
    return "kov_archive_writer_" + std::to_string(++count);
}

// A database server that is back is found within this: a try costs one
// connection attempt, and what is held must not wait a minute.
constexpr int longestWaitSeconds = 8;

} // namespace

// The writer thread's work.
class WriterThread {
public:
    explicit WriterThread(ArchiveWriter::Shared& shared)
        : shared_(shared),
          options_(shared.options),
          store_(options_.address, connectionName()),
          backoff_(1, longestWaitSeconds, steadyMs,
              [this] { return std::uniform_real_distribution<double>(0, 1)(random_); })
    {}

    void run();

private:
    void log(const std::string& text) const
    {
        if (options_.log)
            options_.log(text);
    }
    bool connect();
    bool writePending();
    void lost(const std::string& what);
    void reportThinned();
    void finish();
    bool pastDeadline() const { return shared_.stopping && steadyMs() >= shared_.deadlineMs; }

    ArchiveWriter::Shared& shared_;
    const ArchiveWriter::Options& options_;
    ArchiveStore store_;
    std::mt19937 random_{std::random_device{}()};
    ReconnectBackoff backoff_;
    FailureLog failures_;
    History::Batch pending_;
    bool everConnected_ = false;
    bool failedOnce_ = false;
    int unsaidTries_ = 0;
    bool fatal_ = false;
    std::uint64_t thinnedSaid_ = 0, lostSaid_ = 0;
};

void WriterThread::run()
{
    while (!shared_.stopping && !fatal_) {
        const bool open = store_.isOpen();
        const std::chrono::milliseconds wait = open
            ? options_.flushPeriod
            : std::chrono::milliseconds(std::max<std::int64_t>(backoff_.msUntilTry(), 1));
        shared_.buffer.waitFor(wait, open ? options_.batchRows : SIZE_MAX);
        if (shared_.stopping)
            break;
        if (!store_.isOpen() && (backoff_.msUntilTry() > 0 || !connect()))
            continue;
        while (writePending() && !shared_.stopping && shared_.buffer.size() >= options_.batchRows) {}
        reportThinned();
    }
    finish();
}

bool WriterThread::connect()
{
    const ArchiveStore::Outcome outcome = store_.open();
    const std::string where = options_.address.label();
    switch (outcome) {
    case ArchiveStore::Outcome::Ok:
        shared_.connected = true;
        backoff_.reset();
        failures_.succeeded();
        log((everConnected_ || failedOnce_ ? "writing to " : "recording into ") + where +
            (shared_.buffer.size() > 0 ? "; " + std::to_string(shared_.buffer.size()) + " rows held to write"
                                       : std::string()));
        everConnected_ = true;
        failedOnce_ = false;
        unsaidTries_ = 0;
        return true;
    case ArchiveStore::Outcome::Refused:
    case ArchiveStore::Outcome::NoDatabase:
    case ArchiveStore::Outcome::NewerSchema: {
        fatal_ = true;
        const int status = outcome == ArchiveStore::Outcome::Refused ? ArchiveWriter::refusedStatus
            : outcome == ArchiveStore::Outcome::NoDatabase           ? ArchiveWriter::noDatabaseStatus
                                                                     : ArchiveWriter::newerSchemaStatus;
        const std::string why = outcome == ArchiveStore::Outcome::Refused
            ? "the server refused the role or its password (set it in PGPASSWORD or ~/.pgpass)"
            : outcome == ArchiveStore::Outcome::NoDatabase
            ? "the database does not exist"
            : "it was written by a newer recorder; left as it is";
        log("cannot record into " + where + ": " + why + " (" + store_.lastError() + ")");
        if (options_.fatal)
            options_.fatal(status, why);
        return false;
    }
    case ArchiveStore::Outcome::Unreachable:
        lost("cannot connect to " + where);
        return false;
    }
    return false;
}

// Said once when it starts; later failures only in a summary every ten
// minutes.
void WriterThread::lost(const std::string& what)
{
    shared_.connected = false;
    store_.close();
    backoff_.schedule();
    if (!failedOnce_) {
        failedOnce_ = true;
        log(what + ": " + store_.lastError() + "; holding up to " + std::to_string(options_.bound) +
            " rows and trying again");
        return;
    }
    ++unsaidTries_;
    if (failures_.failed("archive", steadyMs()).summarised == 0)
        return;
    log(std::to_string(std::exchange(unsaidTries_, 0)) + " more tries to reach " + options_.address.label() +
        " failed (" + store_.lastError() + "); " + std::to_string(shared_.buffer.size()) + " rows held");
}

// One batch: the one kept from a failed try, or the oldest rows held.
bool WriterThread::writePending()
{
    if (pending_.empty())
        shared_.buffer.take(pending_, options_.batchRows);
    if (pending_.empty())
        return false;
    if (store_.write(pending_) != ArchiveStore::Outcome::Ok) {
        lost("lost the connection to " + options_.address.label());
        return false;
    }
    shared_.written += pending_.readings.size() + pending_.events.size();
    pending_.clear();
    return true;
}

void WriterThread::reportThinned()
{
    const std::uint64_t thinned = shared_.buffer.thinned();
    const std::uint64_t lost = shared_.buffer.lost();
    if (thinned == thinnedSaid_ && lost == lostSaid_)
        return;
    const FailureLog::Verdict verdict = failures_.failed("thinned", steadyMs());
    if (!verdict.write && verdict.summarised == 0)
        return;
    log("buffer full at " + std::to_string(options_.bound) + " rows: " + std::to_string(thinned) +
        " readings thinned and " + std::to_string(lost) + " other rows dropped so far");
    thinnedSaid_ = thinned;
    lostSaid_ = lost;
}

// Before the deadline: one more try to connect when needed, then batches
// until nothing is held, and the open minutes rolled up.
void WriterThread::finish()
{
    if (!fatal_ && !store_.isOpen() && (!pending_.empty() || shared_.buffer.size() > 0) && !pastDeadline())
        connect();
    while (store_.isOpen() && !pastDeadline() && writePending()) {}
    if (store_.isOpen() && store_.finishRollups() != ArchiveStore::Outcome::Ok)
        log("the last minutes could not be rolled up: " + store_.lastError());
    const std::size_t left = pending_.readings.size() + pending_.events.size() + shared_.buffer.size();
    shared_.allWritten = left == 0;
    if (left > 0)
        log(std::to_string(left) + " rows were not written to " + options_.address.label());
    reportThinned();
    store_.close();
    shared_.connected = false;
}

ArchiveWriter::ArchiveWriter(Options options) : shared_(std::make_shared<Shared>(std::move(options))) {}

ArchiveWriter::~ArchiveWriter()
{
    stop(std::chrono::seconds(2));
}

void ArchiveWriter::start()
{
    if (started_)
        return;
    started_ = true;
    thread_ = std::thread([shared = shared_] {
        {
            WriterThread writer(*shared);
            writer.run();
        }
        std::lock_guard<std::mutex> lock(shared->doneMutex);
        shared->done = true;
        shared->doneChanged.notify_all();
    });
}

bool ArchiveWriter::finished() const
{
    std::lock_guard<std::mutex> lock(shared_->doneMutex);
    return shared_->done || !started_;
}

bool ArchiveWriter::stop(std::chrono::milliseconds limit)
{
    if (!thread_.joinable())
        return shared_->allWritten;
    // The writer keeps a little of the limit to close the connection.
    shared_->deadlineMs = steadyMs() + limit.count() * 8 / 10;
    shared_->stopping = true;
    shared_->buffer.wake();
    std::unique_lock<std::mutex> lock(shared_->doneMutex);
    const bool finished = shared_->doneChanged.wait_for(lock, limit, [this] { return shared_->done; });
    lock.unlock();
    if (finished)
        thread_.join();
    else
        thread_.detach(); // it holds its share of the state
    return finished && shared_->allWritten;
}

} // namespace Recorder
