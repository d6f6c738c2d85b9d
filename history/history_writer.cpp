#include "history_writer.h"

#include "history_file.h"
#include "history_queue.h"
#include "history_schema.h"

#include <condition_variable>
#include <mutex>

namespace History {

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t utcNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// One connection name per writer in the process.
std::string connectionName()
{
    static std::atomic<int> count{0};
    return "kov_history_writer_" + std::to_string(++count);
}

// Moves what `from` holds to the end of `to`.
void append(Batch& to, Batch& from)
{
    to.readings.insert(to.readings.end(), from.readings.begin(), from.readings.end());
    for (Event& event : from.events)
        to.events.push_back(std::move(event));
    from.clear();
}

} // namespace

struct HistoryWriter::Shared {
    explicit Shared(Options o)
        : options(std::move(o)), queue(options.readingCapacity, options.eventCapacity, options.eventBytes)
    {}

    Options options;
    HistoryQueue queue;
    const std::shared_ptr<SqlInterrupt> interrupt = std::make_shared<SqlInterrupt>();
    std::atomic<State> state{State::Starting};
    std::atomic<std::uint64_t> written{0};
    std::atomic<bool> stopping{false};
    std::atomic<bool> allWritten{true};
    std::mutex doneMutex;
    std::condition_variable doneChanged;
    bool done = false;
};

// The writer thread's work, one pass at a time.
class WriterLoop {
public:
    using Options = HistoryWriter::Options;
    using State = HistoryWriter::State;

    WriterLoop(HistoryWriter::Shared& shared)
        : shared_(shared), options_(shared.options), store_(options_.path, connectionName(), shared.interrupt)
    {
        store_.setBusyWait(static_cast<int>(options_.busyWait.count()));
    }

    void run();

private:
    void log(const std::string& text) const
    {
        if (options_.log)
            options_.log(text);
    }
    void tellOnce(bool& told, const std::string& text)
    {
        if (told || !options_.notice)
            return;
        told = true;
        options_.notice(text);
    }
    void setState(State state) { shared_.state = state; }
    bool interrupted() const { return shared_.interrupt->interrupted(); }

    void open();
    void onFault(Fault fault);
    void busyEnded();
    void reportHeld();
    void moveAside();
    void pause();
    void pass();
    void writePending();
    void retention();
    void finish();
    void reportThinned(bool force);

    HistoryWriter::Shared& shared_;
    const Options& options_;
    HistoryStore store_;
    Batch pending_;
    bool havePending_ = false;
    Clock::time_point retryAt_{};
    Clock::time_point retentionAt_{};
    Clock::time_point thinnedReportAt_{};
    Clock::time_point busySince_{};
    bool busy_ = false;
    bool holding_ = false;
    bool retentionActive_ = false;
    bool movedAside_ = false;
    bool toldDamaged_ = false, toldPaused_ = false, toldNewer_ = false;
    std::uint64_t dropped_ = 0;
    std::uint64_t thinnedReported_ = 0;
};

void WriterLoop::run()
{
    open();
    while (!shared_.stopping) {
        shared_.queue.waitUntil(Clock::now() + options_.flushPeriod);
        pass();
    }
    finish();
}

void WriterLoop::open()
{
    const Fault fault = store_.open();
    if (fault == Fault::None) {
        if (shared_.state == State::Paused)
            log("History: recording resumed in " + store_.path());
        const int from = store_.upgradedFrom();
        if (from > 0 && from < HistorySchema::version)
            log("History: " + store_.path() + " brought from version " + std::to_string(from) + " to " +
                std::to_string(HistorySchema::version) + ", every row kept");
        busyEnded();
        setState(State::Recording);
        movedAside_ = false;
        retentionAt_ = Clock::now() + std::chrono::seconds(10);
        return;
    }
    onFault(fault);
}

void WriterLoop::onFault(Fault fault)
{
    switch (fault) {
    case Fault::None:
        return;
    case Fault::Damaged:
        moveAside();
        return;
    case Fault::NewerSchema:
        store_.close();
        setState(State::ReadOnly);
        log("History: " + store_.path() + " is of a newer client (" + store_.lastError() +
            "); nothing is recorded");
        tellOnce(toldNewer_,
            "The history file kovhistory.db was written by a newer version of the client. It is left as it "
            "is: nothing is recorded in it.");
        return;
    case Fault::Busy:
        // Another client holds the file past the busy wait: the batch is
        // kept and tried again at the next pass, said once until it works.
        if (!busy_) {
            busy_ = true;
            busySince_ = Clock::now();
            log("History: the file is busy (" + store_.lastError() + "); trying again until it is free");
        }
        if (!store_.isOpen())
            retryAt_ = Clock::now();
        return;
    case Fault::Unwritable:
        pause();
        return;
    }
}

void WriterLoop::busyEnded()
{
    if (!busy_)
        return;
    busy_ = false;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - busySince_).count();
    log("History: the file is free again after " + std::to_string(seconds) + " s");
}

void WriterLoop::moveAside()
{
    store_.close();
    const std::string reason = store_.lastError();
    std::string error;
    const std::string aside =
        movedAside_ ? std::string() : HistoryFile::moveAside(store_.path(), utcNowMs(), error);
    if (aside.empty()) {
        log("History: " + store_.path() + " is damaged (" + reason + ") and cannot be replaced: " + error);
        pause();
        return;
    }
    movedAside_ = true;
    log("History: " + store_.path() + " was not a readable database (" + reason + "); moved aside as " +
        aside + " and a new one started");
    const auto slash = aside.find_last_of('/');
    tellOnce(toldDamaged_,
        "The history file kovhistory.db was damaged. It has been moved aside as " +
            aside.substr(slash == std::string::npos ? 0 : slash + 1) +
            " and a new history file has been started. See client.log for details");
    open();
}

// The operator hears of a pause once it has outlasted its first retry: a
// moment of full disk is only logged.
void WriterLoop::pause()
{
    store_.close();
    retryAt_ = Clock::now() + options_.retryPeriod;
    const bool retryFailed = shared_.state == State::Paused;
    setState(State::Paused);
    if (!retryFailed) {
        log("History: recording paused: " + store_.lastError() + "; trying again every minute");
        return;
    }
    tellOnce(toldPaused_,
        "The history cannot be written (" + store_.lastError() +
            "). Recording is paused and tried again every minute; the display goes on. See client.log for "
            "details");
}

void WriterLoop::pass()
{
    const State state = shared_.state;
    if ((state == State::Paused || (state == State::Starting && !store_.isOpen())) &&
        Clock::now() >= retryAt_)
        open();
    if (!havePending_) {
        shared_.queue.take(pending_);
        havePending_ = !pending_.empty();
    }
    // A file still opening (another client held it past the busy timeout)
    // keeps what is queued for the next try; the queue's bound holds
    // meanwhile. Paused or read-only, nothing can be recorded: the queue
    // must not grow.
    if (shared_.state != State::Recording && shared_.state != State::Starting) {
        dropped_ += pending_.readings.size() + pending_.events.size();
        pending_.clear();
        havePending_ = false;
    }
    writePending();
    retention();
    reportThinned(false);
}

void WriterLoop::writePending()
{
    if (!havePending_ || shared_.state != State::Recording)
        return;
    const Fault fault = store_.write(pending_);
    if (fault == Fault::None) {
        busyEnded();
        shared_.written += pending_.readings.size();
        pending_.clear();
        havePending_ = false;
        return;
    }
    if (fault != Fault::Busy) {
        dropped_ += pending_.readings.size() + pending_.events.size();
        pending_.clear();
        havePending_ = false;
    }
    onFault(fault);
}

// At most once a retention period, a pass of small steps, a few at each
// flush so that the lock is never held long.
void WriterLoop::retention()
{
    if (shared_.state != State::Recording)
        return;
    const Clock::time_point now = Clock::now();
    if (!retentionActive_ && now >= retentionAt_) {
        retentionActive_ = true;
        retentionAt_ = now + options_.retentionPeriod;
    }
    const Clock::time_point budget = now + std::chrono::milliseconds(20);
    while (retentionActive_ && Clock::now() < budget) {
        bool more = false;
        const Fault fault = store_.retentionStep(utcNowMs(), options_.retention, more);
        if (fault != Fault::None) {
            log("History: retention step failed: " + store_.lastError());
            retentionActive_ = false;
            onFault(fault);
            return;
        }
        retentionActive_ = more;
        if (!more)
            reportHeld();
    }
}

// Once when the trimming is held back, and once when it goes on again.
void WriterLoop::reportHeld()
{
    const std::string& held = store_.retentionHeld();
    if (!held.empty() && !holding_)
        log("History: old rows are kept for now, " + held +
            "; the clock was set forward, or the client was off that long. They are trimmed once the "
            "limit has passed that time");
    else if (held.empty() && holding_)
        log("History: old rows are trimmed again");
    holding_ = !held.empty();
}

void WriterLoop::reportThinned(bool force)
{
    const Clock::time_point now = Clock::now();
    if (!force && now < thinnedReportAt_)
        return;
    thinnedReportAt_ = now + std::chrono::seconds(10);
    const std::uint64_t thinned = shared_.queue.thinned() + shared_.queue.lost() + dropped_;
    if (thinned == thinnedReported_)
        return;
    log("History: since start " + std::to_string(shared_.queue.thinned()) +
        " readings thinned (queue full), " + std::to_string(shared_.queue.lost()) +
        " other records lost (queue full, by count or by bytes of text), " + std::to_string(dropped_) +
        " records not recorded (no writable history file)");
    thinnedReported_ = thinned;
}

// What is still queued joins the batch that waits; it is written while the
// stop allows (its interrupt ends any wait), and what is left is counted.
void WriterLoop::finish()
{
    Batch queued;
    shared_.queue.take(queued);
    append(pending_, queued);
    havePending_ = !pending_.empty();
    if (havePending_ && shared_.state == State::Starting && !store_.isOpen())
        open();
    while (havePending_ && shared_.state == State::Recording && !interrupted())
        writePending();
    if (shared_.state == State::Recording && !interrupted())
        if (const Fault fault = store_.finishRollups(); fault != Fault::None)
            log("History: the last minutes could not be rolled up: " + store_.lastError());
    if (!pending_.empty()) {
        shared_.allWritten = false;
        log("History: " + std::to_string(pending_.readings.size()) + " readings and " +
            std::to_string(pending_.events.size()) + " other records could not be written before the end (" +
            (store_.lastError().empty() ? std::string("no writable history file") : store_.lastError()) +
            ")");
    }
    reportThinned(true);
    store_.close();
    setState(State::Stopped);
}

HistoryWriter::HistoryWriter(Options options) : shared_(std::make_shared<Shared>(std::move(options))) {}

HistoryWriter::~HistoryWriter()
{
    stop();
}

void HistoryWriter::start()
{
    if (thread_.joinable())
        return;
    thread_ = std::thread(&HistoryWriter::run, shared_);
}

void HistoryWriter::run(const std::shared_ptr<Shared>& shared)
{
    {
        WriterLoop loop(*shared);
        loop.run();
    }
    std::lock_guard<std::mutex> lock(shared->doneMutex);
    shared->done = true;
    shared->doneChanged.notify_all();
}

void HistoryWriter::push(const Reading& reading)
{
    shared_->queue.push(reading);
}

void HistoryWriter::push(Event event)
{
    shared_->queue.push(std::move(event));
}

bool HistoryWriter::stop(std::chrono::milliseconds limit)
{
    if (!thread_.joinable())
        return shared_->allWritten;
    shared_->stopping = true;
    shared_->queue.wake();
    // Most of the limit for the last records; then the interrupt ends what
    // the writer still waits for in the database, and it ends at once.
    std::unique_lock<std::mutex> lock(shared_->doneMutex);
    const bool finished =
        shared_->doneChanged.wait_for(lock, limit * 4 / 5, [this] { return shared_->done; });
    lock.unlock();
    if (!finished)
        shared_->interrupt->interrupt();
    thread_.join();
    return shared_->allWritten;
}

HistoryWriter::State HistoryWriter::state() const
{
    return shared_->state;
}

std::uint64_t HistoryWriter::thinned() const
{
    return shared_->queue.thinned();
}

std::uint64_t HistoryWriter::lost() const
{
    return shared_->queue.lost();
}

std::uint64_t HistoryWriter::written() const
{
    return shared_->written;
}

} // namespace History
