#include "platform/x_thread.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <system_error>

x_thread::x_thread(KvClock* clock) : clock_(clock ? clock : &KvClock::system()) {}

x_thread::~x_thread() {
    if (!wait_idle(10000)) {
        request_stop();
        wait_idle(10000);
    }
    // A procedure that still runs is waited for: it works on its owner's memory.
    std::thread t;
    {
        std::lock_guard<std::mutex> hold(lock_);
        t = std::move(handle_);
        has_handle_ = false;
    }
    if (t.joinable()) t.join();
}

void x_thread::set_end_notify(KvMessageQueue* queue, uint32_t message, intptr_t param) {
    std::lock_guard<std::mutex> hold(lock_);
    end_queue_ = queue;
    end_message_ = message;
    end_param_ = param;
}

bool x_thread::start(procedure proc) {
    clock_->sleep_ms(0);
    std::lock_guard<std::mutex> hold(lock_);
    if (running_ || !proc) return false;
    // The previous run has ended (running is clear and its thread left the lock for good):
    // collect its thread.
    if (handle_.joinable()) handle_.join();
    running_ = true;
    stop_requested_ = false;
    idle_queue_ = nullptr;
    try {
        // Created under the lock: the new thread cannot finish before the handle is stored.
        handle_ = std::thread(&x_thread::body, this, proc);
        has_handle_ = true;
    } catch (const std::system_error&) {
        running_ = false;
        return false;
    }
    return true;
}

void x_thread::body(procedure proc) {
    const int result = proc(user_);
    std::lock_guard<std::mutex> hold(lock_);
    running_ = false;
    stop_requested_ = false;
    if (end_queue_) {
        end_queue_->post(KvMessage{
            end_message_, static_cast<uintptr_t>(static_cast<intptr_t>(result)), end_param_});
    }
    // Posted under the lock with the flags cleared: whoever receives it finds the thread idle.
    if (idle_queue_) idle_queue_->post(idle_message_);
    idle_queue_ = nullptr;
    has_handle_ = false;
}

void x_thread::post_when_idle(KvMessageQueue* queue, const KvMessage& message) {
    std::lock_guard<std::mutex> hold(lock_);
    idle_queue_ = queue;
    idle_message_ = message;
}

bool x_thread::request_stop() {
    std::lock_guard<std::mutex> hold(lock_);
    if (running_) stop_requested_ = true;
    return !running_;
}

bool x_thread::is_stop_requested() {
    std::lock_guard<std::mutex> hold(lock_);
    return stop_requested_;
}

bool x_thread::running() const {
    std::lock_guard<std::mutex> hold(lock_);
    return running_;
}

bool x_thread::raise_priority() {
    std::lock_guard<std::mutex> hold(lock_);
    if (!has_handle_ || !handle_.joinable()) return false;
    sched_param param{};
    param.sched_priority = std::clamp(kRealTimePriority, sched_get_priority_min(SCHED_FIFO),
                                      sched_get_priority_max(SCHED_FIFO));
    return pthread_setschedparam(handle_.native_handle(), SCHED_FIFO, &param) == 0;
}

bool x_thread::wait_idle(uint32_t timeout_ms) {
    const uint32_t begin = clock_->now_ms();
    while (running()) {
        if (clock_->now_ms() - begin >= timeout_ms) return false;
        clock_->sleep_ms(1);
    }
    return true;
}
