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
#include <cstddef>
#include <cstdint>
#include <thread>

namespace ortiva {

// A notice on its way to the user-interface thread. A received chunk travels
// in the same allocation as the notice, followed by one zero byte, and is
// released with it: after the handler has run, or unseen when the receiver is
// destroyed first.
class CommNotice final : public QEvent {
public:
    // Nullptr when memory is short.
    static CommNotice* Make(TCommNotice notice, uint32_t param, const uint8_t* bytes = nullptr,
                            uint16_t count = 0);
    ~CommNotice() override;

    static void operator delete(void* block) { ::operator delete(block); }

    uint32_t Param() const { return FParam; }
    uint16_t Count() const { return FCount; }
    const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(this + 1); }

private:
    friend class CommNoticeReceiver;
    CommNotice(TCommNotice notice, uint32_t param, uint16_t count);

    uint32_t FParam;
    uint16_t FCount;
    std::atomic<bool> FPosted{false};
};

// The receiving end of the notices, living on the user-interface thread.
// Posting orders the notice's contents before its delivery, also for
// checkers that cannot see into the event queue's own locking.
class CommNoticeReceiver : public QObject {
public:
    using QObject::QObject;

    // From a worker thread; from here on the notice belongs to the receiver.
    void Post(CommNotice* notice);
    // Makes and posts a notice without bytes; false when it could not be made.
    bool Post(TCommNotice notice, uint32_t param = 0);

protected:
    // On the receiving thread, before a posted event is looked at.
    void TakeDelivery() const { FPosted.load(std::memory_order_acquire); }

private:
    std::atomic<uint32_t> FPosted{0};
};

// The read timeouts as the receive thread applies them. The component writes
// them (its ApplyCommTimeouts) while the thread runs; the thread reads them
// each time a chunk is under way.
struct ReadTimeouts {
    std::atomic<uint32_t> Interval{100};
    std::atomic<uint32_t> TotalMultiplier{0};
    std::atomic<uint32_t> TotalConstant{0};
};

inline constexpr size_t kReadChunkSize = 2048;
inline constexpr size_t kReadBufferSize = 4 * kReadChunkSize;

// One send request as it travels through the transmit queue: a heap copy of
// the bytes (one byte longer, ending in zero) and their count.
struct WriteRequest {
    uint8_t* Bytes;
    uint16_t Count;
};

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
    // Waits for the thread to end; the close descriptor must be signalled first.
    void WaitFor();
    // True once the thread body has returned.
    bool Finished() const { return FFinished.load(std::memory_order_acquire); }

protected:
    TCommThread(const char* name, int device, int closeEvent, ortiva::CommNoticeReceiver* notifyWindow);
    virtual void Execute() = 0;
    bool CloseSignalled() const;
    void PostHangup() const;

    const int FDevice;
    const int FCloseEvent;
    ortiva::CommNoticeReceiver* const FNotifyWindow;

private:
    void Run();

    const char* const FName;
    std::thread FThread;
    std::atomic<bool> FResumed{false};
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
    bool PostChunk(const uint8_t* bytes, size_t count);
    bool CheckLineEvents();

    const ortiva::ReadTimeouts* FTimeouts;
    // Bytes read but not yet handed over. One read may take more than a
    // chunk; the full chunks go at once and the rest waits here.
    uint8_t FBuffer[ortiva::kReadBufferSize];
    size_t FCount = 0;
    bool FCounting = false;
    ortiva::LineCounters FCounters;
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
