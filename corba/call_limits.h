#ifndef KOV_CORBA_CALL_LIMITS_H
#define KOV_CORBA_CALL_LIMITS_H

#include <omniORB4/CORBA.h>

// Bounds every two-way call the client makes (subscribe, unsubscribe,
// elapsedTime, disconnect, naming look-ups). A call that gets no reply in
// time fails with CORBA::TIMEOUT, so a hung instrument or event channel
// becomes a lost link instead of a frozen operator display.
class CallLimits {
public:
    // Long enough for a loaded instrument computer to answer, short enough that
    // the once-a-second display refresh stalls only briefly on a dead link.
    static constexpr CORBA::ULong kCallTimeoutMs = 5000;

    static constexpr const char* kCallTimeoutOption = "-ORBclientCallTimeOutPeriod";

    // True when the command-line words set the call time limit themselves;
    // an ORB option given by the operator always wins.
    static bool givenOnCommandLine(int argc, char* const* argv);

    // Sets the process-wide call time limit of the ORB unless the words
    // already did. Call after ORB_init, with the words as they were before it.
    static void apply(bool givenOnCommandLine);
};

#endif
