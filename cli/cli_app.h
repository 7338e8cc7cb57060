// ortiva-cli's commands: argument parsing, the commands and their exit codes.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "failure.h"

namespace ortiva::cli {

// Runs one command line (arguments[0] is the program, the others UTF-8).
// Prints results to `out`, messages and the -v frame log to `err`.
int RunCli(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);

}  // namespace ortiva::cli
