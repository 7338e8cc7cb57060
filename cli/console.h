// The terminal around the tool: whether a stream is a terminal, cursor
// movement for a table redrawn in place, and Ctrl-C as a request to stop.
#pragma once

#include <cstdio>

namespace ortiva::cli {

// True when the stream is a terminal (not a file or a pipe). On Windows the
// console is also asked to understand the ANSI cursor sequences.
bool IsTerminal(std::FILE* stream);

// While one exists, Ctrl-C (SIGINT; the console's Ctrl-C and Ctrl-Break on
// Windows) only sets a flag that StopRequested reads; the previous handling
// returns when it ends.
class StopOnInterrupt {
public:
    StopOnInterrupt();
    ~StopOnInterrupt();
    StopOnInterrupt(const StopOnInterrupt&) = delete;
    StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;

    static bool StopRequested();
};

}  // namespace ortiva::cli
