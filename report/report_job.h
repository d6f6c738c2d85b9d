#pragma once

#include "report_figures.h"

#include <QPageSize>

#include <string>

namespace History {
class HistorySource;
}

namespace Report {

class ReportPlots;

// One report from a source into its files: the PDF and, when named, the
// CSV of page 1. Each file is written beside its name and renamed into
// place only when whole, so a reader never sees half a report.
struct Job {
    Request request;
    std::string pdfPath;
    std::string csvPath; // empty: none
    QPageSize::PageSizeId paper = QPageSize::A4;

    enum class Outcome {
        Written,
        SourceFailed, // the history could not be read
        OutputFailed, // a file could not be written
        Stopped       // the progress said stop
    };
    struct Result {
        Outcome outcome = Outcome::Written;
        std::string message; // why, for the operator
    };

    // The files are opened first: an unwritable one is told before any
    // reading. Figures are left in `figures` for the caller.
    Result run(
        History::HistorySource& source, ReportPlots& plots, const Progress& progress, Figures& figures) const;
};

} // namespace Report
