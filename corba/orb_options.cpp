#include "orb_options.h"

#include <cstring>

bool OrbOptions::given(int argc, char* const* argv, const char* option)
{
    for (int i = 0; argv && i < argc; ++i)
        if (argv[i] && std::strcmp(argv[i], option) == 0)
            return true;
    return false;
}
