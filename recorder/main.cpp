// kovrecorder: records a KOV instrument's readings, messages and link
// changes into a shared archive, with no display. Exit status: 0 after
// SIGTERM or SIGINT, 1 bad options, no state folder or no ORB, 2 the archive's schema is
// newer, 3 the server refused the role or password, 4 no such database.
#include "archive_recorder.h"
#include "archive_writer.h"
#include "liveness.h"
#include "recorder_options.h"
#include "service_notifier.h"
#include "signal_quit.h"
#include "state_folder.h"

#include <ace/Log_Msg.h>

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

void say(const std::string& text)
{
    std::fprintf(stderr, "kovrecorder: %s\n", text.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    SignalQuit::blockSignals();
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    QCoreApplication::setApplicationName(QStringLiteral("kovrecorder"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));

    std::string error;
    const auto options = Recorder::RecorderOptions::parse(argc, argv, error);
    if (!options) {
        say(error);
        std::fputs(Recorder::RecorderOptions::usage().c_str(), stderr);
        return 1;
    }
    if (options->helpShown)
        return 0;
    Recorder::StateFolder state;
    if (!state.open(options->stateDir, error)) {
        say(error);
        return 1;
    }
    // The ORB side's tracing stays out of the journal.
    ACE_LOG_MSG->priority_mask(
        ACE_LOG_MSG->priority_mask(ACE_Log_Msg::PROCESS) & ~LM_DEBUG & ~LM_TRACE, ACE_Log_Msg::PROCESS);

    // Each worker stamps its beat; systemd's watchdog is told all is well
    // only while every one does.
    Recorder::Liveness liveness;
    Recorder::ServiceNotifier service(liveness, say);
    Recorder::ArchiveWriter::Options writerOptions;
    writerOptions.address = options->archive;
    writerOptions.instrument = options->instrument;
    writerOptions.bound = options->buffer;
    writerOptions.eventBytes = options->eventBytes;
    writerOptions.spoolPath = state.spoolPath();
    writerOptions.refusedPath = state.refusedPath();
    writerOptions.log = say;
    writerOptions.beat = liveness.add("archive writer");
    writerOptions.fatal = [&app](int status, const std::string&) {
        QMetaObject::invokeMethod(
            &app, [status] { QCoreApplication::exit(status); }, Qt::QueuedConnection);
    };
    Recorder::ArchiveWriter writer(std::move(writerOptions));
    writer.start();

    Recorder::ArchiveRecorder recorder(options->words, writer, say);
    recorder.setBeat(liveness.add("link worker"));
    if (!recorder.start())
        return 1;
    SignalQuit quit([] { QCoreApplication::exit(0); });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&service] { service.tick(); });
    if (const auto period = service.watchdogPeriod(); period.count() > 0)
        watchdog.start(period);
    service.ready();
    const int status = app.exec();

    // Nothing more comes in; then what is held is written.
    watchdog.stop();
    service.stopping();
    recorder.stop();
    const bool complete = writer.stop(std::chrono::seconds(5));
    say(std::string("stopped; ") + std::to_string(writer.written()) + " rows written this run" +
        (complete ? "" : ", some rows not written") +
        (writer.refused() > 0 ? ", " + std::to_string(writer.refused()) + " refused by the archive" : "") +
        (writer.thinned() + writer.dropped() > 0
                ? ", " + std::to_string(writer.thinned()) + " readings thinned, " +
                    std::to_string(writer.dropped()) + " other rows dropped while it was unreachable"
                : ""));
    // A writer still waiting on the database must not see the objects it
    // uses destroyed under it.
    if (!writer.finished())
        std::_Exit(status);
    return status;
}
