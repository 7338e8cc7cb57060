// The serial line on Windows: the device opened for overlapped I/O, the
// manual-reset close event, and the two worker threads, which wait on the
// device's overlapped records and the close event.
//
// What some drivers do that the threads have to live with (seen with Wine's
// driver on a pseudo-terminal, which serves a COM port there):
// - a device that cannot read its modem lines refuses a line-event wait that
//   asks for carrier or ring changes (ERROR_NOT_SUPPORTED); the receive
//   thread then watches what the device can report (see ArmLineWait);
// - the line-event wait may end every few milliseconds with nothing in its
//   mask, as "aborted" (ERROR_OPERATION_ABORTED) or as a success: the driver
//   polls the line and ends the wait when it finds nothing to report;
// - PurgeComm does not abort a pending read or write; a thread cancels its
//   own pending I/O (CancelIo) before it releases the records and buffers;
// - when the other end of the line goes away, the pending read completes
//   with ERROR_BROKEN_PIPE and WriteFile fails with ERROR_NOT_READY: both
//   are failures that end their thread with one NoticeRequestHangup;
// - an operation's event may be found signalled while the operation is still
//   pending (see Fetch).
#include "comm_line.h"
#include "tcomm.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <new>

namespace ortiva {

std::string DevicePathFor(const std::string& commName) { return commName; }

}  // namespace ortiva

using namespace ortiva;

namespace {

constexpr DWORD kReadSize = kReadChunkSize;                   // 2048
constexpr DWORD kWatchedEvents = EV_ERR | EV_RLSD | EV_RING;  // 0x1A0
constexpr DWORD kStopWaitMs = 10000;

// An empty line-event wait that ends sooner than this after it was armed is
// armed again only this long after it was armed: a driver that ends its
// waits empty again and again (Wine's, on a line whose modem status it cannot
// read, about every 12 ms, each wait costing it a poll of the line) wakes the
// receive thread at most ten times a second. Reads stay pending meanwhile,
// and a line event that comes in the gap is reported by the next wait.
constexpr ULONGLONG kEmptyWaitSpacingMs = 100;

// Common part of both worker threads: created suspended with a priority,
// started by Resume().
class TCommThread {
public:
    TCommThread(const TCommThread&) = delete;
    TCommThread& operator=(const TCommThread&) = delete;
    virtual ~TCommThread()
    {
        if (FHandle != nullptr) {
            ::CloseHandle(FHandle);
        }
    }

    bool Create(int priority, int& error)
    {
        FHandle = ::CreateThread(nullptr, 0, &TCommThread::Entry, this, CREATE_SUSPENDED, nullptr);
        if (FHandle == nullptr) {
            error = static_cast<int>(::GetLastError());
            return false;
        }
        ::SetThreadPriority(FHandle, priority);
        return true;
    }

    void Resume()
    {
        if (!FStarted) {
            FStarted = true;
            ::ResumeThread(FHandle);
        }
    }

    // Waits up to 10 s for the thread to end, then sets its terminate request
    // (which the threads do not look at: they end through the close event)
    // and waits for good.
    void WaitFor()
    {
        Resume();
        if (::WaitForSingleObject(FHandle, kStopWaitMs) != WAIT_OBJECT_0) {
            FTerminated.store(true, std::memory_order_release);
        }
        ::WaitForSingleObject(FHandle, INFINITE);
    }

    bool Finished() const { return FFinished.load(std::memory_order_acquire); }

protected:
    TCommThread(HANDLE device, HANDLE closeEvent, CommNoticeQueue* notices)
        : FDevice(device), FCloseEvent(closeEvent), FNotices(notices)
    {
    }
    virtual void Execute() = 0;
    bool CloseSignalled() const { return ::WaitForSingleObject(FCloseEvent, 0) == WAIT_OBJECT_0; }
    void PostHangup() const { FNotices->Post(NoticeRequestHangup); }
    // The result of an operation whose event was found signalled, not
    // waiting. The event can be signalled while the operation is still
    // pending (seen now and then with Wine's driver on a line-event wait:
    // the event set, the result ERROR_IO_INCOMPLETE): then the
    // event is reset and the result asked for once more, so that a
    // completion in between is not lost; ERROR_IO_INCOMPLETE then means the
    // operation is still pending and its event will be signalled again.
    bool Fetch(OVERLAPPED& record, DWORD& count) const
    {
        if (::GetOverlappedResult(FDevice, &record, &count, FALSE)) {
            return true;
        }
        if (::GetLastError() != ERROR_IO_INCOMPLETE) {
            return false;
        }
        ::ResetEvent(record.hEvent);
        return ::GetOverlappedResult(FDevice, &record, &count, FALSE) != FALSE;
    }
    // Cancels this thread's I/O still pending on the record and waits until
    // the device has let go of it. Wine's driver now and then lets a cancel
    // pass by an operation, which then stays pending: the cancel is repeated
    // for a while; if the device still holds the operation after that, the
    // thread keeps its record and buffer for good (Unsettled()) rather than
    // hang the closing or give memory back that the device may still write.
    bool Settle(OVERLAPPED& record, bool pending)
    {
        if (!pending) {
            return true;
        }
        for (int attempt = 0; attempt < kSettleAttempts; ++attempt) {
            ::CancelIo(FDevice);
            if (::WaitForSingleObject(record.hEvent, kSettleWaitMs) == WAIT_OBJECT_0) {
                DWORD ignored = 0;
                if (::GetOverlappedResult(FDevice, &record, &ignored, FALSE) ||
                    ::GetLastError() != ERROR_IO_INCOMPLETE) {
                    return true;
                }
                ::ResetEvent(record.hEvent);
            }
        }
        FUnsettled = true;
        return false;
    }

public:
    // The device still held an operation of this thread when it ended: the
    // thread object, with the operation's record and buffer, is not to be
    // released.
    bool Unsettled() const { return FUnsettled; }

protected:
    const HANDLE FDevice;
    const HANDLE FCloseEvent;
    CommNoticeQueue* const FNotices;

private:
    static DWORD WINAPI Entry(void* self)
    {
        auto* thread = static_cast<TCommThread*>(self);
        thread->Execute();
        thread->FFinished.store(true, std::memory_order_release);
        return 0;
    }

    static constexpr int kSettleAttempts = 40;
    static constexpr DWORD kSettleWaitMs = 50;

    HANDLE FHandle = nullptr;
    bool FStarted = false;
    bool FUnsettled = false;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
};

// ---------------------------------------------------------------- receive

class TReadThread final : public TCommThread {
public:
    TReadThread(HANDLE device, HANDLE closeEvent, CommNoticeQueue* notices) : TCommThread(device, closeEvent, notices)
    {
    }

protected:
    void Execute() override;

private:
    // Each arms its operation again until it is pending; false when the
    // thread has to end (a notice, if one is owed, has been posted).
    bool ArmLineWait();
    bool ArmRead();
    // The mask of a completed line-event wait; false when the thread has to end.
    bool HandleLineEvents(DWORD mask);
    bool HandOver(DWORD count);

    OVERLAPPED FLineRecord{};
    OVERLAPPED FReadRecord{};
    DWORD FMask = 0;
    DWORD FWatched = kWatchedEvents;
    // The line-event wait: pending, or to be armed at FLineWaitDue, or given
    // up because the device can report nothing it is asked for.
    bool FLinePending = false;
    bool FLineWaitOff = false;
    ULONGLONG FLineArmedAt = 0;
    ULONGLONG FLineWaitDue = 0;
    bool FReadPending = false;
    uint8_t FBuffer[kReadSize];
};

void TReadThread::Execute()
{
    FLineRecord.hEvent = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
    FReadRecord.hEvent = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (FLineRecord.hEvent == nullptr || FReadRecord.hEvent == nullptr) {
        PostHangup();
    } else if (!::SetCommMask(FDevice, FWatched)) {
        PostHangup();
    } else if (ArmLineWait() && ArmRead()) {
        for (;;) {
            // The close event first, then the line event, then the read: the
            // earliest one signalled wins.
            HANDLE waits[3] = {FCloseEvent, nullptr, nullptr};
            DWORD count = 1;
            const bool lineInList = FLinePending;
            if (lineInList) {
                waits[count++] = FLineRecord.hEvent;
            }
            waits[count++] = FReadRecord.hEvent;
            DWORD timeout = INFINITE;
            if (!FLinePending && !FLineWaitOff) {
                const ULONGLONG now = ::GetTickCount64();
                timeout = FLineWaitDue > now ? static_cast<DWORD>(FLineWaitDue - now) : 0;
            }
            const DWORD woken = ::WaitForMultipleObjects(count, waits, FALSE, timeout);
            if (woken == WAIT_OBJECT_0) {
                break;
            }
            if (woken == WAIT_TIMEOUT && timeout != INFINITE) {
                if (!ArmLineWait()) {
                    break;
                }
                continue;
            }
            if (lineInList && woken == WAIT_OBJECT_0 + 1) {
                DWORD ignored = 0;
                const bool empty = FMask == 0;
                if (!Fetch(FLineRecord, ignored)) {
                    const DWORD error = ::GetLastError();
                    if (error == ERROR_IO_INCOMPLETE) {
                        continue;  // still pending
                    }
                    FLinePending = false;
                    // Aborted with nothing in the mask while the line stays
                    // open: the driver's poll found nothing (see the top of
                    // this file), not a failure of the line.
                    if (!(error == ERROR_OPERATION_ABORTED && empty)) {
                        if (error != ERROR_INVALID_HANDLE) {
                            PostHangup();
                        }
                        break;
                    }
                } else {
                    FLinePending = false;
                    if (!empty && !HandleLineEvents(FMask)) {
                        break;
                    }
                }
                if (empty && ::GetTickCount64() - FLineArmedAt < kEmptyWaitSpacingMs) {
                    FLineWaitDue = FLineArmedAt + kEmptyWaitSpacingMs;
                    continue;
                }
                if (!ArmLineWait()) {
                    break;
                }
                continue;
            }
            if (woken == WAIT_OBJECT_0 + count - 1) {
                DWORD got = 0;
                if (!Fetch(FReadRecord, got)) {
                    const DWORD error = ::GetLastError();
                    if (error == ERROR_IO_INCOMPLETE) {
                        continue;  // still pending
                    }
                    FReadPending = false;
                    if (error != ERROR_INVALID_HANDLE) {
                        PostHangup();
                    }
                    break;
                }
                FReadPending = false;
                if (!HandOver(got) || !ArmRead()) {
                    break;
                }
                continue;
            }
            PostHangup();
            break;
        }
    }
    ::PurgeComm(FDevice, PURGE_RXABORT | PURGE_RXCLEAR);
    if (Settle(FLineRecord, FLinePending) && FLineRecord.hEvent != nullptr) {
        ::CloseHandle(FLineRecord.hEvent);
    }
    if (Settle(FReadRecord, FReadPending) && FReadRecord.hEvent != nullptr) {
        ::CloseHandle(FReadRecord.hEvent);
    }
}

bool TReadThread::ArmLineWait()
{
    for (;;) {
        if (CloseSignalled()) {
            return false;
        }
        FMask = 0;
        FLineArmedAt = ::GetTickCount64();
        if (::WaitCommEvent(FDevice, &FMask, &FLineRecord)) {
            if (FMask == 0) {
                // Ended at once with nothing to report: again a little later.
                FLineWaitDue = FLineArmedAt + kEmptyWaitSpacingMs;
                return true;
            }
            if (!HandleLineEvents(FMask)) {
                return false;
            }
            continue;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_IO_PENDING) {
            FLinePending = true;
            return true;
        }
        if (error == ERROR_INVALID_HANDLE) {
            return false;
        }
        // A device that cannot read its modem lines (a pseudo-terminal)
        // refuses to watch carrier and ring: it is asked for line errors
        // alone, and when it cannot report those either, the thread goes on
        // with reads only. Neither is a failure of the line.
        if (error == ERROR_NOT_SUPPORTED && FWatched != 0) {
            FWatched = FWatched == kWatchedEvents ? EV_ERR : 0;
            if (FWatched == 0) {
                FLineWaitOff = true;
                return true;
            }
            if (!::SetCommMask(FDevice, FWatched)) {
                PostHangup();
                return false;
            }
            continue;
        }
        PostHangup();
        return false;
    }
}

// The rule for the mask: an empty mask reports nothing, and the wait is
// simply armed again (its callers see to that, spaced out when the waits end
// at once). A driver that polls the line ends its waits that way (Wine's
// does, every 12 ms or so on a pseudo-terminal), and so does a change of the
// mask; a line that went away shows in the pending read instead. A mask that
// holds only events that were not asked for is a line event with none of the
// watched events, and ends the thread with a hang-up.
bool TReadThread::HandleLineEvents(DWORD mask)
{
    if (mask == 0) {
        return true;
    }
    if (mask & EV_ERR) {
        DWORD errors = 0;
        COMSTAT status{};
        if (!::ClearCommError(FDevice, &errors, &status)) {
            if (::GetLastError() != ERROR_INVALID_HANDLE) {
                PostHangup();
            }
            return false;
        }
        if (!FNotices->Post(NoticeReceiveError, errors)) {
            PostHangup();
            return false;
        }
    }
    uint32_t modem = 0;
    if (mask & EV_RLSD) {
        modem |= ModemCarrierChanged;
    }
    if (mask & EV_RING) {
        modem |= ModemRing;
    }
    if (modem != 0 && !FNotices->Post(NoticeModemStateChange, modem)) {
        PostHangup();
        return false;
    }
    if ((mask & kWatchedEvents) == 0) {
        PostHangup();
        return false;
    }
    return true;
}

bool TReadThread::ArmRead()
{
    for (;;) {
        if (CloseSignalled()) {
            return false;
        }
        DWORD got = 0;
        if (::ReadFile(FDevice, FBuffer, kReadSize, &got, &FReadRecord)) {
            if (!HandOver(got)) {
                return false;
            }
            continue;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_IO_PENDING) {
            FReadPending = true;
            return true;
        }
        if (error != ERROR_INVALID_HANDLE) {
            PostHangup();
        }
        return false;
    }
}

// With an interval timeout and no total timeouts a read completes only once
// it holds at least one byte; an empty one means the device gave up on it.
bool TReadThread::HandOver(DWORD count)
{
    if (count == 0) {
        return false;
    }
    CommNotice* chunk = FNotices->MakeChunk(FBuffer, static_cast<uint16_t>(count));
    if (chunk == nullptr) {
        PostHangup();
        return false;
    }
    FNotices->Post(chunk);
    return true;
}

// ---------------------------------------------------------------- transmit

// A send request: the copy of the bytes follows the record in the same
// allocation, one byte longer and ending in zero.
struct WriteRequest {
    WriteRequest* Next;
    DWORD Count;
    uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(this + 1); }

    static WriteRequest* Make(const void* bytes, uint16_t count)
    {
        void* block = ::operator new(sizeof(WriteRequest) + count + 1u, std::nothrow);
        if (block == nullptr) {
            return nullptr;
        }
        auto* request = new (block) WriteRequest{nullptr, count};
        std::memcpy(request->Bytes(), bytes, count);
        request->Bytes()[count] = 0;
        return request;
    }
    static void Free(WriteRequest* request) { ::operator delete(static_cast<void*>(request)); }
    static void FreeAll(WriteRequest* list)
    {
        while (list != nullptr) {
            WriteRequest* next = list->Next;
            Free(list);
            list = next;
        }
    }
};

// The transmit thread's queue: the owner pushes onto a lock-free list and
// sets the auto-reset event when the list was empty; the thread takes the
// whole list at once and writes it oldest first. A request belongs to the
// queue from its push until the thread takes it.
class WriteQueue {
public:
    WriteQueue() : FEvent(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~WriteQueue()
    {
        WriteRequest::FreeAll(FIncoming.exchange(nullptr, std::memory_order_acquire));
        if (FEvent != nullptr) {
            ::CloseHandle(FEvent);
        }
    }
    WriteQueue(const WriteQueue&) = delete;
    WriteQueue& operator=(const WriteQueue&) = delete;

    bool Valid() const { return FEvent != nullptr; }
    HANDLE Event() const { return FEvent; }

    void Push(WriteRequest* request)
    {
        WriteRequest* newest = FIncoming.load(std::memory_order_relaxed);
        do {
            request->Next = newest;
        } while (
            !FIncoming.compare_exchange_weak(newest, request, std::memory_order_acq_rel, std::memory_order_relaxed));
        if (newest == nullptr) {
            ::SetEvent(FEvent);
        }
    }

    // Everything pushed so far, oldest first; nullptr when nothing.
    WriteRequest* TakeAll()
    {
        WriteRequest* newest = FIncoming.exchange(nullptr, std::memory_order_acq_rel);
        WriteRequest* oldest = nullptr;
        while (newest != nullptr) {
            WriteRequest* next = newest->Next;
            newest->Next = oldest;
            oldest = newest;
            newest = next;
        }
        return oldest;
    }

private:
    HANDLE FEvent;
    std::atomic<WriteRequest*> FIncoming{nullptr};
};

class TWriteThread final : public TCommThread {
public:
    TWriteThread(HANDLE device, HANDLE closeEvent, CommNoticeQueue* notices, WriteQueue* queue)
        : TCommThread(device, closeEvent, notices), FQueue(queue)
    {
    }

protected:
    void Execute() override;

private:
    bool WriteBlock(WriteRequest& request);

    WriteQueue* const FQueue;
    OVERLAPPED FRecord{};
};

// Takes requests one at a time and writes each completely. Tells the owner
// once when it starts with an empty queue, and after that once each time the
// queue runs dry after a successful write. Requests still queued when the
// thread ends are dropped.
void TWriteThread::Execute()
{
    FRecord.hEvent = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
    WriteRequest* taken = nullptr;  // taken from the queue, oldest first
    if (FRecord.hEvent == nullptr) {
        PostHangup();
    } else {
        bool reportEmpty = true;
        for (;;) {
            if (taken == nullptr) {
                taken = FQueue->TakeAll();
            }
            if (taken == nullptr) {
                if (reportEmpty) {
                    if (!FNotices->Post(NoticeSendDataEmpty)) {
                        PostHangup();
                        break;
                    }
                    reportEmpty = false;
                }
                HANDLE waits[2] = {FCloseEvent, FQueue->Event()};
                const DWORD woken = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
                if (woken == WAIT_OBJECT_0) {
                    break;
                }
                if (woken == WAIT_OBJECT_0 + 1) {
                    continue;
                }
                PostHangup();
                break;
            }
            WriteRequest* request = taken;
            taken = request->Next;
            if (CloseSignalled()) {
                WriteRequest::Free(request);
                break;
            }
            const bool written = WriteBlock(*request);
            if (!Unsettled()) {
                WriteRequest::Free(request);
            }
            if (!written) {
                break;
            }
            reportEmpty = true;
        }
    }
    WriteRequest::FreeAll(taken);
    ::PurgeComm(FDevice, PURGE_TXABORT | PURGE_TXCLEAR);
    if (FRecord.hEvent != nullptr && !Unsettled()) {
        ::CloseHandle(FRecord.hEvent);
    }
}

bool TWriteThread::WriteBlock(WriteRequest& request)
{
    DWORD done = 0;
    while (done < request.Count) {
        DWORD put = 0;
        if (::WriteFile(FDevice, request.Bytes() + done, request.Count - done, &put, &FRecord)) {
            // Without write timeouts a write ends only when it has written
            // something; one that wrote nothing is a device that takes no
            // more, which would otherwise be asked again for ever.
            if (put == 0) {
                PostHangup();
                return false;
            }
            done += put;
            continue;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_INVALID_HANDLE) {
            return false;
        }
        if (error != ERROR_IO_PENDING) {
            PostHangup();
            return false;
        }
        HANDLE waits[2] = {FCloseEvent, FRecord.hEvent};
        const DWORD woken = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0 + 1) {
            if (!::GetOverlappedResult(FDevice, &FRecord, &put, TRUE)) {
                if (::GetLastError() != ERROR_INVALID_HANDLE) {
                    PostHangup();
                }
                return false;
            }
            if (put == 0) {
                PostHangup();
                return false;
            }
            done += put;
            continue;
        }
        // Closing, or a failed wait: the pending write goes before its bytes do.
        ::PurgeComm(FDevice, PURGE_TXABORT | PURGE_TXCLEAR);
        Settle(FRecord, true);
        if (woken != WAIT_OBJECT_0) {
            PostHangup();
        }
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- the line

class Win32CommLine final : public CommLine {
public:
    LineOpenStatus OpenDevice(const std::string& name, int& error) override
    {
        FDevice = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
        if (FDevice == INVALID_HANDLE_VALUE) {
            error = static_cast<int>(::GetLastError());
            FDevice = nullptr;
            return LineOpenStatus::CannotOpen;
        }
        if (::GetFileType(FDevice) != FILE_TYPE_CHAR) {
            error = 0;  // no call failed: the name is simply something else
            CloseDevice();
            return LineOpenStatus::NotACommDevice;
        }
        return LineOpenStatus::Opened;
    }

    bool SetupQueues(uint32_t inputSize, uint32_t outputSize, int& error) override
    {
        if (::SetupComm(FDevice, inputSize, outputSize)) {
            return true;
        }
        error = static_cast<int>(::GetLastError());
        return false;
    }

    void Purge(uint32_t flags) override { ::PurgeComm(FDevice, flags); }

    // The flag word is rebuilt from zero, so every flag not set here (among
    // them fAbortOnError) ends up cleared; EofChar and EvtChar keep the
    // device's values.
    void ApplyState(const LineSettings& s) override
    {
        DCB block{};
        block.DCBlength = sizeof block;
        ::GetCommState(FDevice, &block);
        const DWORD kept = block.DCBlength;
        const char eofChar = block.EofChar;
        const char evtChar = block.EvtChar;
        const WORD reserved = block.wReserved;
        const WORD reserved1 = block.wReserved1;
        block = DCB{};
        block.DCBlength = kept;
        block.wReserved = reserved;
        block.wReserved1 = reserved1;
        block.EofChar = eofChar;
        block.EvtChar = evtChar;
        block.BaudRate = s.BaudRate;
        block.fBinary = 1;
        block.fParity = s.ParityCheck;
        block.fOutxCtsFlow = s.Outx_CtsFlow;
        block.fOutxDsrFlow = s.Outx_DsrFlow;
        block.fDtrControl = DtrCode(s.DtrControl);
        block.fDsrSensitivity = s.DsrSensitivity;
        block.fTXContinueOnXoff = s.TxContinueOnXoff;
        block.fOutX = s.Outx_XonXoffFlow;
        block.fInX = s.Inx_XonXoffFlow;
        block.fErrorChar = s.ReplaceWhenParityError;
        block.fNull = s.IgnoreNullChar;
        block.fRtsControl = RtsCode(s.RtsControl);
        block.XonLim = s.XonLimit;
        block.XoffLim = s.XoffLimit;
        block.ByteSize = static_cast<BYTE>(static_cast<int>(s.ByteSize) + 5);
        block.Parity = static_cast<BYTE>(s.Parity);
        block.StopBits = static_cast<BYTE>(s.StopBits);
        block.XonChar = s.XonChar;
        block.XoffChar = s.XoffChar;
        block.ErrorChar = s.ReplacedChar;
        ::SetCommState(FDevice, &block);
    }

    void ApplyTimeouts(const CommTimeouts& t) override
    {
        COMMTIMEOUTS timeouts{t.ReadInterval, t.ReadTotalMultiplier, t.ReadTotalConstant, t.WriteTotalMultiplier,
                              t.WriteTotalConstant};
        ::SetCommTimeouts(FDevice, &timeouts);
    }

    bool CreateCloseEvent(int& error) override
    {
        FCloseEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (FCloseEvent == nullptr) {
            error = static_cast<int>(::GetLastError());
            return false;
        }
        return true;
    }

    bool CreateReadThread(CommNoticeQueue& notices, int& error) override
    {
        auto* reader = new (std::nothrow) TReadThread(FDevice, FCloseEvent, &notices);
        if (reader == nullptr) {
            error = ERROR_NOT_ENOUGH_MEMORY;
            return false;
        }
        if (!reader->Create(THREAD_PRIORITY_HIGHEST, error)) {
            delete reader;
            return false;
        }
        FReadThread = reader;
        return true;
    }

    // The queue belongs with the thread: if it cannot be made, the thread
    // cannot be either.
    bool CreateWriteThread(CommNoticeQueue& notices, int& error) override
    {
        auto* queue = new (std::nothrow) WriteQueue;
        if (queue == nullptr || !queue->Valid()) {
            error = queue ? static_cast<int>(::GetLastError()) : ERROR_NOT_ENOUGH_MEMORY;
            delete queue;
            return false;
        }
        auto* writer = new (std::nothrow) TWriteThread(FDevice, FCloseEvent, &notices, queue);
        if (writer == nullptr || !writer->Create(THREAD_PRIORITY_ABOVE_NORMAL, error)) {
            if (writer == nullptr) {
                error = ERROR_NOT_ENOUGH_MEMORY;
            }
            delete writer;
            delete queue;
            return false;
        }
        FWriteQueue = queue;
        FWriteThread = writer;
        return true;
    }

    void StartThreads() override
    {
        FReadThread->Resume();
        FWriteThread->Resume();
    }

    void SignalClose() override { ::SetEvent(FCloseEvent); }

    // A thread that ended with an operation the device would not give back
    // is left allocated (see TCommThread::Settle).
    void EndReadThread() override
    {
        if (FReadThread != nullptr) {
            FReadThread->WaitFor();
            if (!FReadThread->Unsettled()) {
                delete FReadThread;
            }
            FReadThread = nullptr;
        }
    }

    void EndWriteThread() override
    {
        if (FWriteThread != nullptr) {
            FWriteThread->WaitFor();
            if (!FWriteThread->Unsettled()) {
                delete FWriteThread;
            }
            FWriteThread = nullptr;
        }
        delete FWriteQueue;
        FWriteQueue = nullptr;
    }

    void CloseCloseEvent() override
    {
        if (FCloseEvent != nullptr) {
            ::CloseHandle(FCloseEvent);
            FCloseEvent = nullptr;
        }
    }

    void CloseDevice() override
    {
        if (FDevice != nullptr) {
            ::CloseHandle(FDevice);
            FDevice = nullptr;
        }
    }

    bool QueueWrite(const void* bytes, uint16_t count) override
    {
        if (FWriteThread == nullptr || FWriteThread->Finished()) {
            return false;
        }
        WriteRequest* request = WriteRequest::Make(bytes, count);
        if (request == nullptr) {
            return false;
        }
        FWriteQueue->Push(request);
        return true;
    }

private:
    static DWORD DtrCode(TDtrControl value)
    {
        switch (value) {
        case TDtrControl::DtrEnable: return DTR_CONTROL_ENABLE;
        case TDtrControl::DtrDisable: return DTR_CONTROL_DISABLE;
        case TDtrControl::DtrHandshake: return DTR_CONTROL_HANDSHAKE;
        }
        return DTR_CONTROL_DISABLE;
    }
    static DWORD RtsCode(TRtsControl value)
    {
        switch (value) {
        case TRtsControl::RtsEnable: return RTS_CONTROL_ENABLE;
        case TRtsControl::RtsDisable: return RTS_CONTROL_DISABLE;
        case TRtsControl::RtsHandshake: return RTS_CONTROL_HANDSHAKE;
        case TRtsControl::RtsTransmissionAvailable: return RTS_CONTROL_TOGGLE;
        }
        return RTS_CONTROL_DISABLE;
    }

    HANDLE FDevice = nullptr;
    HANDLE FCloseEvent = nullptr;
    TReadThread* FReadThread = nullptr;
    TWriteThread* FWriteThread = nullptr;
    WriteQueue* FWriteQueue = nullptr;
};

}  // namespace

std::unique_ptr<CommLine> ortiva::MakeCommLine() { return std::make_unique<Win32CommLine>(); }
