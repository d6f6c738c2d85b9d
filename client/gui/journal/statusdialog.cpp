#include "statusdialog.h"

#include "accessible_notifier.h"
#include "announcer.h"
#include "journal_tools.h"
#include "link_status_row.h"
#include "message_list_model.h"
#include "report_dialog.h"
#include "resources.h"
#include "status_summary.h"
#include "trace.h"
#include "ui_statusdialog.h"

#include <QAccessible>
#include <QHeaderView>
#include <QLocale>

#include <cstring>

#include <kov.hh>

CKovStatusDialog::CKovStatusDialog(LinkState& linkState, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::StatusDialog>()),
      linkState_(linkState),
      model_(new MessageListModel(this)),
      announcer_(new CAnnouncer(QStringLiteral("messageAnnouncer"), this)),
      newMessages_(new AccessibleNotifier([this](int count) { announceNew(count); }, this, true))
{
    ui_->setupUi(this);
    journal_ = std::make_unique<JournalTools>(this, model_,
        JournalTools::Controls{
            ui_->priorityFilter, ui_->searchEdit, ui_->historyButton, ui_->exportButton, ui_->journalStatus});
    setUpList();
    setUpLegend();
    connect(model_, &MessageListModel::trimmed, this, &CKovStatusDialog::showTrimmed);
    // On whole seconds, as the main window's timer: one wake-up for both.
    timer_.setTimerType(Qt::VeryCoarseTimer);
    connect(&timer_, &QTimer::timeout, this, &CKovStatusDialog::refreshIndicators);
    connect(ui_->reportButton, &QPushButton::clicked, this, [this] {
        CReportDialog* report = reportDialog();
        report->showNormal();
        report->raise();
        report->activateWindow();
    });
}

CKovStatusDialog::~CKovStatusDialog() = default;

void CKovStatusDialog::setUpList()
{
    QTableView* list = ui_->messageList;
    list->setModel(model_);

    QHeaderView* header = list->horizontalHeader();
    header->setSectionsClickable(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->resizeSection(MessageListModel::PriorityColumn, 50);
    // 150 pixels, or what the whole date needs in this display's font.
    const int timeWidth =
        list->fontMetrics().horizontalAdvance(QStringLiteral("Wed Sep 30 23:59:59 2026")) + 16;
    header->resizeSection(MessageListModel::TimeColumn, qMax(150, timeWidth));
    header->resizeSection(MessageListModel::MessageColumn, 256);
    header->setStretchLastSection(true);

    // One height for every row, so that the view never measures a million
    // rows to lay them out. Scrolling by rows would make the view ask where
    // the first shown row starts after every insertion, which recounts the
    // positions of all rows.
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* rows = list->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(qMax(list->fontMetrics().height(), list->iconSize().height()) + 4);

    relayOutOnlyForVisibleRows(list);

    // White, and the selected row as visible without the focus as with it.
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, Qt::white);
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    list->setPalette(palette);
}

// QTableView lays out and repaints its whole viewport whenever the row count
// changes, which during a flood of messages (one event-loop pass each) costs
// far more than the messages themselves. Rows appended below the visible ones
// change only the scroll bar, so only then the full relayout is skipped. If
// the view is not wired as expected, it keeps its own behaviour.
void CKovStatusDialog::relayOutOnlyForVisibleRows(QTableView* list)
{
    QHeaderView* rows = list->verticalHeader();
    if (!disconnect(rows, SIGNAL(sectionCountChanged(int, int)), list, SLOT(rowCountChanged(int, int))))
        return;
    connect(rows, &QHeaderView::sectionCountChanged, list, [list, rows](int oldCount, int newCount) {
        // From the common row height: asking the header where a row is
        // would recount the positions of all rows after each insertion.
        const qint64 shownEnd = qint64(rows->offset()) + list->viewport()->height();
        const bool belowShown = qint64(oldCount) * rows->defaultSectionSize() >= shownEnd;
        if (newCount > oldCount && belowShown)
            QMetaObject::invokeMethod(list, "updateGeometries");
        else
            QMetaObject::invokeMethod(list, "rowCountChanged", Q_ARG(int, oldCount), Q_ARG(int, newCount));
    });
}

void CKovStatusDialog::showTrimmed(qint64 total)
{
    ui_->listBoundNotice->setText(
        tr("This list keeps the newest messages: the %1 before them are in History…")
            .arg(QLocale().toString(total)));
    ui_->listBoundNotice->setVisible(total > 0);
}

void CKovStatusDialog::setUpLegend()
{
    const QSize size(32, 32);
    ui_->messageIcon->setPixmap(Resources::priorityIcon(0).pixmap(size));
    ui_->warningIcon->setPixmap(Resources::priorityIcon(1).pixmap(size));
    ui_->alarmIcon->setPixmap(Resources::priorityIcon(2).pixmap(size));
}

bool CKovStatusDialog::Create()
{
    if (!statusRow_)
        statusRow_ = std::make_unique<LinkStatusRow>(QStringLiteral("linkStatus"), linkState_, this);
    // Runs for the whole life of the dialog, shown or not, so that it opens
    // with current values.
    timer_.start(1000);
    return timer_.isActive();
}

void CKovStatusDialog::setHistorySource(HistorySourceFactory factory)
{
    historyFactory_ = factory;
    report_.reset(); // the next press reads the new source
    journal_->setHistorySource(std::move(factory));
}

void CKovStatusDialog::setInstrument(const std::string& name)
{
    instrument_ = name;
    if (report_)
        report_->setInstrument(name);
}

CReportDialog* CKovStatusDialog::reportDialog()
{
    if (!report_) {
        report_ = std::make_unique<CReportDialog>(historyFactory_, this);
        report_->setInstrument(instrument_);
    }
    return report_.get();
}

void CKovStatusDialog::addPanel(QWidget* panel)
{
    panel->setParent(this);
    ui_->dialogLayout->insertWidget(0, panel);
}

void CKovStatusDialog::refreshIndicators()
{
    statusRow_->Refresh();
    StatusSummary::update(*this, "linkStatus");
}

void CKovStatusDialog::OnMessage(const KOV::Message* message)
{
    if (!message)
        return;
    UpdateDisplay(message);
}

void CKovStatusDialog::UpdateDisplay(const KOV::Message* message)
{
    KOV_TRACE("Entering CKovStatusDialog::UpdateDisplay \n ");
    if (!message)
        return;
    model_->append(message->text.in(), static_cast<std::uint32_t>(message->priority),
        static_cast<std::int64_t>(message->arrival_time));
    ++rowCount_;
    if (!QAccessible::isActive())
        return;
    // What a person hears of a text: as much as the list shows.
    lastText_ = MessageListModel::displayText(message->text.in(), std::strlen(message->text.in()));
    lastPriority_ = static_cast<std::uint32_t>(message->priority);
    newMessages_->changed();
}

void CKovStatusDialog::announceNew(int count)
{
    if (count == 1)
        announcer_->announce(
            MessageListModel::priorityText(lastPriority_) + QStringLiteral(": ") + lastText_);
    else
        announcer_->announce(QStringLiteral("%1 new messages").arg(count));
}
