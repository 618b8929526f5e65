#include "ui/RenderCommand.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "model/core/CkvText.h"
#include "model/library/MseqMusic.h"
#include "platform/AudioFile.h"
#include "platform/MidiRender.h"
#include "platform/SynthPort.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "play/export/MplyExport.h"
#include "ui/LibraryLeaf.h"
#include "ui/ToolPrologue.h"

namespace kv_ui {

namespace {

// Seconds rendered after the last event, so that the last notes and the reverb fade out.
constexpr double kTail = 1.0;

// Renders `messages` over `length` seconds and the tail; false with a message printed.
bool render_sound(const std::vector<kv_synth::timed_message>& messages, double length,
                  const std::string& soundfont, std::vector<float>* samples) {
    auto port = kv_synth::make_fluidsynth_port(soundfont, true);
    if (kv_synth::render_messages(messages, length, kTail, *port, samples)) return true;
    std::fprintf(stderr, "korvante: the synthesizer failed (sound font %s)\n", soundfont.c_str());
    return false;
}

// Writes the rendered sound at `gain` as a sound file; false with a message printed.
bool write_sound(LibraryLeaf& lib, const std::vector<float>& samples, float gain,
                 kv_synth::audio_format format, const std::string& output, double* seconds) {
    std::vector<uint8_t> file;
    if (!kv_synth::encode_audio(kv_synth::pcm16(samples, gain), format, &file)) {
        std::fprintf(stderr, "korvante: cannot write %s: the sound could not be encoded\n",
                     output.c_str());
        return false;
    }
    std::string error;
    const std::string_view bytes(reinterpret_cast<const char*>(file.data()), file.size());
    if (!write_tool_output(lib, output, bytes, &error)) {
        std::fprintf(stderr, "korvante: %s\n", error.c_str());
        return false;
    }
    *seconds = static_cast<double>(samples.size() / 2) / kv_synth::kRenderRate;
    return true;
}

}  // namespace

int run_render_command(const std::vector<std::string>& args) {
    std::string output, soundfont, stems;
    std::vector<std::string> plain;
    bool bad = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size()) {
            output = args[++i];
        } else if (args[i] == "--soundfont" && i + 1 < args.size()) {
            soundfont = args[++i];
        } else if (args[i] == "--stems" && i + 1 < args.size()) {
            stems = args[++i];
        } else if (!args[i].empty() && args[i][0] == '-') {
            bad = true;
        } else {
            plain.push_back(args[i]);
        }
    }
    // The format comes from the file's extension (the stems take the same); standard output
    // and stems alone get WAV.
    kv_synth::audio_format format = kv_synth::audio_format::wav;
    const bool unknown_format =
        !output.empty() && output != "-" && !kv_synth::audio_format_of(output, &format);
    if (bad || plain.size() != 2 || (output.empty() && stems.empty()))
        return tool_usage(
            "usage: korvante render LIBRARY LEAF [-o FILE.wav|FILE.flac|FILE.ogg|-] "
            "[--stems DIR] [--soundfont SF2]\n");
    if (!unknown_format && !kv_synth::audio_format_available(format)) {
        std::fprintf(stderr,
                     "korvante: %s cannot be written: the program was built without libsndfile "
                     "(libsndfile1-dev)\n",
                     output.c_str());
        return 1;
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
    MseqMusic* music = open_tool_music(lib, plain[0], &plain[1]);
    if (!music) return 1;
    if (!output.empty() && !tool_output_allowed(lib, output)) return 1;
    // What must not be replaced is refused first, whatever its name; a name that gives no
    // sound format is then a usage error.
    if (unknown_format) {
        std::fprintf(stderr,
                     "korvante: %s: the sound format comes from the extension: .wav, .flac or "
                     ".ogg\n",
                     output.c_str());
        return 2;
    }
    // The music is exported first; the file's events, timed by its tempo changes, are then
    // played into the synthesizer as fast as it can render.
    MplyExportParts parts;
    MplyExport exporter;
    std::vector<uint8_t> midi;
    if (tool_export_midi(music, exporter, &midi, &parts) != MplyExportResult::ok) {
        std::fprintf(stderr, "korvante: the music could not be compiled\n");
        return 1;
    }
    std::vector<kv_synth::timed_message> messages;
    double length = 0;
    if (!kv_synth::decode_midi_file(midi, &messages, &length)) {
        std::fprintf(stderr, "korvante: the music could not be compiled\n");
        return 1;
    }
    print_warnings(lib);
    // With the sound on standard output, the summaries go to standard error.
    FILE* report = output == "-" ? stderr : stdout;
    // The full render is made even for stems alone: its loudness sets the gain every file takes.
    std::vector<float> full;
    if (!render_sound(messages, length, soundfont, &full)) return 1;
    const float gain = kv_synth::clip_free_gain(full);
    double seconds = 0;
    if (!output.empty()) {
        if (!write_sound(lib, full, gain, format, output, &seconds)) return 1;
        std::fprintf(report, "%s: %.3f s\n", output.c_str(), seconds);
    }
    if (stems.empty()) return 0;
    std::error_code ec;
    std::filesystem::create_directories(stems, ec);
    if (!std::filesystem::is_directory(stems, ec)) {
        std::fprintf(stderr, "korvante: cannot write stems into %s: %s\n", stems.c_str(),
                     ec ? ec.message().c_str() : "not a folder");
        return 1;
    }
    // Each part alone, over the full length, so that the stems line up with the full render.
    for (int channel : kv_synth::sounding_channels(messages)) {
        const std::string path =
            stems + "/" +
            kv_synth::stem_file_name(
                channel, ckv_to_utf8(std::string_view(parts.names[static_cast<size_t>(channel)])),
                format);
        std::vector<float> part;
        if (!render_sound(kv_synth::channel_messages(messages, channel), length, soundfont,
                          &part) ||
            !write_sound(lib, part, gain, format, path, &seconds))
            return 1;
        std::fprintf(report, "%s: %.3f s\n", path.c_str(), seconds);
    }
    return 0;
}

}  // namespace kv_ui
