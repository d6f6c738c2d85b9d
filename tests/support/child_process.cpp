#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <regex>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef CLOSE_RANGE_CLOEXEC
#define CLOSE_RANGE_CLOEXEC (1U << 2)
#endif

namespace {
struct Pipe {
    int read = -1;
    int write = -1;
};

Pipe makePipe()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
    return Pipe{fds[0], fds[1]};
}

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

int statusCode(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// Only async-signal-safe calls between fork and exec: the test process runs
// ORB threads whose locks may be held at the moment of the fork.
void prepareChild(pid_t parent, const Pipe& in, const Pipe& out, const Pipe& err, long maxFd)
{
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction deflt {};
    deflt.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &deflt, nullptr);

    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(127);

    ::dup2(in.read, 0);
    ::dup2(out.write, 1);
    ::dup2(err.write, 2);
    // Sockets and pipes of the test process stay out of the child.
    if (::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC) != 0)
        for (long fd = 3; fd < maxFd; ++fd)
            ::fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
}
} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<std::string> words;
    words.push_back(program);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(&w[0]);
    argv.push_back(nullptr);

    start(program, [&](int report) {
        ::execv(program.c_str(), argv.data());
        const int error = errno;
        (void)!::write(report, &error, sizeof error);
        ::_exit(127);
    });
}

ChildProcess::ChildProcess(const std::function<void()>& body)
{
    // What the standard streams hold would otherwise be written twice.
    std::fflush(nullptr);
    start("a forked test body", [&](int report) {
        ::close(report);
        body();
        std::fflush(nullptr);
        ::_exit(0);
    });
}

void ChildProcess::start(const std::string& what, const std::function<void(int report)>& inChild)
{
    std::signal(SIGPIPE, SIG_IGN);

    Pipe in = makePipe(), out = makePipe(), err = makePipe(), report = makePipe();
    Pipe wake = makePipe();
    const long maxFd = std::min(::sysconf(_SC_OPEN_MAX), 65536L);
    const pid_t parent = ::getpid();

    pid_ = ::fork();
    if (pid_ == 0) {
        prepareChild(parent, in, out, err, maxFd);
        inChild(report.write);
        ::_exit(127);
    }

    const int forkError = errno;
    closeFd(in.read);
    closeFd(out.write);
    closeFd(err.write);
    closeFd(report.write);
    if (pid_ < 0) {
        for (int* fd : {&in.write, &out.read, &err.read, &report.read, &wake.read, &wake.write})
            closeFd(*fd);
        throw std::runtime_error("fork: " + std::string(std::strerror(forkError)));
    }

    int execError = 0;
    ssize_t got;
    do
        got = ::read(report.read, &execError, sizeof execError);
    while (got < 0 && errno == EINTR);
    closeFd(report.read);

    input_ = in.write;
    output_.fd = out.read;
    error_.fd = err.read;
    wakeRead_ = wake.read;
    wakeWrite_ = wake.write;

    if (got > 0) {
        reap(true);
        for (int* fd : {&input_, &output_.fd, &error_.fd, &wakeRead_, &wakeWrite_})
            closeFd(*fd);
        throw std::runtime_error("cannot run " + what + ": " + std::strerror(execError));
    }
    reader_ = std::thread([this] { readLoop(); });
}

ChildProcess::~ChildProcess()
{
    terminate();
    closeFd(input_);
    // A grandchild could hold the pipes open: the wake pipe ends the reader.
    closeFd(wakeWrite_);
    if (reader_.joinable())
        reader_.join();
    closeFd(wakeRead_);
    closeFd(output_.fd);
    closeFd(error_.fd);
}

bool ChildProcess::reap(bool block)
{
    if (exited_)
        return true;
    int status = 0;
    pid_t done;
    do
        done = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    while (done < 0 && errno == EINTR);
    if (done == pid_) {
        exited_ = true;
        exitStatus_ = statusCode(status);
        return true;
    }
    if (done < 0) {
        // Not our child any more (reaped elsewhere): count it as ended.
        exited_ = true;
        return true;
    }
    return false;
}

bool ChildProcess::running()
{
    return !reap(false);
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!reap(false)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    awaitCaptureEnd(std::chrono::seconds(1));
    return exitStatus_;
}

void ChildProcess::awaitCaptureEnd(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> lock(mutex_);
    grew_.wait_for(lock, limit, [this] { return output_.ended && error_.ended; });
}

int ChildProcess::terminate(std::chrono::milliseconds grace)
{
    if (reap(false)) {
        // Already gone, but what it wrote last may still be in the pipes.
        awaitCaptureEnd(std::chrono::seconds(1));
        return exitStatus_;
    }
    ::kill(pid_, SIGTERM);
    if (const std::optional<int> status = waitForExit(grace))
        return *status;
    ::kill(pid_, SIGKILL);
    reap(true);
    awaitCaptureEnd(std::chrono::seconds(1));
    return exitStatus_;
}

bool ChildProcess::write(const std::string& data)
{
    std::size_t done = 0;
    while (input_ >= 0 && done < data.size()) {
        const ssize_t n = ::write(input_, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return input_ >= 0;
}

void ChildProcess::closeInput()
{
    closeFd(input_);
}

void ChildProcess::readLoop()
{
    while (true) {
        pollfd watched[3] = {{output_.fd, POLLIN, 0}, {error_.fd, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        bool outputOpen, errorOpen;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            outputOpen = !output_.ended;
            errorOpen = !error_.ended;
        }
        if (!outputOpen && !errorOpen)
            return;
        if (!outputOpen)
            watched[0].fd = -1;
        if (!errorOpen)
            watched[1].fd = -1;
        const int ready = ::poll(watched, 3, 1000);
        if (ready < 0 && errno != EINTR)
            return;
        if (ready <= 0)
            continue;
        if (watched[2].revents != 0)
            return;
        if (watched[0].revents != 0)
            drain(output_);
        if (watched[1].revents != 0)
            drain(error_);
    }
}

bool ChildProcess::drain(Capture& capture)
{
    char buffer[4096];
    ssize_t n;
    do
        n = ::read(capture.fd, buffer, sizeof buffer);
    while (n < 0 && errno == EINTR);

    std::lock_guard<std::mutex> lock(mutex_);
    if (n <= 0) {
        if (!capture.partial.empty())
            capture.lines.push_back(capture.partial);
        capture.partial.clear();
        capture.ended = true;
    }
    for (ssize_t i = 0; i < n; ++i) {
        if (buffer[i] != '\n') {
            capture.partial += buffer[i];
            continue;
        }
        capture.lines.push_back(capture.partial);
        capture.partial.clear();
    }
    grew_.notify_all();
    return n > 0;
}

std::optional<std::string> ChildProcess::waitForLine(
    Stream stream, const std::string& pattern, std::chrono::milliseconds limit)
{
    const std::regex wanted(pattern, std::regex::ECMAScript);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    Capture& c = capture(stream);
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        for (; c.cursor < c.lines.size(); ++c.cursor)
            if (std::regex_search(c.lines[c.cursor], wanted))
                return c.lines[c.cursor++];
        if (c.ended)
            return std::nullopt;
        if (grew_.wait_until(lock, deadline) == std::cv_status::timeout && c.cursor >= c.lines.size())
            return std::nullopt;
    }
}

bool ChildProcess::waitForLineCount(
    Stream stream, const std::string& pattern, std::size_t count, std::chrono::milliseconds limit)
{
    const std::regex wanted(pattern, std::regex::ECMAScript);
    const Capture& c = capture(stream);
    std::size_t seen = 0, counted = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    return grew_.wait_for(lock, limit,
               [&] {
                   for (; counted < c.lines.size(); ++counted)
                       seen += std::regex_search(c.lines[counted], wanted) ? 1 : 0;
                   return seen >= count || c.ended;
               }) &&
        seen >= count;
}

std::vector<std::string> ChildProcess::lines(Stream stream) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return (stream == Stream::Output ? output_ : error_).lines;
}

std::string ChildProcess::text(Stream stream) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const Capture& c = stream == Stream::Output ? output_ : error_;
    std::string all;
    for (const std::string& line : c.lines)
        all += line + "\n";
    return all + c.partial;
}
