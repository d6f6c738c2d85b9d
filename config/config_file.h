#pragma once

#include "config_entry.h"
#include "config_item_ptr.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// A small line-oriented file of named items, read into memory, looked up and
// changed through copies, and written back in place through the temporary
// file "kov.$$$" beside it. While held, the file is read-only on disk.
class ConfigFile {
public:
    static constexpr const char* tempFileName = "kov.$$$";

    // The directory the client was started in (the current directory).
    static std::string startDirectory();

    // Files are looked up as "<directory>/<name>".
    explicit ConfigFile(std::string directory = startDirectory());
    virtual ~ConfigFile();

    ConfigFile(const ConfigFile&) = delete;
    ConfigFile& operator=(const ConfigFile&) = delete;

    // Replaces the list by the file's items and makes the file read-only.
    // False when the file cannot be opened (list unchanged) or its mode set.
    bool read(const std::string& fileName);
    // Reads the items as read() does but leaves the file as it is, for a
    // reader that never writes back (the recorder, whose file an editor
    // may replace at any time). False when the file cannot be opened.
    bool peek(const std::string& fileName);

    // Copies the first item called name into item; item unchanged on false.
    bool find(const std::string& name, ConfigItemPtr& item) const;

    // The first entry with the item's name gets a copy of it (position and
    // comment kept); an unknown name changes nothing.
    void update(ConfigItemPtr item);

    // Appends an item with that name and that one value (none when null).
    // False for a name that could not be read back as a name.
    bool add(const std::string& name, const char* value = nullptr);

    // Writes the list back; reports on standard output. True when the file
    // on disk now holds the list (an empty list leaves the file as it is
    // and counts as written); otherwise lastError() tells why. A file that
    // was replaced but could not be made read-only again still counts as
    // written: the items are on disk, only the guard against other writers
    // is missing, and that is reported on standard output.
    bool write();

    // Why the last write() failed, with the system's error text; empty
    // after one that succeeded.
    const std::string& lastError() const { return lastError_; }

    void dump() const;

    const std::string& directory() const { return directory_; }
    const std::string& path() const { return path_; }
    const std::vector<ConfigEntry>& entries() const { return entries_; }

protected:
    // Called when the temporary file is complete on disk, just before it
    // replaces the configuration file: the one point where a crash used to
    // cost the file. Tests end the process here.
    virtual void tempFileWritten(const std::string& tempPath);

private:
    std::string tempPath() const;
    void readLines(std::FILE* file);
    int writeTempFile(std::FILE* in, std::FILE* out, unsigned mode, long& restStart) const;
    bool writeTemp(std::FILE* in, std::FILE* out, long& restStart) const;
    bool writeItems(std::FILE* out) const;
    static std::string itemLine(const ConfigEntry& entry);
    static bool copyBytes(std::FILE* in, std::FILE* out, long from, std::optional<long> to, int& last);
    static bool finishTemp(std::FILE* out, unsigned mode);
    bool replaceFile(const std::string& temp, std::optional<long> restStart);
    bool fail(const std::string& what, int error);

    std::string directory_;
    std::string path_;
    bool held_ = false; // read() made it read-only: writable again at the end
    std::vector<ConfigEntry> entries_;
    std::string lastError_;
    // Bytes before the first item (or the whole file when it had none): kept
    // byte for byte at a write.
    long headEnd_ = 0;
    // Where reading stopped at a line with too many values: the rest of the
    // file from there is copied through unchanged at a write.
    std::optional<long> restPos_;
};
