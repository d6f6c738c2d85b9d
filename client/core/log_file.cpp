#include "log_file.h"

#include <ace/Log_Msg.h>
#include <ace/Log_Priority.h>
#include <ace/Log_Record.h>

#include <cctype>
#include <cstring>
#include <ctime>

LogFile::LogFile(std::string directory) : path_(std::move(directory) + "/" + fileName) {}

LogFile::~LogFile()
{
    uninstall();
}

bool LogFile::install()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!file_)
            file_ = std::fopen(path_.c_str(), "a");
        if (!file_)
            return false;
    }
    ACE_Log_Msg::msg_backend(this);
    ACE_LOG_MSG->set_flags(ACE_Log_Msg::CUSTOM);
    ACE_LOG_MSG->clr_flags(ACE_Log_Msg::STDERR);
    installed_ = true;
    return true;
}

void LogFile::uninstall()
{
    if (installed_) {
        ACE_LOG_MSG->set_flags(ACE_Log_Msg::STDERR);
        ACE_LOG_MSG->clr_flags(ACE_Log_Msg::CUSTOM);
        ACE_Log_Msg::msg_backend(nullptr);
        installed_ = false;
    }
    close();
}

int LogFile::open(const ACE_TCHAR*)
{
    return 0;
}

int LogFile::reset()
{
    return 0;
}

int LogFile::close()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    return 0;
}

namespace {
// Per thread by nature: only the thread that asked is quiet.
thread_local bool quietThread = false;
} // namespace

LogFile::QuietThread::QuietThread(bool quiet) : was_(quietThread)
{
    quietThread = quiet;
}

LogFile::QuietThread::~QuietThread()
{
    quietThread = was_;
}

std::string LogFile::oneLine(const char* text)
{
    std::string line;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p != '\n' && *p != '\r') {
            line += *p;
            continue;
        }
        const char* next = p + 1;
        while (*next == '\n' || *next == '\r' || *next == ' ')
            ++next;
        // Nothing follows, or punctuation that belongs to the text before.
        if (*next && !std::strchr(":;,.)", *next) && !line.empty() && line.back() != ' ')
            line += ' ';
        p = next - 1;
    }
    return line;
}

ssize_t LogFile::log(ACE_Log_Record& record)
{
    if (quietThread)
        return 0;
    // The logging thread's own log object knows where the entry was written.
    ACE_Log_Msg* source = ACE_LOG_MSG;
    const char* file = source->file();
    const char* base = file ? std::strrchr(file, '/') : nullptr;
    const std::string text = oneLine(record.msg_data());

    const ACE_Time_Value stamp = record.time_stamp();
    const std::time_t seconds = stamp.sec();
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &parts);

    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_)
        return -1;
    std::fprintf(file_, "%s.%03ldZ %s %s:%d %s\n", when, static_cast<long>(stamp.usec() / 1000),
        ACE_Log_Record::priority_name(static_cast<ACE_Log_Priority>(record.type())),
        base ? base + 1 : (file ? file : "?"), source->linenum(), text.c_str());
    std::fflush(file_);
    return static_cast<ssize_t>(text.size());
}
