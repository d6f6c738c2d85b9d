#include "control_channel.h"

#include "sim_log.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

ControlChannel::ControlChannel(int fd, SimLog& log, LineHandler onLine, EndHandler onEnd)
    : fd_(fd), log_(log), onLine_(std::move(onLine)), onEnd_(std::move(onEnd))
{}

ControlChannel::~ControlChannel()
{
    stop();
}

void ControlChannel::start()
{
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
}

void ControlChannel::stop()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
}

void ControlChannel::run()
{
    char buffer[4096];
    while (!stopping_) {
        pollfd watched{fd_, POLLIN, 0};
        const int ready = ::poll(&watched, 1, 200);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            continue;
        const ssize_t got = ready < 0 ? -1 : ::read(fd_, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            break;
        consume(buffer, static_cast<std::size_t>(got));
    }
    if (stopping_)
        return;
    // A last line without its newline still counts.
    if (!pending_.empty() && !overlong_)
        onLine_(pending_);
    onEnd_();
}

void ControlChannel::consume(const char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] != '\n') {
            if (pending_.size() < maxLine)
                pending_ += data[i];
            else
                overlong_ = true;
            continue;
        }
        if (overlong_)
            log_.error("error: command line longer than " + std::to_string(maxLine) + " bytes ignored");
        else
            onLine_(pending_);
        pending_.clear();
        overlong_ = false;
    }
}
