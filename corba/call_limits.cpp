#include "call_limits.h"

#include "orb_options.h"

#include <omniORB4/omniORB.h>

bool CallLimits::givenOnCommandLine(int argc, char* const* argv)
{
    return OrbOptions::given(argc, argv, kCallTimeoutOption);
}

void CallLimits::apply(bool givenOnCommandLine)
{
    if (!givenOnCommandLine)
        omniORB::setClientCallTimeout(kCallTimeoutMs);
}
