// Types shared by the serial component and its worker threads: the line
// setting enumerations, the event signatures and the component's exception.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

// The base of the component's classes; the events name their sender by it.
class TObject {
public:
    virtual ~TObject() = default;
};

enum class TDtrControl { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl { RtsEnable, RtsDisable, RtsHandshake, RtsTransmissionAvailable };
enum class TByteSize { _5, _6, _7, _8 };
enum class TParity { None, Odd, Even, Mark, Space };
enum class TStopBits { _1, _1_5, _2 };

// Raised by TComm::OpenPort with one of its fixed texts. Where a system call
// failed, it also carries that call's error (errno on POSIX, GetLastError()
// on Windows), so that the reason can be told beside the text; the text
// itself is always the fixed one.
class ECommsError : public std::runtime_error {
public:
    // Raised also when the process has run out of descriptors. The sanitizer's
    // dynamic type check probes memory through a pipe, which it cannot make
    // then, and would take the new object for a broken one; it is left out
    // here, where the object is being built and its type is certain.
    __attribute__((no_sanitize("vptr"))) ECommsError(const std::string& text, int systemError = 0)
        : std::runtime_error(text), FSystemError(systemError)
    {
    }
    // The system error of the failed step; 0 when no system call failed.
    int SystemError() const { return FSystemError; }

private:
    int FSystemError = 0;
};

using TReceiveDataEvent = std::function<void(TObject* Sender, const void* Buffer, uint16_t BufferLength)>;
using TReceiveErrorEvent = std::function<void(TObject* Sender, uint32_t EventMask)>;
using TModemStateChangeEvent = std::function<void(TObject* Sender, uint32_t ModemEvent)>;
using TNotifyEvent = std::function<void(TObject* Sender)>;
using TSendDataEmptyEvent = std::function<void(TObject* Sender)>;

// Line error flags carried by OnReceiveError (the conventional values of a
// serial driver's accumulated error word).
inline constexpr uint32_t CE_RXOVER = 0x0001;    // input queue overflow
inline constexpr uint32_t CE_OVERRUN = 0x0002;   // character lost in the receiver
inline constexpr uint32_t CE_RXPARITY = 0x0004;  // parity error
inline constexpr uint32_t CE_FRAME = 0x0008;     // framing error
inline constexpr uint32_t CE_BREAK = 0x0010;     // break condition

// Modem event bits carried by OnModemStateChange.
inline constexpr uint32_t ModemCarrierChanged = 8;
inline constexpr uint32_t ModemRing = 4;

// The notices the worker threads post to the component's owner, numbered
// 1025..1029.
enum TCommNotice : int {
    NoticeReceiveData = 1025,
    NoticeReceiveError = 1026,
    NoticeRequestHangup = 1027,
    NoticeModemStateChange = 1028,
    NoticeSendDataEmpty = 1029,
};
