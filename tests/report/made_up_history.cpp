#include "made_up_history.h"

#include "alarm_point.h"
#include "fake_history_source.h"
#include "history_store.h"

#include <cmath>
#include <variant>

using namespace History;

namespace MadeUpHistory {

namespace {

constexpr std::int64_t second = 1000, minute = 60 * second, hour = 60 * minute;

std::int64_t at(int h, int m, int s = 0)
{
    return dayStartMs + h * hour + m * minute + s * second;
}

bool within(std::int64_t t, std::int64_t from, std::int64_t to)
{
    return t >= from && t < to;
}

AlarmRecord record(
    AlarmAction action, AlarmPoint point, std::int64_t t, const char* user = "kov", const char* comment = "")
{
    AlarmRecord r{action, point.name(), user, t, point.key(), comment};
    return r;
}

const AlarmPoint electronicsTemperature{AlarmPoint::Kind::Temperature, 0};
const AlarmPoint electronicsHumidity{AlarmPoint::Kind::Humidity, 0};
const AlarmPoint electronicsWater{AlarmPoint::Kind::Water, 0};
const AlarmPoint electronicsData{AlarmPoint::Kind::NoValidData, 0};
const AlarmPoint spectrometerReadings{AlarmPoint::Kind::NoReadings, 1};
const AlarmPoint spectrometerWater{AlarmPoint::Kind::Water, 1};

void wholeSet(Batch& batch, int housing, std::int64_t t, double tempWarning)
{
    const std::pair<Setpoint, double> values[] = {{Setpoint::TempWarning, tempWarning},
        {Setpoint::OverTemp, 32.0}, {Setpoint::RhWarning, 35.0}, {Setpoint::OverRh, 60.0}};
    for (const auto& [which, value] : values)
        batch.events.push_back(SetpointChange{housing, which, value, value, t});
}

} // namespace

Batch day()
{
    Batch batch;
    wholeSet(batch, 0, at(0, 0) - hour, 24.0);
    wholeSet(batch, 1, at(0, 0) - hour, 24.0);
    batch.events.push_back(SetpointChange{0, Setpoint::TempWarning, 24.0, 19.0, at(20, 0)});

    for (std::int64_t t = at(0, 0); t < at(24, 0); t += 10 * second) {
        if (within(t, at(9, 0), at(9, 5)))
            continue;
        double temperature = 20.0, humidity = 30.0;
        if (within(t, at(6, 0, 30), at(7, 0, 30)))
            temperature = 25.0;
        if (within(t, at(12, 0), at(12, 10)))
            temperature = 33.0;
        if (within(t, at(18, 0), at(18, 30)))
            humidity = 36.0;
        if (t == at(6, 0, 10))
            temperature = noData;
        if (t == at(6, 0, 20))
            humidity = -1.0;
        const bool water = within(t, at(15, 0), at(15, 0, 30));
        batch.readings.push_back(Reading{0, t / 1000, t, temperature, humidity, water});
        if (t < at(12, 0))
            batch.readings.push_back(Reading{1, t / 1000, t, 22.0, 45.0, false});
    }

    batch.events.push_back(LinkChange{LinkEvent::Connected, "", at(0, 0) - 2 * hour});
    batch.events.push_back(LinkChange{LinkEvent::Lost, "the instrument did not answer", at(9, 0)});
    batch.events.push_back(LinkChange{LinkEvent::Reconnected, "", at(9, 5)});
    batch.events.push_back(LinkChange{LinkEvent::Lost, "the operator ended the client", at(22, 0)});
    batch.events.push_back(LinkChange{LinkEvent::Connected, "", at(22, 10)});
    batch.events.push_back(LinkChange{LinkEvent::Lost, "the event channel dropped the client", at(23, 30)});

    batch.events.push_back(
        MessageRecord{0, at(10, 0) / 1000, at(10, 0), "Hourly status: all housings nominal"});
    batch.events.push_back(MessageRecord{1, at(8, 59) / 1000, at(8, 59), "Electronics housing fan slow"});
    batch.events.push_back(
        MessageRecord{2, at(12, 0, 5) / 1000, at(12, 0, 5), "Over temperature in the electronics housing"});

    // From the day before: a sensor fault that stays until 11:00, a shelf
    // whose end the journal never saw.
    batch.events.push_back(record(AlarmAction::Raised, electronicsData, at(0, 0) - 14 * hour));
    AlarmRecord shelf = record(AlarmAction::Shelved, spectrometerWater, at(0, 0) - hour, "op", "pump test");
    shelf.untilMs = shelf.timeMs + 8 * hour;
    batch.events.push_back(shelf);
    batch.events.push_back(record(AlarmAction::Cleared, electronicsData, at(11, 0)));
    batch.events.push_back(record(AlarmAction::Acknowledged, electronicsData, at(11, 30), "op"));

    AlarmRecord over = record(AlarmAction::Raised, electronicsTemperature, at(12, 0));
    over.value = 33.0;
    over.setpoint = 32.0;
    batch.events.push_back(over);
    batch.events.push_back(record(AlarmAction::Raised, spectrometerReadings, at(12, 1)));
    batch.events.push_back(
        record(AlarmAction::Acknowledged, electronicsTemperature, at(12, 2), "op", "checking the fan"));
    batch.events.push_back(record(AlarmAction::Cleared, electronicsTemperature, at(12, 10)));

    for (int s : {0, 20, 40}) {
        batch.events.push_back(record(AlarmAction::Raised, electronicsWater, at(15, 0, s)));
        batch.events.push_back(record(AlarmAction::Cleared, electronicsWater, at(15, 0, s + 10)));
    }
    batch.events.push_back(record(AlarmAction::Acknowledged, electronicsWater, at(15, 5), "op"));

    for (int k = 0; k <= 10; ++k) {
        batch.events.push_back(record(AlarmAction::Raised, AlarmPoint::link(), at(16, 0, 30 * k)));
        batch.events.push_back(record(AlarmAction::Cleared, AlarmPoint::link(), at(16, 0, 30 * k + 10)));
    }
    batch.events.push_back(record(AlarmAction::Acknowledged, AlarmPoint::link(), at(16, 20), "op"));

    AlarmRecord swap = record(AlarmAction::Shelved, electronicsHumidity, at(18, 0), "op", "sensor swap");
    swap.untilMs = at(19, 0);
    batch.events.push_back(swap);
    batch.events.push_back(record(AlarmAction::Unshelved, electronicsHumidity, at(18, 45), "op"));
    return batch;
}

void fill(FakeHistorySource& source, const Batch& batch)
{
    source.readingList = batch.readings;
    for (const Event& event : batch.events) {
        if (const auto* m = std::get_if<MessageRecord>(&event))
            source.messageList.push_back(*m);
        else if (const auto* c = std::get_if<SetpointChange>(&event)) {
            if (c->oldValue != c->newValue)
                source.changeList.push_back(*c);
        } else if (const auto* l = std::get_if<LinkChange>(&event))
            source.linkList.push_back(*l);
        else if (const auto* a = std::get_if<AlarmRecord>(&event))
            source.alarmList.push_back(*a);
    }
    for (int housing = 0; housing < 2; ++housing)
        source.sets[housing].push_back({at(0, 0) - hour, 24.0, 32.0, 35.0, 60.0});
    source.sets[0].push_back({at(20, 0), 19.0, 32.0, 35.0, 60.0});
}

bool writeFile(const std::string& path, std::string& error)
{
    HistoryStore store(path, "made_up_day");
    const bool ok = store.open() == Fault::None && store.write(day()) == Fault::None &&
        store.finishRollups() == Fault::None;
    error = store.lastError();
    return ok;
}

} // namespace MadeUpHistory
