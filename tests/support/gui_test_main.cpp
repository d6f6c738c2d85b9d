// main of the widget tests: a QApplication (offscreen unless the platform is
// chosen otherwise) with the program's resources.
#include "resources.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Resources::init();
    return RUN_ALL_TESTS();
}
