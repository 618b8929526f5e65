#include "edit/MedtMetrics.h"

#include <algorithm>
#include <iterator>

#include "model/track/MseqTrack.h"

const MedtMetrics& MedtMetrics::shared() {
    static const MedtMetrics metrics{12, 24, 48};
    return metrics;
}

namespace {

constexpr int32_t kBeatLevels[] = {1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64, 96};
constexpr int32_t kRowLevels[] = {12, 16, 20, 24, 32, 40, 48, 64, 80, 96};

// `value` moved `steps` places along the ascending `levels`.
template <size_t N>
int32_t step_along(const int32_t (&levels)[N], int32_t value, int steps) {
    const int32_t* first = std::begin(levels);
    const int32_t* last = std::end(levels);
    ptrdiff_t at = 0;
    if (steps >= 0) {
        // The greatest level not above the value, so that one step up passes it.
        at = std::upper_bound(first, last, value) - first - 1;
        if (at < 0) {
            at = 0;
            if (steps > 0) --steps;
        }
    } else {
        // The smallest level not below the value.
        at = std::lower_bound(first, last, value) - first;
        if (at >= ptrdiff_t(N)) {
            at = ptrdiff_t(N) - 1;
            ++steps;
        }
    }
    at = std::clamp<ptrdiff_t>(at + steps, 0, ptrdiff_t(N) - 1);
    return levels[at];
}

}  // namespace

MedtViewScale MedtViewScale::standard() {
    const MedtMetrics& m = MedtMetrics::shared();
    return MedtViewScale{m.beat_width, m.row_height};
}

MedtViewScale MedtViewScale::clamped() const {
    return MedtViewScale{std::clamp(beat_width, kMinBeatWidth, kMaxBeatWidth),
                         std::clamp(row_height, kMinRowHeight, kMaxRowHeight)};
}

int32_t MedtViewScale::zoom_beat_width(int32_t width, int steps) {
    return step_along(kBeatLevels, width, steps);
}

int32_t MedtViewScale::zoom_row_height(int32_t height, int steps) {
    return step_along(kRowLevels, height, steps);
}

int32_t MedtViewScale::fit_beat_width(int64_t ticks, int32_t display_beats, int32_t pixels) {
    const int64_t beats =
        (std::max<int64_t>(ticks, 1) * std::max(display_beats, 1) + MseqTrack::kTicksPerBar - 1) /
        MseqTrack::kTicksPerBar;
    const int64_t width = std::max<int64_t>(pixels, 0) / std::max<int64_t>(beats, 1);
    return static_cast<int32_t>(std::clamp<int64_t>(width, kMinBeatWidth, kMaxBeatWidth));
}
