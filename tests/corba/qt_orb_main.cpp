#include "qt_orb.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>

namespace {
CORBA::ORB_var theOrb;
PortableServer::POA_var thePoa;
} // namespace

namespace QtOrb {

CORBA::ORB_ptr orb()
{
    return theOrb.in();
}

PortableServer::POA_ptr poa()
{
    return thePoa.in();
}

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    QDeadlineTimer deadline(limit);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

} // namespace QtOrb

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);

    int orbArgc = 2;
    char endPoint[] = "-ORBendPoint";
    char loopback[] = "giop:tcp:127.0.0.1:";
    char* orbArgv[] = {endPoint, loopback, nullptr};
    theOrb = CORBA::ORB_init(orbArgc, orbArgv);
    CORBA::Object_var object = theOrb->resolve_initial_references("RootPOA");
    thePoa = PortableServer::POA::_narrow(object);
    PortableServer::POAManager_var manager = thePoa->the_POAManager();
    manager->activate();

    const int result = RUN_ALL_TESTS();

    thePoa = PortableServer::POA::_nil();
    theOrb->destroy();
    theOrb = CORBA::ORB::_nil();
    return result;
}
