#include "journal_tools.h"

#include "csv_writer.h"
#include "history_reader.h"
#include "journal_entries.h"
#include "journal_history_dialog.h"
#include "message_list_model.h"
#include "time_text.h"

#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

JournalTools::JournalTools(QDialog* window, MessageListModel* model, const Controls& controls)
    : window_(window), model_(model), controls_(controls)
{
    connect(controls_.priority, qOverload<int>(&QComboBox::currentIndexChanged), this,
        &JournalTools::applyFilter);
    connect(controls_.search, &QLineEdit::textChanged, this, &JournalTools::applyFilter);
    connect(controls_.history, &QPushButton::clicked, this, &JournalTools::showHistory);
    connect(controls_.exportButton, &QPushButton::clicked, this, &JournalTools::exportShown);
}

JournalTools::~JournalTools()
{
    *closing_ = true;
    history_.reset();
    reader_.reset();
}

void JournalTools::setHistorySource(HistorySourceFactory factory)
{
    history_.reset();
    reader_ = std::make_unique<HistoryReader>(std::move(factory), this);
}

HistoryReader& JournalTools::reader()
{
    if (!reader_)
        setHistorySource({});
    return *reader_;
}

void JournalTools::applyFilter()
{
    // The combo's entries: every priority, then priorities 0, 1 and 2.
    model_->setFilter(controls_.priority->currentIndex() - 1, controls_.search->text());
}

void JournalTools::showHistory()
{
    if (!history_)
        history_ = std::make_unique<CJournalHistoryDialog>(reader(), window_);
    history_->showNormal();
    history_->raise();
    history_->activateWindow();
}

void JournalTools::exportShown()
{
    const QString path = QFileDialog::getSaveFileName(
        window_, tr("Export the list as shown"), QStringLiteral("kov-messages.csv"), tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    // The rows' texts stay where they are in the list's store, held by the
    // snapshot while the list takes rows off; only their places are copied
    // here, the file is written on the reader's thread.
    auto snapshot = std::make_shared<const MessageListModel::Snapshot>(model_->shownRows());
    const auto count = snapshot->rows.size();
    controls_.exportButton->setEnabled(false);
    controls_.status->setText(tr("Exporting %1 messages…").arg(count));
    std::shared_ptr<std::atomic<bool>> closing = closing_;
    reader().post([this, path, snapshot, closing](History::HistorySource*) -> std::function<void()> {
        std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
        out << CsvWriter::row({"time (UTC)", "priority", "text"});
        for (const MessageListModel::RowView& r : snapshot->rows) {
            if (*closing)
                return {};
            // The list's own reading of a message time: the low 32 bits, signed.
            const auto seconds = static_cast<std::int32_t>(static_cast<std::uint32_t>(r.time));
            out << CsvWriter::row({TimeText::isoSeconds(seconds), JournalEntries::priorityWord(r.priority),
                std::string(r.text ? r.text : "", r.length)});
        }
        out.flush();
        const QString result = out
            ? tr("Exported %1 messages to %2").arg(snapshot->rows.size()).arg(path)
            : tr("The export failed: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return [this, result] {
            controls_.exportButton->setEnabled(true);
            controls_.status->setText(result);
        };
    });
}
