// The serial component without Qt, on the same kind of line on Linux and on
// Windows (under Wine: COM ports bridged to pseudo-terminals by socat), so
// that the two back ends can be set side by side on one machine.
//
//   serial_line_bench LINE PEER [megabytes=4] [idle-seconds=5] [loss-seconds=0]
//
// LINE is what TComm opens, PEER the other end of the same line, which this
// program opens with the platform's plain calls ("/dev/pts/7", "\\.\COM6").
// A thread of this program writes the stream into PEER as fast as it goes;
// the owner's thread takes the chunks with WaitForNotices/DeliverNotices.
// Printed: receive rate, CPU seconds of this process per MB (the writer
// included), chunks and bytes lost or wrong; then the line left open and
// silent for the idle seconds: this process's CPU share over that time; then,
// when asked for, PEER closed (which takes a bridged line away) and the line
// left open that long: hang-up notices and this process's CPU share. The
// process's number is printed first, so that its threads' wake-ups can be
// counted from outside (/proc/PID/task/*/status, also for a program under
// Wine, whose threads are the system's threads).
#include "tcomm.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ProcessCpuSeconds()
{
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
#else
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#endif
}

int ProcessId()
{
#ifdef _WIN32
    return static_cast<int>(::GetCurrentProcessId());
#else
    return static_cast<int>(::getpid());
#endif
}

// The other end of the line, written with blocking calls.
class Peer {
public:
    explicit Peer(const std::string& path)
    {
#ifdef _WIN32
        handle_ = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        ok_ = handle_ != INVALID_HANDLE_VALUE;
#else
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        ok_ = fd_ >= 0;
        if (ok_) {
            termios line{};
            ::tcgetattr(fd_, &line);
            ::cfmakeraw(&line);
            ::tcsetattr(fd_, TCSANOW, &line);
        }
#endif
    }
    ~Peer() { Close(); }
    void Close()
    {
#ifdef _WIN32
        if (ok_) ::CloseHandle(handle_);
#else
        if (ok_) ::close(fd_);
#endif
        ok_ = false;
    }
    bool Ok() const { return ok_; }

    bool Write(const char* bytes, size_t count)
    {
        while (count > 0) {
#ifdef _WIN32
            DWORD put = 0;
            if (!::WriteFile(handle_, bytes, static_cast<DWORD>(count), &put, nullptr) || put == 0) return false;
#else
            const ssize_t put = ::write(fd_, bytes, count);
            if (put <= 0) return false;
#endif
            bytes += put;
            count -= static_cast<size_t>(put);
        }
        return true;
    }

private:
    bool ok_ = false;
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
};

char PatternAt(size_t i) { return static_cast<char>((i * 7 + i / 251) & 0xFF); }

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: serial_line_bench LINE PEER [megabytes=4] [idle-seconds=5]\n");
        return 2;
    }
    const std::string linePath = argv[1];
    const size_t total = (argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 4) << 20;
    const int idleSeconds = argc > 4 ? std::atoi(argv[4]) : 5;
    const int lossSeconds = argc > 5 ? std::atoi(argv[5]) : 0;
    std::printf("process %d\n", ProcessId());
    std::fflush(stdout);

    Peer peer(argv[2]);
    if (!peer.Ok()) {
        std::fprintf(stderr, "cannot open %s\n", argv[2]);
        return 1;
    }
    TComm comm;
    comm.SetCommName(linePath);
    comm.SetOutx_XonXoffFlow(false);
    comm.SetInx_XonXoffFlow(false);
    size_t received = 0;
    size_t wrong = 0;
    size_t chunks = 0;
    comm.SetOnReceiveData([&](TObject*, const void* buffer, uint16_t length) {
        const auto* bytes = static_cast<const char*>(buffer);
        for (uint16_t i = 0; i < length; ++i) {
            wrong += bytes[i] != PatternAt(received + i);
        }
        received += length;
        ++chunks;
    });
    int hangups = 0;
    comm.SetOnRequestHangup([&](TObject*) { ++hangups; });
    try {
        comm.OpenPort();
    } catch (const ECommsError& e) {
        std::fprintf(stderr, "%s (%d)\n", e.what(), e.SystemError());
        return 1;
    }

    std::vector<char> stream(total);
    for (size_t i = 0; i < total; ++i) {
        stream[i] = PatternAt(i);
    }
    const double cpuBefore = ProcessCpuSeconds();
    const Clock::time_point start = Clock::now();
    std::thread writer([&] { peer.Write(stream.data(), stream.size()); });
    Clock::time_point last = start;
    while (received < total) {
        comm.DeliverNotices();
        if (received >= total) {
            break;
        }
        if (!comm.WaitForNotices(std::chrono::milliseconds(2000))) {
            if (Clock::now() - last > std::chrono::seconds(5)) {
                break;  // nothing for a long time: bytes were lost
            }
        } else {
            last = Clock::now();
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    writer.join();
    const double megabytes = static_cast<double>(total) / (1 << 20);
    std::printf("received %zu of %zu bytes in %zu chunks (%zu wrong): %.2f MB/s, %.4f CPU s/MB\n", received, total,
                chunks, wrong, megabytes / seconds, cpu / megabytes);

    std::printf("idle for %d s\n", idleSeconds);
    std::fflush(stdout);
    // The process's CPU share while notices are delivered for `spanSeconds`.
    const auto cpuShareOver = [&](int spanSeconds) {
        const double cpuAtStart = ProcessCpuSeconds();
        const Clock::time_point spanStart = Clock::now();
        while (Clock::now() - spanStart < std::chrono::seconds(spanSeconds)) {
            comm.WaitForNotices(std::chrono::milliseconds(500));
            comm.DeliverNotices();
        }
        const double span = std::chrono::duration<double>(Clock::now() - spanStart).count();
        return (ProcessCpuSeconds() - cpuAtStart) / span * 100;
    };
    const double idleShare = cpuShareOver(idleSeconds);
    std::printf("silent open line: %.3f %% CPU, %d hang-up notices\n", idleShare, hangups);
    if (lossSeconds > 0) {
        std::printf("other end closed for %d s\n", lossSeconds);
        std::fflush(stdout);
        peer.Close();
        const double lossShare = cpuShareOver(lossSeconds);
        std::printf("after the line went away: %.3f %% CPU, %d hang-up notices\n", lossShare, hangups);
    }
    comm.ClosePort();
    return 0;
}
