#include "play/MplyEventQueue.h"

#include <cstring>

MplyEventQueue::~MplyEventQueue() {
    clear();
}

bool MplyEventQueue::insert(MplyEvent* event) {
    if (!event) return false;
    // Biasing the time turns the signed comparison into an unsigned one on the whole key.
    const uint64_t biased = static_cast<uint32_t>(event->time) ^ 0x80000000u;
    const Entry entry{biased << 32 | event->order_word(), serial_++, event};
    try {
        heap_.push_back(entry);
    } catch (const std::bad_alloc&) {
        destroy(event);
        return false;
    }
    sift_up(heap_.size() - 1);
    if (heap_.size() > peak_) peak_ = heap_.size();
    return true;
}

MplyEvent* MplyEventQueue::pop() {
    if (heap_.empty()) return nullptr;
    MplyEvent* first = heap_.front().event;
    heap_.front() = heap_.back();
    heap_.pop_back();
    if (!heap_.empty()) sift_down(0);
    return first;
}

void MplyEventQueue::destroy(MplyEvent* event) {
    if (!event) return;
    const bool small = event->pooled_ != 0;
    event->~MplyEvent();
    release(event, small);
}

void MplyEventQueue::clear() {
    for (Entry& e : heap_)
        destroy(e.event);
    heap_.clear();
}

void MplyEventQueue::sift_up(size_t i) {
    const Entry moving = heap_[i];
    while (i > 0) {
        const size_t parent = (i - 1) / 2;
        if (!(moving < heap_[parent])) break;
        heap_[i] = heap_[parent];
        i = parent;
    }
    heap_[i] = moving;
}

void MplyEventQueue::sift_down(size_t i) {
    const size_t n = heap_.size();
    const Entry moving = heap_[i];
    for (;;) {
        size_t child = 2 * i + 1;
        if (child >= n) break;
        if (child + 1 < n && heap_[child + 1] < heap_[child]) ++child;
        if (!(heap_[child] < moving)) break;
        heap_[i] = heap_[child];
        i = child;
    }
    heap_[i] = moving;
}

void* MplyEventQueue::allocate(size_t size) {
    if (size > kSlotSize) return ::operator new(size, std::nothrow);
    if (!free_) {
        std::unique_ptr<unsigned char[]> chunk(
            new (std::nothrow) unsigned char[kSlotSize * kSlotsPerChunk]);
        if (!chunk) return nullptr;
        try {
            chunks_.push_back(std::move(chunk));
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        unsigned char* base = chunks_.back().get();
        for (size_t k = kSlotsPerChunk; k-- > 0;) {
            void* slot = base + k * kSlotSize;
            std::memcpy(slot, &free_, sizeof free_);
            free_ = slot;
        }
    }
    void* slot = free_;
    std::memcpy(&free_, slot, sizeof free_);
    return slot;
}

void MplyEventQueue::release(void* memory, bool small) {
    if (!small) {
        ::operator delete(memory);
        return;
    }
    std::memcpy(memory, &free_, sizeof free_);
    free_ = memory;
}
