#pragma once

// The message conversion and the queue times of the ALSA sequencer output, open to tests. Only
// with ALSA.
#ifdef KV_HAVE_ALSA
#include <alsa/asoundlib.h>

#include <cstdint>

namespace kv_midi {

// Fills `ev` (cleared first) with the sequencer event of a channel message packed as
// status | data1 << 8 | data2 << 16; data bytes are masked to 7 bits. False for a byte that is
// not a channel status. Any thread.
bool alsa_event_from_short(uint32_t packed, snd_seq_event_t* ev);

// The latency the output adds to a message the engine says the time of: the sequencer's queue
// delivers it that much after it was due, so the worker's wake-ups up to that late do not move
// the notes.
inline constexpr uint64_t kAlsaQueueLeadUs = 5000;

// The time on the output's queue (real time, counted from the queue's start) of a message due
// at `due_us` of the program clock, for a queue that started at `start_us` of that clock: the
// due time plus `lead_us`; 0 for a time before the start. The program clock's microseconds wrap
// with its 32-bit milliseconds (kv_midi::midi_clock_now_us). Any thread.
snd_seq_real_time_t alsa_queue_time(uint64_t due_us, uint64_t start_us, uint64_t lead_us);

}  // namespace kv_midi
#endif
