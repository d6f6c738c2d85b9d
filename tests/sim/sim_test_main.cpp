// gtest main for the simulator tests: one loopback-only ORB with bounded
// calls for the whole test program (consumer servants live in its POA).
#include "test_orb.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    TestOrb::init(argc, argv);
    const int result = RUN_ALL_TESTS();
    TestOrb::destroy();
    return result;
}
