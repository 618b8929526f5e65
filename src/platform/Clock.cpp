#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace {

class SystemClock final : public KvClock {
public:
    uint32_t now_ms() override {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
        // Keep the low 32 bits: callers measure differences as wrapping unsigned numbers.
        return static_cast<uint32_t>(static_cast<uint64_t>(ms));
    }
    void sleep_ms(uint32_t ms) override {
        if (ms == 0) {
            std::this_thread::yield();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

}  // namespace

KvClock& KvClock::system() {
    static SystemClock clock;
    return clock;
}
