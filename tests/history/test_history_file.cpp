// The history file and its companions are its owner's only: they hold
// messages and user names.
#include "history_file.h"
#include "history_store.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

using namespace History;

namespace {

unsigned modeOf(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 01000; // 01000: missing
}

// With nothing masked, so that only the program decides.
struct OpenUmask {
    mode_t was = ::umask(0);
    ~OpenUmask() { ::umask(was); }
};

TEST(HistoryFile, TheFileItsJournalAndItsDamagedCopiesAreTheOwnersOnly)
{
    OpenUmask open;
    for (const unsigned found : {0u, 0644u, 0666u}) {
        SCOPED_TRACE(found);
        TempDir dir;
        const std::string path = HistoryFile::pathIn(dir.path());
        if (found) {
            {
                HistoryStore first(path, "mode_first");
                ASSERT_EQ(first.open(), Fault::None) << first.lastError();
            }
            ::chmod(path.c_str(), found);
        }
        HistoryStore store(path, "mode_store");
        ASSERT_EQ(store.open(), Fault::None) << store.lastError();
        Batch batch;
        batch.events = {MessageRecord{0, 1, 1'700'000'000'000, "Shutter closed"}};
        ASSERT_EQ(store.write(batch), Fault::None) << store.lastError();
        for (const char* suffix : {"", "-wal", "-shm"})
            EXPECT_EQ(modeOf(path + suffix), 0600u) << suffix;
        store.close();
    }

    TempDir dir;
    const std::string path = HistoryFile::pathIn(dir.path());
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::ofstream(path + suffix) << "not a database";
        ::chmod((path + suffix).c_str(), 0644);
    }
    std::string error;
    const std::string aside = HistoryFile::moveAside(path, 1'700'000'000'000, error);
    ASSERT_FALSE(aside.empty()) << error;
    for (const char* suffix : {"", "-wal", "-shm"})
        EXPECT_EQ(modeOf(aside + suffix), 0600u) << suffix;
}

} // namespace
