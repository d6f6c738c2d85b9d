#include "archive_writer.h"

#include "archive_store.h"
#include "failure_log.h"
#include "housing.h"
#include "reconnect_backoff.h"
#include "spool_file.h"

#include <QDateTime>

#include <unistd.h>

#include <cstdio>
#include <optional>
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

std::string rowCount(std::size_t rows)
{
    return std::to_string(rows) + (rows == 1 ? " row" : " rows");
}

std::string describe(const History::Reading& reading)
{
    return std::string("the reading of the ") + Housing::names[reading.housing] + " keyed " +
        std::to_string(reading.arrivalMs);
}

std::string describe(const History::Event& event)
{
    if (const auto* message = std::get_if<History::MessageRecord>(&event))
        return "the message keyed " + std::to_string(message->arrivalMs);
    if (const auto* link = std::get_if<History::LinkChange>(&event))
        return "the link change keyed " + std::to_string(link->timeMs);
    return "a record";
}

} // namespace

bool ArchiveWriter::Shared::keepHeld()
{
    std::lock_guard<std::mutex> lock(spoolMutex);
    if (spoolWritten)
        return true;
    History::Batch rows;
    {
        std::lock_guard<std::mutex> pendingLock(pendingMutex);
        rows = pending;
    }
    buffer.drain(rows);
    const std::size_t held = rows.readings.size() + rows.events.size();
    if (options.spoolPath.empty())
        return held == 0;
    spoolWritten = true;
    if (held == 0) {
        ::unlink(options.spoolPath.c_str()); // what a last stop left is written
        return true;
    }
    std::string error;
    if (!SpoolFile::save(options.spoolPath, rows, error)) {
        log("the " + rowCount(held) + " held are lost: " + error);
        return false;
    }
    log("the " + rowCount(held) + " held are kept in " + options.spoolPath +
        "; they are written first at the next start");
    return true;
}

// The writer thread's work.
class WriterThread {
public:
    explicit WriterThread(ArchiveWriter::Shared& shared)
        : shared_(shared),
          options_(shared.options),
          store_(options_.address, connectionName(), options_.instrument),
          backoff_(1, longestWaitSeconds, steadyMs,
              [this] { return std::uniform_real_distribution<double>(0, 1)(random_); })
    {}

    void run();

private:
    void log(const std::string& text) const { shared_.log(text); }
    void alive()
    {
        if (options_.beat)
            options_.beat->stamp();
    }
    bool connect();
    bool writePending();
    void setAside(const History::Batch& rows, const std::string& why);
    void setAside(const History::Batch& batch, const std::vector<ArchiveStore::RefusedRow>& refused);
    void spoolWrittenOut();
    void lost(const std::string& what);
    void reportThinned();
    void finish();
    bool pastDeadline() const { return shared_.stopping && steadyMs() >= shared_.deadlineMs; }

    ArchiveWriter::Shared& shared_;
    const ArchiveWriter::Options& options_;
    History::Batch& pending_ = shared_.pending;
    ArchiveStore store_;
    std::mt19937 random_{std::random_device{}()};
    ReconnectBackoff backoff_;
    FailureLog failures_;
    bool everConnected_ = false;
    bool failedOnce_ = false;
    int unsaidTries_ = 0;
    bool fatal_ = false;
    std::uint64_t thinnedSaid_ = 0, lostSaid_ = 0;
};

void WriterThread::run()
{
    while (!shared_.stopping) {
        alive();
        // What is held after a fatal error goes into the spool at the stop.
        if (fatal_) {
            shared_.buffer.waitFor(std::chrono::seconds(1), SIZE_MAX);
            continue;
        }
        const bool open = store_.isOpen();
        const std::chrono::milliseconds wait = open
            ? options_.flushPeriod
            : std::chrono::milliseconds(std::max<std::int64_t>(backoff_.msUntilTry(), 1));
        shared_.buffer.waitFor(wait, open ? options_.batchRows : SIZE_MAX);
        if (shared_.stopping)
            break;
        if (!store_.isOpen() && (backoff_.msUntilTry() > 0 || !connect()))
            continue;
        while (writePending() && !shared_.stopping && shared_.buffer.size() >= options_.batchRows)
            alive();
        reportThinned();
    }
    finish();
}

bool WriterThread::connect()
{
    // Opening may wait on another recorder's creation lock, or upgrade an
    // archive's tables: minutes for a large one, and no hang.
    std::optional<Liveness::Beat::Excuse> excuse;
    if (options_.beat)
        excuse.emplace(*options_.beat);
    const ArchiveStore::Outcome outcome = store_.open();
    excuse.reset();
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
    case ArchiveStore::Outcome::Rejected: // e.g. no right to create the tables: a person may grant it
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
            " rows (" + std::to_string(options_.eventBytes >> 20) + " MiB of messages) and trying again");
        return;
    }
    ++unsaidTries_;
    if (failures_.failed("archive", steadyMs()).summarised == 0)
        return;
    log(std::to_string(std::exchange(unsaidTries_, 0)) + " more tries to reach " + options_.address.label() +
        " failed (" + store_.lastError() + "); " + std::to_string(shared_.buffer.size()) + " rows held");
}

// One batch: the one kept from a failed try, or the oldest rows held. A
// batch refused for what it holds is written row by row, and the rows
// refused again are set aside: one bad row must not stall the archive.
bool WriterThread::writePending()
{
    if (pending_.empty()) {
        std::lock_guard<std::mutex> lock(shared_.pendingMutex);
        shared_.buffer.take(pending_, options_.batchRows, options_.batchBytes);
    }
    if (pending_.empty()) {
        spoolWrittenOut();
        return false;
    }
    const std::size_t rows = pending_.readings.size() + pending_.events.size();
    const std::uint64_t refusedBefore = shared_.refused;
    ArchiveStore::Outcome outcome = store_.write(pending_);
    if (outcome == ArchiveStore::Outcome::Rejected) {
        std::vector<ArchiveStore::RefusedRow> refused;
        const FailureLog::Verdict verdict = failures_.failed("batch", steadyMs());
        if (verdict.write)
            log("the archive refused a batch of " + rowCount(rows) + " (" + store_.lastError() +
                "); writing it row by row");
        outcome = store_.writeRowByRow(pending_, refused);
        if (outcome == ArchiveStore::Outcome::Rejected) {
            setAside(pending_, "the transaction was refused: " + store_.lastError());
            outcome = ArchiveStore::Outcome::Ok;
        } else if (outcome == ArchiveStore::Outcome::Ok) {
            setAside(pending_, refused);
        }
    }
    if (outcome != ArchiveStore::Outcome::Ok) {
        lost("lost the connection to " + options_.address.label());
        return false;
    }
    shared_.written += rows - (shared_.refused - refusedBefore);
    {
        std::lock_guard<std::mutex> lock(shared_.pendingMutex);
        pending_.clear();
    }
    return true;
}

// Each refused row goes to the refused file with the server's reason; the
// log says the first few and then how many more.
void WriterThread::setAside(const History::Batch& batch, const std::vector<ArchiveStore::RefusedRow>& refused)
{
    using Kind = ArchiveStore::RefusedRow::Kind;
    for (const ArchiveStore::RefusedRow& row : refused) {
        if (row.kind == Kind::Rollup) {
            const FailureLog::Verdict verdict = failures_.failed("rollup", steadyMs());
            if (verdict.write)
                log(std::string("a minute of the ") + Housing::names[row.index] +
                    " could not be rolled up (" + row.why + ")");
            continue;
        }
        History::Batch one;
        if (row.kind == Kind::Reading)
            one.readings.push_back(batch.readings[row.index]);
        else
            one.events.push_back(batch.events[row.index]);
        setAside(one, row.why);
    }
}

void WriterThread::setAside(const History::Batch& rows, const std::string& why)
{
    const std::size_t count = rows.readings.size() + rows.events.size();
    shared_.refused += count;
    std::string where = "; not kept";
    if (!options_.refusedPath.empty()) {
        const std::string when = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
        std::string error;
        where = SpoolFile::append(options_.refusedPath, when + " " + why, rows, error)
            ? "; set aside in " + options_.refusedPath
            : "; not kept: " + error;
    }
    const FailureLog::Verdict verdict = failures_.failed("refused", steadyMs());
    if (verdict.write) {
        const std::string what = count != 1 ? "a batch of " + rowCount(count)
            : rows.readings.empty()         ? describe(rows.events.front())
                                            : describe(rows.readings.front());
        log("the archive refused " + what + " (" + why + ")" + where);
    }
    if (verdict.summarised > 0)
        log(std::to_string(verdict.summarised) + " more refusals by the archive" + where);
}

// The rows a last stop kept are all in the archive: their file goes.
void WriterThread::spoolWrittenOut()
{
    if (shared_.spoolLoaded == 0 || shared_.buffer.size() > 0)
        return;
    std::lock_guard<std::mutex> lock(shared_.spoolMutex);
    if (shared_.spoolWritten)
        return;
    ::unlink(options_.spoolPath.c_str());
    log("the " + rowCount(shared_.spoolLoaded) + " kept at the last stop are written");
    shared_.spoolLoaded = 0;
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
    log("buffer full at " + std::to_string(options_.bound) + " rows or " +
        std::to_string(options_.eventBytes >> 20) + " MiB of messages: " + std::to_string(thinned) +
        " readings thinned and " + std::to_string(lost) + " other rows dropped so far");
    thinnedSaid_ = thinned;
    lostSaid_ = lost;
}

// Before the deadline: one more try to connect when needed, then batches
// until nothing is held, and the open minutes rolled up; what is left goes
// to the spool.
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
        log(rowCount(left) + " were not written to " + options_.address.label());
    reportThinned();
    if (!shared_.keepHeld() && options_.spoolPath.empty() && left > 0)
        log("they are lost: no state folder to keep them in");
    store_.close();
    shared_.connected = false;
}

ArchiveWriter::ArchiveWriter(Options options) : shared_(std::make_shared<Shared>(std::move(options))) {}

ArchiveWriter::~ArchiveWriter()
{
    stop(std::chrono::seconds(2));
}

// A spool that cannot be read, or holds lines that are not rows, is kept
// aside under another name for a person: the next stop writes a new one.
void ArchiveWriter::loadSpool()
{
    std::string& path = shared_->options.spoolPath;
    if (path.empty())
        return;
    SpoolFile::Loaded loaded;
    std::string error;
    const bool read = SpoolFile::load(path, loaded, error);
    if (!loaded.found && read)
        return;
    if (!read || loaded.unreadable > 0) {
        const std::string kept =
            path + ".damaged-" + std::to_string(QDateTime::currentMSecsSinceEpoch() / 1000);
        if (::rename(path.c_str(), kept.c_str()) != 0) {
            shared_->log((read ? path : error) + ": cannot be put aside; nothing is kept in it this run");
            path.clear();
        } else {
            shared_->log(read ? std::to_string(loaded.unreadable) + " lines of " + path +
                        " are not rows; the file is kept as " + kept
                              : error + "; the file is kept as " + kept);
        }
    }
    for (const History::Reading& reading : loaded.rows.readings)
        shared_->buffer.push(reading);
    for (History::Event& event : loaded.rows.events)
        shared_->buffer.push(std::move(event));
    shared_->spoolLoaded = loaded.rows.readings.size() + loaded.rows.events.size();
    if (shared_->spoolLoaded > 0)
        shared_->log("the " + rowCount(shared_->spoolLoaded) + " kept at the last stop in " + path +
            " are written first");
}

void ArchiveWriter::start()
{
    if (started_)
        return;
    started_ = true;
    loadSpool();
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
    if (finished) {
        thread_.join();
        return shared_->allWritten;
    }
    // Stuck on the database: what it holds is kept all the same (a row
    // it still commits is stored once when sent again).
    shared_->keepHeld();
    thread_.detach(); // it holds its share of the state
    return false;
}

} // namespace Recorder
