#include "app/MFrameRender.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/MAppProblem.h"
#include "app/MAppProgress.h"
#include "app/MAppText.h"
#include "app/MFrame.h"
#include "model/core/CkvText.h"
#include "model/core/MseqEntity.h"
#include "model/core/MseqPathOps.h"
#include "platform/AudioFile.h"
#include "platform/FileSystem.h"
#include "platform/MidiRender.h"
#include "platform/SynthPort.h"
#include "platform/TextCodec.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "play/export/MplyExport.h"
#include "play/export/MplyMusicXml.h"
#include "play/export/MplyScoreArchive.h"

namespace {

// Seconds rendered after the last event, so that the last notes and the reverb fade out.
constexpr double kTail = 1.0;

bool ends_with_nocase(std::string_view s, std::string_view tail) {
    if (s.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i) {
        const char c = s[s.size() - tail.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c + 32 : c) != tail[i]) return false;
    }
    return true;
}

// The file dialog of an output: a save dialog in the leaf's folder proposing its name.
MAppFileRequest output_request(const MseqEntity* leaf, const char* title, const char* filter,
                               const char* extension) {
    MAppFileRequest request;
    request.kind = MAppFileKind::save;
    request.title = mapp_text(title);
    request.filter = mapp_text(filter);
    request.default_ext = extension + 1;
    request.initial_name = mapp_default_output_name(leaf, extension);
    request.initial_folder = mseq_path::remove_file_name(leaf->full_path);
    request.confirm_overwrite = true;
    return request;
}

// Writes `bytes` crash-safe; false after a warning naming the file and the reason.
bool write_output(MAppUserPort& port, const CkvString& path, std::string_view bytes) {
    kv_fs::file_error why;
    if (kv_fs::write_file_atomic(path.str(), bytes, &why)) return true;
    port.warn(mapp_format(mapp_msg::EXPORT_FAILED_WITH, why.text().c_str(),
                          mapp_shown_path(path).c_str()));
    return false;
}

// The score of the leaf, as a .mxl archive when the name asks for one. False when the music
// could not be compiled.
bool score_bytes(MseqEntity* leaf, const CkvString& path, std::string* bytes) {
    std::unique_ptr<MplyEntity> run(leaf->create_player_model());
    MplyPlayer player(nullptr, false);
    MplyScoreCapture capture;
    if (!run || MplyExportScore(player, capture, run, bytes) != MplyExportResult::ok) return false;
    if (!ends_with_nocase(path.str(), ".mxl")) return true;
    CkvString inner;
    if (!mseq_path::name_from_file_path(path, &inner)) inner = CkvString("score");
    const std::vector<uint8_t> zip =
        mply_mxl_image(*bytes, ckv_to_utf8(std::string_view(inner)) + ".musicxml");
    bytes->assign(zip.begin(), zip.end());
    return true;
}

// The leaf's run as a MIDI file of format 0 and its parts' names. False when it could not be
// compiled.
bool midi_bytes(MseqEntity* leaf, const MplyExportFormat& format, std::vector<uint8_t>* midi,
                MplyExportParts* parts) {
    std::unique_ptr<MplyEntity> run(leaf->create_player_model());
    if (!run) return false;
    if (parts) *parts = mply_describe_parts(*run);
    MplyPlayer player(nullptr, false);
    MplyExport exporter;
    exporter.SetFormat(format);
    return MplyExportMusic(player, exporter, run, "", midi) == MplyExportResult::ok;
}

// One file of a render: where it goes and the messages that sound in it.
struct RenderFile {
    CkvString path;
    std::vector<kv_synth::timed_message> messages;
    std::vector<uint8_t> bytes;  // the encoded sound, once rendered
};

// Renders and encodes one file at `gain` (the full render's: 0 takes the clip-free gain of
// this render itself and hands it back). Runs on the render's own thread. False when the
// synthesizer or the encoder failed.
bool render_file(RenderFile& file, double length, const std::string& soundfont,
                 kv_synth::audio_format format, float* gain) {
    auto port = kv_synth::make_fluidsynth_port(soundfont, true);
    std::vector<float> samples;
    if (!port || !kv_synth::render_messages(file.messages, length, kTail, *port, &samples))
        return false;
    if (*gain == 0) *gain = kv_synth::clip_free_gain(samples);
    return kv_synth::encode_audio(kv_synth::pcm16(samples, *gain), format, &file.bytes);
}

// The render's choices from its dialog; false when cancelled.
bool ask_render(MAppUserPort& port, const MseqEntity* leaf, kv_synth::audio_format* format,
                CkvString* output, CkvString* stems) {
    MAppFields fields;
    fields.set("format", CkvString("wav"));
    fields.set("stems", CkvString("0"));
    const auto check = [&](MAppFields& f) {
        const std::string& word = f.get("format").str();
        if (!kv_synth::audio_format_of("." + word, format)) return MAppCheck{false, "format"};
        if (kv_synth::audio_format_available(*format)) return MAppCheck{};
        port.warn(mapp_text(mapp_msg::AUDIO_FORMAT_UNAVAILABLE));
        return MAppCheck{false, "format"};
    };
    if (!port.run_dialog(MAppDialog::render_audio, fields, check)) return false;
    const char* extension = kv_synth::audio_extension(*format);
    const std::string filter =
        mapp_utf8_format(kv_text(mapp_msg::FILTER_AUDIO), extension, extension);
    if (!port.choose_file(
            output_request(leaf, kv_text(mapp_msg::SAVE_AS_AUDIO), filter.c_str(), extension),
            output))
        return false;
    if (fields.get("stems").str() != "1") return true;
    MAppFileRequest folder;
    folder.kind = MAppFileKind::folder;
    folder.title = mapp_text(mapp_msg::STEMS_FOLDER);
    folder.initial_folder = mseq_path::remove_file_name(*output);
    return port.choose_file(folder, stems);
}

}  // namespace

CkvString mapp_default_output_name(const MseqEntity* leaf, const char* extension) {
    std::string name = mapp_default_midi_name(leaf).str();
    name.resize(name.size() - 4);  // ".mid"
    return CkvString(name + extension);
}

void mapp_export_file(MFrame& frame) {
    MAppUserPort& port = frame.port();
    MseqEntity* leaf = frame.shown_file();
    if (!mapp_playable(leaf) || frame.playing()) return;
    MAppFields fields;
    fields.set("format", CkvString("0"));
    fields.set("text", CkvString("cp932"));
    if (!port.run_dialog(MAppDialog::export_file, fields, MAppDialogCheck())) return;
    const bool score = fields.get("format").str() == "musicxml";
    CkvString path;
    const MAppFileRequest request =
        score ? output_request(leaf, kv_text(mapp_msg::SAVE_AS_MUSICXML),
                               kv_text(mapp_msg::FILTER_MUSICXML), ".musicxml")
              : output_request(leaf, kv_text(mapp_msg::SAVE_AS_MIDI),
                               kv_text(mapp_msg::FILTER_MIDI_OUT), ".mid");
    if (!port.choose_file(request, &path)) return;
    const CkvString refused = frame.playback().export_refusal(path);
    if (!refused.empty()) {
        port.warn(refused);
        return;
    }
    port.wait_cursor(true);
    std::string bytes;
    bool made = false;
    if (score) {
        made = score_bytes(leaf, path, &bytes);
    } else {
        MplyExportFormat format;
        format.smf_format = fields.get("format").str() == "1" ? 1 : 0;
        format.utf8_text = fields.get("text").str() == "utf8";
        std::vector<uint8_t> midi;
        made = midi_bytes(leaf, format, &midi, nullptr);
        bytes.assign(midi.begin(), midi.end());
    }
    port.wait_cursor(false);
    if (!made) {
        port.warn(mapp_text(mapp_msg::EXPORT_ASSEMBLY_FAILED));
        return;
    }
    if (!write_output(port, path, bytes)) return;
    port.status(mapp_format(score ? mapp_msg::MUSICXML_WRITTEN : mapp_msg::MIDI_WRITTEN,
                            mapp_shown_path(path).c_str()));
}

void mapp_render_audio(MFrame& frame) {
    MAppUserPort& port = frame.port();
    MseqEntity* leaf = frame.shown_file();
    if (!mapp_playable(leaf) || frame.playing()) return;
    const std::string soundfont = kv_synth::synth_available() ? kv_synth::find_soundfont() : "";
    if (soundfont.empty()) {
        port.warn(mapp_text(mapp_msg::AUDIO_NO_SYNTH));
        return;
    }
    kv_synth::audio_format format = kv_synth::audio_format::wav;
    CkvString output, stems;
    if (!ask_render(port, leaf, &format, &output, &stems)) return;
    std::vector<uint8_t> midi;
    MplyExportParts parts;
    std::vector<RenderFile> files(1);
    double length = 0;
    if (!midi_bytes(leaf, MplyExportFormat(), &midi, &parts) ||
        !kv_synth::decode_midi_file(midi, &files[0].messages, &length)) {
        port.warn(mapp_text(mapp_msg::AUDIO_ASSEMBLY_FAILED));
        return;
    }
    files[0].path = output;
    if (!stems.empty()) {
        for (int channel : kv_synth::sounding_channels(files[0].messages)) {
            const std::string part =
                ckv_to_utf8(std::string_view(parts.names[static_cast<size_t>(channel)]));
            RenderFile stem;
            stem.path = mseq_path::append(
                stems.str(), kv_fs::from_host(kv_synth::stem_file_name(channel, part, format)));
            stem.messages = kv_synth::channel_messages(files[0].messages, channel);
            files.push_back(std::move(stem));
        }
    }
    for (const RenderFile& f : files) {
        const CkvString refused = frame.playback().export_refusal(f.path);
        if (refused.empty()) continue;
        port.warn(refused);
        return;
    }
    // Each file is one step; writing them all is the last.
    const int steps = static_cast<int>(files.size()) + 1;
    port.progress_begin(mapp_format(mapp_msg::AUDIO_RENDERING, mapp_shown_path(output).c_str()),
                        steps, true);
    float gain = 0;
    bool rendered = true;
    for (size_t i = 0; i < files.size() && rendered; ++i) {
        const bool go_on = mapp_work_with_progress(port, static_cast<int>(i), [&] {
            rendered = render_file(files[i], length, soundfont, format, &gain);
        });
        if (!go_on || !port.progress_step(static_cast<int>(i + 1))) {
            port.progress_end();
            port.status(mapp_text(mapp_msg::AUDIO_CANCELLED));
            return;
        }
    }
    if (!rendered) {
        port.progress_end();
        port.warn(mapp_format(mapp_msg::AUDIO_SYNTH_FAILED,
                              kv_codec::cp932_from_utf8(soundfont).c_str()));
        return;
    }
    if (!stems.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(kv_fs::to_host(stems.str()), ec);
    }
    for (const RenderFile& f : files) {
        const std::string_view bytes(reinterpret_cast<const char*>(f.bytes.data()), f.bytes.size());
        if (!write_output(port, f.path, bytes)) {
            port.progress_end();
            return;
        }
    }
    port.progress_step(steps);
    port.progress_end();
    if (stems.empty()) {
        port.status(mapp_format(mapp_msg::AUDIO_WRITTEN, mapp_shown_path(output).c_str()));
    } else {
        port.status(mapp_format(mapp_msg::AUDIO_WRITTEN_WITH_STEMS, mapp_shown_path(output).c_str(),
                                static_cast<int>(files.size() - 1),
                                mapp_shown_path(stems).c_str()));
    }
}
