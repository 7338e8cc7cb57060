// Each program that makes the window keeps what the window remembers (the
// line, reopening) in a folder of its own, made before main() and removed at
// exit: a person's own settings never change a test's result, and test
// programs running side by side never see each other's.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace test_support {

inline const bool kPrivateSettings = [] {
    static char folder[] = "/tmp/ortiva-test-config-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return false;
    ::setenv("XDG_CONFIG_HOME", folder, 1);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
    return true;
}();

}  // namespace test_support
