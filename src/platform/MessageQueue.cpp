#include "platform/MessageQueue.h"

#include <chrono>
#include <new>

bool KvMessageQueue::post(const KvMessage& message) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        try {
            messages_.push_back(message);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    posted_.notify_one();
    return true;
}

bool KvMessageQueue::take(KvMessage* out) {
    std::lock_guard<std::mutex> hold(lock_);
    if (messages_.empty()) return false;
    if (out) *out = messages_.front();
    messages_.pop_front();
    return true;
}

bool KvMessageQueue::wait(KvMessage* out, uint32_t timeout_ms) {
    std::unique_lock<std::mutex> hold(lock_);
    if (!posted_.wait_for(hold, std::chrono::milliseconds(timeout_ms),
                          [this] { return !messages_.empty(); }))
        return false;
    if (out) *out = messages_.front();
    messages_.pop_front();
    return true;
}

size_t KvMessageQueue::size() const {
    std::lock_guard<std::mutex> hold(lock_);
    return messages_.size();
}
