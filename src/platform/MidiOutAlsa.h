#pragma once

// The message conversion of the ALSA sequencer output, open to tests. Only with ALSA.
#ifdef KV_HAVE_ALSA
#include <alsa/asoundlib.h>

#include <cstdint>

namespace kv_midi {

// Fills `ev` (cleared first) with the sequencer event of a channel message packed as
// status | data1 << 8 | data2 << 16; data bytes are masked to 7 bits. False for a byte that is
// not a channel status. Any thread.
bool alsa_event_from_short(uint32_t packed, snd_seq_event_t* ev);

}  // namespace kv_midi
#endif
