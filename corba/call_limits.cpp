#include "call_limits.h"

#include <cstring>
#include <omniORB4/omniORB.h>

bool CallLimits::givenOnCommandLine(int argc, char* const* argv)
{
    for (int i = 0; argv && i < argc; ++i)
        if (argv[i] && std::strcmp(argv[i], kCallTimeoutOption) == 0)
            return true;
    return false;
}

void CallLimits::apply(bool givenOnCommandLine)
{
    if (!givenOnCommandLine)
        omniORB::setClientCallTimeout(kCallTimeoutMs);
}
