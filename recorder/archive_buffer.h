#pragma once

#include "history_batch.h"
#include "housing.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

namespace Recorder {

// The rows received and not yet in the archive, in arrival order, bounded
// by a number of rows, and the messages and link changes also by the bytes
// their texts take. At the row bound the readings held are thinned, every
// second one of each housing dropped, and from then on only every second
// reading of each housing is taken (every fourth after the next time, ...),
// so that the whole outage stays covered at one coarser step for both
// housings. Messages and link changes are never thinned: at the row bound
// they make room by thinning the readings and are dropped only when no
// reading is left to thin; past the byte bound they are dropped (a flood
// of long texts takes no room from the readings). What is thinned and
// dropped is counted. Once emptied the buffer takes every reading again.
// Any thread pushes; the writer takes.
class ArchiveBuffer {
public:
    // What an event takes in memory, its texts included.
    static std::size_t bytesOf(const History::Event& event);

    // At most `rows` rows (at least 2), and events of at most `eventBytes`.
    explicit ArchiveBuffer(std::size_t rows, std::size_t eventBytes = SIZE_MAX);

    void push(const History::Reading& reading);
    void push(History::Event event);

    // Moves up to `most` rows of each kind, and events of about
    // `mostBytes` (at least one when any is held), the oldest first, into
    // `batch` (emptied first).
    void take(History::Batch& batch, std::size_t most, std::size_t mostBytes = SIZE_MAX);
    // Moves every row held to the end of `batch`.
    void drain(History::Batch& batch);

    // Waits until `rows` rows are held, wake() is called or `limit` passes.
    void waitFor(std::chrono::milliseconds limit, std::size_t rows);
    void wake();

    std::size_t size() const;
    // The memory the rows held take.
    std::size_t bytes() const;
    std::uint64_t thinned() const;
    std::uint64_t lost() const;

private:
    bool roomForRow() const { return readings_.size() + events_.size() < rowBound_; }
    void thin();
    void emptied();

    const std::size_t rowBound_;
    const std::size_t byteBound_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<History::Reading> readings_;
    std::deque<History::Event> events_;
    std::size_t eventBytes_ = 0;
    bool woken_ = false;
    std::uint64_t stride_ = 1;                            // one reading of a housing in stride_ is taken
    std::array<std::uint64_t, Housing::count> arrived_{}; // per housing, since the buffer was empty
    std::uint64_t thinned_ = 0;
    std::uint64_t lost_ = 0;
};

} // namespace Recorder
