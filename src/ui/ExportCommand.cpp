#include "ui/ExportCommand.h"

#include <cstdio>
#include <memory>

#include "model/library/MseqMusic.h"
#include "platform/FileSystem.h"
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
        std::fprintf(stderr, "usage: korvante export LIBRARY LEAF [-o FILE.mid]\n");
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
    std::unique_ptr<MplyEntity> run(music->create_player_model());
    MplyPlayer player(nullptr, false);
    MplyExport exporter;
    const std::string path = kv_fs::from_host(output);
    switch (MplyExportMusic(player, exporter, run, path, nullptr)) {
        case MplyExportResult::ok:
            break;
        case MplyExportResult::not_started:
        case MplyExportResult::timed_out:
            std::fprintf(stderr, "korvante: the music could not be compiled for export\n");
            return 1;
        case MplyExportResult::empty:
            std::fprintf(stderr, "korvante: the export produced no data\n");
            return 1;
        case MplyExportResult::write_failed:
            std::fprintf(stderr, "korvante: cannot write %s\n", output.c_str());
            return 1;
    }
    if (exporter.LateEvents())
        std::fprintf(stderr,
                     "korvante: %zu event(s) due before the events already written were put at "
                     "the current position\n",
                     exporter.LateEvents());
    std::printf("%s\n", output.c_str());
    return 0;
}

}  // namespace kv_ui
