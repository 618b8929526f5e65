#include "ui/DevicesCommand.h"

#include <cstdio>

#include "platform/MidiIn.h"
#include "platform/MidiOut.h"
#include "platform/SynthPort.h"
#include "platform/TextCodec.h"

namespace kv_ui {

int run_devices_command(const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "usage: korvante devices\n");
        return 2;
    }
    std::printf("MIDI output ports (--device N):\n");
#ifndef KV_HAVE_ALSA
    std::printf("  ALSA not available: the program was built without ALSA (libasound2-dev)\n");
#endif
#ifndef KV_HAVE_JACK
    std::printf("  JACK not available: the program was built without JACK (libjack-jackd2-dev)\n");
#endif
    auto midi = kv_midi::make_system_midi_out();
    const uint32_t count = midi->device_count();
    if (count == 0)
        std::printf("  none (no ALSA sequencer or JACK server, or no client offers a MIDI port)\n");
    for (uint32_t i = 0; i < count; ++i) {
        kv_midi::midi_out_caps caps;
        if (!midi->device_caps(i, &caps)) continue;
        std::printf("  %u  %s%s\n", i, caps.name.c_str(), caps.synth ? "  (synthesizer)" : "");
    }
    kv_midi::midi_out_caps mapper;
    if (midi->device_caps(kv_midi::kMapper, &mapper))
        std::printf("  %u  mapper: %s\n", kv_midi::kMapper, mapper.name.c_str());
    std::printf("MIDI input ports (settings: MIDI input):\n");
    auto in = kv_midi::make_system_midi_in();
    const uint32_t inputs = in->device_count();
    if (inputs == 0)
        std::printf("  none (no ALSA sequencer or JACK server, or no client sends MIDI)\n");
    for (uint32_t i = 0; i < inputs; ++i) {
        kv_midi::midi_in_caps caps;
        if (in->device_caps(i, &caps)) std::printf("  %u  %s\n", i, caps.name.c_str());
    }
    std::printf("Synthesizer ports (--synth):\n");
    if (!kv_synth::synth_available()) {
        std::printf(
            "  not available: the program was built without FluidSynth "
            "(libfluidsynth-dev)\n");
        return 0;
    }
    const std::string font = kv_synth::find_soundfont();
    auto port = kv_synth::make_fluidsynth_port(font, false);
    const auto ports = port->ports();
    if (font.empty())
        std::printf("  none: no General MIDI sound font found (timgm6mb-soundfont)\n");
    for (size_t i = 0; i < ports.size(); ++i) {
        const auto& id = ports[i].id;
        std::printf("  %zu  {%08X-%08X-%08X-%08X}  %s\n", i, id[0], id[1], id[2], id[3],
                    ports[i].name.c_str());
    }
    if (!font.empty()) std::printf("Sound font: %s\n", font.c_str());
    return 0;
}

}  // namespace kv_ui
