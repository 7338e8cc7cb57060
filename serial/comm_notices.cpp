#include "comm_notices.h"

#include <cstring>
#include <new>

namespace ortiva {

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

void CommNotice::Free(CommNotice* notice)
{
    notice->~CommNotice();
    ::operator delete(static_cast<void*>(notice));
}

CommNoticeQueue::CommNoticeQueue(CommNotifier* notifier) : FNotifier(notifier) {}

CommNoticeQueue::~CommNoticeQueue()
{
    CommNotice* incoming = FIncoming.exchange(nullptr, std::memory_order_acquire);
    for (CommNotice* list : {FFirst, incoming}) {
        while (list != nullptr) {
            CommNotice* next = list->FNext;
            CommNotice::Free(list);
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

CommNotice* CommNoticeQueue::MakeChunk(const uint8_t* bytes, uint16_t count)
{
    SpareBlock* spare = FSpareBlocks.load(std::memory_order_acquire);
    while (spare != nullptr && !FSpareBlocks.compare_exchange_weak(spare, spare->Next, std::memory_order_acquire,
                                                                   std::memory_order_acquire)) {}
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

void CommNoticeQueue::Release(CommNotice* notice)
{
    if (!notice->FChunkBlock || FSpareCount.load(std::memory_order_relaxed) >= kSpareChunkBlocks) {
        CommNotice::Free(notice);
        return;
    }
    notice->~CommNotice();
    auto* spare = reinterpret_cast<SpareBlock*>(static_cast<void*>(notice));
    spare->Next = FSpareBlocks.load(std::memory_order_relaxed);
    while (!FSpareBlocks.compare_exchange_weak(spare->Next, spare, std::memory_order_release,
                                               std::memory_order_relaxed)) {}
    FSpareCount.fetch_add(1, std::memory_order_relaxed);
}

bool CommNoticeQueue::Push(CommNotice* notice)
{
    CommNotice* newest = FIncoming.load(std::memory_order_relaxed);
    do {
        notice->FNext = newest;
    } while (!FIncoming.compare_exchange_weak(newest, notice, std::memory_order_acq_rel, std::memory_order_relaxed));
    return newest == nullptr;
}

void CommNoticeQueue::Wake()
{
    if (FNotifier != nullptr) {
        FNotifier->Wake();
    }
    // Taken and let go before notifying: an owner about to wait either sees
    // the notice pushed before this, or is already waiting when notified.
    {
        const std::lock_guard<std::mutex> lock(FWaitLock);
    }
    FWaitCondition.notify_all();
}

bool CommNoticeQueue::Post(TCommNotice notice, uint32_t param)
{
    CommNotice* made = CommNotice::Make(notice, param);
    if (made == nullptr) {
        return false;
    }
    Post(made);
    return true;
}

void CommNoticeQueue::Gather()
{
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
}

CommNotice* CommNoticeQueue::Next()
{
    CommNotice* notice = FFirst;
    if (notice != nullptr) {
        FFirst = notice->FNext;
        if (FFirst == nullptr) {
            FLast = nullptr;
        }
        notice->FNext = nullptr;
    }
    return notice;
}

bool CommNoticeQueue::WaitForNotices(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(FWaitLock);
    return FWaitCondition.wait_for(lock, timeout, [this] { return Waiting(); });
}

}  // namespace ortiva
