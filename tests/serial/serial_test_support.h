// Helpers for the serial component's tests: a pseudo-terminal whose master
// side the test holds (TComm opens the slave path), an event pump with a
// generous failure deadline, and views of the process's threads and files.
#pragma once

#include "pty_read.h"
#include "tcomm.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace serial_test {

// Waits are failure deadlines only: a passing test never runs into them.
inline constexpr int kDeadlineMs = 15000;

// Runs the user-interface event loop until done() holds or the deadline passes.
inline bool PumpUntil(const std::function<bool()>& done, int deadlineMs = kDeadlineMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > deadlineMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Runs the event loop for a while, to let anything that should not happen show.
inline void Pump(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// Defined in line_speed.cpp.
uint32_t OutputSpeed(int fd);

// The program's helper runs (open_close_test.cpp), chosen by serial_test_main.cpp:
// HoldLine opens the line and keeps it until its standard input ends;
// OpenReport tries to open and prints the text, the errno and the advice.
int HoldLine(const std::string& path);
int OpenReport(const std::string& path);

inline void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

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

// Everything a component raised, in order.
struct Recorder {
    std::vector<std::string> chunks;
    int hangups = 0;
    int empties = 0;
    int holdMs = 0;  // how long the receive handler keeps the thread

    void Attach(TComm& comm)
    {
        comm.SetOnReceiveData([this, &comm](QObject* sender, const void* buffer, uint16_t length) {
            EXPECT_EQ(sender, &comm);
            const auto* bytes = static_cast<const char*>(buffer);
            EXPECT_EQ(bytes[length], '\0');  // the copy ends with a zero byte
            chunks.emplace_back(bytes, length);
            if (holdMs > 0) {
                Sleep(holdMs);
            }
        });
        comm.SetOnRequestHangup([this](QObject*) { ++hangups; });
        comm.SetOnSendDataEmpty([this](QObject*) { ++empties; });
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

inline bool NoWorkerThreads()
{
    return ThreadsNamed("TReadThread") == 0 && ThreadsNamed("TWriteThread") == 0;
}

// The settings the main window's instance uses: no software flow control.
inline void OpenOn(TComm& comm, const Pty& pty)
{
    comm.SetCommName(pty.Path());
    comm.SetOutx_XonXoffFlow(false);
    comm.SetInx_XonXoffFlow(false);
    comm.OpenPort();
}

}  // namespace serial_test
