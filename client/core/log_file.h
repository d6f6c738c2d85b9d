#pragma once

#include <ace/Log_Msg_Backend.h>

#include <cstdio>
#include <mutex>
#include <string>

// The client's log, "client.log" in the start directory: every ACE log entry
// of every thread, appended as one line with the UTC date and time, the
// priority and the source position. The operator's message boxes point here.
//
// Readable by its owner only: entries quote messages and user names. An
// entry that would take the file past rotateBytes first moves it to
// "client.log.1" (and that one to "client.log.2"), so the log never takes
// more than keptFiles times rotateBytes, whatever floods it.
class LogFile : public ACE_Log_Msg_Backend {
public:
    static constexpr const char* fileName = "client.log";
    static constexpr long defaultRotateBytes = 10L * 1024 * 1024;
    static constexpr int keptFiles = 3;

    explicit LogFile(std::string directory, long rotateBytes = defaultRotateBytes);
    ~LogFile() override;

    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Sends the process's ACE log here instead of standard error. False
    // (and the log left as it was) when the file cannot be opened.
    bool install();
    // Gives the ACE log back to standard error.
    void uninstall();

    const std::string& path() const { return path_; }

    // One entry as a line: line ends inside the text are folded ("failed\n:
    // reason" reads "failed: reason"), the final one is dropped.
    static std::string oneLine(const char* text);

    // While one lives, the entries its thread logs are left out (true) or
    // written as usual (false): a task retried for hours would otherwise
    // write the same lines again and again, and its owner sums them up.
    class QuietThread {
    public:
        explicit QuietThread(bool quiet);
        ~QuietThread();
        QuietThread(const QuietThread&) = delete;
        QuietThread& operator=(const QuietThread&) = delete;

    private:
        bool was_;
    };

    int open(const ACE_TCHAR* loggerKey) override;
    int reset() override;
    int close() override;
    ssize_t log(ACE_Log_Record& record) override;

private:
    // With mutex_ held.
    bool openFile();
    void rotateFor(std::size_t bytes);

    std::string path_;
    const long rotateBytes_;
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
    // Where the next rotation is due; moved on when one fails, so that a
    // folder that refuses the renames is not asked again at every entry.
    long rotateAt_;
    bool installed_ = false;
};
