#include "ui/ExportCommand.h"

#include <cstdio>
#include <memory>
#include <string_view>
#include <utility>

#include "model/library/MseqMusic.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "play/export/MplyExport.h"
#include "play/export/MplyMusicXml.h"
#include "play/export/MplyScoreArchive.h"
#include "ui/LibraryLeaf.h"
#include "ui/ToolPrologue.h"

namespace kv_ui {

namespace {

bool ends_with(const std::string& s, std::string_view tail) {
    if (s.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i) {
        const char c = s[s.size() - tail.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c + 32 : c) != tail[i]) return false;
    }
    return true;
}

// The file name without folder, for the score inside a compressed MusicXML file.
std::string inner_score_name(const std::string& output) {
    const size_t slash = output.find_last_of('/');
    std::string name = slash == std::string::npos ? output : output.substr(slash + 1);
    name = name.substr(0, name.size() - 4);
    return (name.empty() ? std::string("score") : name) + ".musicxml";
}

// Writes the score of `music` to `output` (a .musicxml, .xml or .mxl file). Exit status as the
// command's.
int export_score(LibraryLeaf& lib, MseqMusic* music, const std::string& output) {
    std::unique_ptr<MplyEntity> run(music->create_player_model());
    MplyPlayer player(nullptr, false);
    MplyScoreCapture capture;
    std::string xml;
    if (MplyExportScore(player, capture, run, &xml) != MplyExportResult::ok) {
        return tool_failure("the music could not be compiled for export");
    }
    print_warnings(lib);
    std::string error;
    std::string bytes = std::move(xml);
    if (ends_with(output, ".mxl")) {
        const std::vector<uint8_t> zip = mply_mxl_image(bytes, inner_score_name(output));
        bytes.assign(zip.begin(), zip.end());
    }
    if (!write_tool_output(lib, output, bytes, &error)) {
        return tool_failure(error);
    }
    if (output != "-") std::printf("%s\n", output.c_str());
    return 0;
}

}  // namespace

int run_export_command(const std::vector<std::string>& args) {
    std::string library, leaf_name, output;
    std::vector<std::string> plain;
    MplyExportFormat format;
    bool bad = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size()) {
            output = args[++i];
        } else if (args[i] == "--format" && i + 1 < args.size()) {
            const std::string& f = args[++i];
            bad = bad || (f != "0" && f != "1");
            format.smf_format = f == "1" ? 1 : 0;
        } else if (args[i] == "--text" && i + 1 < args.size()) {
            const std::string& t = args[++i];
            bad = bad || (t != "utf8" && t != "cp932");
            format.utf8_text = t == "utf8";
        } else if (!args[i].empty() && args[i][0] == '-') {
            plain.clear();
            break;
        } else {
            plain.push_back(args[i]);
        }
    }
    if (bad || plain.size() != 2)
        return tool_usage(
            "usage: korvante export LIBRARY LEAF [-o FILE.mid | -o -] [--format 0|1] "
            "[--text cp932|utf8]\n"
            "       korvante export LIBRARY LEAF -o FILE.musicxml|FILE.mxl\n");
    LibraryLeaf lib;
    MseqMusic* music = open_tool_music(lib, plain[0], &plain[1]);
    if (!music) return 1;
    if (output.empty()) output = lib.default_midi_name(lib.leaf());
    if (!tool_output_allowed(lib, output)) return 1;
    if (ends_with(output, ".musicxml") || ends_with(output, ".xml") || ends_with(output, ".mxl"))
        return export_score(lib, music, output);
    MplyExport exporter;
    exporter.SetFormat(format);
    std::vector<uint8_t> midi;
    switch (tool_export_midi(music, exporter, &midi)) {
        case MplyExportResult::ok:
            break;
        case MplyExportResult::not_started:
        case MplyExportResult::timed_out:
        case MplyExportResult::write_failed:
            return tool_failure("the music could not be compiled for export");
        case MplyExportResult::empty:
            return tool_failure("the export produced no data");
    }
    print_warnings(lib);
    if (exporter.LateEvents())
        std::fprintf(stderr,
                     "korvante: %zu event(s) due before the events already written were put at "
                     "the current position\n",
                     exporter.LateEvents());
    const std::string_view bytes(reinterpret_cast<const char*>(midi.data()), midi.size());
    std::string error;
    if (!write_tool_output(lib, output, bytes, &error)) {
        return tool_failure(error);
    }
    if (output != "-") std::printf("%s\n", output.c_str());
    return 0;
}

}  // namespace kv_ui
