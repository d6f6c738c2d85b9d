#ifndef KOV_TESTS_LOG_CAPTURE_H
#define KOV_TESTS_LOG_CAPTURE_H

#include <ace/Log_Msg.h>
#include <ace/Log_Msg_Callback.h>
#include <ace/Log_Record.h>

#include <mutex>
#include <string>
#include <vector>

// Collects the ACE log lines written on the constructing thread while it
// lives; they still go to standard error as well.
class LogCapture : public ACE_Log_Msg_Callback {
public:
    struct Line {
        ACE_Log_Priority priority;
        std::string text;
    };

    LogCapture();
    ~LogCapture() override;

    void log(ACE_Log_Record& record) override;

    std::vector<Line> lines() const;
    std::vector<std::string> errors() const; // LM_ERROR lines only, in order

private:
    mutable std::mutex mutex_;
    std::vector<Line> lines_;
    ACE_Log_Msg_Callback* previous_;
};

#endif
