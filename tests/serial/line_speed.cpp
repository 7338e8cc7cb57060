// The line's output rate in bits per second, also for rates outside the
// standard table (kept apart: the kernel's termios2 clashes with <termios.h>).
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

namespace serial_test {

uint32_t OutputSpeed(int fd)
{
    struct termios2 line {};
    if (::ioctl(fd, TCGETS2, &line) != 0) {
        return 0;
    }
    return line.c_ospeed;
}

}  // namespace serial_test
