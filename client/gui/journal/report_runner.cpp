#include "report_runner.h"

#include "history_source.h"
#include "report_plots.h"

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QThread>

#include <atomic>
#include <mutex>

struct ReportRunner::Shared {
    std::mutex mutex;
    QObject* context = nullptr; // cleared when the runner goes
    std::atomic<bool> stop{false};
    std::atomic<int> percent{-1};

    // Runs `answer` on the runner's thread unless the runner has gone: a
    // call posted before it went is dropped with it.
    template<typename F>
    void tell(F&& answer)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (context)
            QMetaObject::invokeMethod(context, std::forward<F>(answer), Qt::QueuedConnection);
    }
};

ReportRunner::ReportRunner(QObject* parent) : QObject(parent) {}

ReportRunner::~ReportRunner()
{
    if (!thread_)
        return;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->context = nullptr;
    }
    shared_->stop = true;
    if (thread_->wait(QDeadlineTimer(5000))) {
        delete thread_;
        return;
    }
    qWarning("The report is still being written; it is left to finish on its own");
    QObject::connect(thread_, &QThread::finished, thread_, &QObject::deleteLater);
    (void)plots_.release(); // still drawn with: never destroyed under the worker
}

bool ReportRunner::start(HistorySourceFactory factory, const Report::Job& job)
{
    if (running_)
        return false;
    if (thread_) {
        thread_->wait();
        delete thread_;
        thread_ = nullptr;
    }
    if (!plots_)
        plots_ = std::make_unique<Report::ReportPlots>();
    shared_ = std::make_shared<Shared>();
    shared_->context = this;
    running_ = true;
    std::shared_ptr<Shared> shared = shared_;
    Report::ReportPlots* plots = plots_.get();
    ReportRunner* runner = this;
    thread_ = QThread::create([shared, plots, runner, factory = std::move(factory), job] {
        std::unique_ptr<History::HistorySource> source = factory ? factory() : nullptr;
        Report::Job::Result result{Report::Job::Outcome::SourceFailed, "no history to read"};
        if (source) {
            Report::Figures figures;
            result = job.run(
                *source, *plots,
                [shared, runner](int percent, const std::string& step) {
                    if (shared->stop)
                        return false;
                    if (shared->percent.exchange(percent) != percent) {
                        const QString text = QString::fromStdString(step);
                        shared->tell([runner, percent, text] { emit runner->progressed(percent, text); });
                    }
                    return true;
                },
                figures);
        }
        source.reset(); // closed on the thread that opened it
        const bool ok = result.outcome == Report::Job::Outcome::Written;
        const QString message = result.outcome == Report::Job::Outcome::Stopped
            ? QString()
            : QString::fromStdString(result.message);
        const QString path = QString::fromStdString(job.pdfPath);
        shared->tell([runner, ok, message, path] {
            runner->running_ = false;
            emit runner->finished(ok, message, path);
        });
    });
    thread_->setObjectName(QStringLiteral("report writer"));
    thread_->start();
    return true;
}

void ReportRunner::stop()
{
    if (shared_)
        shared_->stop = true;
}
