// The simulator over a real pseudo-terminal, opened the way the tool opens a
// serial port. Waits have generous safety limits only; nothing asserts speed.
#include "reply_reader.h"
#include "sim_server.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

namespace ortiva::sim {
namespace {

using namespace std::chrono_literals;
using testing::Req;

constexpr auto kSafety = 10s;

class Port {
public:
    explicit Port(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        if (fd_ >= 0) {
            termios tio{};
            ::tcgetattr(fd_, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~Port()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void Write(const Bytes& bytes) { ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    // Exactly `count` bytes, or fewer if the safety limit passes first.
    Bytes Read(size_t count)
    {
        Bytes got;
        const auto until = std::chrono::steady_clock::now() + kSafety;
        while (got.size() < count && std::chrono::steady_clock::now() < until) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            uint8_t buf[256];
            const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, count - got.size()));
            if (n > 0) got.insert(got.end(), buf, buf + n);
        }
        return got;
    }

private:
    int fd_;
};

// What a fresh module answers, for comparison.
Bytes Expected(std::initializer_list<std::string_view> requests)
{
    Module m;
    Bytes last;
    for (std::string_view r : requests) last = m.Handle(Req(r));
    return last;
}

TEST(SimServer, AnswersOverThePseudoTerminalAndSurvivesReopening)
{
    SimServer server;
    server.Start();
    {
        Port port(server.SlavePath());
        ASSERT_TRUE(port.ok());
        port.Write(Req("QQS#JTM:050#"));
        EXPECT_EQ(ToText(port.Read(11)), "QQS#JTM:OK#");
    }
    Port again(server.SlavePath());  // closing and reopening the port: no hang-up, settings kept
    ASSERT_TRUE(again.ok());
    const Bytes expected = Expected({"QQS#JTM:050#", "QQQ#QX#"});
    again.Write(Req("QQQ#QX#"));
    EXPECT_EQ(again.Read(expected.size()), expected);
}

TEST(SimServer, NoReplyStillActsAndOptionsChangeWhileRunning)
{
    SimOptions options;
    options.line.noReply = true;
    SimServer server(options);
    server.Start();
    Port port(server.SlavePath());
    ASSERT_TRUE(port.ok());
    port.Write(Req("QQS#ADR:005#"));
    ASSERT_TRUE(server.WaitForRequests(1, kSafety));
    options.line.noReply = false;
    server.SetOptions(options);
    port.Write(Req("QQQ#QX#"));
    const Bytes expected = Expected({"QQS#ADR:005#", "QQQ#QX#"});
    EXPECT_EQ(port.Read(expected.size()), expected);  // the reply comes first: nothing was said before
}

TEST(SimServer, SplitReplyArrivesInTwoChunks)
{
    SimOptions options;
    options.line.splitMs = 60000;  // cut short below
    SimServer server(options);
    server.Start();
    Port port(server.SlavePath());
    ASSERT_TRUE(port.ok());
    const Bytes expected = Expected({"QQQ#QX#"});
    const size_t half = expected.size() / 2;
    port.Write(Req("QQQ#QX#"));
    EXPECT_EQ(port.Read(half), Bytes(expected.begin(), expected.begin() + static_cast<long>(half)));
    EXPECT_EQ(server.RequestsHandled(), 0u);  // the second half is still held back
    server.CutPause();
    EXPECT_EQ(port.Read(expected.size() - half), Bytes(expected.begin() + static_cast<long>(half), expected.end()));
    EXPECT_TRUE(server.WaitForRequests(1, kSafety));
}

TEST(SimServer, GarbageComesBeforeTheReply)
{
    SimOptions options;
    options.line.garbage = true;
    SimServer server(options);
    server.Start();
    Port port(server.SlavePath());
    ASSERT_TRUE(port.ok());
    const Bytes reply = Expected({"QQQ#QV#"});
    port.Write(Req("QQQ#QV#"));
    Bytes expected(kLineNoise.begin(), kLineNoise.end());
    expected.insert(expected.end(), reply.begin(), reply.end());
    EXPECT_EQ(port.Read(expected.size()), expected);
}

TEST(SimServer, LinkAndExclusiveFlagAreLookedAfter)
{
    const auto link = std::filesystem::temp_directory_path() / ("ortiva-sim-test-" + std::to_string(::getpid()));
    {
        SimServer server;
        server.Start();
        server.MakeLink(link.string());
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), server.SlavePath());

        Port port(link.string());
        ASSERT_TRUE(port.ok());
        ASSERT_EQ(::ioctl(port.fd(), TIOCEXCL), 0);
        int exclusive = 1;
        const auto until = std::chrono::steady_clock::now() + kSafety;
        while (exclusive && std::chrono::steady_clock::now() < until) {
            ::ioctl(port.fd(), TIOCGEXCL, &exclusive);
            ::usleep(10000);
        }
        EXPECT_EQ(exclusive, 0);  // so the port can be opened again without root
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

}  // namespace
}  // namespace ortiva::sim
