#pragma once

#include "client_host.h"
#include "report_job.h"

#include <QObject>
#include <QString>

#include <memory>

class QThread;
namespace Report {
class ReportPlots;
}

// Writes one shift report at a time on a thread of its own: the history is
// read through a source the factory makes on that thread (its own database
// connection), the PDF drawn there too; progress and the end are told on
// the GUI thread. The plots the report draws with are widgets, so they are
// made and destroyed here, on the GUI thread, and lent to the worker.
class ReportRunner : public QObject {
    Q_OBJECT

public:
    explicit ReportRunner(QObject* parent = nullptr);
    // Asks a running report to stop and waits a few seconds for it; one
    // that takes longer is left to finish unheard, keeping its plots.
    ~ReportRunner() override;

    // False when a report is being written already.
    bool start(HistorySourceFactory factory, const Report::Job& job);
    // The report stops at its next step; finished() tells it.
    void stop();
    bool running() const { return running_; }

signals:
    void progressed(int percent, const QString& step);
    // `ok`: written to `path`; else `message` says why (empty when stopped).
    void finished(bool ok, const QString& message, const QString& path);

private:
    struct Shared;

    std::shared_ptr<Shared> shared_;
    std::unique_ptr<Report::ReportPlots> plots_;
    QThread* thread_ = nullptr;
    bool running_ = false;
};
