#include "report_source.h"

#include "postgres_history_source.h"
#include "sqlite_history_source.h"

#include <QFileInfo>

namespace Report {

std::unique_ptr<History::HistorySource> openSource(const ReportOptions& options, std::string& error)
{
    if (options.archive) {
        auto archive = std::make_unique<History::PostgresHistorySource>(*options.archive, options.instrument);
        if (!archive->reachable()) {
            error = "cannot read the " + options.archive->label() + ": " + archive->lastError();
            return nullptr;
        }
        return archive;
    }
    const QFileInfo file(QString::fromStdString(options.history));
    if (!file.isFile() || !file.isReadable()) {
        error = "cannot read " + options.history + ": " +
            (file.exists() ? "not a readable file" : "no such file");
        return nullptr;
    }
    return std::make_unique<History::SqliteHistorySource>(options.history);
}

} // namespace Report
