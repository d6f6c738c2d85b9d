#include "alarm_list_panel.h"

#include "alarm_centre.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

AlarmListPanel::AlarmListPanel(AlarmCentre& centre, QWidget* parent)
    : QWidget(parent),
      centre_(centre),
      table_(new QTableWidget(0, 4, this)),
      acknowledge_(new QPushButton(QStringLiteral("Acknowledge selected"), this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(QStringLiteral("Alarms:"), this);
    caption->setBuddy(table_);
    layout->addWidget(caption);
    layout->addWidget(table_);
    layout->addWidget(acknowledge_, 0, Qt::AlignRight);

    table_->setAccessibleName(QStringLiteral("Alarms"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Alarm"), QStringLiteral("State"),
        QStringLiteral("Raised"), QStringLiteral("Cleared")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->setWordWrap(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(0, 250);
    table_->setColumnWidth(1, 150);
    table_->setColumnWidth(2, 130);
    table_->setMaximumHeight(table_->verticalHeader()->defaultSectionSize() * 6);
    acknowledge_->setAutoDefault(false);

    connect(acknowledge_, &QPushButton::clicked, this, &AlarmListPanel::acknowledgeSelected);
    connect(table_, &QTableWidget::cellDoubleClicked, this, &AlarmListPanel::acknowledgeSelected);
    connect(&centre_, &AlarmCentre::changed, this, &AlarmListPanel::refresh);
    refresh();
}

QString AlarmListPanel::timeText(std::int64_t latchMs) const
{
    return QDateTime::fromMSecsSinceEpoch(centre_.wallMs(latchMs), Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

void AlarmListPanel::refresh()
{
    const std::vector<AlarmLatch::Entry> entries = centre_.latch().shown();
    const int selected = table_->currentRow();
    const AlarmPoint keep =
        selected >= 0 && selected < int(rows_.size()) ? rows_[selected] : AlarmPoint::link();
    rows_.clear();
    table_->setRowCount(int(entries.size()));
    for (int row = 0; row < int(entries.size()); ++row) {
        const AlarmLatch::Entry& entry = entries[row];
        rows_.push_back(entry.point);
        const QString state = QString::fromLatin1(entry.active ? "in alarm" : "cleared") +
            QString::fromLatin1(entry.unacknowledged ? ", unacknowledged" : ", acknowledged");
        const QString texts[] = {QString::fromStdString(entry.point.name()), state, timeText(entry.raisedMs),
            entry.active ? QString() : timeText(entry.clearedMs)};
        for (int column = 0; column < 4; ++column) {
            QTableWidgetItem* item = table_->item(row, column);
            if (!item)
                table_->setItem(row, column, item = new QTableWidgetItem);
            if (item->text() != texts[column])
                item->setText(texts[column]);
        }
        if (selected >= 0 && entry.point == keep)
            table_->setCurrentCell(row, 0);
    }
    acknowledge_->setEnabled(centre_.latch().unacknowledgedCount() > 0);
}

void AlarmListPanel::acknowledgeSelected()
{
    const int row = table_->currentRow();
    if (row >= 0 && row < int(rows_.size()))
        centre_.acknowledge(rows_[row]);
}
