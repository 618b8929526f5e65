#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

// One posted message: what a worker tells the front end without waiting for it.
struct KvMessage {
    uint32_t message = 0;
    uintptr_t param1 = 0;
    intptr_t param2 = 0;
};

// A thread-safe queue of posted messages that the front end drains; it stands where a window
// would receive posted messages. Any thread may post; usually one thread takes.
class KvMessageQueue {
public:
    // Appends a message; false only when no memory could be had. Any thread.
    bool post(const KvMessage& message);
    // Takes the oldest message without waiting; false when the queue is empty. Any thread.
    bool take(KvMessage* out);
    // Takes the oldest message, waiting up to `timeout_ms` for one; false on timeout. Any
    // thread.
    bool wait(KvMessage* out, uint32_t timeout_ms);
    // The number of messages waiting. Any thread.
    size_t size() const;

private:
    mutable std::mutex lock_;
    std::condition_variable posted_;
    std::deque<KvMessage> messages_;
};
