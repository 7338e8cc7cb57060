// What ends a run of the profile plans or of ortiva-cli: the message and the
// exit code the command line ends with.
#pragma once

#include <stdexcept>
#include <string>

namespace ortiva {

enum ExitCode : int {
    kExitDone = 0,
    kExitUsage = 1,     // bad arguments, a profile refused, a file not read or written
    kExitPort = 2,      // the PC port did not open, or the line went away
    kExitNoReply = 3,   // no reply in time, or a reply that cannot be read
    kExitMismatch = 4,  // verify or diff found differences, or the module refused a write
};

class Failure : public std::runtime_error {
public:
    Failure(ExitCode code, const std::string& what) : std::runtime_error(what), code_(code) {}
    ExitCode Code() const { return code_; }

private:
    ExitCode code_;
};

}  // namespace ortiva
