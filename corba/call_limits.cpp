#include "call_limits.h"

#include <omniORB4/omniORB.h>
#include <cstring>

bool
CallLimits::givenOnCommandLine (int argc, char *const *argv)
{
  for (int i = 0; argv && i < argc; ++i)
    if (argv[i] && std::strcmp (argv[i], kCallTimeoutOption) == 0)
      return true;
  return false;
}

void
CallLimits::apply (bool givenOnCommandLine)
{
  if (!givenOnCommandLine)
    omniORB::setClientCallTimeout (kCallTimeoutMs);
}
