// kovalarms: the control room's alarms from a shell (an engineer on ssh):
// lists the points the alarm service keeps in the archive, acknowledges,
// shelves and unshelves them through the service. The exit statuses are
// AlarmsTool::Status.
#include "alarms_command.h"
#include "alarms_options.h"

#include <QCoreApplication>

#include <cstdio>
#include <iostream>

int main(int argc, char** argv)
{
    std::string error;
    AlarmsTool::Status status = AlarmsTool::BadUse;
    const auto options = AlarmsTool::AlarmsOptions::parse(argc, argv, error, status);
    if (!options) {
        std::fprintf(stderr, "kovalarms: %s\n", error.c_str());
        if (status == AlarmsTool::BadUse)
            std::fputs("Try kovalarms --help.\n", stderr);
        return status;
    }
    if (options->helpShown)
        return AlarmsTool::Success;

    // Qt SQL finds its drivers and delivers notifications through the
    // application's event loop.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    QCoreApplication::setApplicationName(QStringLiteral("kovalarms"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    return AlarmsTool::run(*options, std::cout, std::cerr);
}
