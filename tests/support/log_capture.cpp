#include "log_capture.h"

LogCapture::LogCapture(Scope scope) : scope_(scope)
{
    if (scope_ == Scope::Process) {
        ACE_Log_Msg::msg_backend(&backend_);
        ACE_LOG_MSG->set_flags(ACE_Log_Msg::CUSTOM);
        return;
    }
    previous_ = ACE_LOG_MSG->msg_callback(this);
    ACE_LOG_MSG->set_flags(ACE_Log_Msg::MSG_CALLBACK);
}

LogCapture::~LogCapture()
{
    if (scope_ == Scope::Process) {
        ACE_LOG_MSG->clr_flags(ACE_Log_Msg::CUSTOM);
        ACE_Log_Msg::msg_backend(nullptr);
        return;
    }
    ACE_LOG_MSG->msg_callback(previous_);
    if (!previous_)
        ACE_LOG_MSG->clr_flags(ACE_Log_Msg::MSG_CALLBACK);
}

void LogCapture::log(ACE_Log_Record& record)
{
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back({static_cast<ACE_Log_Priority>(record.type()), record.msg_data()});
}

std::vector<LogCapture::Line> LogCapture::lines() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::vector<std::string> LogCapture::errors() const
{
    std::vector<std::string> result;
    for (const Line& line : lines())
        if (line.priority == LM_ERROR)
            result.push_back(line.text);
    return result;
}

int LogCapture::count(ACE_Log_Priority priority, const std::string& part) const
{
    int n = 0;
    for (const Line& line : lines())
        if (line.priority == priority && line.text.find(part) != std::string::npos)
            ++n;
    return n;
}

void LogCapture::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}
