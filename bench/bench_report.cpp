// The shift report from a history file (bench_history_fill makes one of 30
// days): the time from opening the file to the PDF and its CSV written, the
// PDF's size and the peak memory of the process. One range per run, so that
// the peak is that range's own. Prints one line of figures:
//   seconds=N pdf_bytes=N peak_mb=N pages=N
//
//   bench_report HISTORY LENGTH OUT.pdf      (LENGTH: 24h, 30d, ... ending now)
#include "pdf_report.h"
#include "peak_resident.h"
#include "report_job.h"
#include "report_options.h"
#include "report_plots.h"
#include "sqlite_history_source.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const auto length = argc == 4 ? Report::ReportOptions::length(argv[2]) : std::nullopt;
    if (!length) {
        std::fprintf(stderr, "usage: bench_report HISTORY LENGTH OUT.pdf\n");
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    const auto began = std::chrono::steady_clock::now();
    History::SqliteHistorySource source(argv[1]);
    Report::Job job;
    job.request.toMs = QDateTime::currentMSecsSinceEpoch();
    job.request.fromMs = job.request.toMs - *length;
    job.request.madeMs = job.request.toMs;
    job.pdfPath = argv[3];
    job.csvPath = std::string(argv[3]) + ".csv";
    Report::ReportPlots plots;
    Report::Figures figures;
    const Report::Job::Result result = job.run(source, plots, {}, figures);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    if (result.outcome != Report::Job::Outcome::Written) {
        std::fprintf(stderr, "bench_report: %s\n", result.message.c_str());
        return 1;
    }
    std::printf("seconds=%.3f pdf_bytes=%lld peak_mb=%.1f readings=%lld alarms=%lld\n", seconds,
        static_cast<long long>(QFileInfo(QString::fromLocal8Bit(argv[3])).size()), peakResidentKb() / 1024.0,
        figures.housings[0].readings + figures.housings[1].readings, figures.raised);
    return 0;
}
