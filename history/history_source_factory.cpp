#include "history_source_factory.h"

#include "postgres_history_source.h"
#include "sqlite_history_source.h"

namespace History {

HistorySourceFactory::HistorySourceFactory(
    const std::string& archiveText, std::string instrument, std::string localPath, Notice notice)
    : instrument_(std::move(instrument)), localPath_(std::move(localPath)), notice_(std::move(notice))
{
    if (archiveText.empty())
        return;
    std::string error;
    archive_ = ArchiveAddress::parse(archiveText, error);
    if (!archive_ && notice_)
        notice_("KOV-ARCHIVE is not usable (" + error + "); the local history is shown");
}

std::unique_ptr<HistorySource> HistorySourceFactory::operator()() const
{
    if (archive_) {
        auto archive = std::make_unique<PostgresHistorySource>(*archive_, instrument_);
        if (archive->reachable()) {
            told_->store(false);
            return archive;
        }
        if (!told_->exchange(true) && notice_)
            notice_("The " + archive_->label() + " cannot be reached (" + archive->lastError() +
                "); the local history is shown");
    }
    return std::make_unique<SqliteHistorySource>(localPath_);
}

std::function<std::unique_ptr<HistorySource>()> HistorySourceFactory::function() const
{
    return [factory = *this] { return factory(); };
}

} // namespace History
