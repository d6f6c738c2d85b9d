// Pushes named events to a consumer from another process, so that the
// calls really travel over IIOP (omniORB short-circuits calls to servants
// in the same process). Usage: kov_push_client IOR NAME...
// Besides the names of PushedEvents::build: disconnect-empty and
// disconnect-long call "disconnect". Prints "returned NAME" after each call.
#include "pushed_events.h"

#include <cstdio>
#include <string>

namespace {

void call(Event_Comm::Consumer_ptr consumer, CORBA::ORB_ptr orb, const std::string& name)
{
    if (name == "disconnect-empty") {
        consumer->disconnect("");
        return;
    }
    if (name == "disconnect-long") {
        consumer->disconnect(PushedEvents::longReason().c_str());
        return;
    }
    Event_Comm::Event ev;
    if (!PushedEvents::build(name, orb, consumer, ev))
        throw CORBA::BAD_PARAM();
    consumer->push(ev);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: kov_push_client IOR NAME...\n");
        return 2;
    }
    // No call may hang the test: 20 s per call at most.
    int orbArgc = 2;
    char opt[] = "-ORBclientCallTimeOutPeriod";
    char value[] = "20000";
    char* orbArgv[] = {opt, value, nullptr};
    CORBA::ORB_var orb = CORBA::ORB_init(orbArgc, orbArgv);
    int status = 0;
    try {
        CORBA::Object_var object = orb->string_to_object(argv[1]);
        Event_Comm::Consumer_var consumer = Event_Comm::Consumer::_narrow(object);
        for (int i = 2; i < argc; ++i) {
            call(consumer.in(), orb.in(), argv[i]);
            std::printf("returned %s\n", argv[i]);
            std::fflush(stdout);
        }
    } catch (const CORBA::Exception& e) {
        std::fprintf(stderr, "kov_push_client: %s\n", e._name());
        status = 1;
    }
    orb->destroy();
    return status;
}
