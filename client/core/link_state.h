#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

class CKovClientApp;

// Whether the client counts itself connected to the instrument, since when,
// and the instrument's latest elapsed ON time. One process-wide instance
// (Instance()); the indicators of every dialog read it once a second.
//
// Written by the GUI thread and by the thread that makes the remote calls,
// so every field is an atomic. The connection clock is a 64-bit monotonic
// millisecond count: operators leave the client running for months.
class LinkState {
public:
    using Clock = std::function<std::int64_t()>;

    // The process-wide instance, created on first use and never destroyed.
    static LinkState& Instance();

    // A private instance with its own clock (milliseconds, monotonic).
    explicit LinkState(Clock clock = steadyMilliseconds);

    LinkState(const LinkState&) = delete;
    LinkState& operator=(const LinkState&) = delete;

    // Stores the application; if connected, the connection clock restarts.
    void Attach(CKovClientApp* app);

    int IsConnected() const { return connected_.load(); }

    // Non-zero: connected from now on (clock restarts, ON time forgotten until
    // the next answer, a new connection number). 0: not connected.
    void SetConnected(int flag);

    // Whole seconds since the link came up; 0 without an application or a
    // link. A zero start is stamped now (the first call after Attach).
    std::int64_t ConnectionSeconds();

    // The low 32 bits of the instrument's last "elapsedTime" answer; 0
    // without an application, a link or an answer since the link came up.
    std::uint32_t TargetOnSeconds() const;

    // Stores an answer of "elapsedTime" made during connection `connection`;
    // an answer that belongs to an earlier connection is dropped.
    void SetTargetOnSeconds(std::uint64_t seconds, std::uint64_t connection);

    // Counts the times the link came up, so that the outcome of a remote
    // call can be matched with the connection it was made for.
    std::uint64_t connection() const { return connection_.load(); }

    static std::int64_t steadyMilliseconds();

private:
    std::int64_t now() const;

    Clock clock_;
    std::atomic<std::int64_t> start_{0};
    std::atomic<CKovClientApp*> app_{nullptr};
    std::atomic<int> connected_{0};
    std::atomic<std::uint32_t> targetOn_{0};
    std::atomic<std::uint64_t> connection_{0};
};
