#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

// Where the JACK output puts a message in the server's frames. No JACK calls here: the server's
// frame counter and the steady clock come in as numbers, so that all of it can be tested without
// a server.
//
// Why frames and not the server's microseconds: a message's place used to be found from the
// microseconds JACK's delay-locked loop gives each period (jack_get_cycle_times). Whenever the
// server's driver wakes up too late (the dummy driver on a busy machine; any driver after an
// xrun) it starts its periods over, the frame counter loses that time against the wall clock and
// the loop takes seconds to settle on the new phase, following it with overshoot. Over those
// seconds the loop's microseconds stretch and shrink against the frames: notes placed by them
// landed up to 20 ms away from their frames relative to each other. The frames are what a
// listener (and jack_midi_dump) counts, so the timeline is now one straight line of frames over
// the steady clock, laid down when the output starts and moved only slowly (jack_timeline).
namespace kv_midi {

// The latency added to every message: the worker must have handed a message over before the
// period that holds its frame begins, so two periods and 5 ms of slack for the worker's late
// wake-ups. Any thread.
uint64_t jack_midi_lead_us(uint32_t period_frames, uint32_t sample_rate);

// The offset within the period whose first frame is `first` (of `frames` frames) of a message
// meant for frame `target`: 0 for a frame already past, -1 when it lies in a later period.
// Frames wrap as the server's 32-bit counter does. Any thread.
int64_t jack_period_offset(uint32_t target, uint32_t first, uint32_t frames);

// The server's frame counter seen from the steady clock: the process callback tells it the first
// frame of each period and the steady time it was called at; it keeps the steady time of frame 0
// (the base) as the earliest of the last periods, since a callback is only ever woken late.
// observe belongs to the process callback; base_us and ready to any thread.
class jack_frame_clock {
public:
    static constexpr size_t kWindow = 64;  // periods the earliest is taken over

    explicit jack_frame_clock(uint32_t sample_rate);

    void observe(uint32_t first_frame, int64_t steady_us);
    // The steady microseconds of frame 0 of the counter (as if it had not wrapped).
    double base_us() const { return base_.load(std::memory_order_acquire); }
    // True once a period has been seen.
    bool ready() const { return ready_.load(std::memory_order_acquire); }

private:
    double rate_;
    std::array<double, kWindow> recent_{};
    size_t seen_ = 0;
    std::atomic<double> base_{0};
    std::atomic<bool> ready_{false};
};

// The timeline of one connection: the frame a message meant for a steady time goes to, the lead
// added. It takes the frame clock's base when it starts and then keeps its own, so that the
// distances between notes are the distances between their times, whatever the server's periods
// do. It follows the server only where that matters and slowly: when the server's frames run
// ahead of its line by more than kLateSlackUs (a sound card's clock faster than the system's),
// which would make messages late, at most kCatchUpPpm of the time that passes; when they fall
// behind by more than kEarlySlackUs (time the server lost), which only holds messages longer,
// at kLetGoPpm. Beyond kRestartUs either way (a server that stood still) it starts over. The
// sending thread only.
class jack_timeline {
public:
    static constexpr double kLateSlackUs = 2000;
    static constexpr double kEarlySlackUs = 20000;
    static constexpr double kCatchUpPpm = 500;
    static constexpr double kLetGoPpm = 20;
    static constexpr double kRestartUs = 1000000;

    jack_timeline(uint32_t sample_rate, uint64_t lead_us);

    // The next message lays the line down afresh.
    void restart() { started_ = false; }
    // The frame of a message meant for steady time `due_us`, sent at `now_us`, with the frame
    // clock's base now `server_base_us`.
    uint32_t frame_of(int64_t due_us, int64_t now_us, double server_base_us);
    // The base the line counts from (steady microseconds of frame 0).
    double base_us() const { return base_; }

private:
    void follow(int64_t now_us, double server_base_us);

    double rate_;
    double lead_us_;
    bool started_ = false;
    double base_ = 0;
    int64_t last_us_ = 0;
};

}  // namespace kv_midi
