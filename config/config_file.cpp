#include "config_file.h"

#include "config_line.h"
#include "file_mode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {
using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

FilePtr openFile(const std::string& path, const char* mode)
{
    return FilePtr(std::fopen(path.c_str(), mode), &std::fclose);
}

// Reads one piece: up to ConfigLine::maxPiece bytes, ending after a line feed.
bool readPiece(std::FILE* file, std::string& piece)
{
    piece.clear();
    int c = 0;
    while (piece.size() < ConfigLine::maxPiece && (c = std::getc(file)) != EOF) {
        piece.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    return !piece.empty();
}

// Creates the temporary file afresh, never through an earlier file or link
// of that name.
FilePtr createTemp(const std::string& path)
{
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return FilePtr(nullptr, &std::fclose);
    FilePtr file(::fdopen(fd, "w"), &std::fclose);
    if (!file)
        ::close(fd);
    return file;
}

void syncDirectoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

bool nameReadsBack(const std::string& name)
{
    return !name.empty() && name.find_first_of(ConfigLine::delimiters) == std::string::npos &&
        name.find('#') == std::string::npos && name.find('\0') == std::string::npos;
}
} // namespace

std::string ConfigFile::startDirectory()
{
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()))
            return buffer.c_str();
        if (errno != ERANGE)
            return ".";
        buffer.resize(buffer.size() * 2);
    }
}

ConfigFile::ConfigFile(std::string directory) : directory_(std::move(directory)) {}

ConfigFile::~ConfigFile()
{
    entries_.clear();
    if (held_)
        FileMode::makeWritable(path_);
}

bool ConfigFile::read(const std::string& fileName)
{
    held_ = true;
    return peek(fileName) && FileMode::makeReadOnly(path_);
}

bool ConfigFile::peek(const std::string& fileName)
{
    path_ = directory_ + "/" + fileName;
    FilePtr file = openFile(path_, "r");
    if (!file) {
        headEnd_ = 0;
        restPos_.reset();
        return false;
    }
    entries_.clear();
    restPos_.reset();
    readLines(file.get());
    return true;
}

void ConfigFile::readLines(std::FILE* file)
{
    std::optional<long> head;
    long pos = 0;
    std::string piece;
    while (readPiece(file, piece)) {
        const long start = pos;
        pos += static_cast<long>(piece.size());
        ConfigLine line = ConfigLine::parse(piece);
        if (line.kind() == ConfigLine::Kind::TooManyValues) {
            restPos_ = start;
            break;
        }
        if (line.kind() != ConfigLine::Kind::Item)
            continue;
        if (!head)
            head = start;
        entries_.emplace_back(ConfigItemPtr(ConfigItem(line.name(), line.values())), start, line.comment());
    }
    headEnd_ = head ? *head : restPos_ ? *restPos_ : pos;
}

bool ConfigFile::find(const std::string& name, ConfigItemPtr& item) const
{
    for (const ConfigEntry& entry : entries_) {
        if (entry.item() && entry.item()->name() == name) {
            item = entry.item();
            return true;
        }
    }
    return false;
}

void ConfigFile::update(ConfigItemPtr item)
{
    if (!item)
        return;
    for (ConfigEntry& entry : entries_) {
        if (entry.item() && entry.item()->name() == item->name()) {
            entry.setItem(item);
            return;
        }
    }
}

bool ConfigFile::add(const std::string& name, const char* value)
{
    if (!nameReadsBack(name))
        return false;
    const std::vector<std::string> values =
        value ? std::vector<std::string>{value} : std::vector<std::string>{};
    entries_.emplace_back(ConfigItemPtr(ConfigItem(name, values)), 0, std::nullopt);
    return true;
}

std::string ConfigFile::tempPath() const
{
    const auto slash = path_.rfind('/');
    if (slash == std::string::npos)
        return tempFileName;
    return path_.substr(0, slash + 1) + tempFileName;
}

bool ConfigFile::write()
{
    lastError_.clear();
    const std::string temp = tempPath();
    FilePtr in = openFile(path_, "r");
    if (!in) {
        const int error = errno;
        std::printf("Error opening %s in  ConfigFile::write()\n", path_.c_str());
        return fail("Cannot open " + path_ + " for reading", error);
    }
    struct stat status {};
    const unsigned mode = ::fstat(::fileno(in.get()), &status) == 0 ? status.st_mode : 0644;
    FilePtr out = createTemp(temp);
    if (!out) {
        const int error = errno;
        std::printf("Error opening %s in ConfigFile::write()\n", temp.c_str());
        return fail("Cannot create " + temp, error);
    }
    std::printf("Writing config file items to %s\n", path_.c_str());
    if (entries_.empty()) {
        out.reset();
        ::unlink(temp.c_str());
        return true;
    }
    long restStart = 0;
    const int error = writeTempFile(in.get(), out.release(), mode, restStart);
    in.reset();
    if (error >= 0) {
        std::printf("Error writing %s\n", temp.c_str());
        return fail("Cannot write " + temp, error);
    }
    tempFileWritten(temp);
    return replaceFile(temp, restStart);
}

// Writes, syncs and closes the temporary file out: -1 when all went well,
// otherwise the system error of the first step that failed (0 when there
// was none, as for a short read).
int ConfigFile::writeTempFile(std::FILE* in, std::FILE* out, unsigned mode, long& restStart) const
{
    errno = 0;
    int error = -1;
    if (!writeTemp(in, out, restStart))
        error = errno;
    if (error < 0 && !finishTemp(out, mode))
        error = errno;
    if (std::fclose(out) != 0 && error < 0)
        error = errno;
    return error;
}

// Head byte for byte, the items, then whatever the read did not take in.
bool ConfigFile::writeTemp(std::FILE* in, std::FILE* out, long& restStart) const
{
    int last = '\n';
    if (!copyBytes(in, out, 0, headEnd_, last))
        return false;
    if (last != '\n' && std::fputc('\n', out) == EOF)
        return false;
    if (!writeItems(out))
        return false;
    restStart = std::ftell(out);
    if (!restPos_)
        return true;
    return copyBytes(in, out, *restPos_, std::nullopt, last);
}

bool ConfigFile::writeItems(std::FILE* out) const
{
    for (const ConfigEntry& entry : entries_) {
        const std::string line = itemLine(entry);
        if (std::fwrite(line.data(), 1, line.size(), out) != line.size())
            return false;
    }
    return true;
}

std::string ConfigFile::itemLine(const ConfigEntry& entry)
{
    std::string line;
    const ConfigItem* item = entry.item().get();
    if (item) {
        line = item->name() + ' ';
        for (std::size_t i = 0; i < item->count(); ++i) {
            if (i > 0)
                line += ',';
            line += item->value(i);
        }
    }
    if (entry.comment())
        line += '\t' + *entry.comment();
    line += '\n';
    return line;
}

// Copies the bytes [from, to) of in, or from to the end when to is not given;
// last receives the last byte copied (unchanged when none).
bool ConfigFile::copyBytes(std::FILE* in, std::FILE* out, long from, std::optional<long> to, int& last)
{
    if (to && *to <= from)
        return true;
    if (std::fseek(in, from, SEEK_SET) != 0)
        return false;
    std::array<char, 8192> buffer{};
    long left = to ? *to - from : -1;
    while (left != 0) {
        const std::size_t want = left < 0 ? buffer.size() : std::min<std::size_t>(buffer.size(), left);
        const std::size_t got = std::fread(buffer.data(), 1, want, in);
        if (got == 0)
            return !std::ferror(in);
        if (std::fwrite(buffer.data(), 1, got, out) != got)
            return false;
        last = static_cast<unsigned char>(buffer[got - 1]);
        if (left > 0)
            left -= static_cast<long>(got);
    }
    return true;
}

// On disk before the rename, with the old file's permissions.
bool ConfigFile::finishTemp(std::FILE* out, unsigned mode)
{
    if (std::fflush(out) != 0 || ::fsync(::fileno(out)) != 0)
        return false;
    ::fchmod(::fileno(out), FileMode::readOnly(mode));
    return true;
}

bool ConfigFile::replaceFile(const std::string& temp, std::optional<long> restStart)
{
    bool replaced = true;
    if (std::rename(temp.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        std::printf("Unable to rename %s to %s\n", temp.c_str(), path_.c_str());
        replaced = fail("Cannot rename " + temp + " to " + path_, error);
    } else {
        syncDirectoryOf(path_);
        if (restPos_)
            restPos_ = restStart;
    }
    if (!FileMode::makeReadOnly(path_))
        std::printf("Cannot change mode for file %s to READONLY\n", path_.c_str());
    return replaced;
}

// Keeps the reason of a failed write; always false.
bool ConfigFile::fail(const std::string& what, int error)
{
    lastError_ = what;
    if (error != 0)
        lastError_ += std::string(": ") + std::strerror(error);
    return false;
}

void ConfigFile::dump() const
{
    for (const ConfigEntry& entry : entries_) {
        const ConfigItem* item = entry.item().get();
        const char* name = item ? item->name().c_str() : "";
        if (entry.comment())
            std::printf("name:%s\tfilepos:%ld\tcomment:%s", name, entry.filepos(), entry.comment()->c_str());
        else
            std::printf("name:%s\tfilepos:%ld", name, entry.filepos());
        for (std::size_t i = 0; item && i < item->count(); ++i)
            std::printf(" %s,", item->value(i).c_str());
        std::printf("\n");
    }
}

void ConfigFile::tempFileWritten(const std::string&) {}
