#pragma once

#include <ace/Log_Msg_Backend.h>

#include <cstdio>
#include <mutex>
#include <string>

// The client's log, "client.log" in the start directory: every ACE log entry
// of every thread, appended as one line with the UTC date and time, the
// priority and the source position. The operator's message boxes point here.
class LogFile : public ACE_Log_Msg_Backend {
public:
    static constexpr const char* fileName = "client.log";

    explicit LogFile(std::string directory);
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
    std::string path_;
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
    bool installed_ = false;
};
