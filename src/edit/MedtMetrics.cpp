#include "edit/MedtMetrics.h"

#include <algorithm>
#include <iterator>

#include "model/core/floor_math.h"
#include "model/track/MseqTrack.h"

const MedtMetrics& MedtMetrics::shared() {
    static const MedtMetrics metrics{12, 24, 48};
    return metrics;
}

namespace {

constexpr int32_t px(int32_t v) {
    return MedtViewScale::pixels(v);
}
constexpr int32_t kBeatLevels[] = {
    1,     2,     4,     8,     16,    32,     64,     128,    256,    512,    1024,   2048,  px(1),
    px(2), px(3), px(4), px(6), px(8), px(12), px(16), px(24), px(32), px(48), px(64), px(96)};
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
    return MedtViewScale{pixels(m.beat_width), m.row_height};
}

MedtViewScale MedtViewScale::clamped() const {
    return MedtViewScale{std::clamp(beat_units, kMinBeatUnits, kMaxBeatUnits),
                         std::clamp(row_height, kMinRowHeight, kMaxRowHeight)};
}

int64_t MedtViewScale::x_of(int64_t count, int64_t num, int64_t den) {
    return den > 0 ? floor_div(count * num, den) : 0;
}

int64_t MedtViewScale::at_x(int64_t x, int64_t num, int64_t den) {
    if (num <= 0 || den <= 0) return 0;
    // The first step whose start is at or right of the pixel's left edge.
    const int64_t first = -floor_div(-x * den, num);
    return x_of(first, num, den) == x ? first : first - 1;
}

int64_t MedtViewScale::tick_x(int64_t tick, int32_t display_beats) const {
    return x_of(tick, int64_t{display_beats} * beat_units,
                int64_t{MseqTrack::kTicksPerBar} * kBeatFraction);
}

int64_t MedtViewScale::x_tick(int64_t x, int32_t display_beats) const {
    return at_x(x, int64_t{display_beats} * beat_units,
                int64_t{MseqTrack::kTicksPerBar} * kBeatFraction);
}

int32_t MedtViewScale::zoom_beat_width(int32_t units, int steps) {
    return step_along(kBeatLevels, units, steps);
}

int32_t MedtViewScale::zoom_row_height(int32_t height, int steps) {
    return step_along(kRowLevels, height, steps);
}

int32_t MedtViewScale::fit_beat_width(int64_t ticks, int32_t display_beats, int32_t pixels) {
    // The largest width w with ticks × display_beats × w ≤ pixels × kBeatFraction × a bar.
    const int64_t span = std::max<int64_t>(ticks, 1) * std::max(display_beats, 1);
    const int64_t room =
        std::max<int64_t>(pixels, 0) * kBeatFraction * int64_t{MseqTrack::kTicksPerBar};
    return static_cast<int32_t>(std::clamp<int64_t>(room / span, kMinBeatUnits, kMaxBeatUnits));
}
