#include "edit/MedtLaneAxis.h"

#include <algorithm>

MedtLaneAxis MedtLaneAxis::of(const MplyResolvedKeys& keys) {
    MedtLaneAxis axis;
    if (keys.notes.empty()) return axis;
    int32_t lo = 127, hi = 0;
    for (const MplyLaneNote& n : keys.notes) {
        lo = std::min<int32_t>(lo, n.key);
        hi = std::max<int32_t>(hi, n.key);
    }
    axis.low = lo - lo % 12;
    axis.high = hi - hi % 12 + 12;
    return axis;
}

std::vector<int32_t> MedtLaneAxis::c_keys() const {
    std::vector<int32_t> out;
    for (int32_t k = low; k < high; k += 12)
        out.push_back(k);
    return out;
}

MedtLaneAxis MedtLaneAxis::joined(const MedtLaneAxis& other) const {
    MedtLaneAxis axis;
    axis.low = std::min(low, other.low);
    axis.high = std::max(high, other.high);
    return axis;
}
