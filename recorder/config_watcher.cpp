#include "config_watcher.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include <cerrno>
#include <sys/stat.h>

namespace Recorder {

ConfigWatcher::ConfigWatcher(std::string path, Log log, Applied applied, QObject* parent)
    : QObject(parent),
      path_(std::move(path)),
      log_(std::move(log)),
      applied_(std::move(applied)),
      watcher_(new QFileSystemWatcher(this)),
      settle_(new QTimer(this))
{
    settle_->setSingleShot(true);
    settle_->setInterval(settleMs);
    connect(settle_, &QTimer::timeout, this, [this] { reread("it changed"); });
    connect(watcher_, &QFileSystemWatcher::fileChanged, settle_, qOverload<>(&QTimer::start));
    connect(watcher_, &QFileSystemWatcher::directoryChanged, settle_, qOverload<>(&QTimer::start));
}

bool ConfigWatcher::start(bool mayBeMissing, std::string& error)
{
    watch();
    struct stat info;
    if (mayBeMissing && ::stat(path_.c_str(), &info) != 0 && errno == ENOENT) {
        log_("no " + path_ + ": the default setpoints and alarm settings hold");
    } else {
        const std::optional<RecorderSettings> read = RecorderSettings::read(path_, error);
        if (!read)
            return false;
        settings_ = *read;
        log_("setpoints and alarm settings from " + path_);
    }
    applied_(settings_, settings_.inForce(QDateTime::currentMSecsSinceEpoch()));
    return true;
}

// The folder is watched for a file that comes back (or first appears); the
// file itself for a change in place.
void ConfigWatcher::watch()
{
    const QString file = QString::fromStdString(path_);
    const QString folder = QFileInfo(file).absolutePath();
    if (!watcher_->directories().contains(folder) && QFileInfo::exists(folder))
        watcher_->addPath(folder);
    if (!watcher_->files().contains(file) && QFileInfo::exists(file))
        watcher_->addPath(file);
}

void ConfigWatcher::reread(const std::string& why, bool sayIfSame)
{
    watch();
    std::string error;
    const std::optional<RecorderSettings> read = RecorderSettings::read(path_, error);
    if (!read) {
        log_("read " + path_ + " again (" + why + "): " + error + "; the settings in force stay");
        return;
    }
    const std::vector<History::SetpointChange> changes =
        read->changesFrom(settings_, QDateTime::currentMSecsSinceEpoch());
    const bool alarmsChanged = read->alarmsDiffer(settings_);
    if (changes.empty() && !alarmsChanged) {
        if (sayIfSame)
            log_("read " + path_ + " again (" + why + "): nothing changed");
        return;
    }
    settings_ = *read;
    log_("read " + path_ + " again (" + why + "): " + std::to_string(changes.size()) + " setpoints changed" +
        (alarmsChanged ? ", new alarm settings" : ""));
    applied_(settings_, changes);
}

} // namespace Recorder
