#pragma once

#include "history_batch.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

namespace Recorder {

// The rows received and not yet in the archive, in arrival order, bounded
// by a number of rows. At the bound the readings held are thinned, every
// second one dropped, and from then on only every second reading arriving
// is taken (every fourth after the next time, ...), so that the whole
// outage stays covered at one coarser step; messages and link changes are
// dropped only when no reading is left to thin. Once emptied the buffer
// takes every reading again. Any thread pushes; the writer takes.
class ArchiveBuffer {
public:
    explicit ArchiveBuffer(std::size_t bound);

    void push(const History::Reading& reading);
    void push(History::Event event);

    // Moves up to `most` rows of each kind, the oldest first, into `batch`
    // (emptied first).
    void take(History::Batch& batch, std::size_t most);

    // Waits until `rows` rows are held, wake() is called or `limit` passes.
    void waitFor(std::chrono::milliseconds limit, std::size_t rows);
    void wake();

    std::size_t size() const;
    std::uint64_t thinned() const;
    std::uint64_t lost() const;

private:
    bool full() const { return readings_.size() + events_.size() >= bound_; }
    void thin();

    const std::size_t bound_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<History::Reading> readings_;
    std::deque<History::Event> events_;
    bool woken_ = false;
    std::uint64_t stride_ = 1; // one reading in stride_ is taken
    std::uint64_t arrived_ = 0;
    std::uint64_t thinned_ = 0;
    std::uint64_t lost_ = 0;
};

} // namespace Recorder
