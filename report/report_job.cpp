#include "report_job.h"

#include "history_source.h"
#include "pdf_report.h"
#include "report_csv.h"

#include <QSaveFile>

namespace Report {

namespace {

Job::Result outputFailed(const QSaveFile& file)
{
    return {Job::Outcome::OutputFailed,
        "cannot write " + file.fileName().toStdString() + ": " + file.errorString().toStdString()};
}

} // namespace

Job::Result Job::run(
    History::HistorySource& source, ReportPlots& plots, const Progress& progress, Figures& figures) const
{
    QSaveFile pdf(QString::fromStdString(pdfPath));
    QSaveFile table(QString::fromStdString(csvPath));
    if (!pdf.open(QIODevice::WriteOnly))
        return outputFailed(pdf);
    if (!csvPath.empty() && !table.open(QIODevice::WriteOnly))
        return outputFailed(table);

    std::string error;
    if (!compute(source, request, progress, figures, error)) {
        if (error.empty())
            return {Outcome::Stopped, "stopped"};
        return {Outcome::SourceFailed, "cannot read " + source.description() + ": " + error};
    }
    if (!writePdf(pdf, figures, plots, paper, progress, error)) {
        if (error.empty())
            return {Outcome::Stopped, "stopped"};
        return {Outcome::OutputFailed, error};
    }
    if (!pdf.commit())
        return outputFailed(pdf);
    if (!csvPath.empty()) {
        const std::string text = csv(figures);
        if (table.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
            !table.commit())
            return outputFailed(table);
    }
    if (progress)
        progress(100, "done");
    return {};
}

} // namespace Report
