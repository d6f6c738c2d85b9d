#include "link_state.h"
#include "message_list_model.h"
#include "statusdialog.h"

#include <QAccessible>
#include <QApplication>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <kov.hh>

#include <cstdint>
#include <functional>
#include <ostream>

// Failures show the text, not the bytes of a QString.
static void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

KOV::Message message(const char* text, std::uint32_t priority, std::int64_t time)
{
    KOV::Message m;
    m.text = text;
    m.priority = static_cast<MessagePriority>(priority);
    m.arrival_time = static_cast<TimeBase::TimeT>(time);
    return m;
}

// A created dialog on a link state whose clock is moved by hand.
struct StatusFixture : testing::Test {
    std::int64_t ms = 1000;
    LinkState state{[this] { return ms; }};
    CKovStatusDialog dialog{state, nullptr};

    StatusFixture()
    {
        state.Attach(reinterpret_cast<CKovClientApp*>(this));
        dialog.Create();
    }

    void receive(const char* text, std::uint32_t priority, std::int64_t time)
    {
        const KOV::Message m = message(text, priority, time);
        dialog.OnMessage(&m);
    }

    // What the list holds: rows reach the view within a frame.
    void untilListed()
    {
        EXPECT_TRUE(
            QTest::qWaitFor([this] { return list()->model()->rowCount() == dialog.rowCount(); }, 2000));
    }
    QVariant data(int row, int column, int role)
    {
        untilListed();
        const QAbstractItemModel* shown = list()->model();
        return shown->data(shown->index(row, column), role);
    }
    QString cell(int row, int column) { return data(row, column, Qt::DisplayRole).toString(); }

    // What a screen reader hears of a cell.
    QString spoken(int row, int column, QAccessible::Text what)
    {
        untilListed();
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(list());
        return table->tableInterface()->cellAt(row, column)->text(what);
    }

    QTableView* list() const { return dialog.findChild<QTableView*>(QStringLiteral("messageList")); }
    QString label(const char* name) const { return dialog.findChild<QLabel*>(name)->text(); }
};

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// The colour most of an icon's opaque pixels have, black and white aside.
QRgb mainColour(const QVariant& decoration)
{
    const QImage image = decoration.value<QIcon>().pixmap(16, 16).toImage();
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qAlpha(c) == 255 && c != qRgb(0, 0, 0) && c != qRgb(255, 255, 255))
                ++counts[c];
        }
    QRgb best = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            best = it.key();
            most = it.value();
        }
    return best;
}

TEST_F(StatusFixture, RowsInArrivalOrderWithTheirPriorities)
{
    const struct {
        const char* text;
        std::uint32_t priority;
        QRgb colour;
        QString spoken;
    } rows[] = {{"Electronics housing over temperature", 2, qRgb(255, 0, 0), "Alarm"},
        {"Shutter closed", 0, qRgb(0, 128, 0), "Message"},
        {"Humidity rising", 1, qRgb(255, 255, 0), "Warning"}};
    for (const auto& r : rows)
        receive(r.text, r.priority, 1000);

    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(cell(row, MessageListModel::MessageColumn), rows[row].text);
        EXPECT_EQ(
            mainColour(data(row, MessageListModel::PriorityColumn, Qt::DecorationRole)), rows[row].colour)
            << row;
        EXPECT_EQ(cell(row, MessageListModel::PriorityColumn), QString());
        // A screen reader sees no icon: the cell says the priority.
        EXPECT_EQ(spoken(row, 0, QAccessible::Description), rows[row].spoken);
        EXPECT_EQ(spoken(row, 0, QAccessible::Name), rows[row].spoken);
    }
}

TEST_F(StatusFixture, EveryMessageGetsItsRow)
{
    const struct {
        const char* text;
        std::uint32_t priority;
        std::int64_t time;
        QString shownPriority;
        QString shownTime;
    } cases[] = {
        {"Started", 0, 0, "", "Thu Jan  1 00:00:00 1970"},
        {"End of day one", 0, 86399, "", "Thu Jan  1 23:59:59 1970"},
        {"", 1, 60, "", "Thu Jan  1 00:01:00 1970"},
        {"Unknown priority", 3, 0, "3", "Thu Jan  1 00:00:00 1970"},
        {"Before 1970", 2, -1, "", "(time not readable: -1)"},
        {"30 °C", 0, 0, "", "Thu Jan  1 00:00:00 1970"},
        {"Ω", 0, 0, "", "Thu Jan  1 00:00:00 1970"},
    };
    for (const auto& c : cases)
        receive(c.text, c.priority, c.time);
    dialog.OnMessage(nullptr);

    ASSERT_EQ(dialog.rowCount(), 7);
    for (int row = 0; row < 7; ++row) {
        const auto& c = cases[row];
        EXPECT_EQ(cell(row, 0), c.shownPriority) << row;
        EXPECT_EQ(cell(row, 1), c.shownTime) << row;
        EXPECT_EQ(cell(row, 2), QString::fromUtf8(c.text)) << row;
    }
    EXPECT_EQ(spoken(3, 0, QAccessible::Description), QStringLiteral("Priority 3"));
    EXPECT_EQ(list()->model()->rowCount(), 7);
}

// Messages arriving between two frames reach the view as one insertion, in
// their order.
TEST_F(StatusFixture, AFloodReachesTheViewInBatchesInArrivalOrder)
{
    int insertions = 0;
    QObject::connect(list()->model(), &QAbstractItemModel::rowsInserted, [&] { ++insertions; });
    const QString texts[] = {QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("third")};
    for (int i = 0; i < 1000; ++i)
        receive(texts[i % 3].toUtf8().constData(), 0, i);
    EXPECT_EQ(cell(999, 2), texts[0]);
    EXPECT_EQ(insertions, 1);
    for (int row : {0, 1, 2, 500, 998})
        EXPECT_EQ(cell(row, 2), texts[row % 3]) << row;
}

// Texts of 2 MB, as many as the instrument sends: the list holds its bound
// of text, the newest messages, and says where the older ones are.
TEST_F(StatusFixture, AFloodOfLongTextsKeepsTheNewestWithinTheBound)
{
    const std::string text(2'000'000, 'w');
    const int messages = 48; // 96 MB
    for (int i = 0; i < messages; ++i)
        receive(text.c_str(), 1, i);
    const MessageListModel& model = *dialog.model();
    const int kept = model.storedRows();
    // Trimmed by a sixteenth of the bound at a time.
    const std::size_t bound = MessageListModel::defaultBounds.textBytes;
    EXPECT_LE(model.textBytes(), bound);
    EXPECT_GT(model.textBytes() + text.size(), bound - bound / 16);
    EXPECT_EQ(model.textBytes(), kept * text.size());
    // The view lets go of the older rows, and takes the new ones, within a frame.
    const QLabel* notice = dialog.findChild<QLabel*>("listBoundNotice");
    const QString said = QStringLiteral("the %1 before them are in History").arg(messages - kept);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return notice->text().contains(said) && list()->model()->rowCount() == kept; }, 2000))
        << notice->text().toStdString();
    EXPECT_FALSE(notice->isHidden());
    EXPECT_EQ(model.shownRow(0).time, messages - kept);
    EXPECT_EQ(model.shownRow(kept - 1).time, messages - 1);
}

TEST_F(StatusFixture, MessageReceivedWhileHiddenIsListedWhenShown)
{
    receive("While nobody looked", 1, 5);
    dialog.show();
    EXPECT_EQ(cell(0, 2), QStringLiteral("While nobody looked"));
}

TEST_F(StatusFixture, EscapeAndCloseOnlyHide)
{
    const std::function<void()> closings[] = {
        [this] { QTest::keyClick(list(), Qt::Key_Escape); }, [this] { dialog.close(); }};
    for (const auto& closeIt : closings) {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        closeIt();
        QCoreApplication::processEvents();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_FALSE(dialog.testAttribute(Qt::WA_DeleteOnClose));
    }
    receive("After closing", 0, 0);
    EXPECT_EQ(cell(0, 2), QStringLiteral("After closing"));
}

// A flood must not repaint the list once per message: rows appended below
// the visible ones leave the visible ones alone.
TEST_F(StatusFixture, NewRowsRepaintTheListOnlyWhenInView)
{
    const struct {
        int before;
        bool repainted;
    } cases[] = {{0, true}, {500, false}};
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    for (const auto& c : cases) {
        for (int i = 0; i < c.before; ++i)
            receive("Earlier", 0, i);
        QTest::qWait(50);
        PaintCounter counter;
        list()->viewport()->installEventFilter(&counter);
        receive("Newest", 0, 0);
        QTest::qWait(50);
        list()->viewport()->removeEventFilter(&counter);
        EXPECT_EQ(counter.paints > 0, c.repainted) << c.before << " rows before";
    }
}

TEST_F(StatusFixture, StatusRowRefreshesWhileHidden)
{
    state.SetConnected(1);
    state.SetTargetOnSeconds(90061, state.connection());
    ms += 3725 * 1000;
    EXPECT_TRUE(QTest::qWaitFor([this] { return label("targetTime") == QStringLiteral("25:01:01"); }, 3000));
    EXPECT_EQ(label("connectionTime"), QStringLiteral("01:02:05"));
    EXPECT_FALSE(dialog.findChild<QLabel*>("linkStatus")->pixmap().isNull());
    EXPECT_FALSE(dialog.isVisible());
}

} // namespace
