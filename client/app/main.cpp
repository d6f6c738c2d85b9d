// kovclient: the KOV instrument's monitoring client. Every command-line word
// goes to the ORB (naming service and ORB options); the first is also the
// subscription's criteria ("KOV" when there is none).
#include "client.h"
#include "clientdialog.h"
#include "command_words.h"
#include "instance_guard.h"
#include "log_file.h"
#include "message_boxes.h"
#include "resources.h"
#include "signal_quit.h"
#include "window_raiser.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <optional>

int main(int argc, char** argv)
{
    SignalQuit::blockSignals();
    const CommandWords words = CommandWords::fromCommandLine(argc, argv);
    // Qt sees only the program's name: its own options (-style, -platform
    // ...) must not take words meant for the ORB.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication qapp(qtArgc, qtArgv);
    QApplication::setQuitOnLastWindowClosed(false);
    Resources::init();

    LogFile log(ConfigFile::startDirectory());
    if (!log.install())
        std::fprintf(stderr, "kovclient: cannot open %s; logging to standard error\n", log.path().c_str());

    // One client per folder: a second start shows the first one's window.
    InstanceGuard guard(ConfigFile::startDirectory());
    {
        SignalQuit quit([] { std::_Exit(1); });
        WidgetMessageBoxes boxes;
        if (const std::optional<int> ended = guard.claim(boxes))
            return *ended;
    }

    int status = 1;
    {
        CKovClientApp app(words);
        guard.onShowRequest([&app] {
            if (app.mainDialog())
                WindowRaiser::bringToFront(app.mainDialog());
        });
        // SIGINT and SIGTERM end a running client as Exit does (the
        // setpoints written, the subscription ended); before the window is
        // up there is nothing to keep.
        SignalQuit quit([&app] {
            if (app.mainDialog())
                app.mainDialog()->reject();
            else
                std::_Exit(1);
        });
        if (app.InitInstance()) {
            QObject::connect(&app, &CKovClientApp::finished, &qapp, &QCoreApplication::quit);
            status = qapp.exec();
        }
        guard.onShowRequest(nullptr);
    }
    return status;
}
