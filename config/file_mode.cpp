#include "file_mode.h"

#include <sys/stat.h>

namespace {
constexpr unsigned permissionBits = 07777;
constexpr unsigned writeBits = S_IWUSR | S_IWGRP | S_IWOTH;

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
