#include "kovevtconsumer_i.h"

#include "console_echo.h"
#include "consumer_host.h"
#include "message_codec.h"
#include "trace.h"

#include <ace/Log_Msg.h>
#include <kov.hh>

#include <cmath>
#include <exception>
#include <limits>
#include <string>

namespace {

// Truncation toward zero for the trace; out-of-range and NaN readings must
// not make the conversion undefined.
int truncated(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

} // namespace

KOVEventConsumer_i::KOVEventConsumer_i(ConsumerHost* app) : app_(app)
{
    KOV_TRACE("KOVEventConsumer_i::KOVEventConsumer_i\n");
}

// The notifier must never see an exception: it would take one for a broken
// consumer and drop the client, while the window still shows a live link.
void KOVEventConsumer_i::push(const Event_Comm::Event& ev)
{
    try {
        CORBA::TypeCode_var type = ev.value_.type();
        // Events that arrive before the main dialog is up are dropped, not
        // queued.
        if (!app_->IsWindowUp())
            return;
        decode(ev, type.in());
    } catch (const CORBA::Exception&) {
        ACE_ERROR((LM_ERROR, "(%t)Error in extracting the data.\n"));
    } catch (const std::exception& ex) {
        ACE_ERROR((LM_ERROR, "(%t)Error in handling the event: %s\n", ex.what()));
    } catch (...) {
        ACE_ERROR((LM_ERROR, "(%t)Error in handling the event.\n"));
    }
}

void KOVEventConsumer_i::decode(const Event_Comm::Event& ev, CORBA::TypeCode_ptr type)
{
    // The working copy owns whatever the extractions return; it is released
    // on every path, after the hand-off has returned.
    CORBA::Any copy(ev.value_);
    CORBA::TypeCode_var copyType = copy.type();
    const CORBA::TCKind kind = copyType->kind();

    KOV_TRACE("\n\nTYPECODE: %d\n", static_cast<int>(kind));
    KOV_TRACE("TAG: %s\n", ev.tag_.in());
    if (kind == CORBA::tk_struct) {
        KOV_TRACE("ID: %s\n", copyType->id());
        KOV_TRACE("Name: %s\n", copyType->name());
        KOV_TRACE("member_count: %d \n", static_cast<int>(copyType->member_count()));
    }

    if (CORBA::is_nil(type))
        return;
    if (kind == CORBA::tk_struct)
        decodeStruct(copy, type);
    else if (kind == CORBA::tk_string)
        decodeString(copy);
}

void KOVEventConsumer_i::decodeStruct(const CORBA::Any& value, CORBA::TypeCode_ptr type)
{
    if (type->equal(KOV::_tc_Event)) {
        const KOV::Event* event = nullptr;
        if (!(value >>= event))
            return;
        app_->HandOff(type, event);
        return;
    }

    if (type->equal(KOV::_tc_Message)) {
        // Not the generated extraction: it refuses texts over the bound of 128,
        // and the operator must see such a text whole.
        KOV::Message message;
        MessageCodec::decode(value, message);
        KOV_TRACE("KOV::Message: %s priority: %d\n", message.text.in(), static_cast<int>(message.priority));
        app_->HandOff(type, &message);
        ConsoleEcho::echo(message.text.in());
        return;
    }

    if (type->equal(KOV::_tc_HousekeepingData)) {
        const KOV::HousekeepingData* reading = nullptr;
        if (!(value >>= reading))
            return;
        KOV_TRACE("KOV::HousekeepingData: %s temp: %d rh: %d readingtime:%ld\n",
            reading->id == ELECTRONICS_HOUSING ? "Electronics" : "Spectrograph", truncated(reading->temp),
            truncated(reading->rh), static_cast<long>(reading->readingTime));
        app_->HandOff(type, reading);
    }
}

void KOVEventConsumer_i::decodeString(const CORBA::Any& value)
{
    // A bounded string does not extract as a plain one: nothing to hand off.
    const char* text = nullptr;
    if (!(value >>= text))
        return;
    KOV_TRACE("UNKNOWN EVENT: %s\n\n", text);
    app_->HandOff(CORBA::_tc_string, text);
    ConsoleEcho::echo(text);
}

void KOVEventConsumer_i::disconnect(const char* reason)
{
    const char* why = reason != nullptr ? reason : "";
    ACE_DEBUG((LM_DEBUG, "**** got disconnected due to %s\n", why));

    // The whole reason, however long.
    const std::string notice = std::string("Got disconnected due to ") + why;
    try {
        app_->HandOff(CORBA::_tc_string, notice.c_str());
    } catch (...) {
        // The link is lost whether or not the notice could be shown.
        ACE_ERROR((LM_ERROR, "(%t)Error in handing off the disconnect notice.\n"));
    }
    // No "unsubscribe": the notifier has already dropped this consumer.
    try {
        app_->DropLink();
    } catch (...) {
        ACE_ERROR((LM_ERROR, "(%t)Error in dropping the link.\n"));
    }
}
