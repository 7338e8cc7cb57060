#include "tcomm.h"

using namespace ortiva;

TComm::TComm() : FNotices(nullptr) {}

TComm::TComm(CommNotifier* notifier) : FNotices(notifier) {}

TComm::~TComm() { ClosePort(); }

void TComm::OpenPort()
{
    if (IsOpen()) {
        throw ECommsError("This serial port already opened");
    }
    std::unique_ptr<CommLine> line = MakeCommLine();
    int error = 0;
    switch (line->OpenDevice(FCommName, error)) {
    case LineOpenStatus::Opened: break;
    case LineOpenStatus::CannotOpen: throw ECommsError("Error opening serial port", error);
    case LineOpenStatus::NotACommDevice: throw ECommsError("File handle is not a comm handle ", error);
    }
    if (!line->SetupQueues(kQueueSize, kQueueSize, error)) {
        line->CloseDevice();
        throw ECommsError("Cannot setup comm buffer", error);
    }
    FLine = std::move(line);
    FLine->Purge(kPurgeAll);
    ApplyCommTimeouts();
    ApplyCommState();

    const auto closeDevice = [this] {
        FLine->CloseDevice();
        FLine.reset();
    };
    if (!FLine->CreateCloseEvent(error)) {
        closeDevice();
        throw ECommsError("Unable to create event", error);
    }
    if (!FLine->CreateReadThread(FNotices, error)) {
        FLine->CloseCloseEvent();
        closeDevice();
        throw ECommsError("Unable to create read thread", error);
    }
    if (!FLine->CreateWriteThread(FNotices, error)) {
        StopReadThread();
        FLine->CloseCloseEvent();
        closeDevice();
        throw ECommsError("Unable to create write thread", error);
    }
    FLine->StartThreads();
}

void TComm::ClosePort()
{
    if (!IsOpen()) {
        return;
    }
    StopReadThread();
    StopWriteThread();
    FLine->CloseCloseEvent();
    FLine->CloseDevice();
    FLine.reset();
}

void TComm::StopReadThread()
{
    FLine->SignalClose();
    FLine->Purge(kPurgeInput);
    FLine->EndReadThread();
}

void TComm::StopWriteThread()
{
    FLine->SignalClose();
    FLine->Purge(kPurgeOutput);
    FLine->EndWriteThread();
}

bool TComm::SendData(const void* Buffer, uint16_t BufferLength)
{
    if (!IsOpen() || BufferLength == 0 || Buffer == nullptr) {
        return false;
    }
    return FLine->QueueWrite(Buffer, BufferLength);
}

void TComm::SetTimeout(uint32_t& field, uint32_t value)
{
    if (field == value) {
        return;
    }
    field = value;
    if (IsOpen()) {
        ApplyCommTimeouts();
    }
}

void TComm::ApplyCommState() { FLine->ApplyState(FState); }

void TComm::ApplyCommTimeouts()
{
    FLine->ApplyTimeouts({FReadIntervalTimeout, FReadTotalTimeoutMultiplier, FReadTotalTimeoutConstant,
                          FWriteTotalTimeoutMultiplier, FWriteTotalTimeoutConstant});
}

void TComm::DeliverNotices()
{
    // Each notice is unlinked before its handler runs, so that a nested call
    // goes on with the next one; it goes back to the queue afterwards, also
    // when the handler throws.
    struct Handed {
        CommNoticeQueue& queue;
        CommNotice* notice;
        ~Handed() { queue.Release(notice); }
    };
    FNotices.Gather();
    while (CommNotice* notice = FNotices.Next()) {
        const Handed handed{FNotices, notice};
        RaiseNotice(*notice);
    }
}

bool TComm::WaitForNotices(std::chrono::milliseconds timeout) { return FNotices.WaitForNotices(timeout); }

void TComm::RaiseNotice(const CommNotice& notice)
{
    // Each handler is called through a copy, so that it may replace itself.
    switch (notice.Type()) {
    case NoticeReceiveData:
        if (FOnReceiveData) {
            const TReceiveDataEvent handler = FOnReceiveData;
            handler(this, notice.Bytes(), notice.Count());
        }
        break;
    case NoticeReceiveError:
        if (FOnReceiveError) {
            const TReceiveErrorEvent handler = FOnReceiveError;
            handler(this, notice.Param());
        }
        break;
    case NoticeRequestHangup:
        if (FOnRequestHangup) {
            const TNotifyEvent handler = FOnRequestHangup;
            handler(this);
        }
        break;
    case NoticeModemStateChange:
        if (FOnModemStateChange) {
            const TModemStateChangeEvent handler = FOnModemStateChange;
            handler(this, notice.Param());
        }
        break;
    case NoticeSendDataEmpty:
        if (FOnSendDataEmpty) {
            const TSendDataEmptyEvent handler = FOnSendDataEmpty;
            handler(this);
        }
        break;
    }
}
