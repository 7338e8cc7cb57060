// ortiva-cli's commands: argument parsing, the commands and their exit codes.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace ortiva::cli {

enum ExitCode : int {
    kExitDone = 0,
    kExitUsage = 1,     // bad arguments, a profile refused, a file not read or written
    kExitPort = 2,      // the PC port did not open, or the line went away
    kExitNoReply = 3,   // no reply in time, or a reply that cannot be read
    kExitMismatch = 4,  // verify or diff found differences, or the module refused a write
};

// Runs one command line (arguments[0] is the program, the others UTF-8).
// Prints results to `out`, messages and the -v frame log to `err`.
int RunCli(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);

}  // namespace ortiva::cli
