#include "history_file.h"

#include "file_mode.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace HistoryFile {

std::string pathIn(const std::string& directory)
{
    return directory.empty() ? std::string(fileName) : directory + "/" + fileName;
}

void keepPrivate(const std::string& path)
{
    // An empty file is an empty database to SQLite. A folder nobody may
    // write in fails here and again, with its reason, when SQLite opens it.
    const int fd = FileMode::openPrivate(path, O_RDONLY | O_CREAT);
    if (fd >= 0)
        ::close(fd);
    for (const char* suffix : {"-wal", "-shm"})
        FileMode::makePrivate(path + suffix);
}

std::string moveAside(const std::string& path, std::int64_t nowMs, std::string& error)
{
    const std::time_t seconds = static_cast<std::time_t>(nowMs / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    const std::string aside = path + ".damaged-" + stamp;
    if (std::rename(path.c_str(), aside.c_str()) != 0) {
        error = "cannot rename " + path + ": " + std::strerror(errno);
        return {};
    }
    // The journal files belong to the damaged file: a new file must not
    // pick them up.
    for (const char* suffix : {"-wal", "-shm"}) {
        const std::string companion = path + suffix;
        if (std::rename(companion.c_str(), (aside + suffix).c_str()) != 0 && errno != ENOENT)
            std::remove(companion.c_str());
        FileMode::makePrivate(aside + suffix);
    }
    FileMode::makePrivate(aside);
    return aside;
}

} // namespace HistoryFile
