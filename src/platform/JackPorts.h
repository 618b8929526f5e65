#pragma once

// The MIDI ports other clients of a JACK server offer, for the program's JACK input and output.
#ifdef KV_HAVE_JACK
#include <jack/jack.h>

#include <string>
#include <vector>

namespace kv_midi {

// The MIDI ports with `flags` (JackPortIsInput or JackPortIsOutput) of every client but
// `client` itself, in the server's order; empty when there are none. Any thread but the
// process callback's.
std::vector<std::string> jack_midi_ports_of_others(jack_client_t* client, unsigned long flags);

}  // namespace kv_midi
#endif
