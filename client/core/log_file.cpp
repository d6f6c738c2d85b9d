#include "log_file.h"

#include "file_mode.h"

#include <ace/Log_Msg.h>
#include <ace/Log_Priority.h>
#include <ace/Log_Record.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <ctime>

LogFile::LogFile(std::string directory, long rotateBytes)
    : path_(std::move(directory) + "/" + fileName), rotateBytes_(rotateBytes), rotateAt_(rotateBytes)
{}

LogFile::~LogFile()
{
    uninstall();
}

bool LogFile::install()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!file_ && !openFile())
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

bool LogFile::openFile()
{
    const int fd = FileMode::openPrivate(path_, O_WRONLY | O_APPEND | O_CREAT);
    if (fd < 0)
        return false;
    file_ = ::fdopen(fd, "a");
    if (!file_)
        ::close(fd);
    return file_ != nullptr;
}

void LogFile::rotateFor(std::size_t bytes)
{
    struct stat open {};
    if (::fstat(::fileno(file_), &open) != 0 || open.st_size + static_cast<long>(bytes) <= rotateAt_)
        return;
    // A second start in this folder may have rotated it already: then the
    // file of that name is a new one, to be written on.
    struct stat named {};
    const bool same =
        ::stat(path_.c_str(), &named) == 0 && named.st_ino == open.st_ino && named.st_dev == open.st_dev;
    if (same && open.st_size == 0)
        return; // one entry larger than the limit: written whole all the same
    if (same) {
        for (int n = keptFiles - 1; n >= 2; --n)
            std::rename(
                (path_ + "." + std::to_string(n - 1)).c_str(), (path_ + "." + std::to_string(n)).c_str());
        if (std::rename(path_.c_str(), (path_ + ".1").c_str()) != 0) {
            rotateAt_ = static_cast<long>(open.st_size) + static_cast<long>(bytes) + rotateBytes_ / 10;
            return;
        }
    }
    std::fclose(file_);
    file_ = nullptr;
    rotateAt_ = rotateBytes_;
    openFile();
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

    char millis[32];
    std::snprintf(millis, sizeof millis, ".%03ldZ ", static_cast<long>(stamp.usec() / 1000));
    const std::string line = std::string(when) + millis +
        ACE_Log_Record::priority_name(static_cast<ACE_Log_Priority>(record.type())) + ' ' +
        (base ? base + 1 : (file ? file : "?")) + ':' + std::to_string(source->linenum()) + ' ' + text + '\n';

    std::lock_guard<std::mutex> lock(mutex_);
    if (file_)
        rotateFor(line.size());
    if (!file_)
        return -1;
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
    return static_cast<ssize_t>(text.size());
}
