// TComm: the serial component through which the program reaches the module.
//
// It holds the settings of one serial line, opens the device with them and,
// while the line is open, runs a receive thread and a transmit thread. What
// the threads report arrives as events raised on the thread that created the
// component (the user-interface thread), one at a time and in the order the
// threads posted them.
//
// The destructor closes an open line first, so the threads never outlive the
// component; notices still waiting for the user-interface thread are dropped
// with the component and their bytes released.
#pragma once

#include "comm_threads.h"
#include "comm_types.h"
#include "posix_line.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>

class TComm : public QObject {
public:
    explicit TComm(QObject* owner = nullptr);
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
    bool IsOpen() const { return FPortHandle >= 0; }

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
    friend class TCommNotifyWindow;

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
    void CloseWriteQueue();
    // Raises the event a notice stands for (on the user-interface thread).
    void RaiseNotice(const ortiva::CommNotice& notice);

    std::unique_ptr<TReadThread> FReadThread;
    std::unique_ptr<TWriteThread> FWriteThread;
    int FPortHandle = -1;
    int FCloseEvent = -1;
    ortiva::CommNoticeReceiver* FNotifyWindow = nullptr;
    // The transmit queue: a pipe carrying WriteRequest records.
    int FQueueRead = -1;
    int FQueueWrite = -1;
    bool FRs485Active = false;

    std::string FCommName = "COM2";
    ortiva::LineSettings FState;
    uint32_t FReadIntervalTimeout = 100;
    uint32_t FReadTotalTimeoutMultiplier = 0;
    uint32_t FReadTotalTimeoutConstant = 0;
    uint32_t FWriteTotalTimeoutMultiplier = 0;
    uint32_t FWriteTotalTimeoutConstant = 0;
    ortiva::ReadTimeouts FDeviceTimeouts;

    TReceiveDataEvent FOnReceiveData;
    TNotifyEvent FOnRequestHangup;
    TReceiveErrorEvent FOnReceiveError;
    TModemStateChangeEvent FOnModemStateChange;
    TSendDataEmptyEvent FOnSendDataEmpty;
};
