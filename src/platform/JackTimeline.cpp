// The JACK output's frames: the lead, the place within a period, the frame clock and the
// timeline of a connection.
#include "platform/JackTimeline.h"

#include <algorithm>
#include <cmath>

namespace kv_midi {

namespace {

double rate_or_default(uint32_t sample_rate) {
    return sample_rate ? static_cast<double>(sample_rate) : 48000.0;
}

}  // namespace

uint64_t jack_midi_lead_us(uint32_t period_frames, uint32_t sample_rate) {
    const uint64_t rate = sample_rate ? sample_rate : 48000;
    return 2 * uint64_t{period_frames} * 1000000 / rate + 5000;
}

int64_t jack_period_offset(uint32_t target, uint32_t first, uint32_t frames) {
    // The distance as a signed number: the counter wraps after 2^32 frames.
    const int32_t ahead = static_cast<int32_t>(target - first);
    if (ahead < 0) return 0;
    return static_cast<uint32_t>(ahead) < frames ? ahead : -1;
}

jack_frame_clock::jack_frame_clock(uint32_t sample_rate) : rate_(rate_or_default(sample_rate)) {}

void jack_frame_clock::observe(uint32_t first_frame, int64_t steady_us) {
    recent_[seen_++ % kWindow] =
        static_cast<double>(steady_us) - static_cast<double>(first_frame) * 1e6 / rate_;
    const size_t n = std::min(seen_, kWindow);
    base_.store(*std::min_element(recent_.begin(), recent_.begin() + n), std::memory_order_release);
    ready_.store(true, std::memory_order_release);
}

jack_timeline::jack_timeline(uint32_t sample_rate, uint64_t lead_us)
    : rate_(rate_or_default(sample_rate)), lead_us_(static_cast<double>(lead_us)) {}

void jack_timeline::follow(int64_t now_us, double server_base_us) {
    const double elapsed = now_us > last_us_ ? static_cast<double>(now_us - last_us_) : 0.0;
    last_us_ = now_us;
    // Positive: the server's frames run ahead of the line, messages would come late.
    const double ahead = base_ - server_base_us;
    if (std::fabs(ahead) > kRestartUs) {
        base_ = server_base_us;
    } else if (ahead > kLateSlackUs) {
        base_ -= std::min(ahead - kLateSlackUs, elapsed * kCatchUpPpm * 1e-6);
    } else if (-ahead > kEarlySlackUs) {
        base_ += std::min(-ahead - kEarlySlackUs, elapsed * kLetGoPpm * 1e-6);
    }
}

uint32_t jack_timeline::frame_of(int64_t due_us, int64_t now_us, double server_base_us) {
    if (!started_) {
        started_ = true;
        base_ = server_base_us;
        last_us_ = now_us;
    } else {
        follow(now_us, server_base_us);
    }
    const double frames = (static_cast<double>(due_us) + lead_us_ - base_) * rate_ / 1e6;
    // The counter's 32 bits, wrapping as the server's does.
    return static_cast<uint32_t>(static_cast<uint64_t>(std::llround(frames)));
}

}  // namespace kv_midi
