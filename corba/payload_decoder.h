#pragma once

#include "history_records.h"

#include <omniORB4/CORBA.h>

#include <cstdint>
#include <optional>
#include <string>

namespace KOV {
struct HousekeepingData;
struct Message;
} // namespace KOV

// The one place a hand-off of user message 5 (a payload's TypeCode and a
// pointer to its value) is told apart and turned into plain records: the
// main window routes by its classification, the recorder stores its
// records. No Qt.
namespace PayloadDecoder {

// In the order the receiver tests them.
enum class Kind {
    InstrumentEvent,
    Reading,
    Message,
    Text,
    Unknown
};

// An instrument event as it came (it is traced, never shown or stored).
struct InstrumentEvent {
    int id = 0;
    std::string name;
    std::int64_t arrivalTime = 0;
};

struct Record {
    Kind kind = Kind::Unknown;
    History::Reading reading;       // Kind::Reading
    History::MessageRecord message; // Kind::Message, and Kind::Text as a message
    InstrumentEvent event;          // Kind::InstrumentEvent
};

// Which of the four payloads the TypeCode names (TypeCode equality, as the
// senders build them); Unknown for a null or any other TypeCode.
Kind classify(const CORBA::TypeCode* type);

// A reading as stored and passed on: a value that is not a finite number is
// no data. The housing is as sent; callers refuse one that is not a housing.
History::Reading reading(const KOV::HousekeepingData& data, std::int64_t arrivalMs);
// A message; the text is copied.
History::MessageRecord message(const KOV::Message& data, std::int64_t arrivalMs);
// A plain text as the message list shows it: the lowest priority, timed by
// the receiver's clock (whole seconds, as the instrument's own times are).
History::MessageRecord text(const char* text, std::int64_t nowMs);

// The record of one hand-off, or nothing for a null pointer or a payload
// of no known kind. `nowMs` is the arrival time (UTC milliseconds).
std::optional<Record> decode(const CORBA::TypeCode* type, const void* value, std::int64_t nowMs);

// The receivers' clock: UTC milliseconds since 1970.
std::int64_t utcNowMs();

} // namespace PayloadDecoder
