#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/MidiOut.h"

// MIDI output through a JACK server (which PipeWire desktops also serve). Our client
// "korvante" has one MIDI output port, "midi_out"; the devices are the MIDI input ports of the
// other clients, and opening one connects our port to it. Messages are not written when they
// are sent: each goes into a ring with the time it is meant for, and the server's process
// callback writes it into the period that holds that time, at its frame, a fixed latency
// later (kv_midi::jack_midi_lead_us). So the worker's wake-ups do not move the notes.
namespace kv_midi {

// The latency added to every message: the worker must have handed a message over before the
// period that holds its time begins, so two periods and 5 ms of slack for the worker's late
// wake-ups. Any thread.
uint64_t jack_midi_lead_us(uint32_t period_frames, uint32_t sample_rate);

// Where a message meant for `target_us` goes in the period that starts at `cycle_us` and ends
// before `next_us` (both in the server's microseconds) of `frames` frames: its frame offset,
// 0 for a time already past, or -1 when the time lies beyond the period (it waits for a later
// one). Any thread.
int64_t jack_frame_offset(uint64_t target_us, uint64_t cycle_us, uint64_t next_us, uint32_t frames);

// The ring between the thread that sends and the server's process callback: one producer and
// one consumer, without locks. A message longer than kMaxBytes is refused.
class jack_midi_ring {
public:
    static constexpr size_t kSlots = 2048;
    static constexpr size_t kMaxBytes = 256;

    struct slot {
        uint64_t target_us = 0;  // server time the message is written at
        uint16_t size = 0;
        std::array<uint8_t, kMaxBytes> bytes{};
    };

    // Producer: adds a message; false when the ring is full or the message empty or too long.
    bool push(uint64_t target_us, const uint8_t* data, size_t size);
    // Producer: every message pushed so far is to be dropped, not written; their slots are
    // free once the consumer has looked at the front again.
    void drop_pending();

    // Consumer: the oldest message still to be written, or null. Dropped messages are skipped.
    const slot* front();
    // Consumer: the front message has been written.
    void pop();

    // True when nothing is waiting. Either side.
    bool empty() const;

private:
    std::array<slot, kSlots> slots_{};
    std::atomic<uint64_t> write_{0};
    std::atomic<uint64_t> read_{0};
    std::atomic<uint64_t> drop_to_{0};  // messages before this index are dropped
};

// The JACK output; an output without devices when the program was built without JACK. The
// connection to the server is made at the first question and kept; a server that goes away
// makes an open output lost(). Never null. One thread at a time, as every midi_out.
std::unique_ptr<midi_out> make_jack_midi_out();

}  // namespace kv_midi
