// The instrument link when there is no instrument side to talk to.
#include "args.h"
#include "kovinterface_client.h"
#include "log_capture.h"
#include "loopback.h"

#include <gtest/gtest.h>

namespace {

CORBA::ORB_var orbWithNamingAt(int port)
{
    Args args{"-ORBInitRef", nameServiceLocation(port)};
    int argc = args.argc();
    return CORBA::ORB_init(argc, args.argv());
}

TEST(InterfaceClientOffline, ShutdownWithoutReferenceFailsWithoutACall)
{
    KOVInterface_Client client;
    EXPECT_TRUE(CORBA::is_nil(client.system()));
    EXPECT_EQ(client.shutdown(), -1);
}

TEST(InterfaceClientOffline, UnreachableNamingServiceFailsAndLogs)
{
    CORBA::ORB_var orb = orbWithNamingAt(closedLoopbackPort());
    LogCapture log;
    KOVInterface_Client client;
    EXPECT_EQ(client.init(orb.in()), -1);
    EXPECT_TRUE(CORBA::is_nil(client.system()));
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Unable to initialize the TAO_Naming_Client."), std::string::npos);
    orb->destroy();
}

} // namespace
