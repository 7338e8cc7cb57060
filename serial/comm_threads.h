// The serial component's worker threads and the notices they post.
//
// TReadThread waits for received bytes and hands each chunk over; TWriteThread
// takes send requests from its queue and writes them. Neither calls user code:
// everything they report is a CommNotice posted to the component's hidden
// receiver, which lives on the user-interface thread. Both block in poll()
// with the component's close descriptor in the set, so one signal stops both.
#pragma once

#include "comm_types.h"
#include "posix_line.h"

#include <QEvent>
#include <QObject>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <type_traits>

namespace ortiva {

inline constexpr size_t kReadChunkSize = 2048;
inline constexpr size_t kReadBufferSize = 4 * kReadChunkSize;

// A notice on its way to the user-interface thread: an event of one of the
// TCommNotice types. A received chunk travels in the same allocation as the
// notice, followed by one zero byte, and is released with it: after the
// handler has run, or unseen when the receiver is destroyed first.
class CommNotice final : public QEvent {
public:
    // Nullptr when memory is short.
    static CommNotice* Make(TCommNotice notice, uint32_t param, const uint8_t* bytes = nullptr,
                            uint16_t count = 0);
    // A received chunk in a block of kChunkBlockSize bytes.
    static CommNotice* MakeChunkIn(void* block, const uint8_t* bytes, uint16_t count);

    static void operator delete(void* block) { ::operator delete(block); }

    uint32_t Param() const { return FParam; }
    uint16_t Count() const { return FCount; }
    const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(this + 1); }

private:
    friend class CommNoticeReceiver;
    CommNotice(TCommNotice notice, uint32_t param, uint16_t count);

    uint32_t FParam;
    uint16_t FCount;
    bool FChunkBlock = false;     // made by MakeChunkIn
    CommNotice* FNext = nullptr;  // the next one in the receiver's queue
};

// The block a received chunk of any length travels in.
inline constexpr size_t kChunkBlockSize = sizeof(CommNotice) + kReadChunkSize + 1;

// The receiving end of the notices, living on the user-interface thread.
//
// The worker threads push notices onto a lock-free list; only a push that
// finds the list empty posts an event to wake the receiver. On that event
// the receiver takes the whole list and delivers its notices one at a time,
// oldest first, each as an event of its own type sent to itself. While a
// stream flows, the user-interface thread wakes once for all chunks that
// arrived since it last looked instead of once per chunk.
//
// Notices taken but not yet delivered wait in a queue of the receiver, so
// that a handler running a nested event loop sees later notices only after
// the ones before them.
class CommNoticeReceiver : public QObject {
public:
    explicit CommNoticeReceiver(QObject* parent = nullptr);
    // Releases notices not yet delivered. The worker threads must have ended.
    ~CommNoticeReceiver() override;

    // From any thread; from here on the notice belongs to the receiver.
    void Post(CommNotice* notice)
    {
        if (Push(notice)) {
            Wake();
        }
    }
    // Queues the notice without waking the receiver. True when the queue was
    // empty: the caller then owes the wake-up, and has to give it soon; until
    // it does, whatever else is posted waits with the notice.
    bool Push(CommNotice* notice);
    // Wakes the receiver; once for each Push() that returned true.
    void Wake();
    // Makes and posts a notice without bytes; false when it could not be made.
    bool Post(TCommNotice notice, uint32_t param = 0);
    // Makes the notice of a received chunk (at most kReadChunkSize bytes), in
    // a block that an earlier chunk's notice gave back when there is one;
    // nullptr when memory is short. From one thread at a time.
    CommNotice* MakeChunk(const uint8_t* bytes, uint16_t count);

    // The type of the wake-up event.
    static constexpr QEvent::Type kWakeEvent = static_cast<QEvent::Type>(NoticeReceiveData - 1);

protected:
    bool event(QEvent* e) override;

private:
    void Deliver();
    // Releases a delivered notice; a chunk's block is kept for the next chunk
    // while fewer than kSpareChunkBlocks wait.
    void Release(CommNotice* notice);

    // Pushed by the worker threads, newest first.
    std::atomic<CommNotice*> FIncoming{nullptr};
    // The wake-up event the next push onto an empty list posts. Made on this
    // thread ahead of time, so that a worker thread never allocates one.
    std::atomic<QEvent*> FSpareWake{nullptr};
    // Taken from FIncoming, oldest first; this thread only.
    CommNotice* FFirst = nullptr;
    CommNotice* FLast = nullptr;

    // Chunk blocks given back by this thread, taken by the receive thread:
    // while a stream flows, its chunks travel in the same few blocks instead
    // of memory that one thread allocates and the other frees (which the
    // allocator hands back to the system and faults in again, batch after
    // batch). Only one thread takes, so a block cannot come back between
    // being read as the top and being taken.
    struct SpareBlock {
        SpareBlock* Next;
    };
    static constexpr int kSpareChunkBlocks = 64;
    std::atomic<SpareBlock*> FSpareBlocks{nullptr};
    std::atomic<int> FSpareCount{0};
};

// The read timeouts as the receive thread applies them. The component writes
// them (its ApplyCommTimeouts) while the thread runs; the thread reads them
// each time a chunk is under way.
struct ReadTimeouts {
    std::atomic<uint32_t> Interval{100};
    std::atomic<uint32_t> TotalMultiplier{0};
    std::atomic<uint32_t> TotalConstant{0};
};

// One send request as it travels through the transmit queue: a heap copy of
// the bytes (one byte longer, ending in zero) and their count. The record is
// written into a pipe as it lies in memory, so it has no padding: every byte
// that goes through the pipe is a set one.
struct WriteRequest {
    uint8_t* Bytes;
    size_t Count;  // at most 65535: one SendData
};
static_assert(std::has_unique_object_representations_v<WriteRequest>, "WriteRequest must have no padding");

// Signals the close descriptor; it stays signalled.
void SignalCloseEvent(int closeEvent);

}  // namespace ortiva

// Common part of both worker threads: created suspended, started by Resume().
class TCommThread {
public:
    TCommThread(const TCommThread&) = delete;
    TCommThread& operator=(const TCommThread&) = delete;
    virtual ~TCommThread();

    // Creates the thread, named after its class and held until Resume();
    // throws std::system_error.
    void Create();
    void Resume();
    // Asks the thread to end: sets its stop flag and signals the close
    // descriptor, which is shared by both threads and stays signalled.
    void Terminate();
    // Waits for the thread to end; Terminate() must have been called first.
    void WaitFor();
    // True once the thread body has returned.
    bool Finished() const { return FFinished.load(std::memory_order_acquire); }

protected:
    TCommThread(const char* name, int device, int closeEvent, ortiva::CommNoticeReceiver* notifyWindow);
    virtual void Execute() = 0;
    bool CloseSignalled() const;
    // The stop flag: lets a thread that goes on without waiting (a stream
    // that never pauses) see a close without asking the close descriptor.
    bool Terminated() const { return FTerminated.load(std::memory_order_acquire); }
    void PostHangup() const;

    const int FDevice;
    const int FCloseEvent;
    ortiva::CommNoticeReceiver* const FNotifyWindow;

private:
    void Run();

    const char* const FName;
    std::thread FThread;
    std::atomic<bool> FResumed{false};
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
};

class TReadThread final : public TCommThread {
public:
    TReadThread(int device, int closeEvent, ortiva::CommNoticeReceiver* notifyWindow, const ortiva::ReadTimeouts* timeouts);
    ~TReadThread() override;

protected:
    void Execute() override;

private:
    // Posts the chunk under way, if any; false when the thread has to end.
    bool HandOver();
    // Queues the chunk; the receiver is woken by Announce().
    bool PostChunk(const uint8_t* bytes, size_t count);
    // Wakes the receiver if a queued chunk still owes it the wake-up. Called
    // when a chunk ends in silence, before the thread ends, and in a flowing
    // stream a short time after the first chunk not announced yet (a wait
    // meanwhile is cut to end then).
    void Announce();
    bool CheckLineEvents();

    const ortiva::ReadTimeouts* FTimeouts;
    // Bytes read but not yet handed over. One read may take more than a
    // chunk; the full chunks go at once and the rest waits here.
    uint8_t FBuffer[ortiva::kReadBufferSize];
    size_t FCount = 0;
    bool FCounting = false;
    ortiva::LineCounters FCounters;
    bool FWakeOwed = false;
    std::chrono::steady_clock::time_point FOwedSince;
};

class TWriteThread final : public TCommThread {
public:
    TWriteThread(int device, int closeEvent, ortiva::CommNoticeReceiver* notifyWindow, int queue);
    ~TWriteThread() override;

protected:
    void Execute() override;

private:
    bool WriteBlock(const ortiva::WriteRequest& request);

    const int FQueue;
};
