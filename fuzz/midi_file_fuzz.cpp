// Two properties of the MIDI file code under arbitrary input. The decoder reads any bytes
// without fault, and what it accepts is in time order and made of whole messages. The writer,
// driven by the bytes as a script of events, always produces a file that the decoder accepts
// with one message for every channel event written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "platform/MidiRender.h"
#include "play/export/MplySmfWriter.h"

namespace {

void check_decoded(const std::vector<kv_synth::timed_message>& messages) {
    double last = 0;
    for (const auto& m : messages) {
        if (m.seconds < last || m.bytes.empty()) std::abort();
        last = m.seconds;
        const uint8_t s = m.bytes[0];
        if (s == 0xF0) continue;
        const size_t need = (s & 0xF0) == 0xC0 || (s & 0xF0) == 0xD0 ? 2 : 3;
        if (s < 0x80 || s >= 0xF0 || m.bytes.size() != need) std::abort();
        for (size_t i = 1; i < need; ++i) {
            if (m.bytes[i] & 0x80) std::abort();  // data bytes are 7-bit
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<kv_synth::timed_message> messages;
    double length = 0;
    if (kv_synth::decode_midi_file(std::span<const uint8_t>(data, size), &messages, &length))
        check_decoded(messages);

    MplySmfWriter w;
    size_t channel_events = 0;
    int32_t tick = 0;
    for (size_t i = 0; i + 4 <= size; i += 4) {
        const uint8_t op = data[i], a = data[i + 1], b = data[i + 2], c = data[i + 3];
        // Mostly forward in time, sometimes back (a negative lag).
        tick += (op & 0x80) ? -static_cast<int32_t>(a) : static_cast<int32_t>(a) * (c + 1);
        switch (op & 0x07) {
            case 0:
                w.NoteOn(tick, b, c, a);
                ++channel_events;
                break;
            case 1:
                w.NoteOff(tick, b, c);
                ++channel_events;
                break;
            case 2:
                w.Control(tick, b, c, a);
                ++channel_events;
                break;
            case 3:
                w.ControlPair(tick, b, c, a, static_cast<uint32_t>(a) << 7 | c);
                channel_events += 2;
                break;
            case 4:
                w.Tempo(tick, c);
                break;
            case 5: {
                const uint8_t raw[3] = {static_cast<uint8_t>(a | 0x80), b, c};
                const size_t n = (a & 0x60) == 0x40 ? 2 : 3;  // C0..DF take two bytes
                if (w.Raw(tick, raw, n)) ++channel_events;
                break;
            }
            case 6: {
                const uint8_t body[3] = {a, b, c};
                w.Exclusive(tick, body, c % 4);
                break;
            }
            default:
                w.Text(tick, 5, std::string_view(reinterpret_cast<const char*>(data + i), c % 5));
        }
    }
    w.EndOfTrack();
    std::vector<uint8_t> file;
    if (!w.BuildFile(&file)) std::abort();
    if (!kv_synth::decode_midi_file(file, &messages, &length)) std::abort();
    size_t channel_messages = 0;
    for (const auto& m : messages)
        channel_messages += m.bytes[0] != 0xF0;
    if (channel_messages != channel_events) std::abort();
    check_decoded(messages);
    return 0;
}
