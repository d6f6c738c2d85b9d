#include "payload_decoder.h"

#include <kov.hh>

#include <chrono>
#include <cmath>

namespace PayloadDecoder {

namespace {

double finite(double value)
{
    return std::isfinite(value) ? value : History::noData;
}

} // namespace

Kind classify(const CORBA::TypeCode* type)
{
    if (!type)
        return Kind::Unknown;
    CORBA::TypeCode_ptr code = const_cast<CORBA::TypeCode_ptr>(type);
    if (code->equal(KOV::_tc_Event))
        return Kind::InstrumentEvent;
    if (code->equal(KOV::_tc_HousekeepingData))
        return Kind::Reading;
    if (code->equal(KOV::_tc_Message))
        return Kind::Message;
    if (code->equal(CORBA::_tc_string))
        return Kind::Text;
    return Kind::Unknown;
}

History::Reading reading(const KOV::HousekeepingData& data, std::int64_t arrivalMs)
{
    return History::Reading{static_cast<int>(data.id), static_cast<std::int64_t>(data.readingTime), arrivalMs,
        finite(data.temp), finite(data.rh), static_cast<bool>(data.wateralarm)};
}

History::MessageRecord message(const KOV::Message& data, std::int64_t arrivalMs)
{
    const char* text = data.text.in();
    return History::MessageRecord{static_cast<int>(data.priority),
        static_cast<std::int64_t>(data.arrival_time), arrivalMs, text ? std::string(text) : std::string()};
}

History::MessageRecord text(const char* text, std::int64_t nowMs)
{
    return History::MessageRecord{MESSAGE, nowMs / 1000, nowMs, text ? std::string(text) : std::string()};
}

std::optional<Record> decode(const CORBA::TypeCode* type, const void* value, std::int64_t nowMs)
{
    if (!value)
        return std::nullopt;
    Record record;
    record.kind = classify(type);
    switch (record.kind) {
    case Kind::InstrumentEvent: {
        const auto& event = *static_cast<const KOV::Event*>(value);
        record.event = {static_cast<int>(event.id), event.name.in() ? event.name.in() : "",
            static_cast<std::int64_t>(event.arrival_time)};
        return record;
    }
    case Kind::Reading:
        record.reading = reading(*static_cast<const KOV::HousekeepingData*>(value), nowMs);
        return record;
    case Kind::Message:
        record.message = message(*static_cast<const KOV::Message*>(value), nowMs);
        return record;
    case Kind::Text:
        record.message = text(static_cast<const char*>(value), nowMs);
        return record;
    case Kind::Unknown:
        break;
    }
    return std::nullopt;
}

std::int64_t utcNowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace PayloadDecoder
