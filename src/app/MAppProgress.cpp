#include "app/MAppProgress.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "app/MAppUserPort.h"

namespace {

// How often the progress display takes the front end's events while the work runs: often
// enough for a window that answers at once, rarely enough to cost the work nothing.
constexpr auto kPollInterval = std::chrono::milliseconds(10);

}  // namespace

bool mapp_work_with_progress(MAppUserPort& port, int step, const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done.store(true, std::memory_order_release);
    });
    bool go_on = port.progress_step(step);
    while (!done.load(std::memory_order_acquire)) {
        std::this_thread::sleep_for(kPollInterval);
        go_on = port.progress_step(step) && go_on;
    }
    worker.join();
    return go_on;
}
