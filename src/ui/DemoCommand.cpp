#include "ui/DemoCommand.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>

#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrack.h"
#include "platform/MidiRender.h"
#include "platform/SynthPort.h"
#include "play/export/MplyExport.h"
#include "ui/LibraryLeaf.h"
#include "ui/Session.h"
#include "ui/Terminal.h"
#include "ui/ToolPrologue.h"

namespace kv_ui {

namespace {

// Seconds rendered after the last event (the last note's end), so that the last notes fade out:
// the sound font's releases are over within a few tenths, and the file should end soon after.
constexpr double kTail = 1.0;

int usage() {
    return tool_usage("usage: korvante demo [LIBRARY [LEAF]] [--out DIR] [--no-wav]\n");
}

// Whole bars up to the end of the longest track.
int64_t bars_of(MseqMusic* music) {
    int64_t ticks = 0;
    for (MseqObject* t = music->root(); t; t = t->next_in(music->root())) {
        ref_ptr<MseqEntity> e = mseq_open(t);
        if (auto* track = e->cast_to<MseqTrack>(MTYPE_TRACK)) {
            ticks = std::max(ticks, track->length_ticks());
        }
    }
    return (ticks + MseqTrack::kTicksPerBar - 1) / MseqTrack::kTicksPerBar;
}

size_t count_notes(const std::vector<kv_synth::timed_message>& messages) {
    size_t notes = 0;
    for (const auto& m : messages) {
        if (m.bytes.size() == 3 && (m.bytes[0] & 0xF0) == 0x90 && m.bytes[2] != 0) ++notes;
    }
    return notes;
}

// Renders the messages into a WAV file; an empty result, or the reason it was not rendered.
std::string render_wav(LibraryLeaf& lib, const std::vector<kv_synth::timed_message>& messages,
                       double length, const std::string& path) {
    if (!kv_synth::synth_available())
        return "the program was built without FluidSynth (libfluidsynth-dev)";
    const std::string soundfont = kv_synth::find_soundfont();
    if (soundfont.empty()) return "no General MIDI sound font found (timgm6mb-soundfont)";
    auto port = kv_synth::make_fluidsynth_port(soundfont, true);
    std::vector<float> samples;
    if (!port || !kv_synth::render_messages(messages, length, kTail, *port, &samples))
        return "the synthesizer failed with the sound font " + soundfont;
    const std::vector<uint8_t> wav =
        kv_synth::wav_image(kv_synth::pcm16(samples, kv_synth::clip_free_gain(samples)));
    std::string error;
    if (!write_tool_output(lib, path,
                           std::string_view(reinterpret_cast<const char*>(wav.data()), wav.size()),
                           &error))
        return error;
    return {};
}

}  // namespace

int run_demo_command(const std::vector<std::string>& args) {
    std::vector<std::string> names;
    std::string out_dir = ".";
    bool wav = true;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size()) {
            out_dir = args[++i];
        } else if (args[i] == "--no-wav") {
            wav = false;
        } else if (!args[i].empty() && args[i][0] == '-') {
            return usage();
        } else {
            names.push_back(args[i]);
        }
    }
    if (names.size() > 2) return usage();
    const std::string library_path =
        names.empty() ? program_folder() + "/mymusic/library.kvnr" : names[0];

    LibraryLeaf lib;
    MseqMusic* music = open_tool_music(lib, library_path, names.size() == 2 ? &names[1] : nullptr);
    if (!music) return 1;
    MseqObject* leaf = lib.leaf();

    std::error_code ec;
    std::filesystem::create_directories(out_dir, ec);
    const std::string dir = std::filesystem::absolute(out_dir, ec).lexically_normal().string();
    const std::string midi_path = (std::filesystem::path(dir) / "demo.mid").string();
    const std::string wav_path = (std::filesystem::path(dir) / "demo.wav").string();

    if (!tool_output_allowed(lib, midi_path) || (wav && !tool_output_allowed(lib, wav_path)))
        return 1;
    MplyExport exporter;
    std::vector<uint8_t> midi;
    if (tool_export_midi(music, exporter, &midi) != MplyExportResult::ok)
        return tool_failure("the music could not be exported");
    print_warnings(lib);
    std::string error;
    if (!write_tool_output(
            lib, midi_path,
            std::string_view(reinterpret_cast<const char*>(midi.data()), midi.size()), &error))
        return tool_failure(error);
    std::vector<kv_synth::timed_message> messages;
    double seconds = 0;
    if (!kv_synth::decode_midi_file(midi, &messages, &seconds)) {
        std::fprintf(stderr, "korvante: the exported file %s cannot be read back\n",
                     midi_path.c_str());
        return 1;
    }
    std::printf("MIDI file: %s\n", midi_path.c_str());
    if (wav) {
        const std::string why = render_wav(lib, messages, seconds, wav_path);
        if (why.empty()) {
            std::printf("WAV file:  %s\n", wav_path.c_str());
        } else {
            std::printf("WAV file:  not rendered: %s\n", why.c_str());
        }
    }
    std::printf("%s: %lld bars, %zu notes, %.1f seconds\n",
                terminal_text(leaf->display_path()).c_str(), static_cast<long long>(bars_of(music)),
                count_notes(messages), seconds);
    return 0;
}

}  // namespace kv_ui
