#include "report_dialog.h"

#include "pdf_report.h"
#include "report_runner.h"
#include "utc_edit.h"

#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr std::int64_t hourMs = 3'600'000;
constexpr std::int64_t dayMs = 24 * hourMs;

} // namespace

CReportDialog::CReportDialog(HistorySourceFactory factory, QWidget* parent)
    : QDialog(parent), factory_(std::move(factory)), runner_(new ReportRunner(this))
{
    setWindowTitle(tr("KOV Report"));
    setAccessibleName(tr("KOV Report"));
    opener_ = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };

    range_ = new QComboBox(this);
    range_->setAccessibleName(tr("Report range"));
    range_->addItems({tr("Last 8 hours"), tr("Last 24 hours"), tr("Last 7 days"), tr("Yesterday (UTC)"),
        tr("From and to below (UTC)")});
    range_->setCurrentIndex(Last24Hours);
    const QDateTime today(QDateTime::currentDateTimeUtc().date(), QTime(0, 0), Qt::UTC);
    from_ = utcEdit(today.addDays(-1), tr("Report from (UTC)"), this);
    to_ = utcEdit(today, tr("Report to (UTC)"), this);
    write_ = new QPushButton(tr("&Write report…"), this);
    write_->setAccessibleName(tr("Write the report as PDF"));
    write_->setDefault(true);
    stop_ = new QPushButton(tr("&Stop"), this);
    stop_->setAccessibleName(tr("Stop writing the report"));
    stop_->setEnabled(false);
    progress_ = new QProgressBar(this);
    progress_->setAccessibleName(tr("Report progress"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    status_ = new QLabel(tr("The report covers the housings, the data, the link and the alarm figures, "
                            "with the trends, the alarm timeline and the table of events."),
        this);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* rangeLabel = new QLabel(tr("&Range:"), this);
    rangeLabel->setBuddy(range_);
    auto* fromLabel = new QLabel(tr("&From (UTC):"), this);
    fromLabel->setBuddy(from_);
    auto* toLabel = new QLabel(tr("&To (UTC):"), this);
    toLabel->setBuddy(to_);
    auto* grid = new QGridLayout;
    grid->addWidget(rangeLabel, 0, 0);
    grid->addWidget(range_, 0, 1, 1, 3);
    grid->addWidget(fromLabel, 1, 0);
    grid->addWidget(from_, 1, 1);
    grid->addWidget(toLabel, 1, 2);
    grid->addWidget(to_, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(write_);
    buttons->addWidget(stop_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(progress_);
    layout->addWidget(status_);
    layout->addLayout(buttons);
    resize(520, 200);

    connect(range_, qOverload<int>(&QComboBox::currentIndexChanged), this, &CReportDialog::rangeChanged);
    connect(write_, &QPushButton::clicked, this, &CReportDialog::askAndWrite);
    connect(stop_, &QPushButton::clicked, runner_, &ReportRunner::stop);
    connect(runner_, &ReportRunner::progressed, this, &CReportDialog::progressed);
    connect(runner_, &ReportRunner::finished, this, &CReportDialog::finished);
    rangeChanged();
    if (!factory_) {
        status_->setText(tr("History is not available: there is nothing to report on."));
        write_->setEnabled(false);
    }
}

CReportDialog::~CReportDialog() = default;

void CReportDialog::chooseRange(Range range)
{
    range_->setCurrentIndex(range);
}

void CReportDialog::setChosenRange(std::int64_t fromMs, std::int64_t toMs)
{
    range_->setCurrentIndex(Chosen);
    from_->setDateTime(QDateTime::fromMSecsSinceEpoch(fromMs, Qt::UTC));
    to_->setDateTime(QDateTime::fromMSecsSinceEpoch(toMs, Qt::UTC));
}

std::pair<std::int64_t, std::int64_t> CReportDialog::range(std::int64_t nowMs) const
{
    switch (range_->currentIndex()) {
    case Last8Hours:
        return {nowMs - 8 * hourMs, nowMs};
    case Last7Days:
        return {nowMs - 7 * dayMs, nowMs};
    case Yesterday: {
        const std::int64_t today = nowMs / dayMs * dayMs;
        return {today - dayMs, today};
    }
    case Chosen:
        return {from_->dateTime().toMSecsSinceEpoch(), to_->dateTime().toMSecsSinceEpoch()};
    default:
        return {nowMs - dayMs, nowMs};
    }
}

void CReportDialog::rangeChanged()
{
    const bool chosen = range_->currentIndex() == Chosen;
    from_->setEnabled(chosen);
    to_->setEnabled(chosen);
}

void CReportDialog::askAndWrite()
{
    const auto [from, to] = range(QDateTime::currentMSecsSinceEpoch());
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString name =
        QStringLiteral("kov-report-%1.pdf")
            .arg(QDateTime::fromMSecsSinceEpoch(from, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd-HHmm")));
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Write the report"), QDir(folder).filePath(name), tr("PDF files (*.pdf)"));
    if (!path.isEmpty())
        writeTo(path);
}

void CReportDialog::writeTo(const QString& path)
{
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    const auto [from, to] = range(now);
    if (from >= to) {
        status_->setText(tr("The range ends before it starts: choose From before To."));
        return;
    }
    Report::Job job;
    job.request.instrument = instrument_;
    job.request.fromMs = from;
    job.request.toMs = to;
    job.request.madeMs = now;
    job.pdfPath = path.toStdString();
    job.paper = Report::paperFromEnvironment();
    if (!runner_->start(factory_, job))
        return;
    write_->setEnabled(false);
    stop_->setEnabled(true);
    progress_->setValue(0);
    status_->setText(tr("Writing the report…"));
}

bool CReportDialog::writing() const
{
    return runner_->running();
}

QString CReportDialog::status() const
{
    return status_->text();
}

void CReportDialog::progressed(int percent, const QString& step)
{
    progress_->setValue(percent);
    status_->setText(tr("Writing the report: %1 (%2 %)").arg(step).arg(percent));
}

void CReportDialog::finished(bool ok, const QString& message, const QString& path)
{
    write_->setEnabled(true);
    stop_->setEnabled(false);
    if (ok) {
        progress_->setValue(100);
        status_->setText(tr("The report is written to %1").arg(path));
        if (opener_)
            opener_(path);
    } else {
        progress_->setValue(0);
        status_->setText(message.isEmpty() ? tr("The report was stopped; nothing was written.")
                                           : tr("The report could not be written: %1").arg(message));
    }
    emit reportDone(ok);
}
