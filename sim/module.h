// The simulated Ortiva converter module: its settings, its five device
// records, its monitoring slots, its MODBUS holding registers and the HART
// instrument on its loop. It is fed one received request at a time and
// returns the bytes it answers with (none for a request it ignores).
//
// Requests it understands:
//   "QQS#<key>[:<payload>]#"  set commands, answered "QQS#<key>:OK#" when the
//                              setting was taken and "QQS#<key>:ERR#" when not
//                              (also "QQS#CAMDdk:..." and "QQS#WCAD0s:..." whose
//                              payload ends with raw bytes and no "#")
//   "QQQ#<key>#"              queries (QV, QX, QQd, RCAD0s), "QQQ#ERR#" for others
//   "KAVORN#PCBSN:<serial>,<inspector>#"  production data
//   0xFF... HART frames       passed to the instrument in working mode 0 only
//   MODBUS RTU requests       read holding registers, at its slave address
#pragma once

#include "hart_instrument.h"
#include "wire.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ortiva::sim {

// The module's own serial sides, address, mode and timing.
struct SystemSettings {
    int baudA = 3;    // RS232/RS485A baud index 0..7 (3: 9600)
    int parityA = 0;  // 0 none, 1 odd, 2 even
    int baudB = 3;    // RS485B
    int parityB = 0;
    int mode = 0;          // working mode 0..4 (0: transparent)
    int slaveAddress = 1;  // MODBUS slave address 0..247 (0: answers no one)
    int returnTimeA = 3;   // data return time index 0..5
    int returnTimeB = 3;
    int pollInterval = 100;  // meter polling interval in 10 ms units, 0..999
    int baseA = 0;           // data base addresses 0..99999
    int baseB = 0;
    int yb = 0;  // last "YB" value received (1 or 2), 0 before any
};

// Coefficients of variables 1 to 4; one set for the whole module (their
// commands carry no device number).
struct Coefficients {
    int mode = 0;  // 0..3
    std::string variable1 = "0.001";
    std::array<std::string, 3> others{"1.000", "1.000", "1.000"};
};

struct CustomCommand {
    bool open = false;
    Bytes bytes;  // at most 14
};

struct ParseRule {
    int command = 0;  // 0 not analytic, 1 command 1, 2 command 2
    int start = 0;    // 0..99
    int length = 0;   // 0: 4 bytes, 1: 8 bytes
};

struct DeviceRecord {
    int enabled = 0;               // 0 close, 1 open
    int deviceMode = 1;            // 0 secondary master, 1 master
    int meterType = 0;             // 0..19
    int preambles = 5;             // 4..9
    int clearTime = 60;            // seconds, 0..999
    std::array<int, 5> formats{};  // current, variables 1..4
    std::array<CustomCommand, 2> commands;
    int addressBits = 8;  // 3..9
    std::array<ParseRule, 4> rules;
    // What the module publishes for this device: loop current and variables 1..4.
    std::array<float, 5> readings{};
};

struct MonitorSlot {
    bool on = false;
    Bytes bytes;  // at most 14
};

struct ProductionData {
    std::string serial = "00000000";
    std::string inspector = "001";
};

// How the module shapes its replies (faults a test or demo asks for).
struct ModuleOptions {
    bool badDigit = false;      // a letter in one digit field of QX, QQd and RCAD replies
    bool lateSections = false;  // QQd: the sections after DFO start beyond character 255
    int meterType = -1;         // QQd: report this meter type (0..99) instead of the stored one
    bool reorder = false;       // QQd: sections in reverse order
    bool moving = false;        // published readings follow a slow waveform (else steady)
    int modbusException = 0;    // > 0: register reads answered with this exception code
    bool modbusBadCrc = false;  // register replies carry a wrong CRC
    HartReplyOptions hart;
};

inline constexpr int kDevices = 5;
inline constexpr int kSlots = 6;
inline constexpr int kRegistersPerDevice = 10;
inline constexpr int kRegisters = kDevices * kRegistersPerDevice;  // 40001..40050
inline constexpr int kMaxCommandBytes = 14;

class Module {
public:
    Module();

    // One received request in, the reply out (empty: no reply).
    Bytes Handle(std::span<const uint8_t> request);

    // Factory settings ("QQS#RESET#"): system settings, coefficients, device
    // records and monitoring slots. The production data and the HART
    // instrument are left alone.
    void RestoreDefaults();

    // Holding register 4xxxx at 0-based `index` (0 is 40001): device index/10,
    // then the loop current and variables 1..4, two registers each, in the
    // device's output formats: 0 IEEE 754 FF4 FF3 FF2 FF1, 1 IEEE 754 FF2 FF1
    // FF4 FF3, 2 Uint32 FF4 FF3 FF2 FF1, 3 Uint32 FF2 FF1 FF4 FF3, 4 the
    // magnitude as Uint32 FF2 FF1 FF4 FF3 (FF4 most significant; registers
    // high byte first). Integers are rounded, negative ones sent as 0.
    uint16_t HoldingRegister(int index) const;

    // What device `d` publishes for quantity `q` (0 the loop current, 1..4 the
    // variables) now: its reading, moved by the waveform when options.moving,
    // and for variable 1 scaled by the coefficient mode (1: x3600, m3/s to
    // m3/h; 2: x the coefficient; 3: x the coefficient x 100, rounded).
    double Published(int d, int q) const;

    std::string firmware = "V6.02";
    SystemSettings system;
    ProductionData production;
    Coefficients coefficients;
    std::array<DeviceRecord, kDevices> devices;
    std::array<MonitorSlot, kSlots> monitorSlots;  // not "slots": the window's tests include this beside Qt
    HartInstrument hart;
    ModuleOptions options;

private:
    Bytes HandleSet(std::string_view body);
    Bytes HandleQuery(std::string_view body);
    Bytes HandleProduction(std::string_view body);
    Bytes HandleModbus(std::span<const uint8_t> request);
    bool ApplySet(std::string_view key, std::string_view payload, bool hasPayload);
    std::string VersionReply() const;
    std::string SystemReply() const;
    std::string DeviceReply(int d) const;
    std::string SlotReply(int s) const;

    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// Every setting of the module moved away from its default (rate, parity,
// address, coefficients, each device record with custom parsing for most,
// every monitoring slot), so that a whole read, write and read back shows
// any value that is lost or mixed up on the way.
void MoveAwayFromDefaults(Module& m);

}  // namespace ortiva::sim
