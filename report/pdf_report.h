#pragma once

#include "report_figures.h"

#include <QPageSize>

#include <string>

class QIODevice;

namespace Report {

class ReportPlots;

// Letter for the locales that use it (the Americas' and the Philippines'),
// A4 for every other: `localeName` as in LC_PAPER ("en_US.UTF-8").
QPageSize::PageSizeId paperFor(const std::string& localeName);
// From the environment: LC_ALL, else LC_PAPER, else LANG.
QPageSize::PageSizeId paperFromEnvironment();

// Writes the report as a PDF into `device`: page 1 the summary, then per
// housing its trends with their limit lines, the alarm timeline, and the
// table of events. Text is text (selectable, searchable), drawings are
// vectors, times UTC, every page numbered. False when the device refused
// (`error` says why) or the progress said stop.
bool writePdf(QIODevice& device, const Figures& figures, ReportPlots& plots, QPageSize::PageSizeId paper,
    const Progress& progress, std::string& error);

} // namespace Report
