// gtest main of every test program that needs an ORB: gtest's options first,
// then a QCoreApplication (this thread plays the GUI thread), then the
// program's ORB, which outlives every test.
#include "test_orb.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    TestOrb orb(argc, argv);
    return RUN_ALL_TESTS();
}
