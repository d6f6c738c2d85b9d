// kovreport: the shift report of a KOV instrument as PDF, from the local
// history file or the shared archive, with no window. Exit status: 0
// written, 1 bad use, 2 the source cannot be read, 3 a file cannot be
// written.
#include "pdf_report.h"
#include "report_job.h"
#include "report_options.h"
#include "report_plots.h"
#include "report_source.h"

#include <QApplication>
#include <QDateTime>

#include <cstdio>
#include <cstdlib>

namespace {

void say(const std::string& text)
{
    std::fprintf(stderr, "kovreport: %s\n", text.c_str());
}

// A report has no window: without a display (a timer, ssh) Qt is given its
// offscreen platform unless the caller chose one.
void choosePlatform()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!platform || !*platform) && (!x || !*x) && (!wayland || !*wayland))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

} // namespace

int main(int argc, char** argv)
{
    std::string error;
    const auto options = Report::ReportOptions::parse(argc, argv, QDateTime::currentMSecsSinceEpoch(), error);
    if (!options) {
        say(error);
        std::fputs(Report::ReportOptions::usage().c_str(), stderr);
        return Report::BadUse;
    }
    if (options->helpShown)
        return Report::Written;

    choosePlatform();
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    QCoreApplication::setApplicationName(QStringLiteral("kovreport"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));

    std::unique_ptr<History::HistorySource> source = Report::openSource(*options, error);
    if (!source) {
        say(error);
        return Report::SourceUnreadable;
    }
    Report::Job job;
    job.request.instrument = options->instrument;
    job.request.fromMs = options->fromMs;
    job.request.toMs = options->toMs;
    job.request.madeMs = QDateTime::currentMSecsSinceEpoch();
    job.pdfPath = options->out;
    job.csvPath = options->csv;
    job.paper = Report::paperFromEnvironment();

    Report::ReportPlots plots;
    Report::Figures figures;
    const Report::Job::Result result = job.run(*source, plots, {}, figures);
    switch (result.outcome) {
    case Report::Job::Outcome::Written:
        return Report::Written;
    case Report::Job::Outcome::SourceFailed:
        say(result.message);
        return Report::SourceUnreadable;
    case Report::Job::Outcome::OutputFailed:
    case Report::Job::Outcome::Stopped:
        break;
    }
    say(result.message);
    return Report::OutputUnwritable;
}
