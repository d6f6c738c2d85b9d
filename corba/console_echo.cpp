#include "console_echo.h"

#include <cstdio>

void ConsoleEcho::echo(const char* text)
{
    if (text == nullptr || !writesAt(diagnosticLevel))
        return;
    std::printf("%s\n", text);
    // The echo comes from the ORB thread; flush so the line is not held back
    // behind later output of the GUI thread.
    std::fflush(stdout);
}
