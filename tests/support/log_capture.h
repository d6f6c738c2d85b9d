#ifndef KOV_TESTS_LOG_CAPTURE_H
#define KOV_TESTS_LOG_CAPTURE_H

#include <ace/Log_Msg.h>
#include <ace/Log_Msg_Backend.h>
#include <ace/Log_Msg_Callback.h>
#include <ace/Log_Record.h>

#include <mutex>
#include <string>
#include <vector>

// Collects ACE log lines while it lives; they still go to standard error as
// well. By default the lines written on the constructing thread; with
// Scope::Process those of every thread (the ORB's servants log on threads
// of their own), as the process's log backend.
class LogCapture : public ACE_Log_Msg_Callback {
public:
    enum class Scope {
        Thread,
        Process
    };

    struct Line {
        ACE_Log_Priority priority;
        std::string text;
    };

    explicit LogCapture(Scope scope = Scope::Thread);
    ~LogCapture() override;

    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void log(ACE_Log_Record& record) override;

    std::vector<Line> lines() const;
    std::vector<std::string> errors() const; // LM_ERROR lines only, in order
    // Lines of `priority` that contain `part`.
    int count(ACE_Log_Priority priority, const std::string& part) const;
    void clear();

private:
    // The process-wide way in: ACE calls a backend from every thread.
    class Backend : public ACE_Log_Msg_Backend {
    public:
        explicit Backend(LogCapture& capture) : capture_(capture) {}
        int open(const ACE_TCHAR*) override { return 0; }
        int reset() override { return 0; }
        int close() override { return 0; }
        ssize_t log(ACE_Log_Record& record) override
        {
            capture_.log(record);
            return 0;
        }

    private:
        LogCapture& capture_;
    };

    const Scope scope_;
    mutable std::mutex mutex_;
    std::vector<Line> lines_;
    ACE_Log_Msg_Callback* previous_ = nullptr;
    Backend backend_{*this};
};

#endif
