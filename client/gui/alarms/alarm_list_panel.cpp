#include "alarm_list_panel.h"

#include "alarm_centre.h"
#include "paced_label.h"
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
      source_(new QLabel(this)),
      service_(new CPacedLabel(this)),
      table_(new QTableWidget(0, 5, this)),
      acknowledge_(new QPushButton(QStringLiteral("Acknowledge selected"), this)),
      shelve_(new QPushButton(QStringLiteral("Shelve…"), this)),
      unshelve_(new QPushButton(QStringLiteral("Unshelve"), this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* room = new QHBoxLayout;
    source_->setObjectName(QStringLiteral("alarmListSource"));
    source_->setAccessibleDescription(QStringLiteral("Alarms shown"));
    service_->setObjectName(QStringLiteral("alarmListService"));
    service_->setAccessibleDescription(QStringLiteral("Alarm service"));
    room->addWidget(source_, 1);
    room->addWidget(service_);
    layout->addLayout(room);
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
    const QString source = centre_.sourceText();
    if (source_->text() != source)
        source_->setText(source);
    const QString service = centre_.serviceText();
    service_->setVisible(!service.isEmpty());
    service_->setReading(service);

    const std::vector<AlarmLatch::Entry> entries = centre_.latch().shown();
    const std::optional<std::optional<AlarmPoint>> keep = selected();
    const RoomAlarms::Lost* lost = centre_.lostAlarm();
    const bool lostShown = lost && lost->shown();
    rows_.clear();
    table_->setRowCount(int(entries.size()) + (lostShown ? 1 : 0));
    if (lostShown) {
        rows_.emplace_back();
        const QString texts[] = {QString::fromLatin1(RoomAlarms::lostName),
            QString::fromStdString(lost->stateText()), utcText(lost->raisedUtcMs),
            lost->active ? QString() : utcText(lost->clearedUtcMs), QString()};
        setRow(0, texts);
    }
    for (const AlarmLatch::Entry& entry : entries) {
        const int row = int(rows_.size());
        rows_.emplace_back(entry.point);
        // A point shelved ahead, before it ever went into alarm, has no times.
        const bool raised = entry.active || entry.unacknowledged;
        const QString texts[] = {QString::fromStdString(entry.point.name()),
            QString::fromStdString(entry.stateText()), raised ? timeText(entry.raisedMs) : QString(),
            entry.active || !raised ? QString() : timeText(entry.clearedMs),
            entry.shelved() ? utcText(entry.shelvedUntilUtcMs) : QString()};
        setRow(row, texts);
        if (entry.shelved())
            table_->item(row, 4)->setToolTip(
                QString::fromStdString(entry.shelvedBy + ": " + entry.shelfComment));
    }
    for (int row = 0; keep && row < int(rows_.size()); ++row)
        if (rows_[row] == *keep)
            table_->setCurrentCell(row, 0);
    updateButtons();
}

void AlarmListPanel::setRow(int row, const QString (&texts)[5])
{
    for (int column = 0; column < 5; ++column) {
        QTableWidgetItem* item = table_->item(row, column);
        if (!item)
            table_->setItem(row, column, item = new QTableWidgetItem);
        if (item->text() != texts[column])
            item->setText(texts[column]);
    }
}

void AlarmListPanel::updateButtons()
{
    const std::optional<std::optional<AlarmPoint>> row = selected();
    const std::optional<AlarmPoint> point = row ? *row : std::nullopt;
    const bool shelved = point && centre_.latch().entry(*point).shelved();
    acknowledge_->setEnabled(centre_.unacknowledgedCount() > 0);
    shelve_->setEnabled(point && !shelved);
    unshelve_->setEnabled(shelved);
}

std::optional<std::optional<AlarmPoint>> AlarmListPanel::selected() const
{
    const int row = table_->currentRow();
    if (row < 0 || row >= int(rows_.size()))
        return std::nullopt;
    return rows_[row];
}

void AlarmListPanel::acknowledgeSelected()
{
    const std::optional<std::optional<AlarmPoint>> row = selected();
    if (!row)
        return;
    if (*row)
        centre_.acknowledge(**row);
    else
        centre_.acknowledgeLost();
}

// The window stays usable while the question is open: events keep coming.
void AlarmListPanel::shelveSelected()
{
    const std::optional<std::optional<AlarmPoint>> row = selected();
    if (!row || !*row)
        return;
    const AlarmPoint point = **row;
    auto* dialog = new ShelveDialog(QString::fromStdString(point.name()), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<ShelveDialog> asked(dialog);
    connect(dialog, &QDialog::accepted, this, [this, asked, point] {
        if (asked)
            centre_.shelve(point, asked->minutes(), asked->comment());
    });
    dialog->open();
}

void AlarmListPanel::unshelveSelected()
{
    const std::optional<std::optional<AlarmPoint>> row = selected();
    if (row && *row)
        centre_.unshelve(**row);
}
