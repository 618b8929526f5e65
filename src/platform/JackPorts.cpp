#include "platform/JackPorts.h"

#ifdef KV_HAVE_JACK
#include <cstring>

namespace kv_midi {

std::vector<std::string> jack_midi_ports_of_others(jack_client_t* client, unsigned long flags) {
    std::vector<std::string> out;
    const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    if (!ports) return out;
    const std::string self = std::string(jack_get_client_name(client)) + ":";
    for (const char** p = ports; *p; ++p) {
        if (std::strncmp(*p, self.c_str(), self.size()) != 0) out.emplace_back(*p);
    }
    jack_free(ports);
    return out;
}

}  // namespace kv_midi
#endif
