#pragma once

#include <cstdint>

// The whole numbers a stored value may take, both ends included (lo never above hi). The same
// constant bounds a value when a file is read and when the editor sets it. Any thread.
struct MseqRange {
    int32_t lo;
    int32_t hi;

    // `v` held at the nearer end when it lies outside.
    constexpr int32_t clamp(int64_t v) const {
        return static_cast<int32_t>(v < lo ? lo : (v > hi ? hi : v));
    }
    constexpr bool contains(int64_t v) const { return v >= lo && v <= hi; }
};
