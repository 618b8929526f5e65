#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <thread>

#include "platform/MessageQueue.h"
#include "platform/x_thread.h"

namespace worker_thread_test {

TEST(PlatformMessageQueue, MessagesComeOutInPostingOrderAcrossThreads) {
    KvMessageQueue q;
    KvMessage m;
    EXPECT_FALSE(q.take(&m));
    EXPECT_FALSE(q.wait(&m, 1));
    std::thread poster([&] {
        for (int i = 0; i < 1000; ++i)
            q.post(KvMessage{7, static_cast<uintptr_t>(i), -i});
    });
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(q.wait(&m, 10000));
        EXPECT_EQ(m.message, 7u);
        EXPECT_EQ(m.param1, static_cast<uintptr_t>(i));
        EXPECT_EQ(m.param2, -i);
    }
    poster.join();
    EXPECT_EQ(q.size(), 0u);
}

struct Job {
    std::atomic<bool> release{false};
    std::atomic<int> runs{0};
    x_thread* thread = nullptr;
};

// Runs until released or asked to stop; returns 40 + the number of runs so far.
int job(void* user) {
    auto* j = static_cast<Job*>(user);
    while (!j->release.load() && !j->thread->is_stop_requested())
        std::this_thread::yield();
    return 40 + ++j->runs;
}

TEST(PlatformWorkerThread, RunsOneProcedureAtATimeAndPostsItsEnd) {
    KvMessageQueue window;
    Job j;
    x_thread t;
    j.thread = &t;
    t.set_user_data(&j);
    t.set_end_notify(&window, 0x8010, 5);
    EXPECT_TRUE(t.request_stop());  // nothing runs: nothing to stop
    EXPECT_FALSE(t.is_stop_requested());

    ASSERT_TRUE(t.start(job));
    EXPECT_TRUE(t.running());
    EXPECT_FALSE(t.start(job));      // one run at a time
    EXPECT_FALSE(t.request_stop());  // it was running
    KvMessage m;
    ASSERT_TRUE(window.wait(&m, 10000));
    EXPECT_EQ(m.message, 0x8010u);
    EXPECT_EQ(m.param1, 41u);
    EXPECT_EQ(m.param2, 5);
    EXPECT_FALSE(t.running());
    EXPECT_FALSE(t.is_stop_requested());  // cleared at the end of the run

    j.release = true;  // a second run ends by itself
    ASSERT_TRUE(t.start(job));
    ASSERT_TRUE(window.wait(&m, 10000));
    EXPECT_EQ(m.param1, 42u);
}

// A procedure that asks for a message to be posted once its thread is idle, and records the
// priority it ran at after a moment's wait for raise_priority.
struct IdleJob {
    x_thread* thread = nullptr;
    KvMessageQueue* window = nullptr;
    std::atomic<bool> raised{false};
    int policy = -1;
    int priority = -1;
};

int idle_job(void* user) {
    auto* j = static_cast<IdleJob*>(user);
    while (!j->raised.load())
        std::this_thread::yield();
    sched_param param{};
    pthread_getschedparam(pthread_self(), &j->policy, &param);
    j->priority = param.sched_priority;
    j->thread->post_when_idle(j->window, KvMessage{0x8003, 1, 2});
    return 0;
}

TEST(PlatformWorkerThread, PostsWhenIdleAndAsksForAModestPriority) {
    KvMessageQueue window;
    IdleJob j;
    x_thread t;
    j.thread = &t;
    j.window = &window;
    t.set_user_data(&j);
    for (int run = 0; run < 200; ++run) {
        j.raised = false;
        ASSERT_TRUE(t.start(idle_job));
        const bool raised = t.raise_priority();
        j.raised = true;
        KvMessage m;
        ASSERT_TRUE(window.wait(&m, 10000));
        EXPECT_EQ(m.message, 0x8003u);
        // Whoever receives the message finds the thread idle.
        ASSERT_FALSE(t.running()) << run;
        if (raised) {
            // Real-time, but far below the top: the system's own real-time work comes first.
            EXPECT_EQ(j.policy, SCHED_FIFO);
            EXPECT_EQ(j.priority, x_thread::kRealTimePriority);
        }
    }
}

// A clock that runs a second ahead at every reading, so that waits time out at once.
class FastClock : public KvClock {
public:
    uint32_t now_ms() override { return now_ += 1000; }
    void sleep_ms(uint32_t) override { std::this_thread::yield(); }

private:
    std::atomic<uint32_t> now_{0};
};

TEST(PlatformWorkerThread, DestructionStopsARunningProcedure) {
    FastClock clock;
    Job j;
    {
        x_thread t(&clock);
        j.thread = &t;
        t.set_user_data(&j);
        ASSERT_TRUE(t.start(job));
        // Leaving the scope waits up to its limit, then asks the procedure to stop.
    }
    EXPECT_EQ(j.runs.load(), 1);
    EXPECT_FALSE(j.release.load());
}

}  // namespace worker_thread_test
