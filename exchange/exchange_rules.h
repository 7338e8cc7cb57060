// The exchange engine's state and its rules, free of widgets and timers.
//
// One reply is awaited at a time, named by PendingCode; TimeoutKind names the
// report given when it does not come. The main window owns one ExchangeState
// and applies the plans below with its own timers and controls.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ortiva {

inline constexpr size_t kTxFrameSize = 504;
inline constexpr size_t kRxBytesSize = 404;
inline constexpr size_t kRxTextMax = 255;

inline constexpr int kParseTickMs = 300;             // Timer2
inline constexpr int kReplyTimeoutMs = 3000;         // Timer3 as every sender but three sets it
inline constexpr int kReplyTimeoutInitialMs = 1000;  // Timer3 before any sender has set it
inline constexpr int kDelayedCloseMs = 2000;         // Timer4
inline constexpr int kReceiveHoldMs = 300;           // hold before a chunk is looked at

// Awaited replies.
enum PendingCodes : int {
    kPendingNone = 0,
    kPendingHartDevice = 100,
    kPendingHartVariables = 103,
    kPendingHartManual = 104,
    kPendingHartAddress = 106,
    kPendingSetAck = 200,
    kPendingCommQuery = 201,
    kPendingSystemParams = 202,
    kPendingModbusParams = 301,
    kPendingModbusTest = 302,
    kPendingMonitoring = 501,
};

// Timeout reports.
enum TimeoutKinds : int {
    kTimeoutNone = 0,
    kTimeoutConnection = 1,  // "Connection timed out!"
    kTimeoutQuery = 2,       // Label68 emptied, "Parameter Query Timeout!"
    kTimeoutSet = 3,         // Label68 "Set timeout", "!"
};

struct ExchangeState {
    std::array<uint8_t, kTxFrameSize> TxFrame{};
    std::array<uint8_t, kRxBytesSize> RxBytes{};
    std::string RxText;  // at most 255 characters, one per byte
    int32_t RxLength = 0;
    int32_t PendingCode = 0;
    int32_t TimeoutKind = 0;
    bool PortOpen = false;
};

// How a command goes out (the send sequence).
enum class Echo { Text, Hex };
enum class ReplyTimer {
    Set3000,       // set Timer3 to 3000 ms, then enable it
    KeepInterval,  // enable Timer3 with the interval it has (three HART senders)
    None,          // leave Timer3, PendingCode and TimeoutKind alone (the serial-number command)
};
struct Command {
    std::vector<uint8_t> bytes;
    Echo echo = Echo::Text;
    int pendingCode = 0;
    int timeoutKind = 0;
    ReplyTimer timer = ReplyTimer::Set3000;
    bool delayedClose = false;  // "BA1"/"BA2": close the port 2000 ms later
};

// A command made of ASCII text.
Command TextCommand(const std::string& text, int pendingCode, int timeoutKind);

// Copies a frame into TxFrame (frames longer than TxFrame are refused by their
// builders; this never writes past it) and gives the text that is sent: one
// character per byte.
std::string PlaceInTxFrame(ExchangeState& s, std::span<const uint8_t> frame);

// Receive path, once per chunk.
enum class BufferView { Text, Hex };
struct ReceivePlan {
    BufferView view = BufferView::Text;
    bool startParseTick = false;
    bool clearPending = false;  // display-only codes return to idle
};
ReceivePlan PlanReceive(int pendingCode);

// RxText takes the first 255 bytes, RxBytes the first 404; RxBytes past the
// chunk keeps what an earlier chunk left there.
void StoreChunk(ExchangeState& s, std::span<const uint8_t> chunk);

// What the Receive Buffer shows for the stored chunk.
std::string ReceiveBufferText(const ExchangeState& s, BufferView view);

// Parse tick.
enum class Decoder { None, HartDevice, HartVariables, CommQuery, SystemParams, ModbusParams, Monitoring };
struct TickPlan {
    Decoder decoder = Decoder::None;
    bool clearPending = false;
    bool clearTimeoutKind = false;
    bool stopReplyTimer = false;
};
TickPlan PlanTick(int pendingCode);

// Reply timeout.
struct TimeoutPlan {
    bool setLabel68 = false;
    std::string label68;  // caption to give Label68 when setLabel68
    std::string message;  // "" for none
};
TimeoutPlan PlanTimeout(int timeoutKind);

}  // namespace ortiva
