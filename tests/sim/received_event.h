#ifndef KOV_TEST_SIM_RECEIVED_EVENT_H
#define KOV_TEST_SIM_RECEIVED_EVENT_H

#include <kov.hh>

#include <string>

// One pushed event as a test consumer decoded it.
struct ReceivedEvent {
    enum class Kind {
        Reading,
        Message,
        Event,
        String,
        Other // a payload type the client does not know
    };

    Kind kind = Kind::Other;
    std::string tag;
    std::string repositoryId; // of the payload's TypeCode (struct payloads)
    KOV::HousekeepingData reading{};
    std::string text; // message text, plain string, event name
    MessagePriority priority = MESSAGE;
    short id = 0;             // KOV::Event
    TimeBase::TimeT time = 0; // arrival_time of a message or event
};

#endif
