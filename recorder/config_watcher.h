#pragma once

#include "recorder_settings.h"

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QFileSystemWatcher;
class QTimer;

namespace Recorder {

// The recorder's configuration file, read at start and again on SIGHUP and
// whenever it changes on disk. The file and its folder are both watched: an
// editor that writes a new file and renames it over the old one replaces
// what was watched. A file that cannot be read, or holds an item that
// cannot, leaves the settings in force and says why. The thread that made
// it (the main thread).
class ConfigWatcher : public QObject {
public:
    using Log = std::function<void(const std::string&)>;
    // New settings, with the setpoints that changed (all of them, old and
    // new equal, at the first reading).
    using Applied = std::function<void(const RecorderSettings&, const std::vector<History::SetpointChange>&)>;

    // Settling time after a change on disk, before it is read: an editor's
    // write comes in several steps.
    static constexpr int settleMs = 200;

    ConfigWatcher(std::string path, Log log, Applied applied, QObject* parent = nullptr);

    // The first reading. A file that is missing is no error when
    // `mayBeMissing` (the package's default path): the defaults hold then.
    // False with `error` set otherwise.
    bool start(bool mayBeMissing, std::string& error);
    // Reads the file again; `why` goes into the log line, which is written
    // for a file unchanged too when `sayIfSame`.
    void reread(const std::string& why, bool sayIfSame = false);

    const RecorderSettings& settings() const { return settings_; }

private:
    void watch();

    std::string path_;
    Log log_;
    Applied applied_;
    RecorderSettings settings_;
    QFileSystemWatcher* watcher_;
    QTimer* settle_;
};

} // namespace Recorder
