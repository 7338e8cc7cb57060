// The platform seam of the serial component: one open line with its close
// event and its two worker threads, as each platform provides them.
//
// TComm drives the opening and closing sequences step by step through this
// interface and undoes what the earlier steps made when one fails; a platform
// provides the steps (posix_comm.cpp, win32_comm.cpp). All of it is called on
// the owner's thread; the worker threads post their notices to the queue they
// are given at creation.
#pragma once

#include "comm_notices.h"
#include "comm_types.h"

#include <cstdint>
#include <memory>
#include <string>

namespace ortiva {

// The control block: every line setting the component publishes.
struct LineSettings {
    uint32_t BaudRate = 9600;
    bool ParityCheck = false;
    bool Outx_CtsFlow = false;
    bool Outx_DsrFlow = false;
    TDtrControl DtrControl = TDtrControl::DtrEnable;
    bool DsrSensitivity = false;
    bool TxContinueOnXoff = true;
    bool Outx_XonXoffFlow = true;
    bool Inx_XonXoffFlow = true;
    bool ReplaceWhenParityError = false;
    bool IgnoreNullChar = false;
    TRtsControl RtsControl = TRtsControl::RtsEnable;
    uint16_t XonLimit = 500;
    uint16_t XoffLimit = 500;
    TByteSize ByteSize = TByteSize::_8;
    TParity Parity = TParity::None;
    TStopBits StopBits = TStopBits::_1;
    char XonChar = 17;
    char XoffChar = 19;
    char ReplacedChar = 0;
};

// The five timeouts, in milliseconds.
struct CommTimeouts {
    uint32_t ReadInterval = 100;
    uint32_t ReadTotalMultiplier = 0;
    uint32_t ReadTotalConstant = 0;
    uint32_t WriteTotalMultiplier = 0;
    uint32_t WriteTotalConstant = 0;
};

// What to discard: the values of the system's purge flags.
inline constexpr uint32_t kPurgeTxAbort = 0x0001;
inline constexpr uint32_t kPurgeRxAbort = 0x0002;
inline constexpr uint32_t kPurgeTxClear = 0x0004;
inline constexpr uint32_t kPurgeRxClear = 0x0008;
inline constexpr uint32_t kPurgeAll = kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear;  // 15
inline constexpr uint32_t kPurgeInput = kPurgeRxAbort | kPurgeRxClear;                                // 10
inline constexpr uint32_t kPurgeOutput = kPurgeTxAbort | kPurgeTxClear;                               // 5

// The device's queue sizes, each way.
inline constexpr uint32_t kQueueSize = 4096;

enum class LineOpenStatus { Opened, CannotOpen, NotACommDevice };

class CommLine {
public:
    virtual ~CommLine() = default;

    // Opens the named device for this process alone, for asynchronous use,
    // and checks that it is a communications device (closing it again when it
    // is not). `error` gets the system error of a failure.
    virtual LineOpenStatus OpenDevice(const std::string& name, int& error) = 0;
    // Sets the device's queue sizes. False, with the system error, on failure.
    virtual bool SetupQueues(uint32_t inputSize, uint32_t outputSize, int& error) = 0;
    virtual void Purge(uint32_t flags) = 0;
    // Neither result is checked: the device keeps what it accepts.
    virtual void ApplyState(const LineSettings& settings) = 0;
    virtual void ApplyTimeouts(const CommTimeouts& timeouts) = 0;

    // The manual-reset close event, not signalled.
    virtual bool CreateCloseEvent(int& error) = 0;
    // Each thread is created suspended, with its priority set: the receive
    // thread highest, the transmit thread one step below. The transmit
    // thread's queue accepts requests from its creation on.
    virtual bool CreateReadThread(CommNoticeQueue& notices, int& error) = 0;
    virtual bool CreateWriteThread(CommNoticeQueue& notices, int& error) = 0;
    // Starts the receive thread, then the transmit thread.
    virtual void StartThreads() = 0;
    // Signals the close event; it stays signalled.
    virtual void SignalClose() = 0;
    // Waits for the thread to end (a thread never started is started to see
    // the close event) and releases it; nothing when there is none. The
    // transmit thread's queue goes with it, and the requests still in it.
    virtual void EndReadThread() = 0;
    virtual void EndWriteThread() = 0;
    virtual void CloseCloseEvent() = 0;
    virtual void CloseDevice() = 0;

    // Queues a copy of the bytes (one byte longer, ending in zero) for the
    // transmit thread. False when there is no transmit thread, it has ended,
    // or the copy cannot be made or queued.
    virtual bool QueueWrite(const void* bytes, uint16_t count) = 0;
};

// The line of the platform this program is built for.
std::unique_ptr<CommLine> MakeCommLine();

}  // namespace ortiva
