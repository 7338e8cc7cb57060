#include "posix_line.h"

// The kernel's termios2 carries any baud rate; <termios.h> must not be mixed in.
#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

namespace ortiva {

std::string DevicePathFor(const std::string& commName)
{
    if (commName.size() < 4 || commName.size() > 8) {
        return commName;
    }
    for (size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(commName[i])) != "COM"[i]) {
            return commName;
        }
    }
    unsigned long number = 0;
    for (size_t i = 3; i < commName.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(commName[i]);
        if (!std::isdigit(c) || (i == 3 && c == '0')) {
            return commName;
        }
        number = number * 10 + (c - '0');
    }
    return "/dev/ttyS" + std::to_string(number - 1);
}

DeviceOpenResult OpenDevice(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {-1, DeviceOpenStatus::CannotOpen, errno};
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return {-1, DeviceOpenStatus::CannotOpen, error};
    }
    struct stat info {};
    struct termios line {};
    if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode) || ::ioctl(fd, TCGETS, &line) != 0) {
        ::close(fd);
        return {-1, DeviceOpenStatus::NotATerminal, ENOTTY};
    }
    ::ioctl(fd, TIOCEXCL);
    return {fd, DeviceOpenStatus::Opened};
}

void DiscardInput(int fd) { ::ioctl(fd, TCFLSH, TCIFLUSH); }

void DiscardOutput(int fd) { ::ioctl(fd, TCFLSH, TCOFLUSH); }

namespace {

struct StandardRate {
    uint32_t Rate;
    tcflag_t Code;
};

constexpr StandardRate kStandardRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

void SetBaudRate(struct termios2& line, uint32_t rate)
{
    if (rate == 0) {
        return;  // rate 0 would drop the line; the device keeps its rate
    }
    line.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tcflag_t code = BOTHER;
    for (const StandardRate& standard : kStandardRates) {
        if (standard.Rate == rate) {
            code = standard.Code;
            break;
        }
    }
    line.c_cflag |= code;
    line.c_ispeed = rate;
    line.c_ospeed = rate;
}

void SetModemLine(int fd, int line, bool on) { ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line); }

void SetRtsOnSend(int fd, bool on, bool& rs485Active)
{
    if (!on && !rs485Active) {
        return;
    }
    struct serial_rs485 rs485 {};
    if (::ioctl(fd, TIOCGRS485, &rs485) != 0) {
        rs485Active = false;
        return;
    }
    if (on) {
        rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        rs485.flags &= ~SER_RS485_RTS_AFTER_SEND;
    } else {
        rs485.flags &= ~SER_RS485_ENABLED;
    }
    rs485Active = ::ioctl(fd, TIOCSRS485, &rs485) == 0 && on;
}

}  // namespace

void ApplyLineSettings(int fd, const LineSettings& s, bool& rs485Active)
{
    struct termios2 line {};
    if (::ioctl(fd, TCGETS2, &line) == 0) {
        line.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON | IXANY | IXOFF |
                          INPCK | IGNPAR | IMAXBEL);
        line.c_oflag &= ~OPOST;
        line.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | XCASE);
        line.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
        line.c_cflag |= CREAD | CLOCAL;

        static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
        line.c_cflag |= kSizes[static_cast<int>(s.ByteSize)];
        switch (s.Parity) {
        case TParity::None: break;
        case TParity::Odd: line.c_cflag |= PARENB | PARODD; break;
        case TParity::Even: line.c_cflag |= PARENB; break;
        case TParity::Mark: line.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case TParity::Space: line.c_cflag |= PARENB | CMSPAR; break;
        }
        if (s.StopBits != TStopBits::_1) {
            line.c_cflag |= CSTOPB;
        }
        if (s.Outx_CtsFlow || s.RtsControl == TRtsControl::RtsHandshake) {
            line.c_cflag |= CRTSCTS;
        }
        if (s.ParityCheck) {
            line.c_iflag |= INPCK;
        }
        if (s.Outx_XonXoffFlow) {
            line.c_iflag |= IXON;
        }
        if (s.Inx_XonXoffFlow) {
            line.c_iflag |= IXOFF;
        }
        line.c_cc[VSTART] = static_cast<cc_t>(s.XonChar);
        line.c_cc[VSTOP] = static_cast<cc_t>(s.XoffChar);
        line.c_cc[VMIN] = 1;
        line.c_cc[VTIME] = 0;
        SetBaudRate(line, s.BaudRate);
        ::ioctl(fd, TCSETS2, &line);
    }

    SetModemLine(fd, TIOCM_DTR, s.DtrControl != TDtrControl::DtrDisable);
    SetRtsOnSend(fd, s.RtsControl == TRtsControl::RtsTransmissionAvailable, rs485Active);
    if (s.RtsControl == TRtsControl::RtsEnable || s.RtsControl == TRtsControl::RtsDisable) {
        SetModemLine(fd, TIOCM_RTS, s.RtsControl == TRtsControl::RtsEnable);
    }
}

void ReleaseDevice(int fd, bool rs485Active)
{
    if (fd < 0) {
        return;
    }
    SetRtsOnSend(fd, false, rs485Active);
    // A pseudo-terminal keeps its exclusive flag while the other side is
    // open; clear it so that the line can be opened again.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

bool ReadLineCounters(int fd, LineCounters& counters)
{
    struct serial_icounter_struct icount {};
    if (::ioctl(fd, TIOCGICOUNT, &icount) != 0) {
        return false;
    }
    counters.Frame = static_cast<uint32_t>(icount.frame);
    counters.Overrun = static_cast<uint32_t>(icount.overrun);
    counters.Parity = static_cast<uint32_t>(icount.parity);
    counters.Break = static_cast<uint32_t>(icount.brk);
    counters.BufferOverrun = static_cast<uint32_t>(icount.buf_overrun);
    counters.CarrierDetect = static_cast<uint32_t>(icount.dcd);
    counters.Ring = static_cast<uint32_t>(icount.rng);
    return true;
}

LineEvents LineEventsBetween(const LineCounters& before, const LineCounters& after)
{
    LineEvents events;
    if (after.BufferOverrun != before.BufferOverrun) {
        events.Errors |= CE_RXOVER;
    }
    if (after.Overrun != before.Overrun) {
        events.Errors |= CE_OVERRUN;
    }
    if (after.Parity != before.Parity) {
        events.Errors |= CE_RXPARITY;
    }
    if (after.Frame != before.Frame) {
        events.Errors |= CE_FRAME;
    }
    if (after.Break != before.Break) {
        events.Errors |= CE_BREAK;
    }
    if (after.CarrierDetect != before.CarrierDetect) {
        events.Modem |= ModemCarrierChanged;
    }
    if (after.Ring != before.Ring) {
        events.Modem |= ModemRing;
    }
    return events;
}

}  // namespace ortiva
