// libFuzzer target: any byte string as "kov.cfg" is read, its setpoints are
// loaded and saved, and the written file is read again, without a crash, an
// out-of-bounds access or a non-finite setpoint, and without losing the file.

#include "alarm_setpoints.h"
#include "config_file.h"
#include "config_line.h"
#include "kov_instrument_config.h"
#include "setpoint_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {
class FuzzDir {
public:
    FuzzDir()
    {
        const bool shm = ::access("/dev/shm", W_OK) == 0;
        std::string pattern = std::string(shm ? "/dev/shm" : "/tmp") + "/kov-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        path = pattern;
    }
    ~FuzzDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string file(const char* name) const { return path + "/" + name; }

    std::string path;
};

const FuzzDir& fuzzDir()
{
    static const FuzzDir dir;
    return dir;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeAll(const std::string& path, const uint8_t* data, size_t size)
{
    ::unlink(path.c_str());
    std::FILE* out = std::fopen(path.c_str(), "wb");
    check(out != nullptr);
    check(std::fwrite(data, 1, size, out) == size);
    check(std::fclose(out) == 0);
}

void checkItems(const ConfigFile& file, size_t size)
{
    for (const ConfigEntry& entry : file.entries()) {
        check(entry.item() && !entry.item()->name().empty());
        check(entry.item()->name().find_first_of(ConfigLine::delimiters) == std::string::npos);
        check(entry.item()->count() >= 1 && entry.item()->count() <= 20);
        check(entry.filepos() >= 0 && static_cast<size_t>(entry.filepos()) < size);
    }
}

void checkFinite(const AlarmSetpoints& setpoints)
{
    check(std::isfinite(setpoints.overTemp) && std::isfinite(setpoints.tempWarning));
    check(std::isfinite(setpoints.overRh) && std::isfinite(setpoints.rhWarning));
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // write() reports on standard output; keep the fuzzer's own output readable.
    check(std::freopen("/dev/null", "w", stdout) != nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const FuzzDir& dir = fuzzDir();
    const std::string path = dir.file("kov.cfg");
    writeAll(path, data, size);
    const std::string original(reinterpret_cast<const char*>(data), size);

    long head = -1;
    {
        KovInstrumentConfig config(dir.path);
        AlarmSetpoints setpoints[Housing::count];
        SetpointStore store(config, setpoints);
        config.openDefaultConfig();
        checkItems(config.configFile(), size);
        if (!config.configFile().entries().empty())
            head = config.configFile().entries().front().filepos();
        store.loadSetpoints(Housing::configNames[0], 0);
        store.loadSetpoints(Housing::configNames[1], 1);
        checkFinite(setpoints[0]);
        checkFinite(setpoints[1]);
        store.saveSetpoints();
    }

    // The write never leaves the directory without the file, keeps the head
    // byte for byte and leaves no temporary file behind.
    const std::string written = readAll(path);
    check(::access(dir.file(ConfigFile::tempFileName).c_str(), F_OK) != 0);
    if (head < 0) {
        check(written == original);
    } else {
        check(written.compare(0, head, original, 0, head) == 0);
    }
    ConfigFile again(dir.path);
    check(again.read("kov.cfg"));
    checkItems(again, written.size());
    return 0;
}
