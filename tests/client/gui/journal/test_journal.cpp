// The journal beside the alarms and messages list: filter, search, history.
#include "fake_history_source.h"
#include "history_reader.h"
#include "journal_history_dialog.h"
#include "message_list_model.h"
#include "spin_until.h"

#include <gtest/gtest.h>

namespace {

TEST(Journal, FilterAndSearchNarrowTheListAsShown)
{
    MessageListModel model;
    model.append("Electronics housing temperature over limit", 2, 1);
    model.append("Shutter closed", 0, 2);
    model.append("30 °C in the Ω housing", 1, 3);
    model.append("electronics check done", 0, 4);
    model.append(nullptr, 1, 5);

    struct Case {
        int priority;
        const char* text;
        std::vector<int> times;
    };
    const Case cases[] = {
        {-1, "", {1, 2, 3, 4, 5}},
        {-1, "ELECTRONICS", {1, 4}},
        {-1, "electronics housing", {1}}, // typed on: narrows
        {0, "electronics", {4}},
        {1, "", {3, 5}},
        {-1, "ω", {3}}, // beyond ASCII, case still ignored
        {-1, "°c", {3}},
        {2, "shutter", {}},
    };
    for (const Case& c : cases) {
        model.setFilter(c.priority, QString::fromUtf8(c.text));
        std::vector<int> times;
        for (int i = 0; i < model.rowCount(); ++i)
            times.push_back(static_cast<int>(model.shownRow(i).time));
        EXPECT_EQ(times, c.times) << c.priority << " " << c.text;
    }
    // Rows arriving under a filter are listed when they match.
    model.setFilter(-1, QStringLiteral("shutter"));
    model.append("Shutter opened", 0, 6);
    model.append("Lamp on", 0, 7);
    EXPECT_TRUE(spinUntil([&] { return model.rowCount() == 2; }));
    EXPECT_EQ(model.shownRow(1).time, 6);
}

std::vector<int> shownTimes(const MessageListModel& model)
{
    std::vector<int> times;
    for (int i = 0; i < model.rowCount(); ++i)
        times.push_back(static_cast<int>(model.shownRow(i).time));
    return times;
}

// Past a bound of rows or of text bytes the oldest rows go, shown or not
// yet shown, filtered or not; the newest always stays.
TEST(Journal, TheListKeepsTheNewestWithinItsBounds)
{
    struct Case {
        MessageListModel::Bounds bounds;
        std::vector<std::size_t> lengths; // message n (from 1) has lengths[n - 1] bytes
        int priority;                     // the filter's; message n has priority n % 2
        std::vector<int> shown;
        std::size_t textBytes;
    };
    const Case cases[] = {
        {{3, 1000}, {5, 5, 5, 5, 5}, -1, {3, 4, 5}, 15},
        {{100, 100}, {40, 40, 40, 40}, -1, {3, 4}, 80},
        {{100, 100}, {30, 500}, -1, {2}, 500},
        // Long texts have blocks of their own, between the shared ones.
        {{100, 45000}, {20000, 10, 20000, 10, 20000}, -1, {2, 3, 4, 5}, 40020},
        {{4, 1000}, {5, 5, 5, 5, 5, 5, 5}, 1, {5, 7}, 20},
    };
    for (const Case& c : cases) {
        MessageListModel model(nullptr, c.bounds);
        qint64 reported = 0;
        QObject::connect(&model, &MessageListModel::trimmed, [&](qint64 total) { reported = total; });
        model.setFilter(c.priority, QString());
        for (std::size_t n = 1; n <= c.lengths.size(); ++n)
            model.append(std::string(c.lengths[n - 1], 'a' + char(n)).c_str(), n % 2, static_cast<int>(n));
        const int trimmed = static_cast<int>(c.lengths.size()) - model.storedRows();
        EXPECT_TRUE(
            spinUntil([&] { return reported == trimmed && model.rowCount() == int(c.shown.size()); }));
        EXPECT_EQ(shownTimes(model), c.shown) << c.lengths.size();
        EXPECT_EQ(model.textBytes(), c.textBytes);
        EXPECT_EQ(model.trimmedRows(), trimmed);
        // Dropping the filter shows every row kept.
        model.setFilter(-1, QString());
        EXPECT_EQ(model.rowCount(), model.storedRows());
        EXPECT_EQ(model.shownRow(model.rowCount() - 1).time, static_cast<int>(c.lengths.size()));
    }
}

// An export reads the rows of its snapshot on another thread: their texts
// outlive the rows the list takes off meanwhile.
TEST(Journal, ASnapshotKeepsItsTextsWhenTheListLetsGoOfThem)
{
    MessageListModel model(nullptr, {2, 1 << 20});
    const std::string big = std::string(300000, 'x') + " end";
    model.append(big.c_str(), 2, 1);
    model.append("short", 0, 2);
    ASSERT_TRUE(spinUntil([&] { return model.rowCount() == 2; }));
    const MessageListModel::Snapshot snapshot = model.shownRows();
    for (int i = 0; i < 10; ++i)
        model.append("newer", 0, 3 + i);
    ASSERT_TRUE(spinUntil([&] { return model.trimmedRows() == 10 && model.rowCount() == 2; }));
    ASSERT_EQ(snapshot.rows.size(), 2u);
    EXPECT_EQ(std::string(snapshot.rows[0].text, snapshot.rows[0].length), big);
    EXPECT_EQ(std::string(snapshot.rows[1].text, snapshot.rows[1].length), "short");
}

// A row shows at most a line's worth of its text; the search reads it whole.
TEST(Journal, LongTextsAreShownCutAndSearchedWhole)
{
    const QString emoji = QString::fromUtf8("\xf0\x9f\x8c\xa1"); // two UTF-16 units
    const struct {
        QString text;
        QString shown;
    } cases[] = {
        {QString(5000, QLatin1Char('a')) + QStringLiteral(" overflow"),
            QString(MessageListModel::displayChars, QLatin1Char('a')) + QChar(0x2026)},
        {QString(MessageListModel::displayChars, QChar(0xe9)),
            QString(MessageListModel::displayChars, QChar(0xe9))},
        // Not cut inside a character beyond 16 bits.
        {QStringLiteral("a") + emoji.repeated(1200),
            QStringLiteral("a") + emoji.repeated(499) + QChar(0x2026)},
    };
    MessageListModel model;
    for (const auto& c : cases) {
        const QByteArray utf8 = c.text.toUtf8();
        EXPECT_EQ(MessageListModel::displayText(utf8.constData(), std::size_t(utf8.size())), c.shown);
        model.append(utf8.constData(), 0, 1);
    }
    model.setFilter(-1, QStringLiteral("OVERFLOW"));
    EXPECT_EQ(model.rowCount(), 1);
}

TEST(Journal, HistoryListsEveryKindOfRecordInTimeOrder)
{
    QObject context;
    HistoryReader reader(
        [] {
            auto source = std::make_unique<FakeHistorySource>(0, 0);
            source->messageList = {{1, 5, 5000, "humidity rising"}};
            source->changeList = {{1, History::Setpoint::OverRh, 60.0, 65.0, 3000}};
            source->linkList = {
                {History::LinkEvent::Lost, "timeout", 4000}, {History::LinkEvent::Connected, {}, 1000}};
            source->alarmList = {{History::AlarmAction::Acknowledged, "Water", "ops", 6000}};
            return source;
        },
        &context);
    CJournalHistoryDialog dialog(reader, nullptr);
    dialog.showChosenRange(); // the last day: none of these
    ASSERT_TRUE(spinUntil([&] { return dialog.status().contains("0 entries"); }));
    dialog.showRange(0, 10000);
    ASSERT_TRUE(spinUntil([&] { return dialog.model()->rowCount() == 5; }));
    std::vector<std::string> kinds;
    for (const JournalEntry& e : dialog.model()->entries())
        kinds.push_back(e.kind + ": " + e.text);
    EXPECT_EQ(kinds,
        (std::vector<std::string>{"Link: Link connected",
            "Setpoint: Spectrometer housing over humidity setpoint changed from 60.00 % to 65.00 %",
            "Link: Link lost: timeout", "Warning: humidity rising",
            "Alarm log: Acknowledged by ops: Water"}));
}

} // namespace
