// The notices the serial component's worker threads post to its owner, and
// the queue they travel in.
//
// The worker threads push notices onto a lock-free list; only a push that
// finds the list empty wakes the owner (through its CommNotifier, or the
// queue's own waiting). On the owner's thread, Gather() takes the whole list
// and puts it, oldest first, behind the notices taken earlier and not yet
// delivered; Next() hands them out one at a time. While a stream flows, the
// owner wakes once for all chunks that arrived since it last looked instead
// of once per chunk.
//
// Notices taken but not yet delivered wait in the queue, so that a handler
// that delivers again (a nested event loop) sees later notices only after the
// ones before them.
#pragma once

#include "comm_notifier.h"
#include "comm_types.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace ortiva {

inline constexpr size_t kReadChunkSize = 2048;

// A notice of one of the TCommNotice kinds. A received chunk travels in the
// same allocation as the notice, followed by one zero byte, and is released
// with it.
class CommNotice final {
public:
    // Nullptr when memory is short.
    static CommNotice* Make(TCommNotice notice, uint32_t param, const uint8_t* bytes = nullptr, uint16_t count = 0);
    // A received chunk in a block of kChunkBlockSize bytes.
    static CommNotice* MakeChunkIn(void* block, const uint8_t* bytes, uint16_t count);
    static void Free(CommNotice* notice);

    TCommNotice Type() const { return FType; }
    uint32_t Param() const { return FParam; }
    uint16_t Count() const { return FCount; }
    const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(this + 1); }

private:
    friend class CommNoticeQueue;
    CommNotice(TCommNotice notice, uint32_t param, uint16_t count) : FType(notice), FParam(param), FCount(count) {}

    TCommNotice FType;
    uint32_t FParam;
    uint16_t FCount;
    bool FChunkBlock = false;     // made by MakeChunkIn
    CommNotice* FNext = nullptr;  // the next one in the queue
};

// The block a received chunk of any length travels in.
inline constexpr size_t kChunkBlockSize = sizeof(CommNotice) + kReadChunkSize + 1;

class CommNoticeQueue {
public:
    // notifier: told of each stretch; nullptr when the owner waits with
    // WaitForNotices() instead (which works with a notifier too).
    explicit CommNoticeQueue(CommNotifier* notifier);
    // Releases notices not yet delivered. The worker threads must have ended.
    ~CommNoticeQueue();
    CommNoticeQueue(const CommNoticeQueue&) = delete;
    CommNoticeQueue& operator=(const CommNoticeQueue&) = delete;

    // ---- worker threads

    // From here on the notice belongs to the queue.
    void Post(CommNotice* notice)
    {
        if (Push(notice)) {
            Wake();
        }
    }
    // Queues the notice without waking the owner. True when the queue was
    // empty: the caller then owes the wake-up, and has to give it soon; until
    // it does, whatever else is posted waits with the notice.
    bool Push(CommNotice* notice);
    // Wakes the owner; once for each Push() that returned true.
    void Wake();
    // Makes and posts a notice without bytes; false when it could not be made.
    bool Post(TCommNotice notice, uint32_t param = 0);
    // Makes the notice of a received chunk (at most kReadChunkSize bytes), in
    // a block that an earlier chunk's notice gave back when there is one;
    // nullptr when memory is short. From one thread at a time.
    CommNotice* MakeChunk(const uint8_t* bytes, uint16_t count);

    // ---- the owner's thread

    // Moves what the workers posted behind the notices already taken.
    void Gather();
    // The oldest notice taken and not yet handed out, unlinked; nullptr when
    // none. Give it back with Release() once its event has been raised.
    CommNotice* Next();
    // A chunk's block is kept for the next chunk while fewer than
    // kSpareChunkBlocks wait; anything else is freed.
    void Release(CommNotice* notice);
    // True at once when a notice waits; otherwise waits until one is posted
    // or the time is up.
    bool WaitForNotices(std::chrono::milliseconds timeout);

private:
    bool Waiting() const { return FFirst != nullptr || FIncoming.load(std::memory_order_acquire) != nullptr; }

    CommNotifier* const FNotifier;
    // Pushed by the worker threads, newest first.
    std::atomic<CommNotice*> FIncoming{nullptr};
    // Taken from FIncoming, oldest first; the owner's thread only.
    CommNotice* FFirst = nullptr;
    CommNotice* FLast = nullptr;
    // The owner's WaitForNotices() sleeps here; a wake-up notifies it.
    std::mutex FWaitLock;
    std::condition_variable FWaitCondition;

    // Chunk blocks given back by the owner, taken by the receive thread:
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

}  // namespace ortiva
