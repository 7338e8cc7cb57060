// The serial line as the operating system offers it: opening a device for
// exclusive use, applying the line settings to its termios and modem lines,
// discarding queued bytes, and reading the driver's line error counters.
// Every call here is a thin layer over one or two system calls; results that
// a driver may refuse (a pseudo-terminal has no modem lines) are not checked.
#pragma once

#include "comm_line.h"
#include "comm_types.h"

#include <cstdint>
#include <string>

namespace ortiva {

// "COMn" (n >= 1, any letter case) names /dev/ttyS(n-1); every other name is
// a path used as it stands.
std::string DevicePathFor(const std::string& commName);

enum class DeviceOpenStatus { Opened, CannotOpen, NotATerminal };

struct DeviceOpenResult {
    int Fd = -1;  // valid only when Status is Opened
    DeviceOpenStatus Status = DeviceOpenStatus::CannotOpen;
    int Error = 0;  // errno of the step that failed
};

// Opens read/write, non-blocking, without becoming the controlling terminal,
// and takes the line for this process alone (TIOCEXCL plus an advisory
// exclusive lock, which also keeps a second opener with root rights out).
// A line already locked counts as one that cannot be opened, with EBUSY:
// the error the kernel gives a second opener of a line in exclusive mode.
DeviceOpenResult OpenDevice(const std::string& path);

// Gives the line back (RTS-on-send off again when we switched it on,
// exclusive mode off) and closes the descriptor.
void ReleaseDevice(int fd, bool rs485Active);

void DiscardInput(int fd);
void DiscardOutput(int fd);

// Writes the settings to the line: raw termios (no echo, no line editing, no
// output processing, receiver on, modem status ignored), baud rate (rates
// outside the standard table through a custom divisor where the driver takes
// one), data bits, parity, stop bits (1.5 is sent as 2 except with 5 data
// bits, where the UART itself gives 1.5), hardware and software flow control,
// then DTR and RTS. rs485Active remembers whether this line was switched to
// RTS-on-send by an earlier call, so that it is switched back only by us.
void ApplyLineSettings(int fd, const LineSettings& settings, bool& rs485Active);

// The driver's running counts of line errors and modem line changes.
struct LineCounters {
    uint32_t Frame = 0;
    uint32_t Overrun = 0;
    uint32_t Parity = 0;
    uint32_t Break = 0;
    uint32_t BufferOverrun = 0;
    uint32_t CarrierDetect = 0;
    uint32_t Ring = 0;
};

// False where the driver keeps no counters (pseudo-terminals, some adapters).
bool ReadLineCounters(int fd, LineCounters& counters);

// What changed between two readings: CE_* error flags and modem event bits.
struct LineEvents {
    uint32_t Errors = 0;
    uint32_t Modem = 0;
};
LineEvents LineEventsBetween(const LineCounters& before, const LineCounters& after);

}  // namespace ortiva
