#include "ui/RenderCommand.h"

#include <cstdio>
#include <memory>
#include <string_view>

#include "model/library/MseqMusic.h"
#include "platform/MidiRender.h"
#include "platform/SynthPort.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "play/export/MplyExport.h"
#include "ui/LibraryLeaf.h"

namespace kv_ui {

namespace {

// Seconds rendered after the last event, so that the last notes and the reverb fade out.
constexpr double kTail = 1.0;

}  // namespace

int run_render_command(const std::vector<std::string>& args) {
    std::string output, soundfont;
    std::vector<std::string> plain;
    bool bad = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size()) {
            output = args[++i];
        } else if (args[i] == "--soundfont" && i + 1 < args.size()) {
            soundfont = args[++i];
        } else if (!args[i].empty() && args[i][0] == '-') {
            bad = true;
        } else {
            plain.push_back(args[i]);
        }
    }
    if (bad || plain.size() != 2 || output.empty()) {
        std::fprintf(stderr,
                     "usage: korvante render LIBRARY LEAF -o FILE.wav|- [--soundfont SF2]\n");
        return 2;
    }
    if (!kv_synth::synth_available()) {
        std::fprintf(stderr,
                     "korvante: rendering is not available: the program was built without "
                     "FluidSynth (libfluidsynth-dev)\n");
        return 1;
    }
    if (soundfont.empty()) soundfont = kv_synth::find_soundfont();
    if (soundfont.empty()) {
        std::fprintf(stderr,
                     "korvante: no General MIDI sound font found (install timgm6mb-soundfont or "
                     "give --soundfont FILE.sf2)\n");
        return 1;
    }
    LibraryLeaf lib;
    std::string error;
    MseqMusic* music = nullptr;
    if (!lib.open(plain[0], &error) || !(music = lib.find(plain[1], &error))) {
        std::fprintf(stderr, "korvante: %s\n", error.c_str());
        return 1;
    }
    error = output_refusal(lib, output);
    if (!error.empty()) {
        std::fprintf(stderr, "korvante: %s\n", error.c_str());
        return 1;
    }
    // The music is exported first; the file's events, timed by its tempo changes, are then
    // played into the synthesizer as fast as it can render.
    std::unique_ptr<MplyEntity> run(music->create_player_model());
    MplyPlayer player(nullptr, false);
    MplyExport exporter;
    std::vector<uint8_t> midi;
    if (MplyExportMusic(player, exporter, run, "", &midi) != MplyExportResult::ok) {
        std::fprintf(stderr, "korvante: the music could not be compiled\n");
        return 1;
    }
    std::vector<kv_synth::timed_message> messages;
    double length = 0;
    if (!kv_synth::decode_midi_file(midi, &messages, &length)) {
        std::fprintf(stderr, "korvante: the music could not be compiled\n");
        return 1;
    }
    auto port = kv_synth::make_fluidsynth_port(soundfont, true);
    std::vector<int16_t> samples;
    if (!kv_synth::render_messages(messages, length, kTail, *port, &samples)) {
        std::fprintf(stderr, "korvante: the synthesizer failed (sound font %s)\n",
                     soundfont.c_str());
        return 1;
    }
    print_warnings(lib);
    const std::vector<uint8_t> wav = kv_synth::wav_image(samples);
    const std::string_view bytes(reinterpret_cast<const char*>(wav.data()), wav.size());
    if (!write_tool_output(lib, output, bytes, &error)) {
        std::fprintf(stderr, "korvante: %s\n", error.c_str());
        return 1;
    }
    // With the sound on standard output, the summary goes to standard error.
    std::fprintf(output == "-" ? stderr : stdout, "%s: %.3f s\n", output.c_str(),
                 static_cast<double>(samples.size() / 2) / 44100);
    return 0;
}

}  // namespace kv_ui
