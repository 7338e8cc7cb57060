// The serial ports present on this machine, the list items that offer them,
// and what to tell an operator whose port did not open.
//
// Finding the ports is all this unit does with a port: it never opens one.
// Every read and write of a line stays with TComm.
#pragma once

#include <string>
#include <vector>

namespace ortiva {

// One serial device as the system describes it. Empty fields are unknown.
struct PortRecord {
    std::string path;          // the device TComm opens, e.g. /dev/ttyUSB0, or COM3 on Windows
    std::string description;   // e.g. "FT232R USB UART"
    std::string manufacturer;  // e.g. "FTDI"
    std::string serialNumber;
    std::string byIdPath;  // its stable name under /dev/serial/by-id, if udev made one
};

// An entry of a port list: the text to open, and what tells the ports apart.
struct PortItem {
    std::string text;
    std::string toolTip;
};

// One item per device path, in natural order of the paths (ttyUSB2 before
// ttyUSB10). A path given twice gives one item, with the fields its first
// record left empty taken from the others. Records without a path are left
// out. The tool tip holds the known fields, one per line, and nothing for
// an unknown one.
std::vector<PortItem> PortListItems(const std::vector<PortRecord>& records);

// The serial devices present now. On Linux the kernel's terminals with a
// device behind them (/sys/class/tty; UART slots without hardware, which
// report port type 0, are left out), a USB adapter described by its USB
// device's product, manufacturer and serial number, each with its
// /dev/serial/by-id name where one links to it. On Windows the devices with
// the COM port interface, by their port names ("COM3") with the device
// manager's name and maker, then the other COMn names the system knows
// (HARDWARE\DEVICEMAP\SERIALCOMM, QueryDosDeviceW).
std::vector<PortRecord> PresentPorts();
#ifndef _WIN32
// The same from another sysfs tree and by-id folder (a copy, a test's).
std::vector<PortRecord> PresentPortsIn(const std::string& sysfs, const std::string& byIdFolder);
#endif

// The lines to show beneath "Error opening serial port": the path that was
// tried (what TComm opened for the name, see DevicePathFor), the system's
// reason for systemError, and what to do about it:
//   EACCES/EPERM  the device's group and the command that adds the user to it
//                 (or, when already a member, that a new login is needed);
//   EBUSY         that another program has the port, by name and process id
//                 where /proc tells, otherwise said plainly;
//   ENOENT        that the path does not exist, and the ports that do;
//   ENXIO/ENODEV/EIO  that no device answers behind the path, and the ports
//                 that do exist.
// Other errors give the path and reason only. systemError 0 gives the path.
// On Windows systemError is GetLastError's code, and the same kinds of lines
// follow ERROR_ACCESS_DENIED/ERROR_SHARING_VIOLATION (in use; Windows does
// not name the holder), ERROR_FILE_NOT_FOUND/ERROR_PATH_NOT_FOUND, the
// errors of a device that does not answer, and ERROR_INVALID_FUNCTION.
std::string OpenFailureAdvice(const std::string& path, int systemError);
// The same with the list of present ports given (for ENOENT and the like).
std::string OpenFailureAdvice(const std::string& path, int systemError, const std::vector<PortRecord>& present);

// The programs that keep the device at path from being opened, as
// "name (process 1234)": those holding a lock on it, or, when none does, those
// that have it open, as far as /proc tells this process. None on Windows.
std::vector<std::string> PortHolders(const std::string& path);

}  // namespace ortiva
