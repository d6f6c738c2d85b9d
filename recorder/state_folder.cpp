#include "state_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace Recorder {

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// mkdir -p, the folders made readable by their owner only.
bool makeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

} // namespace

std::string StateFolder::defaultPath()
{
    // systemd may list several folders, separated by colons: ours is the first.
    const std::string state = environment("STATE_DIRECTORY");
    if (!state.empty())
        return state.substr(0, state.find(':'));
    const std::string xdg = environment("XDG_STATE_HOME");
    if (!xdg.empty() && xdg[0] == '/')
        return xdg + "/kovrecorder";
    const std::string home = environment("HOME");
    return (home.empty() ? std::string("/tmp") : home) + "/.local/state/kovrecorder";
}

StateFolder::~StateFolder()
{
    if (lock_ >= 0)
        ::close(lock_);
}

bool StateFolder::open(const std::string& path, std::string& error)
{
    path_ = path;
    while (path_.size() > 1 && path_.back() == '/')
        path_.pop_back();
    if (path_.empty() || !makeFolders(path_)) {
        error = "cannot make the state folder " + path_ + ": " + std::strerror(errno);
        return false;
    }
    const std::string lockPath = path_ + "/kovrecorder.lock";
    lock_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock_ < 0) {
        error = "cannot write in the state folder " + path_ + ": " + std::strerror(errno);
        return false;
    }
    if (::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
        error = "another kovrecorder uses the state folder " + path_ + " (give each one its own --state-dir)";
        ::close(lock_);
        lock_ = -1;
        return false;
    }
    return true;
}

} // namespace Recorder
