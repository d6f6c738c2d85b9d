#pragma once

#include "archive_address.h"
#include "history_source.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace History {

// Makes the source the trends window and the journal read from: the shared
// archive when one is named (the KOV-ARCHIVE item) and it answers, else the
// local history file. The fall-back is told once through `notice`; later
// calls try the archive again. Each call makes a source for the calling
// thread, which must be a reader thread: connecting may take seconds.
class HistorySourceFactory {
public:
    using Notice = std::function<void(const std::string&)>;

    // `archiveText`: the item's value, empty for none; an unusable one is
    // told through `notice` and the local file is read. `instrument`: whose
    // rows are read from the archive (KOV-INSTRUMENT).
    HistorySourceFactory(
        const std::string& archiveText, std::string instrument, std::string localPath, Notice notice);

    std::unique_ptr<HistorySource> operator()() const;

    // The factory as the windows take it (copies share the "told" state).
    std::function<std::unique_ptr<HistorySource>()> function() const;

    const std::optional<ArchiveAddress>& archive() const { return archive_; }

private:
    std::optional<ArchiveAddress> archive_;
    std::string instrument_;
    std::string localPath_;
    Notice notice_;
    std::shared_ptr<std::atomic<bool>> told_ = std::make_shared<std::atomic<bool>>(false);
};

} // namespace History
