#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/MidiOut.h"

// MIDI output through a JACK server (which PipeWire desktops also serve). Its MIDI output port,
// "midi_out", is on the program's one client "korvante" (shared with the JACK input:
// JackClient.h); the devices are the MIDI input ports of the other clients, and opening one
// connects our port to it. Messages are not written when they
// are sent: each goes into a ring with the server frame it is meant for (its time on the
// connection's timeline, a fixed latency later: JackTimeline.h), and the server's process
// callback writes it into the period that holds that frame, at its offset. So neither the
// worker's wake-ups nor the server's late periods move the notes against each other.
namespace kv_midi {

// The ring between the thread that sends and the server's process callback: one producer and
// one consumer, without locks. A message longer than kMaxBytes is refused.
class jack_midi_ring {
public:
    static constexpr size_t kSlots = 2048;
    static constexpr size_t kMaxBytes = 256;

    struct slot {
        uint32_t frame = 0;  // the server frame the message is written at
        uint16_t size = 0;
        std::array<uint8_t, kMaxBytes> bytes{};
    };

    // Producer: adds a message; false when the ring is full or the message empty or too long.
    bool push(uint32_t frame, const uint8_t* data, size_t size);
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
// (or shuts our client out) makes an open output lost(), with the server's reason in
// last_error. Never null. One thread at a time, as every midi_out.
std::unique_ptr<midi_out> make_jack_midi_out();

}  // namespace kv_midi
