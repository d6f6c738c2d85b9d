// kovsim: stands in for the KOV instrument side (naming-service bindings,
// event channel, control object, traffic) for the demo, tests and training.
#include "command_interpreter.h"
#include "control_channel.h"
#include "event_factory.h"
#include "name_binder.h"
#include "notifier_i.h"
#include "shutdown_latch.h"
#include "signal_watcher.h"
#include "sim_log.h"
#include "sim_options.h"
#include "system_i.h"
#include "traffic_generator.h"

#include <omniORB4/omniORB.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {
const int exitBadOption = 1;
const int exitNaming = 2;

const char* const notifierName = "Notifier";
const char* const systemName = "KOVSYSTEM";

void addUnlessGiven(std::vector<std::string>& words, const std::string& option, const char* value)
{
    for (const std::string& w : words)
        if (w.rfind(option, 0) == 0)
            return;
    words.push_back(option);
    words.push_back(value);
}

// The words for ORB_init: the command line, plus what the operator did not
// choose: a loopback-only endpoint, and UTF-8 texts, so that "°C" typed on
// standard input reaches a UTF-8 client unchanged (omniORB's default native
// code set is ISO-8859-1).
std::vector<std::string> orbWords(int argc, char** argv)
{
    std::vector<std::string> words(argv, argv + argc);
    addUnlessGiven(words, "-ORBendPoint", "giop:tcp:127.0.0.1:");
    addUnlessGiven(words, "-ORBnativeCharCodeSet", "UTF-8");
    return words;
}

// The servants, the traffic and the control channel, built once the ORB is
// up; torn down in reverse order, the ORB last.
int serve(CORBA::ORB_ptr orb, const SimOptions& options, SimLog& log)
{
    CORBA::Object_var poaObject = orb->resolve_initial_references("RootPOA");
    PortableServer::POA_var poa = PortableServer::POA::_narrow(poaObject.in());
    PortableServer::POAManager_var manager = poa->the_POAManager();
    manager->activate();

    Notifier_i notifier(log, options.callTimeoutMs(), options.backpressure);
    System_i system(log, options.onSeconds);
    PortableServer::ObjectId_var notifierId = poa->activate_object(&notifier);
    PortableServer::ObjectId_var systemId = poa->activate_object(&system);
    CORBA::Object_var notifierRef = poa->id_to_reference(notifierId.in());
    CORBA::Object_var systemRef = poa->id_to_reference(systemId.in());

    int status = 0;
    try {
        NameBinder names(orb, options.callTimeoutMs());
        names.rebind(notifierName, notifierRef.in());
        try {
            names.rebind(systemName, systemRef.in());
        } catch (const NamingError&) {
            // No half-bound instrument side left behind.
            names.unbindIfOurs(notifierName, notifierRef.in());
            throw;
        }
        log.line(std::string("ready notifier=\"") + notifierName + "\" system=\"" + systemName + "\"");

        ShutdownLatch shutdown;
        EventFactory factory(orb);
        CommandInterpreter interpreter(notifier, system, factory, shutdown, log);
        ControlChannel control(
            0, log, [&interpreter](const std::string& line) { interpreter.handle(line); },
            [&] {
                if (options.exitOnEof)
                    shutdown.request("eof");
                else
                    log.error("standard input ended; still running (SIGTERM or SIGINT ends kovsim)");
            });
        TrafficGenerator traffic(notifier, factory, options);
        SignalWatcher signals(shutdown);

        control.start();
        traffic.start();
        const std::string cause = shutdown.wait();
        log.line("stopping cause=" + cause);

        traffic.stop();
        control.stop();
        system.shutdown();
        notifier.shutdown();
        names.unbindIfOurs(notifierName, notifierRef.in());
        names.unbindIfOurs(systemName, systemRef.in());
    } catch (const NamingError& error) {
        log.error(std::string("error: ") + error.what());
        status = exitNaming;
    }
    system.shutdown();
    notifier.shutdown();
    poa->deactivate_object(notifierId.in());
    poa->deactivate_object(systemId.in());
    // Waits for upcalls still running on the servants, which live on this stack.
    orb->shutdown(true);
    return status;
}
} // namespace

int main(int argc, char** argv)
{
    if (SimOptions::wantsHelp(argc, argv)) {
        std::fputs(SimOptions::usage().c_str(), stdout);
        return 0;
    }
    SignalWatcher::blockSignals();

    std::vector<std::string> words = orbWords(argc, argv);
    std::vector<char*> pointers;
    for (std::string& w : words)
        pointers.push_back(&w[0]);
    pointers.push_back(nullptr);
    int orbArgc = static_cast<int>(words.size());

    SimLog log;
    CORBA::ORB_var orb;
    try {
        orb = CORBA::ORB_init(orbArgc, pointers.data());
    } catch (const CORBA::Exception& ex) {
        log.error(std::string("error: the ORB refused its options (") + ex._name() +
            "); see the omniORB options and kovsim --help");
        return exitBadOption;
    }

    SimOptions options;
    std::string problem;
    if (!options.parse(std::vector<std::string>(pointers.data() + 1, pointers.data() + orbArgc), problem)) {
        log.error("error: " + problem);
        orb->destroy();
        return exitBadOption;
    }
    if (!options.seedGiven)
        options.seed =
            static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count());

    int status = 0;
    try {
        status = serve(orb.in(), options, log);
    } catch (const CORBA::Exception& ex) {
        log.error(std::string("error: unexpected CORBA exception ") + ex._name());
        status = exitNaming;
    }
    orb->destroy();
    return status;
}
