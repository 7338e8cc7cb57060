// The component raises its events through the event loop of the thread that
// created it, so the tests run with an application object. Two options run
// the program as a helper for a test instead (a second process on a line).
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <string>

#include "serial_test_support.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--hold-line") return serial_test::HoldLine(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "--open-report") return serial_test::OpenReport(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
