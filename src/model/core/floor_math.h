#pragma once

#include <cstdint>

// Integer helpers for pitch and octave arithmetic, where values below zero must round towards
// minus infinity (an octave below C is -1, not 0). All work on 64 bits so that any pair of 32-bit
// operands is exact; callers narrow the result themselves. Any thread.

// a / b rounded towards minus infinity; b must not be 0.
constexpr int64_t floor_div(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// a - b × floor_div(a, b): in 0 to b - 1 for a positive b; b must not be 0.
constexpr int64_t floor_mod(int64_t a, int64_t b) {
    return a - b * floor_div(a, b);
}

// a moved into lo to hi by whole periods of (hi - lo + 1); lo must not exceed hi.
constexpr int64_t wrap_range(int64_t a, int64_t lo, int64_t hi) {
    return lo + floor_mod(a - lo, hi - lo + 1);
}

// a limited to lo to hi; lo must not exceed hi.
constexpr int64_t clamp_range(int64_t a, int64_t lo, int64_t hi) {
    return a < lo ? lo : (a > hi ? hi : a);
}
