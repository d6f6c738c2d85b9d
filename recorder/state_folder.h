#pragma once

#include <string>

namespace Recorder {

// The recorder's own folder: the rows held at a stop wait there for the
// next start, and the rows the archive refused are set aside there. Under
// systemd it is the unit's StateDirectory= ($STATE_DIRECTORY); by hand,
// --state-dir or else $XDG_STATE_HOME/kovrecorder (~/.local/state/kovrecorder).
// One recorder at a time uses a folder: it holds a lock on it while it runs.
class StateFolder {
public:
    static constexpr const char* spoolName = "held.spool";
    static constexpr const char* refusedName = "refused.spool";

    StateFolder() = default;
    ~StateFolder();

    StateFolder(const StateFolder&) = delete;
    StateFolder& operator=(const StateFolder&) = delete;

    // The folder when none is given, from the environment.
    static std::string defaultPath();

    // Creates the folder (mode 0700) when missing and takes its lock. False
    // with `error` set when it cannot, or when another recorder holds it.
    bool open(const std::string& path, std::string& error);

    const std::string& path() const { return path_; }
    std::string spoolPath() const { return path_ + "/" + spoolName; }
    std::string refusedPath() const { return path_ + "/" + refusedName; }

private:
    std::string path_;
    int lock_ = -1;
};

} // namespace Recorder
