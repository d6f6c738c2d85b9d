// kovrecorder: records a KOV instrument's readings, messages and link
// changes into a shared archive, with no display. Exit status: 0 after
// SIGTERM or SIGINT, 1 bad options, no state folder or no ORB, 2 the archive's schema is
// newer, 3 the server refused the role or password, 4 no such database;
// with --test-notify the status of the sender that failed first (0: all taken).
#include "archive_recorder.h"
#include "archive_writer.h"
#include "notifier.h"
#include "recorder_options.h"
#include "signal_quit.h"
#include "state_folder.h"

#include <ace/Log_Msg.h>

#include <QCoreApplication>

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
    // The commissioning check: the sender's own status says what went wrong.
    if (options->testNotify)
        return Notifier::sendTest(options->notify, options->instrument, say);
    Recorder::StateFolder state;
    if (!state.open(options->stateDir, error)) {
        say(error);
        return 1;
    }
    // The ORB side's tracing stays out of the journal.
    ACE_LOG_MSG->priority_mask(
        ACE_LOG_MSG->priority_mask(ACE_Log_Msg::PROCESS) & ~LM_DEBUG & ~LM_TRACE, ACE_Log_Msg::PROCESS);

    Recorder::ArchiveWriter::Options writerOptions;
    writerOptions.address = options->archive;
    writerOptions.instrument = options->instrument;
    writerOptions.bound = options->buffer;
    writerOptions.eventBytes = options->eventBytes;
    writerOptions.spoolPath = state.spoolPath();
    writerOptions.refusedPath = state.refusedPath();
    writerOptions.log = say;
    writerOptions.fatal = [&app](int status, const std::string&) {
        QMetaObject::invokeMethod(
            &app, [status] { QCoreApplication::exit(status); }, Qt::QueuedConnection);
    };
    Recorder::ArchiveWriter writer(std::move(writerOptions));
    writer.start();

    Recorder::ArchiveRecorder recorder(options->words, writer, say);
    if (!recorder.start())
        return 1;
    SignalQuit quit([] { QCoreApplication::exit(0); });
    const int status = app.exec();

    // Nothing more comes in; then what is held is written.
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
