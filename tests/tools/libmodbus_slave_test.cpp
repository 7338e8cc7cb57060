// The tool's MODBUS request against libmodbus acting as a real RTU slave on a
// pseudo-terminal: libmodbus checks the request's CRC (a bad one gets no
// reply) and computes the reply's CRC itself, so both directions check our
// CRC-16 against an implementation that shares nothing with it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <modbus.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "crc16.h"
#include "modbus_test.h"

using namespace ortiva;

namespace {

constexpr int kSlave = 1;
constexpr int kRegisters = 256;

uint16_t RegisterValue(int address) { return static_cast<uint16_t>(address * 257 + 0x1234); }

class PtySlave {
public:
    PtySlave()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        const char* path = ptsname(master_);
        if (!path) return;
        ctx_ = modbus_new_rtu(path, 9600, 'N', 8, 1);
        if (!ctx_ || modbus_set_slave(ctx_, kSlave) != 0 || modbus_connect(ctx_) != 0) return;
        map_ = modbus_mapping_new(0, 0, kRegisters, 0);
        if (!map_) return;
        for (int a = 0; a < kRegisters; ++a) map_->tab_registers[a] = RegisterValue(a);
        // The slave's terminal is raw from here on, so nothing is echoed back.
        thread_ = std::thread([this] { Serve(); });
        ready_ = true;
    }

    ~PtySlave()
    {
        stopping_ = true;
        if (master_ >= 0) close(master_);  // the slave side then reads EIO
        if (thread_.joinable()) thread_.join();
        if (ctx_) {
            modbus_close(ctx_);
            modbus_free(ctx_);
        }
        if (map_) modbus_mapping_free(map_);
    }

    bool ready() const { return ready_; }

    void Write(const std::vector<uint8_t>& bytes)
    {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Reads exactly n bytes. The wait only guards against a hang; no result
    // depends on how long the slave takes.
    std::vector<uint8_t> Read(size_t n)
    {
        std::vector<uint8_t> out;
        while (out.size() < n) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 20000) <= 0) break;
            uint8_t buf[512];
            const ssize_t got = read(master_, buf, std::min(sizeof buf, n - out.size()));
            if (got <= 0) break;
            out.insert(out.end(), buf, buf + got);
        }
        return out;
    }

private:
    void Serve()
    {
        uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!stopping_) {
            const int rc = modbus_receive(ctx_, query);
            if (rc > 0) {
                modbus_reply(ctx_, query, rc, map_);
            } else if (rc < 0 && errno != EMBBADCRC) {
                break;  // the line is gone
            }
        }
    }

    int master_ = -1;
    modbus_t* ctx_ = nullptr;
    modbus_mapping_t* map_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    bool ready_ = false;
};

// The whole reply to a read of `count` registers from `start`, as the slave
// must give it (CRC checked separately).
void ExpectRegisters(const std::vector<uint8_t>& reply, int start, int count)
{
    ASSERT_EQ(reply.size(), static_cast<size_t>(5 + 2 * count));
    EXPECT_EQ(reply[0], kSlave);
    EXPECT_EQ(reply[1], 0x03);
    EXPECT_EQ(reply[2], 2 * count);
    for (int i = 0; i < count; ++i) {
        const uint16_t v = RegisterValue(start + i);
        EXPECT_EQ(reply[3 + 2 * i], v >> 8) << "register " << start + i;
        EXPECT_EQ(reply[4 + 2 * i], v & 0xFF) << "register " << start + i;
    }
    const std::vector<uint8_t> body(reply.begin(), reply.end() - 2);
    Crc16 crc;
    crc.Run(body, static_cast<int>(body.size()) - 1);
    EXPECT_EQ(reply[reply.size() - 2], crc.CrcFirstByte);
    EXPECT_EQ(reply[reply.size() - 1], crc.CrcSecondByte);
}

}  // namespace

TEST(LibmodbusSlave, AnswersTheToolsRequests)
{
    PtySlave slave;
    ASSERT_TRUE(slave.ready()) << "pseudo-terminal or libmodbus setup failed: " << modbus_strerror(errno);

    struct Case {
        int start, count;
    };
    std::vector<Case> cases{{0, 10}, {10, 10}, {40, 10}, {0, 1}, {200, 56}, {255, 1}};
    std::mt19937 rng(7);
    for (int n = 0; n < 60; ++n) {
        const int start = std::uniform_int_distribution<int>(0, 250)(rng);
        const int count = std::uniform_int_distribution<int>(1, std::min(125, kRegisters - start))(rng);
        cases.push_back({start, count});
    }
    for (const auto& c : cases) {
        const Command cmd = ModbusTestCommand("001", std::to_string(c.start), std::to_string(c.count));
        slave.Write(cmd.bytes);
        ExpectRegisters(slave.Read(static_cast<size_t>(5 + 2 * c.count)), c.start, c.count);
        if (HasFatalFailure()) return;
    }
}

TEST(LibmodbusSlave, DropsARequestWithABadCrc)
{
    PtySlave slave;
    ASSERT_TRUE(slave.ready()) << "pseudo-terminal or libmodbus setup failed: " << modbus_strerror(errno);

    Command bad = ModbusTestCommand("1", "0", "10");
    bad.bytes[7] ^= 0x01;
    const Command good = ModbusTestCommand("1", "3", "2");
    // The bad request is not answered: the first reply on the line is the one
    // to the good request.
    slave.Write(bad.bytes);
    slave.Write(good.bytes);
    ExpectRegisters(slave.Read(9), 3, 2);
}
