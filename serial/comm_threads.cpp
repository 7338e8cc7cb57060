#include "comm_threads.h"

#include <QCoreApplication>

#include <poll.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <new>

namespace ortiva {

CommNotice::CommNotice(TCommNotice notice, uint32_t param, uint16_t count)
    : QEvent(static_cast<QEvent::Type>(notice)), FParam(param), FCount(count)
{
}

CommNotice* CommNotice::Make(TCommNotice notice, uint32_t param, const uint8_t* bytes, uint16_t count)
{
    // The bytes, and one zero byte after them, share the notice's block.
    void* block = ::operator new(sizeof(CommNotice) + count + 1u, std::nothrow);
    if (block == nullptr) {
        return nullptr;
    }
    auto* made = new (block) CommNotice(notice, param, count);
    auto* tail = reinterpret_cast<uint8_t*>(made + 1);
    if (count > 0) {
        std::memcpy(tail, bytes, count);
    }
    tail[count] = 0;
    return made;
}

CommNotice* CommNotice::MakeChunkIn(void* block, const uint8_t* bytes, uint16_t count)
{
    auto* made = new (block) CommNotice(NoticeReceiveData, count, count);
    made->FChunkBlock = true;
    auto* tail = reinterpret_cast<uint8_t*>(made + 1);
    std::memcpy(tail, bytes, count);
    tail[count] = 0;
    return made;
}

CommNoticeReceiver::CommNoticeReceiver(QObject* parent) : QObject(parent)
{
    FSpareWake.store(new QEvent(kWakeEvent), std::memory_order_relaxed);
}

CommNoticeReceiver::~CommNoticeReceiver()
{
    // A wake-up event already posted is removed with the receiver by Qt.
    delete FSpareWake.exchange(nullptr, std::memory_order_acquire);
    CommNotice* incoming = FIncoming.exchange(nullptr, std::memory_order_acquire);
    for (CommNotice* list : {FFirst, incoming}) {
        while (list != nullptr) {
            CommNotice* next = list->FNext;
            delete list;
            list = next;
        }
    }
    SpareBlock* spare = FSpareBlocks.exchange(nullptr, std::memory_order_acquire);
    while (spare != nullptr) {
        SpareBlock* next = spare->Next;
        ::operator delete(spare);
        spare = next;
    }
}

CommNotice* CommNoticeReceiver::MakeChunk(const uint8_t* bytes, uint16_t count)
{
    SpareBlock* spare = FSpareBlocks.load(std::memory_order_acquire);
    while (spare != nullptr &&
           !FSpareBlocks.compare_exchange_weak(spare, spare->Next, std::memory_order_acquire, std::memory_order_acquire)) {
    }
    void* block = spare;
    if (spare != nullptr) {
        FSpareCount.fetch_sub(1, std::memory_order_relaxed);
    } else {
        block = ::operator new(kChunkBlockSize, std::nothrow);
        if (block == nullptr) {
            return nullptr;
        }
    }
    return CommNotice::MakeChunkIn(block, bytes, count);
}

void CommNoticeReceiver::Release(CommNotice* notice)
{
    if (!notice->FChunkBlock || FSpareCount.load(std::memory_order_relaxed) >= kSpareChunkBlocks) {
        delete notice;
        return;
    }
    notice->~CommNotice();
    auto* spare = reinterpret_cast<SpareBlock*>(static_cast<void*>(notice));
    spare->Next = FSpareBlocks.load(std::memory_order_relaxed);
    while (!FSpareBlocks.compare_exchange_weak(spare->Next, spare, std::memory_order_release,
                                               std::memory_order_relaxed)) {
    }
    FSpareCount.fetch_add(1, std::memory_order_relaxed);
}

bool CommNoticeReceiver::Push(CommNotice* notice)
{
    CommNotice* newest = FIncoming.load(std::memory_order_relaxed);
    do {
        notice->FNext = newest;
    } while (!FIncoming.compare_exchange_weak(newest, notice, std::memory_order_acq_rel, std::memory_order_relaxed));
    return newest == nullptr;
}

void CommNoticeReceiver::Wake()
{
    // The list was found empty: the receiver had taken everything before it,
    // and had put the spare in place before taking.
    QCoreApplication::postEvent(this, FSpareWake.exchange(nullptr, std::memory_order_acquire));
}

bool CommNoticeReceiver::Post(TCommNotice notice, uint32_t param)
{
    CommNotice* made = CommNotice::Make(notice, param);
    if (made == nullptr) {
        return false;
    }
    Post(made);
    return true;
}

bool CommNoticeReceiver::event(QEvent* e)
{
    if (e->type() == kWakeEvent) {
        Deliver();
        return true;
    }
    return QObject::event(e);
}

void CommNoticeReceiver::Deliver()
{
    // The spare first: the next push onto the emptied list posts it.
    if (FSpareWake.load(std::memory_order_relaxed) == nullptr) {
        FSpareWake.store(new QEvent(kWakeEvent), std::memory_order_release);
    }
    CommNotice* newest = FIncoming.exchange(nullptr, std::memory_order_acq_rel);
    // Newest first: turn the list round and put it behind what is waiting.
    CommNotice* oldest = nullptr;
    CommNotice* last = newest;
    while (newest != nullptr) {
        CommNotice* next = newest->FNext;
        newest->FNext = oldest;
        oldest = newest;
        newest = next;
    }
    if (oldest != nullptr) {
        (FLast != nullptr ? FLast->FNext : FFirst) = oldest;
        FLast = last;
    }
    // A handler may run a nested event loop, which may deliver again: each
    // notice is unlinked before its handler runs.
    while (FFirst != nullptr) {
        CommNotice* notice = FFirst;
        FFirst = notice->FNext;
        if (FFirst == nullptr) {
            FLast = nullptr;
        }
        notice->FNext = nullptr;
        QCoreApplication::sendEvent(this, notice);
        Release(notice);
    }
}

void SignalCloseEvent(int closeEvent)
{
    const uint64_t one = 1;
    while (::write(closeEvent, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

}  // namespace ortiva

using namespace ortiva;

namespace {

using Clock = std::chrono::steady_clock;

// While a stream flows, the receive thread wakes the user-interface thread
// this long after the first chunk it has not announced yet: the chunks read
// meanwhile, across short pauses of the line, share that one wake-up. A chunk
// ended by the read interval's silence wakes it at once.
constexpr auto kAnnounceWithin = std::chrono::milliseconds(2);

// Worker priority relative to the process: the receive thread highest, the
// transmit thread one step below. Needs the right to raise priority; without
// it the threads keep the process's priority.
void RaisePriority(int steps)
{
    errno = 0;
    const int base = ::getpriority(PRIO_PROCESS, 0);
    if (errno == 0) {
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), base - steps);
    }
}

// The moment `ms` milliseconds after `now`; 0 and spans beyond any sensible
// wait mean no limit.
Clock::time_point After(Clock::time_point now, uint64_t ms)
{
    constexpr uint64_t kLongest = uint64_t{1} << 32;  // about 50 days
    if (ms == 0 || ms > kLongest) {
        return Clock::time_point::max();
    }
    return now + std::chrono::milliseconds(ms);
}

int PollTimeoutUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

}  // namespace

TCommThread::TCommThread(const char* name, int device, int closeEvent, CommNoticeReceiver* notifyWindow)
    : FDevice(device), FCloseEvent(closeEvent), FNotifyWindow(notifyWindow), FName(name)
{
}

TCommThread::~TCommThread()
{
    WaitFor();
}

void TCommThread::Create()
{
    FThread = std::thread([this] { Run(); });
    pthread_setname_np(FThread.native_handle(), FName);
}

void TCommThread::Resume()
{
    FResumed.store(true, std::memory_order_release);
    FResumed.notify_all();
}

void TCommThread::Terminate()
{
    FTerminated.store(true, std::memory_order_release);
    SignalCloseEvent(FCloseEvent);
}

void TCommThread::WaitFor()
{
    if (FThread.joinable()) {
        Resume();
        FThread.join();
    }
}

void TCommThread::Run()
{
    FResumed.wait(false, std::memory_order_acquire);
    if (!CloseSignalled()) {
        Execute();
    }
    FFinished.store(true, std::memory_order_release);
}

bool TCommThread::CloseSignalled() const
{
    pollfd closeEvent{FCloseEvent, POLLIN, 0};
    return ::poll(&closeEvent, 1, 0) != 0;
}

void TCommThread::PostHangup() const
{
    FNotifyWindow->Post(NoticeRequestHangup);
}

// ---------------------------------------------------------------- receive

TReadThread::TReadThread(int device, int closeEvent, CommNoticeReceiver* notifyWindow, const ReadTimeouts* timeouts)
    : TCommThread("TReadThread", device, closeEvent, notifyWindow), FTimeouts(timeouts)
{
}

TReadThread::~TReadThread()
{
    WaitFor();
}

// Waits without time limit until the first byte of a chunk arrives, then goes
// on reading until the line has been silent for the read interval, the total
// read time of the chunk has run out, or the chunk holds 2048 bytes. An
// interval of 0 sets no silence limit; 0xFFFFFFFF hands over whatever one
// read returned. A chunk is never empty.
//
// After a read that filled all the room it had the thread reads again at
// once; after one that took less, the driver had no more at hand and the
// thread waits in poll(), which returns at once when more has come meanwhile.
// (Reading again at once there would mostly come back empty, after waiting
// for the driver to finish moving bytes already on their way.)
void TReadThread::Execute()
{
    RaisePriority(2);
    FCounting = ReadLineCounters(FDevice, FCounters);

    pollfd waits[2] = {{FCloseEvent, POLLIN, 0}, {FDevice, POLLIN, 0}};
    Clock::time_point totalDeadline{};
    Clock::time_point chunkDeadline{};
    bool readable = false;  // the last read filled its room: read again before waiting
    while (!Terminated()) {
        if (FCount > 0 && Clock::now() >= chunkDeadline) {
            // The line has been silent: nothing else is coming to share the wake-up.
            if (!HandOver()) {
                break;
            }
            Announce();
            continue;
        }
        if (!readable) {
            int timeout = FCount > 0 ? PollTimeoutUntil(chunkDeadline) : -1;
            if (FWakeOwed) {
                // A stream that pauses only briefly goes on sharing the wake-up.
                const Clock::time_point due = FOwedSince + kAnnounceWithin;
                if (Clock::now() >= due) {
                    Announce();
                } else {
                    const int untilDue = PollTimeoutUntil(due);
                    timeout = timeout < 0 ? untilDue : std::min(timeout, untilDue);
                }
            }
            const int ready = ::poll(waits, 2, timeout);
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                PostHangup();
                break;
            }
            if (waits[0].revents != 0) {
                break;  // closing: a chunk under way is discarded with the input
            }
            if (FCounting && !CheckLineEvents()) {
                break;
            }
            if (ready == 0) {
                continue;
            }
            const short events = waits[1].revents;
            if ((events & POLLIN) == 0) {
                if (events & (POLLHUP | POLLERR | POLLNVAL)) {
                    if (HandOver()) {
                        PostHangup();
                    }
                    break;
                }
                continue;
            }
        } else if (FCounting && !CheckLineEvents()) {
            break;
        }
        const size_t room = sizeof FBuffer - FCount;
        const ssize_t got = ::read(FDevice, FBuffer + FCount, room);
        if (got > 0) {
            readable = static_cast<size_t>(got) == room;
            const Clock::time_point now = Clock::now();
            if (FWakeOwed && now - FOwedSince >= kAnnounceWithin) {
                Announce();
            }
            bool freshChunk = FCount == 0;
            FCount += static_cast<size_t>(got);
            // Full chunks go at once; what is left starts the next chunk.
            size_t taken = 0;
            bool posted = true;
            while (posted && FCount - taken >= kReadChunkSize) {
                posted = PostChunk(FBuffer + taken, kReadChunkSize);
                taken += kReadChunkSize;
            }
            if (!posted) {
                break;
            }
            if (taken > 0) {
                FCount -= taken;
                std::memmove(FBuffer, FBuffer + taken, FCount);
                freshChunk = true;
            }
            if (FCount > 0) {
                if (freshChunk) {
                    totalDeadline = After(now, uint64_t{FTimeouts->TotalMultiplier.load(std::memory_order_relaxed)} *
                                                       kReadChunkSize +
                                                   FTimeouts->TotalConstant.load(std::memory_order_relaxed));
                }
                const uint32_t interval = FTimeouts->Interval.load(std::memory_order_relaxed);
                const Clock::time_point silenceDeadline = interval == UINT32_MAX ? now : After(now, interval);
                chunkDeadline = std::min(totalDeadline, silenceDeadline);
            }
            continue;
        }
        readable = false;
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        // End of file or a read error: the line is gone.
        if (HandOver()) {
            PostHangup();
        }
        break;
    }
    Announce();
    DiscardInput(FDevice);
}

void TReadThread::Announce()
{
    if (FWakeOwed) {
        FWakeOwed = false;
        FNotifyWindow->Wake();
    }
}

bool TReadThread::HandOver()
{
    const size_t count = FCount;
    FCount = 0;
    return count == 0 || PostChunk(FBuffer, count);
}

bool TReadThread::PostChunk(const uint8_t* bytes, size_t count)
{
    CommNotice* chunk = FNotifyWindow->MakeChunk(bytes, static_cast<uint16_t>(count));
    if (chunk == nullptr) {
        PostHangup();
        return false;
    }
    if (FNotifyWindow->Push(chunk) && !FWakeOwed) {
        FWakeOwed = true;
        FOwedSince = Clock::now();
    }
    return true;
}

bool TReadThread::CheckLineEvents()
{
    LineCounters now;
    if (!ReadLineCounters(FDevice, now)) {
        FCounting = false;
        return true;
    }
    const LineEvents events = LineEventsBetween(FCounters, now);
    FCounters = now;
    if (events.Errors != 0 && !FNotifyWindow->Post(NoticeReceiveError, events.Errors)) {
        PostHangup();
        return false;
    }
    if (events.Modem != 0 && !FNotifyWindow->Post(NoticeModemStateChange, events.Modem)) {
        PostHangup();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- transmit

TWriteThread::TWriteThread(int device, int closeEvent, CommNoticeReceiver* notifyWindow, int queue)
    : TCommThread("TWriteThread", device, closeEvent, notifyWindow), FQueue(queue)
{
}

TWriteThread::~TWriteThread()
{
    WaitFor();
}

// Takes requests one at a time and writes each completely. Tells the
// user-interface thread once when it starts with an empty queue, and after
// that once each time the queue runs dry after a successful write. Requests
// left in the queue when the thread ends are released by the component.
void TWriteThread::Execute()
{
    RaisePriority(1);
    bool reportEmpty = true;
    pollfd waits[2] = {{FCloseEvent, POLLIN, 0}, {FQueue, POLLIN, 0}};
    for (;;) {
        WriteRequest request{};
        const ssize_t got = ::read(FQueue, &request, sizeof request);
        if (got == static_cast<ssize_t>(sizeof request)) {
            if (CloseSignalled()) {
                delete[] request.Bytes;
                break;
            }
            const bool written = WriteBlock(request);
            delete[] request.Bytes;
            if (!written) {
                break;
            }
            reportEmpty = true;
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got >= 0 || errno != EAGAIN) {
            PostHangup();  // the queue itself is broken
            break;
        }
        if (reportEmpty) {
            if (!FNotifyWindow->Post(NoticeSendDataEmpty)) {
                PostHangup();
                break;
            }
            reportEmpty = false;
        }
        const int ready = ::poll(waits, 2, -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            PostHangup();
            break;
        }
        if (waits[0].revents != 0) {
            break;
        }
        if ((waits[1].revents & POLLIN) == 0) {
            PostHangup();
            break;
        }
    }
    DiscardOutput(FDevice);
}

bool TWriteThread::WriteBlock(const WriteRequest& request)
{
    size_t done = 0;
    while (done < request.Count) {
        const ssize_t put = ::write(FDevice, request.Bytes + done, request.Count - done);
        if (put > 0) {
            done += static_cast<size_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0 && errno == EBADF) {
            return false;
        }
        if (put < 0 && errno != EAGAIN) {
            PostHangup();
            return false;
        }
        // The line takes nothing now: wait until it does, or until closing.
        pollfd waits[2] = {{FCloseEvent, POLLIN, 0}, {FDevice, POLLOUT, 0}};
        const int ready = ::poll(waits, 2, -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            PostHangup();
            return false;
        }
        if (waits[0].revents != 0) {
            return false;
        }
        if ((waits[1].revents & POLLOUT) == 0) {
            PostHangup();
            return false;
        }
    }
    return true;
}
