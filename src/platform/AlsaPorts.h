#pragma once

// The MIDI ports other clients of the ALSA sequencer offer, for the program's ALSA input and
// output, and the error handler both give the library.
#ifdef KV_HAVE_ALSA
#include <alsa/asoundlib.h>

#include <string>
#include <vector>

namespace kv_midi {

struct alsa_port {
    snd_seq_addr_t addr{};
    std::string name;
    unsigned type = 0;  // the port's SND_SEQ_PORT_TYPE_* bits
};

// The generic MIDI ports with every capability of `caps` (reading or writing, and subscribing
// for it) of every client but `seq` itself and the system, in client and port order. Ports that
// ask not to be exported are left out.
std::vector<alsa_port> alsa_midi_ports_of_others(snd_seq_t* seq, unsigned caps);

// ALSA reports its failures on stderr unless told otherwise; the library code stays quiet and
// answers with its results instead. Give it to snd_lib_error_set_handler.
void alsa_quiet(const char* file, int line, const char* function, int err, const char* fmt, ...);

}  // namespace kv_midi
#endif
