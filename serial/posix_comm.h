// The serial component's worker threads on POSIX.
//
// TReadThread waits for received bytes and hands each chunk over; TWriteThread
// takes send requests from its queue and writes them. Neither calls user code:
// everything they report is a CommNotice posted to the component's notice
// queue, which the owner's thread empties. Both block in poll() with the
// component's close descriptor in the set, so one signal stops both.
#pragma once

#include "comm_notices.h"
#include "comm_types.h"
#include "posix_line.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <type_traits>

namespace ortiva {

inline constexpr size_t kReadBufferSize = 4 * kReadChunkSize;

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
    TCommThread(const char* name, int device, int closeEvent, ortiva::CommNoticeQueue* notifyWindow);
    virtual void Execute() = 0;
    bool CloseSignalled() const;
    // The stop flag: lets a thread that goes on without waiting (a stream
    // that never pauses) see a close without asking the close descriptor.
    bool Terminated() const { return FTerminated.load(std::memory_order_acquire); }
    void PostHangup() const;

    const int FDevice;
    const int FCloseEvent;
    ortiva::CommNoticeQueue* const FNotifyWindow;

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
    TReadThread(int device, int closeEvent, ortiva::CommNoticeQueue* notifyWindow,
                const ortiva::ReadTimeouts* timeouts);
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
    TWriteThread(int device, int closeEvent, ortiva::CommNoticeQueue* notifyWindow, int queue);
    ~TWriteThread() override;

protected:
    void Execute() override;

private:
    bool WriteBlock(const ortiva::WriteRequest& request);

    const int FQueue;
};
