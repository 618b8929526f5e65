#pragma once

#include <cstdint>

// The millisecond clock and the sleeps of the program. The player engine reads time only
// through this interface, so that tests can drive it with a clock of their own.
class KvClock {
public:
    virtual ~KvClock() = default;
    // Milliseconds from a monotonic clock as a wrapping unsigned 32-bit value; never fails.
    // Any thread.
    virtual uint32_t now_ms() = 0;
    // Suspends the calling thread for about `ms` milliseconds (0 only yields). Any thread.
    virtual void sleep_ms(uint32_t ms) = 0;

    // The clock of the system: steady time and real sleeps. Never fails; any thread.
    static KvClock& system();
};
