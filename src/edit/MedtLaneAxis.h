#pragma once

#include <cstdint>
#include <vector>

#include "play/engine/MplyKeyLane.h"

// The pitch axis of a resolved-pitch lane: from the C at or below its lowest key to the C above
// its highest (at least one octave), kKeyHeight pixels a semitone, high keys at the top.
struct MedtLaneAxis {
    static constexpr int32_t kKeyHeight = 3;
    int32_t low = 60;   // a C
    int32_t high = 72;  // a C above `low`
    // The axis of `keys`; C5 to C6 when there are none.
    static MedtLaneAxis of(const MplyResolvedKeys& keys);
    // The axis spanning both this one and `other`.
    MedtLaneAxis joined(const MedtLaneAxis& other) const;
    int32_t height() const { return (high - low) * kKeyHeight; }
    // The top of `key`'s line in a lane whose top is `top`.
    int32_t key_top(int32_t top, int32_t key) const { return top + (high - 1 - key) * kKeyHeight; }
    // The keys of the C's the axis labels, lowest first.
    std::vector<int32_t> c_keys() const;
};
