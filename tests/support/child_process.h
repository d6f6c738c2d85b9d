#ifndef KOV_TEST_CHILD_PROCESS_H
#define KOV_TEST_CHILD_PROCESS_H

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A program run by a test, with a pipe to its standard input and its
// standard output and error captured line by line.
//
// It never outlives its owner: the destructor ends it (SIGTERM, then SIGKILL
// after a grace period) and reaps it, and the child is also killed by the
// kernel if the thread that started it dies (PR_SET_PDEATHSIG), so a crashed
// or timed-out test leaves nothing behind. Start it from the test's main
// thread (or a thread that outlives it). The test process ignores SIGPIPE
// from the first start on, so that writing to a child that has gone fails
// instead of killing the test.
class ChildProcess {
public:
    enum class Stream {
        Output,
        Error
    };

    // Starts `program` (a path) with `args` (without the program name).
    // Throws std::runtime_error if it cannot be started.
    ChildProcess(const std::string& program, const std::vector<std::string>& args);

    // Runs `body` in a forked copy of this process, which then exits with
    // status 0 (or ends itself in `body`). For what must not hit the test
    // process itself (a crash, a resource limit); only from a test process
    // without threads of its own, since the copy does not start afresh.
    explicit ChildProcess(const std::function<void()>& body);
    ~ChildProcess();

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    // True while the process has not exited (reaps it once it has).
    bool running();

    // Waits up to `limit` for the exit. Answers the exit code, 128 + the
    // signal number if a signal ended it, or nothing on time-out. After the
    // exit, the captured output is complete (up to a second is allowed for
    // the last of it to be read).
    std::optional<int> waitForExit(std::chrono::milliseconds limit);

    // SIGTERM, up to `grace` for the exit, then SIGKILL; always reaps.
    // Answers the status as waitForExit does. Harmless when already ended.
    int terminate(std::chrono::milliseconds grace = std::chrono::seconds(3));

    // Writes to the child's standard input; false once that is closed or the
    // child no longer reads it.
    bool write(const std::string& data);
    void closeInput();

    // Waits up to `limit` for a line on `stream`, after the last line this
    // call returned for that stream, that matches the ECMAScript regular
    // expression `pattern` (searched anywhere in the line; anchor with ^).
    // Answers the line, or nothing on time-out or when the stream ended first.
    std::optional<std::string> waitForLine(
        Stream stream, const std::string& pattern, std::chrono::milliseconds limit);

    // Waits up to `limit` until at least `count` lines of `stream`, counted
    // from the start and regardless of waitForLine, match `pattern`.
    bool waitForLineCount(
        Stream stream, const std::string& pattern, std::size_t count, std::chrono::milliseconds limit);

    // Every complete line so far / the whole text so far of `stream`.
    std::vector<std::string> lines(Stream stream) const;
    std::string text(Stream stream) const;

private:
    // Forks; the child sets up its standard streams and runs `inChild`,
    // which never returns and closes `report` (a pipe) once it has started
    // or writes an errno to it when it could not.
    void start(const std::string& what, const std::function<void(int report)>& inChild);

    struct Capture {
        int fd = -1;
        std::string partial;
        std::vector<std::string> lines;
        std::size_t cursor = 0; // lines before this were passed by waitForLine
        bool ended = false;
    };

    void readLoop();
    bool drain(Capture& capture);
    Capture& capture(Stream stream) { return stream == Stream::Output ? output_ : error_; }
    bool reap(bool block);
    void awaitCaptureEnd(std::chrono::milliseconds limit);

    pid_t pid_ = -1;
    int input_ = -1;
    int exitStatus_ = -1;
    bool exited_ = false;

    mutable std::mutex mutex_; // guards the captures
    std::condition_variable grew_;
    Capture output_;
    Capture error_;
    int wakeRead_ = -1; // closing wakeWrite_ ends the reader thread
    int wakeWrite_ = -1;
    std::thread reader_;
};

#endif
