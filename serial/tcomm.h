// TComm: the serial component through which the program reaches the module.
//
// It holds the settings of one serial line, opens the device with them and,
// while the line is open, runs a receive thread and a transmit thread. What
// the threads report waits as notices until the owner's thread calls
// DeliverNotices(), which raises their events there, one at a time and in the
// order the threads posted them. The owner learns that notices wait from the
// component's CommNotifier (an event loop's wake-up), or waits for them with
// WaitForNotices().
//
// The destructor closes an open line first, so the threads never outlive the
// component; notices still waiting are dropped with the component and their
// bytes released.
#pragma once

#include "comm_line.h"
#include "comm_notices.h"
#include "comm_notifier.h"
#include "comm_types.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace ortiva {
// The device a port name opens. On POSIX "COMn" (n >= 1, any letter case)
// names /dev/ttyS(n-1) and every other name is a path used as it stands; on
// Windows every name is used as it stands.
std::string DevicePathFor(const std::string& commName);
}  // namespace ortiva

class TComm : public TObject {
public:
    // The owner waits with WaitForNotices().
    TComm();
    // The notifier is woken from a worker thread whenever notices start to
    // wait; it must outlive the component.
    explicit TComm(ortiva::CommNotifier* notifier);
    ~TComm() override;
    TComm(const TComm&) = delete;
    TComm& operator=(const TComm&) = delete;

    // Throws ECommsError; a failed opening leaves the component closed with
    // nothing held.
    void OpenPort();
    // Stops both threads and closes the line; nothing when closed.
    void ClosePort();
    // Queues a copy of the bytes for the transmit thread. False when the line
    // is closed, the count is 0, the transmit thread has ended or its queue is
    // full. True means queued, not yet written.
    bool SendData(const void* Buffer, uint16_t BufferLength);
    bool IsOpen() const { return FLine != nullptr; }

    // Raises, on the calling thread, the events of every notice waiting,
    // oldest first. A handler may call it again (a nested event loop): the
    // inner call goes on with the notices after the one being handled.
    void DeliverNotices();
    // True at once when a notice waits; otherwise blocks until one is posted
    // or the time is up.
    bool WaitForNotices(std::chrono::milliseconds timeout);

    // Used at the next opening.
    const std::string& CommName() const { return FCommName; }
    void SetCommName(const std::string& value) { FCommName = value; }

    // Each of these re-applies the line settings when the value changes while
    // the line is open.
    uint32_t BaudRate() const { return FState.BaudRate; }
    void SetBaudRate(uint32_t value) { SetState(FState.BaudRate, value); }
    bool ParityCheck() const { return FState.ParityCheck; }
    void SetParityCheck(bool value) { SetState(FState.ParityCheck, value); }
    bool Outx_CtsFlow() const { return FState.Outx_CtsFlow; }
    void SetOutx_CtsFlow(bool value) { SetState(FState.Outx_CtsFlow, value); }
    bool Outx_DsrFlow() const { return FState.Outx_DsrFlow; }
    void SetOutx_DsrFlow(bool value) { SetState(FState.Outx_DsrFlow, value); }
    TDtrControl DtrControl() const { return FState.DtrControl; }
    void SetDtrControl(TDtrControl value) { SetState(FState.DtrControl, value); }
    bool DsrSensitivity() const { return FState.DsrSensitivity; }
    void SetDsrSensitivity(bool value) { SetState(FState.DsrSensitivity, value); }
    bool TxContinueOnXoff() const { return FState.TxContinueOnXoff; }
    void SetTxContinueOnXoff(bool value) { SetState(FState.TxContinueOnXoff, value); }
    bool Outx_XonXoffFlow() const { return FState.Outx_XonXoffFlow; }
    void SetOutx_XonXoffFlow(bool value) { SetState(FState.Outx_XonXoffFlow, value); }
    bool Inx_XonXoffFlow() const { return FState.Inx_XonXoffFlow; }
    void SetInx_XonXoffFlow(bool value) { SetState(FState.Inx_XonXoffFlow, value); }
    bool ReplaceWhenParityError() const { return FState.ReplaceWhenParityError; }
    void SetReplaceWhenParityError(bool value) { SetState(FState.ReplaceWhenParityError, value); }
    bool IgnoreNullChar() const { return FState.IgnoreNullChar; }
    void SetIgnoreNullChar(bool value) { SetState(FState.IgnoreNullChar, value); }
    TRtsControl RtsControl() const { return FState.RtsControl; }
    void SetRtsControl(TRtsControl value) { SetState(FState.RtsControl, value); }
    uint16_t XonLimit() const { return FState.XonLimit; }
    void SetXonLimit(uint16_t value) { SetState(FState.XonLimit, value); }
    uint16_t XoffLimit() const { return FState.XoffLimit; }
    void SetXoffLimit(uint16_t value) { SetState(FState.XoffLimit, value); }
    TByteSize ByteSize() const { return FState.ByteSize; }
    void SetByteSize(TByteSize value) { SetState(FState.ByteSize, value); }
    // Stored only: goes out with the next application of the line settings.
    TParity Parity() const { return FState.Parity; }
    void SetParity(TParity value) { FState.Parity = value; }
    TStopBits StopBits() const { return FState.StopBits; }
    void SetStopBits(TStopBits value) { SetState(FState.StopBits, value); }
    char XonChar() const { return FState.XonChar; }
    void SetXonChar(char value) { SetState(FState.XonChar, value); }
    char XoffChar() const { return FState.XoffChar; }
    void SetXoffChar(char value) { SetState(FState.XoffChar, value); }
    char ReplacedChar() const { return FState.ReplacedChar; }
    void SetReplacedChar(char value) { SetState(FState.ReplacedChar, value); }

    // Each of these re-applies the timeouts when the value changes while the
    // line is open.
    uint32_t ReadIntervalTimeout() const { return FReadIntervalTimeout; }
    void SetReadIntervalTimeout(uint32_t value) { SetTimeout(FReadIntervalTimeout, value); }
    uint32_t ReadTotalTimeoutMultiplier() const { return FReadTotalTimeoutMultiplier; }
    void SetReadTotalTimeoutMultiplier(uint32_t value) { SetTimeout(FReadTotalTimeoutMultiplier, value); }
    uint32_t ReadTotalTimeoutConstant() const { return FReadTotalTimeoutConstant; }
    void SetReadTotalTimeoutConstant(uint32_t value) { SetTimeout(FReadTotalTimeoutConstant, value); }
    uint32_t WriteTotalTimeoutMultiplier() const { return FWriteTotalTimeoutMultiplier; }
    void SetWriteTotalTimeoutMultiplier(uint32_t value) { SetTimeout(FWriteTotalTimeoutMultiplier, value); }
    uint32_t WriteTotalTimeoutConstant() const { return FWriteTotalTimeoutConstant; }
    void SetWriteTotalTimeoutConstant(uint32_t value) { SetTimeout(FWriteTotalTimeoutConstant, value); }

    const TReceiveDataEvent& OnReceiveData() const { return FOnReceiveData; }
    void SetOnReceiveData(TReceiveDataEvent value) { FOnReceiveData = std::move(value); }
    const TNotifyEvent& OnRequestHangup() const { return FOnRequestHangup; }
    void SetOnRequestHangup(TNotifyEvent value) { FOnRequestHangup = std::move(value); }
    const TReceiveErrorEvent& OnReceiveError() const { return FOnReceiveError; }
    void SetOnReceiveError(TReceiveErrorEvent value) { FOnReceiveError = std::move(value); }
    const TModemStateChangeEvent& OnModemStateChange() const { return FOnModemStateChange; }
    void SetOnModemStateChange(TModemStateChangeEvent value) { FOnModemStateChange = std::move(value); }
    const TSendDataEmptyEvent& OnSendDataEmpty() const { return FOnSendDataEmpty; }
    void SetOnSendDataEmpty(TSendDataEmptyEvent value) { FOnSendDataEmpty = std::move(value); }

private:
    template <typename T>
    void SetState(T& field, T value)
    {
        if (field == value) {
            return;
        }
        field = value;
        if (IsOpen()) {
            ApplyCommState();
        }
    }
    void SetTimeout(uint32_t& field, uint32_t value);
    void ApplyCommState();
    void ApplyCommTimeouts();
    void StopReadThread();
    void StopWriteThread();
    // Raises the event a notice stands for (on the owner's thread).
    void RaiseNotice(const ortiva::CommNotice& notice);

    // Where the worker threads' notices wait for the owner.
    ortiva::CommNoticeQueue FNotices;
    // The open line; none when the port is closed.
    std::unique_ptr<ortiva::CommLine> FLine;

    std::string FCommName = "COM2";
    ortiva::LineSettings FState;
    uint32_t FReadIntervalTimeout = 100;
    uint32_t FReadTotalTimeoutMultiplier = 0;
    uint32_t FReadTotalTimeoutConstant = 0;
    uint32_t FWriteTotalTimeoutMultiplier = 0;
    uint32_t FWriteTotalTimeoutConstant = 0;

    TReceiveDataEvent FOnReceiveData;
    TNotifyEvent FOnRequestHangup;
    TReceiveErrorEvent FOnReceiveError;
    TModemStateChangeEvent FOnModemStateChange;
    TSendDataEmptyEvent FOnSendDataEmpty;
};
