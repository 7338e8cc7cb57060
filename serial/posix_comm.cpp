#include "posix_comm.h"

#include "comm_line.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <system_error>

namespace ortiva {

void SignalCloseEvent(int closeEvent)
{
    const uint64_t one = 1;
    while (::write(closeEvent, &one, sizeof one) < 0 && errno == EINTR) {}
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

TCommThread::TCommThread(const char* name, int device, int closeEvent, CommNoticeQueue* notifyWindow)
    : FDevice(device), FCloseEvent(closeEvent), FNotifyWindow(notifyWindow), FName(name)
{
}

TCommThread::~TCommThread() { WaitFor(); }

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

void TCommThread::PostHangup() const { FNotifyWindow->Post(NoticeRequestHangup); }

// ---------------------------------------------------------------- receive

TReadThread::TReadThread(int device, int closeEvent, CommNoticeQueue* notifyWindow, const ReadTimeouts* timeouts)
    : TCommThread("TReadThread", device, closeEvent, notifyWindow), FTimeouts(timeouts)
{
}

TReadThread::~TReadThread() { WaitFor(); }

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

TWriteThread::TWriteThread(int device, int closeEvent, CommNoticeQueue* notifyWindow, int queue)
    : TCommThread("TWriteThread", device, closeEvent, notifyWindow), FQueue(queue)
{
}

TWriteThread::~TWriteThread() { WaitFor(); }

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

// ---------------------------------------------------------------- the line

namespace {

int ThreadError(const std::exception& e)
{
    const auto* system = dynamic_cast<const std::system_error*>(&e);
    return system ? system->code().value() : ENOMEM;
}

// The line as a descriptor, the close event as an eventfd, the transmit
// thread's queue as a pipe carrying WriteRequest records.
class PosixCommLine final : public CommLine {
public:
    ~PosixCommLine() override
    {
        // The component ends the threads and closes everything first.
        CloseWriteQueue();
    }

    LineOpenStatus OpenDevice(const std::string& name, int& error) override
    {
        const DeviceOpenResult opened = ortiva::OpenDevice(DevicePathFor(name));
        error = opened.Error;
        switch (opened.Status) {
        case DeviceOpenStatus::Opened:
            FDevice = opened.Fd;
            FRs485Active = false;
            return LineOpenStatus::Opened;
        case DeviceOpenStatus::NotATerminal: return LineOpenStatus::NotACommDevice;
        case DeviceOpenStatus::CannotOpen: break;
        }
        return LineOpenStatus::CannotOpen;
    }

    // Linux has no call for the queue sizes. The terminal layer buffers 4096
    // received bytes per line and the driver its own transmit ring, which is
    // what the line needs; the step cannot fail here.
    bool SetupQueues(uint32_t, uint32_t, int&) override { return true; }

    void Purge(uint32_t flags) override
    {
        if (flags & kPurgeInput) {
            DiscardInput(FDevice);
        }
        if (flags & kPurgeOutput) {
            DiscardOutput(FDevice);
        }
    }

    void ApplyState(const LineSettings& settings) override { ApplyLineSettings(FDevice, settings, FRs485Active); }

    // The receive thread takes the read timeouts from here for every chunk.
    // Write timeouts have nothing to act on: a write is carried on with the
    // rest until every byte is out, whatever a time limit would cut it into.
    void ApplyTimeouts(const CommTimeouts& timeouts) override
    {
        FTimeouts.Interval.store(timeouts.ReadInterval, std::memory_order_relaxed);
        FTimeouts.TotalMultiplier.store(timeouts.ReadTotalMultiplier, std::memory_order_relaxed);
        FTimeouts.TotalConstant.store(timeouts.ReadTotalConstant, std::memory_order_relaxed);
    }

    bool CreateCloseEvent(int& error) override
    {
        FCloseEvent = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        error = FCloseEvent < 0 ? errno : 0;
        return FCloseEvent >= 0;
    }

    bool CreateReadThread(CommNoticeQueue& notices, int& error) override
    {
        try {
            auto reader = std::make_unique<TReadThread>(FDevice, FCloseEvent, &notices, &FTimeouts);
            reader->Create();
            FReadThread = std::move(reader);
            return true;
        } catch (const std::exception& e) {
            error = ThreadError(e);
            return false;
        }
    }

    // The transmit thread's queue belongs with the thread: if it cannot be
    // made, the thread cannot be either.
    bool CreateWriteThread(CommNoticeQueue& notices, int& error) override
    {
        int queue[2];
        if (::pipe2(queue, O_CLOEXEC | O_NONBLOCK) != 0) {
            error = errno;
            return false;
        }
        FQueueRead = queue[0];
        FQueueWrite = queue[1];
        try {
            auto writer = std::make_unique<TWriteThread>(FDevice, FCloseEvent, &notices, FQueueRead);
            writer->Create();
            FWriteThread = std::move(writer);
            return true;
        } catch (const std::exception& e) {
            error = ThreadError(e);
            CloseWriteQueue();
            return false;
        }
    }

    void StartThreads() override
    {
        FReadThread->Resume();
        FWriteThread->Resume();
    }

    void SignalClose() override { SignalCloseEvent(FCloseEvent); }

    void EndReadThread() override
    {
        if (FReadThread) {
            FReadThread->Terminate();
            FReadThread->WaitFor();
            FReadThread.reset();
        }
    }

    void EndWriteThread() override
    {
        if (FWriteThread) {
            FWriteThread->Terminate();
            FWriteThread->WaitFor();
            FWriteThread.reset();
        }
        CloseWriteQueue();
    }

    void CloseCloseEvent() override
    {
        if (FCloseEvent >= 0) {
            ::close(FCloseEvent);
            FCloseEvent = -1;
        }
    }

    void CloseDevice() override
    {
        if (FDevice >= 0) {
            ReleaseDevice(FDevice, FRs485Active);
            FDevice = -1;
            FRs485Active = false;
        }
    }

    bool QueueWrite(const void* bytes, uint16_t count) override
    {
        if (!FWriteThread || FWriteThread->Finished()) {
            return false;
        }
        auto* copy = new (std::nothrow) uint8_t[count + 1u];
        if (copy == nullptr) {
            return false;
        }
        std::memcpy(copy, bytes, count);
        copy[count] = 0;
        // One record is far below the pipe's atomic write size, so a record
        // is either queued whole or not at all (queue full).
        const WriteRequest request{copy, count};
        if (::write(FQueueWrite, &request, sizeof request) != static_cast<ssize_t>(sizeof request)) {
            delete[] copy;
            return false;
        }
        return true;
    }

private:
    // Releases every request still queued and closes the queue.
    void CloseWriteQueue()
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

    int FDevice = -1;
    bool FRs485Active = false;
    int FCloseEvent = -1;
    ReadTimeouts FTimeouts;
    std::unique_ptr<TReadThread> FReadThread;
    std::unique_ptr<TWriteThread> FWriteThread;
    int FQueueRead = -1;
    int FQueueWrite = -1;
};

}  // namespace

std::unique_ptr<CommLine> ortiva::MakeCommLine() { return std::make_unique<PosixCommLine>(); }
