// gtest main for tests that need an initialised ORB (code sets, any
// marshalling). The ORB stays up for the whole test program.
#include <gtest/gtest.h>
#include <omniORB4/CORBA.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Loopback only, should a test ever serve anything.
    char endPoint[] = "-ORBendPoint";
    char loopback[] = "giop:tcp:127.0.0.1:";
    char* orbArgv[] = {endPoint, loopback, nullptr};
    int orbArgc = 2;
    CORBA::ORB_var orb = CORBA::ORB_init(orbArgc, orbArgv);
    const int result = RUN_ALL_TESTS();
    orb->destroy();
    return result;
}
