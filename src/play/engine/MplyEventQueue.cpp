#include "play/engine/MplyEventQueue.h"

#include <algorithm>
#include <cstring>
#include <iterator>

MplyEventQueue::~MplyEventQueue() {
    clear();
}

bool MplyEventQueue::insert(MplyEvent* event) {
    if (!event) return false;
    // Biasing the time turns the signed comparison into an unsigned one on the whole key.
    const uint64_t biased = static_cast<uint32_t>(event->time) ^ 0x80000000u;
    const Entry entry{biased << 32 | event->order_word(), serial_++, event};
    try {
        // The heap can always take the whole batch, so that ordering it never needs memory.
        if (heap_.capacity() < heap_.size() + batch_.size() + 1)
            heap_.reserve(2 * (heap_.size() + batch_.size()) + 64);
        batch_.push_back(entry);
    } catch (const std::bad_alloc&) {
        destroy(event);
        return false;
    }
    ++size_;
    if (size_ > peak_) peak_ = size_;
    return true;
}

MplyEvent* MplyEventQueue::front() {
    settle();
    const bool from_sorted = read_ < sorted_.size();
    if (!from_sorted && heap_.empty()) return nullptr;
    if (!from_sorted) return heap_.front().event;
    if (heap_.empty() || sorted_[read_] < heap_.front()) return sorted_[read_].event;
    return heap_.front().event;
}

MplyEvent* MplyEventQueue::pop() {
    settle();
    const bool from_sorted = read_ < sorted_.size();
    if (!from_sorted && heap_.empty()) return nullptr;
    --size_;
    if (from_sorted && (heap_.empty() || sorted_[read_] < heap_.front())) {
        MplyEvent* first = sorted_[read_++].event;
        if (read_ == sorted_.size()) {
            sorted_.clear();
            read_ = 0;
        }
        return first;
    }
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
    for (Entry& e : batch_)
        destroy(e.event);
    for (size_t i = read_; i < sorted_.size(); ++i)
        destroy(sorted_[i].event);
    for (Entry& e : heap_)
        destroy(e.event);
    batch_.clear();
    sorted_.clear();
    read_ = 0;
    heap_.clear();
    size_ = 0;
}

void MplyEventQueue::heap_push(const Entry& e) {
    heap_.push_back(e);  // never grows: insert keeps the room
    sift_up(heap_.size() - 1);
}

void MplyEventQueue::settle() {
    if (batch_.empty()) return;
    if (batch_.size() > kSmallBatch && sort_runs(batch_)) {
        try {
            if (read_ == sorted_.size()) {
                sorted_.swap(batch_);
            } else {
                scratch_.clear();
                scratch_.reserve(sorted_.size() - read_ + batch_.size());
                std::merge(sorted_.begin() + static_cast<std::ptrdiff_t>(read_), sorted_.end(),
                           batch_.begin(), batch_.end(), std::back_inserter(scratch_));
                sorted_.swap(scratch_);
            }
            read_ = 0;
            batch_.clear();
            return;
        } catch (const std::bad_alloc&) {
            // Ordered through the heap below instead.
        }
    }
    for (const Entry& e : batch_)
        heap_push(e);
    batch_.clear();
}

bool MplyEventQueue::sort_runs(std::vector<Entry>& v) {
    // The starts of the ascending runs, then the end.
    std::vector<size_t> bounds;
    try {
        bounds.push_back(0);
        for (size_t i = 1; i < v.size(); ++i) {
            if (v[i] < v[i - 1]) bounds.push_back(i);
        }
        bounds.push_back(v.size());
        if (bounds.size() == 2) return true;
        scratch_.resize(v.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::vector<Entry>* from = &v;
    std::vector<Entry>* to = &scratch_;
    while (bounds.size() > 2) {
        size_t kept = 0;
        size_t r = 0;
        for (; r + 2 < bounds.size(); r += 2) {
            std::merge(from->begin() + static_cast<std::ptrdiff_t>(bounds[r]),
                       from->begin() + static_cast<std::ptrdiff_t>(bounds[r + 1]),
                       from->begin() + static_cast<std::ptrdiff_t>(bounds[r + 1]),
                       from->begin() + static_cast<std::ptrdiff_t>(bounds[r + 2]),
                       to->begin() + static_cast<std::ptrdiff_t>(bounds[r]));
            bounds[kept++] = bounds[r];
        }
        if (r + 1 < bounds.size()) {
            // An odd run left over is copied as it is.
            std::copy(from->begin() + static_cast<std::ptrdiff_t>(bounds[r]),
                      from->begin() + static_cast<std::ptrdiff_t>(bounds[r + 1]),
                      to->begin() + static_cast<std::ptrdiff_t>(bounds[r]));
            bounds[kept++] = bounds[r];
        }
        bounds[kept++] = v.size();
        bounds.resize(kept);
        std::swap(from, to);
    }
    if (from != &v) v.swap(scratch_);
    return true;
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
