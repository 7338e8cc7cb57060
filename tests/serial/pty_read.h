// Reads what the serial component sent to a pseudo-terminal's master side;
// shared by the GoogleTest programs and the memory-checked cycle run.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>

// Reads from `fd` until `count` bytes are in, the line ends, or `deadlineMs`
// has passed; returns what arrived.
inline std::string ReadFromPty(int fd, size_t count, int deadlineMs)
{
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        pollfd wait{fd, POLLIN, 0};
        if (::poll(&wait, 1, 100) > 0) {
            char buffer[4096];
            const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) {
                break;
            }
            got.append(buffer, static_cast<size_t>(n));
        }
    }
    return got;
}
