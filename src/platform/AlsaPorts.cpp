#include "platform/AlsaPorts.h"

#ifdef KV_HAVE_ALSA
namespace kv_midi {

std::vector<alsa_port> alsa_midi_ports_of_others(snd_seq_t* seq, unsigned caps) {
    std::vector<alsa_port> out;
    const int self = snd_seq_client_id(seq);
    snd_seq_client_info_t* client;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq, client) >= 0) {
        const int c = snd_seq_client_info_get_client(client);
        if (c == self || c == SND_SEQ_CLIENT_SYSTEM) continue;
        snd_seq_port_info_set_client(port, c);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0) {
            const unsigned cap = snd_seq_port_info_get_capability(port);
            const unsigned type = snd_seq_port_info_get_type(port);
            if ((cap & caps) != caps || (cap & SND_SEQ_PORT_CAP_NO_EXPORT)) continue;
            if (!(type & SND_SEQ_PORT_TYPE_MIDI_GENERIC)) continue;
            alsa_port p;
            p.addr.client = static_cast<unsigned char>(c);
            p.addr.port = static_cast<unsigned char>(snd_seq_port_info_get_port(port));
            p.name = snd_seq_port_info_get_name(port);
            p.type = type;
            out.push_back(std::move(p));
        }
    }
    return out;
}

void alsa_quiet(const char*, int, const char*, int, const char*, ...) {}

}  // namespace kv_midi
#endif
