#include "ui/ToolPrologue.h"

#include <cstdio>
#include <memory>

#include "model/library/MseqMusic.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"

namespace kv_ui {

int tool_failure(const std::string& message) {
    std::fprintf(stderr, "korvante: %s\n", message.c_str());
    return 1;
}

int tool_usage(const char* lines) {
    std::fputs(lines, stderr);
    return 2;
}

MseqMusic* open_tool_music(LibraryLeaf& lib, const std::string& library, const std::string* leaf) {
    std::string error;
    MseqMusic* music = nullptr;
    if (lib.open(library, &error)) music = leaf ? lib.find(*leaf, &error) : lib.first_music(&error);
    if (!music) tool_failure(error);
    return music;
}

bool tool_output_allowed(LibraryLeaf& lib, const std::string& output) {
    const std::string refusal = output_refusal(lib, output);
    if (refusal.empty()) return true;
    tool_failure(refusal);
    return false;
}

MplyExportResult tool_export_midi(MseqMusic* music, MplyExport& exporter,
                                  std::vector<uint8_t>* midi, MplyExportParts* parts) {
    std::unique_ptr<MplyEntity> run(music->create_player_model());
    if (parts) *parts = run ? mply_describe_parts(*run) : MplyExportParts();
    MplyPlayer player(nullptr, false);
    return MplyExportMusic(player, exporter, run, "", midi);
}

}  // namespace kv_ui
