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
