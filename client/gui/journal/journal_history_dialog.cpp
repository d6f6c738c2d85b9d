#include "journal_history_dialog.h"

#include "history_reader.h"
#include "time_text.h"
#include "utc_edit.h"

#include <QDateTimeEdit>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

void JournalEntryModel::setEntries(std::vector<JournalEntry> entries)
{
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

int JournalEntryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int JournalEntryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant JournalEntryModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return QVariant();
    const JournalEntry& e = entries_[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case 0:
        return QString::fromStdString(TimeText::isoMs(e.timeMs));
    case 1:
        return QString::fromStdString(e.kind);
    default:
        return QString::fromStdString(e.text);
    }
}

QVariant JournalEntryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    const char* const headings[] = {"Time (UTC)", "Kind", "Text"};
    return section >= 0 && section < 3 ? tr(headings[section]) : QVariant();
}

CJournalHistoryDialog::CJournalHistoryDialog(HistoryReader& reader, QWidget* parent)
    : QDialog(parent), reader_(reader), model_(new JournalEntryModel(this))
{
    setWindowTitle(tr("KOV History"));
    setAccessibleName(tr("KOV History"));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    from_ = utcEdit(now.addDays(-1), tr("History from (UTC)"), this);
    to_ = utcEdit(now.addSecs(60), tr("History to (UTC)"), this);
    show_ = new QPushButton(tr("&Show"), this);
    show_->setAccessibleName(tr("Show the history of this range"));
    export_ = new QPushButton(tr("&Export…"), this);
    export_->setAccessibleName(tr("Export the history shown"));
    status_ = new QLabel(this);
    list_ = new QTableView(this);
    list_->setAccessibleName(tr("History entries"));
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setStretchLastSection(true);

    auto* range = new QHBoxLayout;
    auto* fromLabel = new QLabel(tr("&From (UTC):"), this);
    fromLabel->setBuddy(from_);
    auto* toLabel = new QLabel(tr("&To (UTC):"), this);
    toLabel->setBuddy(to_);
    for (QWidget* w : std::initializer_list<QWidget*>{fromLabel, from_, toLabel, to_, show_, export_})
        range->addWidget(w);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(range);
    layout->addWidget(list_);
    layout->addWidget(status_);
    resize(720, 480);

    connect(show_, &QPushButton::clicked, this, &CJournalHistoryDialog::showChosenRange);
    connect(export_, &QPushButton::clicked, this, &CJournalHistoryDialog::exportShown);
    if (!reader_.available()) {
        status_->setText(tr("History is not available: only this run's messages are listed."));
        show_->setEnabled(false);
        export_->setEnabled(false);
    }
}

QString CJournalHistoryDialog::status() const
{
    return status_->text();
}

void CJournalHistoryDialog::showChosenRange()
{
    showRange(from_->dateTime().toMSecsSinceEpoch(), to_->dateTime().toMSecsSinceEpoch());
}

void CJournalHistoryDialog::showRange(std::int64_t from, std::int64_t to)
{
    const unsigned generation = ++generation_;
    QPointer<CJournalHistoryDialog> self(this);
    status_->setText(tr("Reading the history…"));
    reader_.post([self, from, to, generation](History::HistorySource* source) -> std::function<void()> {
        if (!source)
            return {};
        auto entries =
            std::make_shared<std::vector<JournalEntry>>(JournalEntries::collect(*source, from, to));
        const QString error = QString::fromStdString(source->lastError());
        return [self, entries, error, generation] {
            // An answer for a range chosen before the last one is dropped.
            if (!self || generation != self->generation_)
                return;
            self->model_->setEntries(std::move(*entries));
            self->status_->setText(error.isEmpty() ? tr("%1 entries").arg(self->model_->rowCount())
                                                   : tr("The history could not be read: %1").arg(error));
            emit self->entriesShown();
        };
    });
}

void CJournalHistoryDialog::exportShown()
{
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export the history shown"), QStringLiteral("kov-history.csv"), tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    auto entries = std::make_shared<std::vector<JournalEntry>>(model_->entries());
    QPointer<CJournalHistoryDialog> self(this);
    reader_.post([self, path, entries](History::HistorySource*) -> std::function<void()> {
        QFile file(path);
        const std::string text = JournalEntries::csv(*entries);
        const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
            file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
        const QString result = ok ? tr("Exported %1 entries to %2").arg(entries->size()).arg(path)
                                  : tr("The export failed: %1").arg(file.errorString());
        return [self, result] {
            if (self)
                self->status_->setText(result);
        };
    });
}
