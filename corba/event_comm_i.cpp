#include "event_comm_i.h"

#include <ace/Log_Msg.h>

void Consumer_i::set_shutdown(ShutdownCallback* callback)
{
    shutdown = callback;
}

void Consumer_i::push(const Event_Comm::Event& ev)
{
    ACE_DEBUG((LM_DEBUG, "**** got notification = %s\n", ev.tag_.in()));
}

void Consumer_i::disconnect(const char* reason)
{
    ACE_DEBUG((LM_DEBUG, "**** got disconnected due to %s\n", reason != nullptr ? reason : ""));
    ACE_ASSERT(shutdown != 0);
    // Builds without ACE assertions must not call through a null pointer.
    if (shutdown == nullptr)
        return;
    shutdown->close();
}
