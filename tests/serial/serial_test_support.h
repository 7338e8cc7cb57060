// Helpers for the serial component's tests: the other end of a line, which
// the test holds (TComm opens the line itself), an event pump with a generous
// failure deadline, and (on Linux) views of the process's threads and files.
//
// The other end of a line: on Linux the master side of a pseudo-terminal; on
// Windows the second port of a pair of COM ports bridged to the first, named
// by the environment (ORTIVA_TEST_COM_PAIRS="COM5:COM6,COM7:COM8": the first
// of a pair is the line the component opens, the second its other end).
// Closing the other end of a pair takes the bridge, and so the line, away.
#pragma once

#include "tcomm.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include "pty_read.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace serial_test {

// Waits are failure deadlines only: a passing test never runs into them.
inline constexpr int kDeadlineMs = 15000;

using Clock = std::chrono::steady_clock;

// The components whose notices the pumps deliver: every PumpedComm alive.
inline std::vector<TComm*>& Pumped()
{
    static std::vector<TComm*> components;
    return components;
}

// A component as the tests use it: its events are raised by the pumps below,
// on the test's thread, as an owner's event loop would raise them.
class PumpedComm : public TComm {
public:
    PumpedComm() { Pumped().push_back(this); }
    ~PumpedComm() override { std::erase(Pumped(), static_cast<TComm*>(this)); }
};

// Raises what waits, then waits up to `ms` for more.
inline void PumpOnce(int ms)
{
    for (size_t i = 0; i < Pumped().size(); ++i) {
        Pumped()[i]->DeliverNotices();
    }
    if (Pumped().empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    } else {
        Pumped().front()->WaitForNotices(std::chrono::milliseconds(ms));
    }
}

inline int ElapsedMs(Clock::time_point since)
{
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Raises the components' events until done() holds or the deadline passes.
inline bool PumpUntil(const std::function<bool()>& done, int deadlineMs = kDeadlineMs)
{
    const Clock::time_point start = Clock::now();
    for (;;) {
        for (size_t i = 0; i < Pumped().size(); ++i) {
            Pumped()[i]->DeliverNotices();
        }
        if (done()) {
            return true;
        }
        if (ElapsedMs(start) > deadlineMs) {
            return false;
        }
        PumpOnce(10);
    }
}

// Raises events for a while, to let anything that should not happen show.
inline void Pump(int ms)
{
    const Clock::time_point start = Clock::now();
    for (int elapsed = 0; elapsed < ms; elapsed = ElapsedMs(start)) {
        PumpOnce(std::min(10, ms - elapsed));
    }
    for (size_t i = 0; i < Pumped().size(); ++i) {
        Pumped()[i]->DeliverNotices();
    }
}

#ifdef __linux__
// Defined in line_speed.cpp.
uint32_t OutputSpeed(int fd);

// The program's helper runs (open_close_test.cpp), chosen by serial_test_main.cpp:
// HoldLine opens the line and keeps it until its standard input ends;
// OpenReport tries to open and prints the text, the errno and the advice.
int HoldLine(const std::string& path);
int OpenReport(const std::string& path);
#endif

inline void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

#ifndef _WIN32
class Pty {
public:
    Pty()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        EXPECT_GE(master_, 0);
        EXPECT_EQ(::grantpt(master_), 0);
        EXPECT_EQ(::unlockpt(master_), 0);
        char name[128] = {};
        EXPECT_EQ(::ptsname_r(master_, name, sizeof name), 0);
        path_ = name;
    }
    ~Pty()
    {
        Hangup();
        if (extraSlave_ >= 0) {
            ::close(extraSlave_);
        }
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& Path() const { return path_; }
    int Master() const { return master_; }

    void Write(const std::string& bytes)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t put = ::write(master_, bytes.data() + done, bytes.size() - done);
            ASSERT_GT(put, 0) << std::strerror(errno);
            done += static_cast<size_t>(put);
        }
    }

    // Reads what the component sent until `count` bytes are in.
    std::string Read(size_t count) { return ReadFromPty(master_, count, kDeadlineMs); }

    // The slave side's settings, as the component left them.
    termios Line() const
    {
        termios line{};
        EXPECT_EQ(::tcgetattr(master_, &line), 0);
        return line;
    }
    void SetLine(const termios& line) { EXPECT_EQ(::tcsetattr(master_, TCSANOW, &line), 0); }

    // A second descriptor on the slave, taken before the component takes the
    // line for itself; used to stop and restart the slave's output.
    void HoldSlave()
    {
        extraSlave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(extraSlave_, 0);
    }
    void StopOutput() { ASSERT_EQ(::tcflow(extraSlave_, TCOOFF), 0); }
    void StartOutput() { ASSERT_EQ(::tcflow(extraSlave_, TCOON), 0); }

    // The other side goes away, as a pulled adapter does.
    void Hangup()
    {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

private:
    int master_ = -1;
    int extraSlave_ = -1;
    std::string path_;
};

#else
// The other end of a COM port pair. The pairs are opened as they are first
// needed and kept open for the whole run, since closing one takes its line
// away; a line whose other end was closed (Hangup) is not used again.
class Pty {
public:
    Pty()
    {
        for (Peer& peer : Peers()) {
            if (!peer.inUse && !peer.gone) {
                if (peer.handle == INVALID_HANDLE_VALUE) {
                    peer.handle = ::CreateFileA(peer.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                    if (peer.handle == INVALID_HANDLE_VALUE) {
                        peer.gone = true;
                        continue;
                    }
                    // Reads return what has come within 50 ms.
                    COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, 50, 0, 0};
                    ::SetCommTimeouts(peer.handle, &timeouts);
                    // A bridge that waits for its other end to be opened
                    // looks for that only now and then (socat's wait-slave:
                    // once a second unless told otherwise); until it has
                    // seen it, it moves no bytes and does not notice a close.
                    Sleep(kBridgeLooksMs);
                }
                ::PurgeComm(peer.handle, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
                peer.inUse = true;
                peer_ = &peer;
                return;
            }
        }
        ADD_FAILURE() << "no free COM port pair left in ORTIVA_TEST_COM_PAIRS";
    }
    ~Pty()
    {
        if (peer_ != nullptr) {
            peer_->inUse = false;
        }
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    std::string Path() const { return peer_ ? peer_->line : std::string("\\\\.\\COM-none"); }

    void Write(const std::string& bytes)
    {
        ASSERT_NE(peer_, nullptr);
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD put = 0;
            ASSERT_TRUE(
                ::WriteFile(peer_->handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &put, nullptr))
                << ::GetLastError();
            done += put;
        }
    }

    // Reads what the component sent until `count` bytes are in.
    std::string Read(size_t count)
    {
        std::string got;
        const Clock::time_point start = Clock::now();
        while (peer_ != nullptr && got.size() < count && ElapsedMs(start) < kDeadlineMs) {
            char buffer[4096];
            DWORD n = 0;
            if (!::ReadFile(peer_->handle, buffer, static_cast<DWORD>(std::min(sizeof buffer, count - got.size())), &n,
                            nullptr)) {
                break;
            }
            got.append(buffer, n);
        }
        return got;
    }

    // The other side goes away, as a pulled adapter does.
    void Hangup()
    {
        if (peer_ != nullptr && peer_->handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(peer_->handle);
            peer_->handle = INVALID_HANDLE_VALUE;
            peer_->gone = true;
        }
    }

private:
    struct Peer {
        std::string line;
        std::string path;
        HANDLE handle = INVALID_HANDLE_VALUE;
        bool inUse = false;
        bool gone = false;
    };
    static constexpr int kBridgeLooksMs = 1500;
    static std::vector<Peer>& Peers()
    {
        static std::vector<Peer> peers = [] {
            std::vector<Peer> made;
            const char* listed = std::getenv("ORTIVA_TEST_COM_PAIRS");
            std::string list = listed ? listed : "";
            size_t at = 0;
            while (at < list.size()) {
                size_t end = list.find(',', at);
                if (end == std::string::npos) end = list.size();
                const std::string pair = list.substr(at, end - at);
                const size_t colon = pair.find(':');
                if (colon != std::string::npos) {
                    Peer peer;
                    peer.line = "\\\\.\\" + pair.substr(0, colon);
                    peer.path = "\\\\.\\" + pair.substr(colon + 1);
                    made.push_back(peer);
                }
                at = end + 1;
            }
            return made;
        }();
        return peers;
    }

    Peer* peer_ = nullptr;
};
#endif

// Everything a component raised, in order.
struct Recorder {
    std::vector<std::string> chunks;
    int hangups = 0;
    int empties = 0;
    int holdMs = 0;  // how long the receive handler keeps the thread

    void Attach(TComm& comm)
    {
        comm.SetOnReceiveData([this, &comm](TObject* sender, const void* buffer, uint16_t length) {
            EXPECT_EQ(sender, &comm);
            const auto* bytes = static_cast<const char*>(buffer);
            EXPECT_EQ(bytes[length], '\0');  // the copy ends with a zero byte
            chunks.emplace_back(bytes, length);
            if (holdMs > 0) {
                Sleep(holdMs);
            }
        });
        comm.SetOnRequestHangup([this](TObject*) { ++hangups; });
        comm.SetOnSendDataEmpty([this](TObject*) { ++empties; });
    }
    std::string Joined() const
    {
        std::string all;
        for (const std::string& chunk : chunks) {
            all += chunk;
        }
        return all;
    }
    std::vector<size_t> Sizes() const
    {
        std::vector<size_t> sizes;
        for (const std::string& chunk : chunks) {
            sizes.push_back(chunk.size());
        }
        return sizes;
    }
};

#ifdef __linux__
inline int CountDir(const char* path, const std::function<bool(const std::string&)>& keep)
{
    int count = 0;
    if (DIR* dir = ::opendir(path)) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && keep(name)) {
                ++count;
            }
        }
        ::closedir(dir);
    }
    return count;
}

// Descriptors the process holds (the directory's own one is not counted).
inline int OpenDescriptors()
{
    return CountDir("/proc/self/fd", [](const std::string&) { return true; }) - 1;
}

// Threads of this process with the given name.
inline int ThreadsNamed(const std::string& wanted)
{
    return CountDir("/proc/self/task", [&](const std::string& tid) {
        std::ifstream comm("/proc/self/task/" + tid + "/comm");
        std::string name;
        std::getline(comm, name);
        return name == wanted;
    });
}

inline bool NoWorkerThreads() { return ThreadsNamed("TReadThread") == 0 && ThreadsNamed("TWriteThread") == 0; }

#endif

// The settings the main window's instance uses: no software flow control.
inline void OpenOn(TComm& comm, const Pty& pty)
{
    comm.SetCommName(pty.Path());
    comm.SetOutx_XonXoffFlow(false);
    comm.SetInx_XonXoffFlow(false);
    comm.OpenPort();
}

}  // namespace serial_test
