#include "alarm_list_panel.h"

#include "alarm_centre.h"
#include "shelve_dialog.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString utcText(std::int64_t utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

} // namespace

AlarmListPanel::AlarmListPanel(AlarmCentre& centre, QWidget* parent)
    : QWidget(parent),
      centre_(centre),
      table_(new QTableWidget(0, 5, this)),
      acknowledge_(new QPushButton(QStringLiteral("Acknowledge selected"), this)),
      shelve_(new QPushButton(QStringLiteral("Shelve…"), this)),
      unshelve_(new QPushButton(QStringLiteral("Unshelve"), this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(QStringLiteral("Alarms:"), this);
    caption->setBuddy(table_);
    layout->addWidget(caption);
    layout->addWidget(table_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {shelve_, unshelve_, acknowledge_}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);

    table_->setAccessibleName(QStringLiteral("Alarms"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Alarm"), QStringLiteral("State"),
        QStringLiteral("Raised"), QStringLiteral("Cleared"), QStringLiteral("Shelved until")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->setWordWrap(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(0, 250);
    table_->setColumnWidth(1, 190);
    table_->setColumnWidth(2, 130);
    table_->setColumnWidth(3, 130);
    table_->setMaximumHeight(table_->verticalHeader()->defaultSectionSize() * 6);

    connect(acknowledge_, &QPushButton::clicked, this, &AlarmListPanel::acknowledgeSelected);
    connect(shelve_, &QPushButton::clicked, this, &AlarmListPanel::shelveSelected);
    connect(unshelve_, &QPushButton::clicked, this, &AlarmListPanel::unshelveSelected);
    connect(table_, &QTableWidget::cellDoubleClicked, this, &AlarmListPanel::acknowledgeSelected);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &AlarmListPanel::updateButtons);
    connect(&centre_, &AlarmCentre::changed, this, &AlarmListPanel::refresh);
    refresh();
}

QString AlarmListPanel::timeText(std::int64_t latchMs) const
{
    return utcText(centre_.wallMs(latchMs));
}

void AlarmListPanel::refresh()
{
    const std::vector<AlarmLatch::Entry> entries = centre_.latch().shown();
    const std::optional<AlarmPoint> keep = selected();
    rows_.clear();
    table_->setRowCount(int(entries.size()));
    for (int row = 0; row < int(entries.size()); ++row) {
        const AlarmLatch::Entry& entry = entries[row];
        rows_.push_back(entry.point);
        // A point shelved ahead, before it ever went into alarm, has no times.
        const bool raised = entry.active || entry.unacknowledged;
        const QString texts[] = {QString::fromStdString(entry.point.name()),
            QString::fromStdString(entry.stateText()), raised ? timeText(entry.raisedMs) : QString(),
            entry.active || !raised ? QString() : timeText(entry.clearedMs),
            entry.shelved() ? utcText(entry.shelvedUntilUtcMs) : QString()};
        for (int column = 0; column < 5; ++column) {
            QTableWidgetItem* item = table_->item(row, column);
            if (!item)
                table_->setItem(row, column, item = new QTableWidgetItem);
            if (item->text() != texts[column])
                item->setText(texts[column]);
        }
        if (entry.shelved())
            table_->item(row, 4)->setToolTip(
                QString::fromStdString(entry.shelvedBy + ": " + entry.shelfComment));
        if (keep && entry.point == *keep)
            table_->setCurrentCell(row, 0);
    }
    updateButtons();
}

void AlarmListPanel::updateButtons()
{
    const std::optional<AlarmPoint> point = selected();
    const bool shelved = point && centre_.latch().entry(*point).shelved();
    acknowledge_->setEnabled(centre_.latch().unacknowledgedCount() > 0);
    shelve_->setEnabled(point && !shelved);
    unshelve_->setEnabled(shelved);
}

std::optional<AlarmPoint> AlarmListPanel::selected() const
{
    const int row = table_->currentRow();
    if (row < 0 || row >= int(rows_.size()))
        return std::nullopt;
    return rows_[row];
}

void AlarmListPanel::acknowledgeSelected()
{
    if (const std::optional<AlarmPoint> point = selected())
        centre_.acknowledge(*point);
}

// The window stays usable while the question is open: events keep coming.
void AlarmListPanel::shelveSelected()
{
    const std::optional<AlarmPoint> point = selected();
    if (!point)
        return;
    auto* dialog = new ShelveDialog(QString::fromStdString(point->name()), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<ShelveDialog> asked(dialog);
    connect(dialog, &QDialog::accepted, this, [this, asked, point] {
        if (asked)
            centre_.shelve(*point, asked->minutes(), asked->comment());
    });
    dialog->open();
}

void AlarmListPanel::unshelveSelected()
{
    if (const std::optional<AlarmPoint> point = selected())
        centre_.unshelve(*point);
}
