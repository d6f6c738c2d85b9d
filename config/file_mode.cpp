#include "file_mode.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {
constexpr unsigned permissionBits = 07777;
constexpr unsigned writeBits = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr unsigned groupAndOthers = 077;

bool changeMode(const std::string& path, unsigned (*change)(unsigned))
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return false;
    return ::chmod(path.c_str(), change(status.st_mode)) == 0;
}
} // namespace

unsigned FileMode::readOnly(unsigned mode)
{
    return mode & permissionBits & ~writeBits;
}

bool FileMode::makeReadOnly(const std::string& path)
{
    return changeMode(path, &FileMode::readOnly);
}

bool FileMode::makeWritable(const std::string& path)
{
    return changeMode(path, [](unsigned mode) { return (mode & permissionBits) | S_IWUSR; });
}

int FileMode::openPrivate(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0600);
    struct stat status {};
    if (fd >= 0 && ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && (status.st_mode & groupAndOthers))
        ::fchmod(fd, status.st_mode & permissionBits & ~groupAndOthers);
    return fd;
}

bool FileMode::makePrivate(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return false;
    if (S_ISREG(status.st_mode) && (status.st_mode & groupAndOthers))
        ::chmod(path.c_str(), status.st_mode & permissionBits & ~groupAndOthers);
    return true;
}
