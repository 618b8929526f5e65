#pragma once

#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/Clock.h"
#include "platform/MessageQueue.h"

// What a running procedure may ask of the thread that runs it.
class x_thread_control {
public:
    virtual ~x_thread_control() = default;
    // Asks a running thread to stop; returns whether the thread was not running. Any thread.
    virtual bool request_stop() = 0;
    // True once a stop has been asked for and the thread has not ended yet. Any thread.
    virtual bool is_stop_requested() = 0;
};

// A worker thread that runs one procedure at a time, with a running flag, a stop request and
// an optional end notification. The flags and the handle are guarded by the object's lock.
class x_thread : public x_thread_control {
public:
    // The SCHED_FIFO priority asked for by raise_priority (1 is the lowest, 99 the highest).
    static constexpr int kRealTimePriority = 10;

    using procedure = int (*)(void* user);

    // A thread object without a thread; `clock` (the system clock when null) times the waits of
    // destruction. Any thread.
    explicit x_thread(KvClock* clock = nullptr);
    // Waits for a running procedure to end: up to 10 s, then up to 10 s more after asking it to
    // stop, and then for as long as it takes (the procedure uses memory its owner is about to
    // free, so it is never left behind). The owner's thread.
    ~x_thread() override;

    // The pointer handed to the procedure. Set before start; the owner's thread.
    void set_user_data(void* user) { user_ = user; }
    void* user_data() const { return user_; }

    // Posts `message` with (procedure result, `param`) to `queue` when a run ends; a null queue
    // turns it off. The owner's thread, outside runs.
    void set_end_notify(KvMessageQueue* queue, uint32_t message, intptr_t param);

    // Posts `message` to `queue` once the running procedure has returned and the thread is idle
    // (running() is false and start() accepts), so that a receiver may start the next run at
    // once. Called by the procedure during its run; only the last call of a run counts. The
    // procedure's thread.
    void post_when_idle(KvMessageQueue* queue, const KvMessage& message);

    // Starts `proc` on a new thread. False when a run is active or the thread cannot be
    // created. The owner's thread.
    bool start(procedure proc);
    bool request_stop() override;
    bool is_stop_requested() override;
    // True from start until the procedure has returned. Any thread.
    bool running() const;
    // Tries to give the thread a modest real-time priority (SCHED_FIFO, kRealTimePriority):
    // above every normal thread, below the system's own real-time work. False when the system
    // refuses or no thread exists, and the thread then keeps its normal priority. Any thread.
    bool raise_priority();

private:
    void body(procedure proc);
    // Polls every 1 ms until no run is active or `timeout_ms` has passed; true when idle.
    bool wait_idle(uint32_t timeout_ms);

    KvClock* clock_;
    mutable std::mutex lock_;
    std::thread handle_;
    bool has_handle_ = false;
    void* user_ = nullptr;
    bool running_ = false;
    bool stop_requested_ = false;
    KvMessageQueue* end_queue_ = nullptr;
    uint32_t end_message_ = 0;
    intptr_t end_param_ = 0;
    KvMessageQueue* idle_queue_ = nullptr;
    KvMessage idle_message_{};
};
