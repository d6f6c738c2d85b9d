// kovrecorder: records a KOV instrument's readings, messages and link
// changes into a shared archive, with no display, and evaluates its alarms:
// in a PostgreSQL archive, as the control room's alarm service. Exit
// status: 0 after SIGTERM or SIGINT, 1 bad options, no state folder, an
// unreadable configuration file or no ORB, 2 the archive's schema is
// newer, 3 the server refused the role or password, 4 no such database;
// with --test-notify the status of the sender that failed first (0: all
// taken). SIGHUP reads the configuration file again.
#include "alarm_service.h"
#include "archive_recorder.h"
#include "archive_writer.h"
#include "config_watcher.h"
#include "liveness.h"
#include "notification_service.h"
#include "notifier.h"
#include "recorder_options.h"
#include "service_notifier.h"
#include "signal_quit.h"
#include "state_folder.h"

#include <ace/Log_Msg.h>

#include <QCoreApplication>
#include <QSysInfo>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <unistd.h>

namespace {

void say(const std::string& text)
{
    std::fprintf(stderr, "kovrecorder: %s\n", text.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    SignalQuit::blockSignals(true);
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

    // Each worker stamps its beat; systemd's watchdog is told all is well
    // only while every one does.
    Recorder::Liveness liveness;
    Recorder::ServiceNotifier systemd(liveness, say);
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
    Recorder::ArchiveRecorder recorder(options->words, writer, say);
    // Outlives the alarm service, which calls it.
    std::unique_ptr<Recorder::NotificationService> notification;
    std::unique_ptr<Recorder::AlarmService> alarms;
    Recorder::ConfigWatcher config(options->config, say,
        [&](const Recorder::RecorderSettings& settings, const std::vector<History::SetpointChange>& changes) {
            for (const History::SetpointChange& change : changes)
                recorder.setpointChange(change);
            if (alarms)
                alarms->setSettings(settings.alarms, settings.setpoints);
        });
    if (!config.start(!options->configGiven, error)) {
        say(error);
        return 1;
    }
    writer.start();

    if (options->archive.kind == History::ArchiveAddress::Kind::Postgres) {
        const std::string host = QSysInfo::machineHostName().toStdString();
        Recorder::AlarmService::Options service;
        service.address = options->archive;
        service.instrument = options->instrument;
        service.service = "kovrecorder on " + host + ", process " + std::to_string(::getpid());
        service.user = "kovrecorder on " + host;
        service.settings = config.settings().alarms;
        service.setpoints = config.settings().setpoints;
        service.log = say;
        service.beat = liveness.add("alarm service");
        if (options->notify.enabled()) {
            Recorder::NotificationService::Options notify;
            notify.address = options->archive;
            notify.instrument = options->instrument;
            notify.settings = options->notify;
            notify.log = say;
            notification = std::make_unique<Recorder::NotificationService>(std::move(notify));
            notification->start();
            service.observer = notification.get();
        }
        alarms = std::make_unique<Recorder::AlarmService>(std::move(service));
        recorder.setAlarmService(alarms.get());
        alarms->start();
    } else {
        say("an SQLite archive has no alarm service: the consoles evaluate the alarms themselves");
    }
    recorder.setBeat(liveness.add("link worker"));
    if (!recorder.start())
        return 1;
    SignalQuit quit([] { QCoreApplication::exit(0); }, [&config] { config.reread("SIGHUP", true); });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&systemd] { systemd.tick(); });
    if (const auto period = systemd.watchdogPeriod(); period.count() > 0)
        watchdog.start(period);
    systemd.ready();
    const int status = app.exec();

    // Nothing more comes in; then what is held is written.
    watchdog.stop();
    systemd.stopping();
    recorder.stop();
    const bool alarmsEnded = !alarms || alarms->stop(std::chrono::seconds(3));
    if (notification && alarmsEnded)
        notification->stop();
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
    if (!writer.finished() || !alarmsEnded)
        std::_Exit(status);
    return status;
}
