// The serial component's tests raise its events through the test support's
// pumps (serial_test_support.h). On Linux two options run the program as a
// helper for a test instead (a second process on a line).
#include <gtest/gtest.h>

#include <string>

#include "serial_test_support.h"

int main(int argc, char** argv)
{
#ifdef __linux__
    if (argc == 3 && std::string(argv[1]) == "--hold-line") return serial_test::HoldLine(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "--open-report") return serial_test::OpenReport(argv[2]);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
