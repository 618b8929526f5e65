#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "play/MplyEvent.h"

// The time-ordered queue of the player's events. Events are ordered by time (signed, earliest
// first), then by channel × 256 + sort rank, and events with equal keys keep the order in which
// they were inserted. The queue owns its events and their memory: small events come from a
// free list of fixed slots so that a long run does not go through the allocator for every note.
// The engine's thread only.
class MplyEventQueue {
public:
    MplyEventQueue() = default;
    MplyEventQueue(const MplyEventQueue&) = delete;
    MplyEventQueue& operator=(const MplyEventQueue&) = delete;
    ~MplyEventQueue();

    // Makes an event of class E owned by this queue (not yet inserted); nullptr when no memory
    // could be had.
    template <class E, class... Args>
    E* make(Args&&... args) {
        void* memory = allocate(sizeof(E));
        if (!memory) return nullptr;
        E* e = new (memory) E(std::forward<Args>(args)...);
        e->pooled_ = sizeof(E) <= kSlotSize ? 1 : 0;
        return e;
    }

    // Inserts an event made by make() after every event with an equal key. False when no
    // memory could be had; the event is then destroyed.
    bool insert(MplyEvent* event);

    // Makes and inserts in one step; false when no memory could be had.
    template <class E, class... Args>
    bool add(Args&&... args) {
        E* e = make<E>(std::forward<Args>(args)...);
        return e && insert(e);
    }

    // The first event, or nullptr when the queue is empty.
    MplyEvent* front() const { return heap_.empty() ? nullptr : heap_.front().event; }
    // Removes the first event and hands it to the caller, who gives it back through destroy();
    // nullptr when the queue is empty.
    MplyEvent* pop();
    // Destroys an event made by this queue (popped or never inserted).
    void destroy(MplyEvent* event);
    // Destroys every queued event unplayed.
    void clear();

    bool empty() const { return heap_.empty(); }
    size_t size() const { return heap_.size(); }
    // The largest number of events held at once since the last reset_peak().
    size_t peak_size() const { return peak_; }
    void reset_peak() { peak_ = heap_.size(); }

private:
    static constexpr size_t kSlotSize = 32;
    static constexpr size_t kSlotsPerChunk = 4096;

    struct Entry {
        uint64_t key;  // biased time in the high half, order word in the low half
        uint64_t serial;
        MplyEvent* event;
        bool operator<(const Entry& o) const {
            return key != o.key ? key < o.key : serial < o.serial;
        }
    };

    // Memory for an event of `size` bytes: a slot for small events, the heap otherwise.
    void* allocate(size_t size);
    void release(void* memory, bool small);
    void sift_up(size_t i);
    void sift_down(size_t i);

    std::vector<Entry> heap_;
    uint64_t serial_ = 0;
    size_t peak_ = 0;
    void* free_ = nullptr;  // free slots linked through their first bytes
    std::vector<std::unique_ptr<unsigned char[]>> chunks_;
};
