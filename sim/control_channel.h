#ifndef KOVSIM_CONTROL_CHANNEL_H
#define KOVSIM_CONTROL_CHANNEL_H

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class SimLog;

// Reads control commands from a file descriptor (standard input), one a
// line, on a thread of its own, and hands each line on. The thread polls, so
// stop() returns promptly even while nobody types.
class ControlChannel {
public:
    using LineHandler = std::function<void(const std::string& line)>;
    using EndHandler = std::function<void()>;

    ControlChannel(int fd, SimLog& log, LineHandler onLine, EndHandler onEnd);
    ~ControlChannel();

    ControlChannel(const ControlChannel&) = delete;
    ControlChannel& operator=(const ControlChannel&) = delete;

    void start();
    void stop();

    // Longer lines are refused rather than buffered without end.
    static constexpr std::size_t maxLine = 1 << 20;

private:
    void run();
    void consume(const char* data, std::size_t size);

    const int fd_;
    SimLog& log_;
    LineHandler onLine_;
    EndHandler onEnd_;
    std::string pending_;
    bool overlong_ = false;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

#endif
