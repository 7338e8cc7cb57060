#include "tcomm.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

using namespace ortiva;

// The hidden receiver of the worker threads' notices. It belongs to the thread
// that created the component, delivers the notices to itself in the order
// they were posted and releases those still pending when it is destroyed.
class TCommNotifyWindow final : public CommNoticeReceiver {
public:
    explicit TCommNotifyWindow(TComm* comm) : CommNoticeReceiver(comm), FComm(comm) {}

    bool event(QEvent* e) override
    {
        const int type = e->type();
        if (type >= NoticeReceiveData && type <= NoticeSendDataEmpty) {
            if (const auto* notice = dynamic_cast<const CommNotice*>(e)) {
                FComm->RaiseNotice(*notice);
            }
            return true;
        }
        return CommNoticeReceiver::event(e);
    }

private:
    TComm* const FComm;
};

TComm::TComm(QObject* owner) : QObject(owner)
{
    FNotifyWindow = new TCommNotifyWindow(this);
}

TComm::~TComm()
{
    ClosePort();
    delete FNotifyWindow;
}

void TComm::OpenPort()
{
    if (IsOpen()) {
        throw ECommsError("This serial port already opened");
    }
    const DeviceOpenResult opened = OpenDevice(DevicePathFor(FCommName));
    if (opened.Status == DeviceOpenStatus::CannotOpen) {
        throw ECommsError("Error opening serial port", opened.Error);
    }
    if (opened.Status == DeviceOpenStatus::NotATerminal) {
        throw ECommsError("File handle is not a comm handle ", opened.Error);
    }
    // Queue sizes: Linux has no call for them. The terminal layer buffers
    // 4096 received bytes per line and the driver its own transmit ring, which
    // is what the line needs; the step cannot fail here.
    FPortHandle = opened.Fd;
    FRs485Active = false;
    DiscardInput(FPortHandle);
    DiscardOutput(FPortHandle);
    ApplyCommTimeouts();
    ApplyCommState();

    const auto closeDevice = [this] {
        ReleaseDevice(FPortHandle, FRs485Active);
        FPortHandle = -1;
        FRs485Active = false;
    };

    FCloseEvent = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FCloseEvent < 0) {
        const int error = errno;
        closeDevice();
        throw ECommsError("Unable to create event", error);
    }
    const auto closeEvent = [this] {
        ::close(FCloseEvent);
        FCloseEvent = -1;
    };

    int threadError = 0;
    try {
        auto reader = std::make_unique<TReadThread>(FPortHandle, FCloseEvent, FNotifyWindow, &FDeviceTimeouts);
        reader->Create();
        FReadThread = std::move(reader);
    } catch (const std::exception& e) {
        const auto* system = dynamic_cast<const std::system_error*>(&e);
        threadError = system ? system->code().value() : ENOMEM;
    }
    if (!FReadThread) {
        closeEvent();
        closeDevice();
        throw ECommsError("Unable to create read thread", threadError);
    }

    // The transmit thread's queue belongs with the thread: if it cannot be
    // made, the thread cannot be either.
    int queue[2];
    if (::pipe2(queue, O_CLOEXEC | O_NONBLOCK) == 0) {
        FQueueRead = queue[0];
        FQueueWrite = queue[1];
        try {
            auto writer = std::make_unique<TWriteThread>(FPortHandle, FCloseEvent, FNotifyWindow, FQueueRead);
            writer->Create();
            FWriteThread = std::move(writer);
        } catch (const std::exception& e) {
            const auto* system = dynamic_cast<const std::system_error*>(&e);
            threadError = system ? system->code().value() : ENOMEM;
        }
    } else {
        threadError = errno;
    }
    if (!FWriteThread) {
        StopReadThread();
        CloseWriteQueue();
        closeEvent();
        closeDevice();
        throw ECommsError("Unable to create write thread", threadError);
    }

    FReadThread->Resume();
    FWriteThread->Resume();
}

void TComm::ClosePort()
{
    if (!IsOpen()) {
        return;
    }
    StopReadThread();
    StopWriteThread();
    CloseWriteQueue();
    ::close(FCloseEvent);
    FCloseEvent = -1;
    ReleaseDevice(FPortHandle, FRs485Active);
    FPortHandle = -1;
    FRs485Active = false;
}

void TComm::StopReadThread()
{
    if (!FReadThread) {
        return;
    }
    FReadThread->Terminate();
    DiscardInput(FPortHandle);
    FReadThread->WaitFor();
    FReadThread.reset();
}

void TComm::StopWriteThread()
{
    if (!FWriteThread) {
        return;
    }
    FWriteThread->Terminate();
    DiscardOutput(FPortHandle);
    FWriteThread->WaitFor();
    FWriteThread.reset();
}

// Releases every request still queued and closes the queue.
void TComm::CloseWriteQueue()
{
    if (FQueueRead >= 0) {
        WriteRequest request{};
        for (;;) {
            const ssize_t got = ::read(FQueueRead, &request, sizeof request);
            if (got == static_cast<ssize_t>(sizeof request)) {
                delete[] request.Bytes;
            } else if (!(got < 0 && errno == EINTR)) {
                break;
            }
        }
        ::close(FQueueRead);
        FQueueRead = -1;
    }
    if (FQueueWrite >= 0) {
        ::close(FQueueWrite);
        FQueueWrite = -1;
    }
}

bool TComm::SendData(const void* Buffer, uint16_t BufferLength)
{
    if (!FWriteThread || FWriteThread->Finished() || BufferLength == 0 || Buffer == nullptr) {
        return false;
    }
    auto* copy = new (std::nothrow) uint8_t[BufferLength + 1u];
    if (copy == nullptr) {
        return false;
    }
    std::memcpy(copy, Buffer, BufferLength);
    copy[BufferLength] = 0;
    // One record is far below the pipe's atomic write size, so a record is
    // either queued whole or not at all (queue full).
    const WriteRequest request{copy, BufferLength};
    if (::write(FQueueWrite, &request, sizeof request) != static_cast<ssize_t>(sizeof request)) {
        delete[] copy;
        return false;
    }
    return true;
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

void TComm::ApplyCommState()
{
    ApplyLineSettings(FPortHandle, FState, FRs485Active);
}

// The receive thread takes the read timeouts from here for every chunk.
// Write timeouts have nothing to act on: a write is carried on with the rest
// until every byte is out, whatever a time limit would cut it into.
void TComm::ApplyCommTimeouts()
{
    FDeviceTimeouts.Interval.store(FReadIntervalTimeout, std::memory_order_relaxed);
    FDeviceTimeouts.TotalMultiplier.store(FReadTotalTimeoutMultiplier, std::memory_order_relaxed);
    FDeviceTimeouts.TotalConstant.store(FReadTotalTimeoutConstant, std::memory_order_relaxed);
}

void TComm::RaiseNotice(const CommNotice& notice)
{
    // Each handler is called through a copy, so that it may replace itself.
    switch (static_cast<int>(notice.type())) {
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
    default:
        break;
    }
}
