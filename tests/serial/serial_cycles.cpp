// Open/close cycles of the serial component over a pseudo-terminal, meant to
// run under a memory checker (scripts/memcheck):
//
//   serial_cycles [cycles=1000]
//
// Each cycle makes a component, opens it, checks one message each way, then
// leaves work behind at close: sends still queued (the other side reads
// nothing, so the transmit thread blocks on a full line) and input the
// component has read or is reading but nobody has taken from its notices.
// The component is closed and destroyed with all of that pending. Every
// fourth cycle reuses the previous line for a second open of the same
// component instead. Exits 1 when a message does not arrive intact.
#include "pty_read.h"
#include "tcomm.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace {

// A failure deadline only; under the checker each step is far slower than
// natively, and still far below this.
constexpr int kDeadlineMs = 60000;

class Pty {
public:
    Pty()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128] = {};
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
            ::ptsname_r(master_, name, sizeof name) != 0) {
            std::perror("pseudo-terminal");
            std::exit(2);
        }
        path_ = name;
    }
    ~Pty() { ::close(master_); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& Path() const { return path_; }

    bool Write(const std::string& bytes) const
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t put = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (put <= 0) {
                return false;
            }
            done += static_cast<size_t>(put);
        }
        return true;
    }

    std::string Read(size_t count) const { return ReadFromPty(master_, count, kDeadlineMs); }

    // Throws away what an earlier open left on the way to this side.
    void Drain() const
    {
        pollfd wait{master_, POLLIN, 0};
        char buffer[4096];
        while (::poll(&wait, 1, 20) > 0 && ::read(master_, buffer, sizeof buffer) > 0) {}
    }

private:
    int master_ = -1;
    std::string path_;
};

// Raises the component's events until done() holds.
bool PumpUntil(TComm& comm, const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDeadlineMs);
    for (;;) {
        comm.DeliverNotices();
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        comm.WaitForNotices(std::chrono::milliseconds(10));
    }
}

std::string Message(const char* what, int cycle, size_t length)
{
    std::string text = std::string(what) + " " + std::to_string(cycle) + ":";
    while (text.size() < length) {
        text += static_cast<char>('a' + text.size() % 26);
    }
    return text;
}

// One open of `comm` on `pty`; false when a message went wrong. `inFlight`
// is what the previous open on this line left unread: bytes of it that were
// still on their way at this open may arrive first (as on a real line), the
// tail of it and nothing else.
bool OneOpen(TComm& comm, const Pty& pty, int cycle, std::string& inFlight)
{
    std::string received;
    comm.SetOnReceiveData(
        [&](TObject*, const void* bytes, uint16_t count) { received.append(static_cast<const char*>(bytes), count); });
    comm.SetCommName(pty.Path());
    comm.SetOutx_XonXoffFlow(false);
    comm.SetInx_XonXoffFlow(false);
    comm.SetReadIntervalTimeout(cycle % 2 == 0 ? 5 : 0xFFFFFFFF);
    comm.OpenPort();

    const std::string in = Message("in", cycle, 300 + cycle % 700);
    const auto arrived = [&] {
        return received.size() >= in.size() && received.compare(received.size() - in.size(), in.size(), in) == 0;
    };
    bool intact = pty.Write(in) && PumpUntil(comm, arrived);
    const size_t early = received.size() - std::min(received.size(), in.size());
    intact =
        intact && early <= inFlight.size() && inFlight.compare(inFlight.size() - early, early, received, 0, early) == 0;
    if (!intact) {
        std::fprintf(stderr, "cycle %d: received %zu bytes for %zu, not intact\n", cycle, received.size(), in.size());
        return false;
    }
    const std::string out = Message("out", cycle, 200 + cycle % 300);
    if (!comm.SendData(out.data(), static_cast<uint16_t>(out.size())) || pty.Read(out.size()) != out) {
        std::fprintf(stderr, "cycle %d: a sent message did not arrive intact\n", cycle);
        return false;
    }

    // Left behind at close: more to send than the line takes while nobody
    // reads its other side, and input whose notices are not delivered.
    const std::string block(4000, static_cast<char>('A' + cycle % 26));
    for (int i = 0; i < 24; ++i) {
        comm.SendData(block.data(), static_cast<uint16_t>(block.size()));
    }
    inFlight = Message("unread", cycle, 100 + cycle % 3000);
    pty.Write(inFlight);
    if (cycle % 3 == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    comm.ClosePort();
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
    std::unique_ptr<Pty> pty;
    std::unique_ptr<TComm> comm;
    std::string inFlight;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        if (cycle % 4 != 3 || !comm) {
            comm.reset();  // with whatever its last open left pending
            pty = std::make_unique<Pty>();
            comm = std::make_unique<TComm>();
            inFlight.clear();
        } else {
            pty->Drain();
        }
        if (!OneOpen(*comm, *pty, cycle, inFlight)) {
            return 1;
        }
    }
    comm.reset();
    std::printf("%d open/close cycles\n", cycles);
    return 0;
}
