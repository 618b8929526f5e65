#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "play/engine/MplyEvent.h"

// The time-ordered queue of the player's events. Events are ordered by time (signed, earliest
// first), then by channel × 256 + sort rank, and events with equal keys keep the order in which
// they were inserted. The queue owns its events and their memory: small events come from a
// free list of fixed slots so that a long run does not go through the allocator for every note.
//
// Inserted events wait in an unsorted batch until the next look at the front. A small batch
// goes into a binary heap; a large one (a whole music generated at once) is sorted by merging
// the ordered runs it is made of (each track generates in time order) and merged with what is
// left of the previous sorted batch. The front is the smaller of the sorted batch's first event
// and the heap's top. The engine's thread only.
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
    MplyEvent* front();
    // Removes the first event and hands it to the caller, who gives it back through destroy();
    // nullptr when the queue is empty.
    MplyEvent* pop();
    // Destroys an event made by this queue (popped or never inserted).
    void destroy(MplyEvent* event);
    // Destroys every queued event unplayed.
    void clear();

    bool empty() const { return size_ == 0; }
    size_t size() const { return size_; }
    // The largest number of events held at once since the last reset_peak().
    size_t peak_size() const { return peak_; }
    void reset_peak() { peak_ = size_; }

private:
    static constexpr size_t kSlotSize = 32;
    static constexpr size_t kSlotsPerChunk = 4096;
    // Batches up to this size go into the heap one by one.
    static constexpr size_t kSmallBatch = 32;

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
    void heap_push(const Entry& e);
    // Moves the waiting batch into the sorted batch or the heap.
    void settle();
    // Sorts `v` by merging its ascending runs; false when no memory could be had.
    bool sort_runs(std::vector<Entry>& v);

    std::vector<Entry> batch_;   // inserted, not yet ordered
    std::vector<Entry> sorted_;  // ordered; sorted_[read_] is its first
    size_t read_ = 0;
    std::vector<Entry> heap_;
    std::vector<Entry> scratch_;
    size_t size_ = 0;
    uint64_t serial_ = 0;
    size_t peak_ = 0;
    void* free_ = nullptr;  // free slots linked through their first bytes
    std::vector<std::unique_ptr<unsigned char[]>> chunks_;
};
