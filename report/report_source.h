#pragma once

#include "history_source.h"
#include "report_options.h"

#include <memory>
#include <string>

namespace Report {

// The source a report reads, opened on the calling thread (its database
// connection belongs to it): the history file or the archive. Null, with
// `error` set, when it cannot be read.
std::unique_ptr<History::HistorySource> openSource(const ReportOptions& options, std::string& error);

} // namespace Report
