#include "ui/ExportCommand.h"

#include <cstdio>
#include <memory>
#include <string_view>

#include "model/library/MseqMusic.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "play/export/MplyExport.h"
#include "ui/LibraryLeaf.h"

namespace kv_ui {

int run_export_command(const std::vector<std::string>& args) {
    std::string library, leaf_name, output;
    std::vector<std::string> plain;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size()) {
            output = args[++i];
        } else if (!args[i].empty() && args[i][0] == '-') {
            plain.clear();
            break;
        } else {
            plain.push_back(args[i]);
        }
    }
    if (plain.size() != 2) {
        std::fprintf(stderr, "usage: korvante export LIBRARY LEAF [-o FILE.mid | -o -]\n");
        return 2;
    }
    LibraryLeaf lib;
    std::string error;
    MseqMusic* music = nullptr;
    if (!lib.open(plain[0], &error) || !(music = lib.find(plain[1], &error))) {
        std::fprintf(stderr, "korvante: %s\n", error.c_str());
        return 1;
    }
    if (output.empty()) output = lib.default_midi_name(lib.leaf());
    error = output_refusal(lib, output);
    if (!error.empty()) {
        std::fprintf(stderr, "korvante: %s\n", error.c_str());
        return 1;
    }
    std::unique_ptr<MplyEntity> run(music->create_player_model());
    MplyPlayer player(nullptr, false);
    MplyExport exporter;
    std::vector<uint8_t> midi;
    switch (MplyExportMusic(player, exporter, run, "", &midi)) {
        case MplyExportResult::ok:
            break;
        case MplyExportResult::not_started:
        case MplyExportResult::timed_out:
        case MplyExportResult::write_failed:
            std::fprintf(stderr, "korvante: the music could not be compiled for export\n");
            return 1;
        case MplyExportResult::empty:
            std::fprintf(stderr, "korvante: the export produced no data\n");
            return 1;
    }
    print_warnings(lib);
    if (exporter.LateEvents())
        std::fprintf(stderr,
                     "korvante: %zu event(s) due before the events already written were put at "
                     "the current position\n",
                     exporter.LateEvents());
    const std::string_view bytes(reinterpret_cast<const char*>(midi.data()), midi.size());
    if (!write_tool_output(lib, output, bytes, &error)) {
        std::fprintf(stderr, "korvante: %s\n", error.c_str());
        return 1;
    }
    if (output != "-") std::printf("%s\n", output.c_str());
    return 0;
}

}  // namespace kv_ui
