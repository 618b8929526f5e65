// Arbitrary bytes as a MIDI file to import. The reader refuses or accepts without fault; what it
// accepts converts into a music (or is refused for its number of tracks) whose note tracks hold
// every note the report counts, with lags in range, and whose text, written by the program's
// writer, reads back and writes the same bytes again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapStage.h"
#include "model/track/MseqTrackNote.h"
#include "play/import/MplyImport.h"
#include "text/MrecCompiler.h"
#include "text/MrecEntityWriter.h"
#include "text/MrecFileEntity.h"

namespace {

// The notes of every note track, each checked for lags the model holds.
uint32_t count_notes(const MseqObject* node) {
    uint32_t n = 0;
    for (const MseqObject* c = node->first_child(); c; c = c->next()) {
        if (c->type == MTYPE_TRACK_NOTE && c->entity()) {
            const auto* t = c->entity()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
            for (const auto& [index, note] : t->blocks()) {
                if (index < 0 || note.m_Length < 1 || note.m_STime < -240 || note.m_STime > 240 ||
                    note.m_ETime < -240 || note.m_ETime > 240)
                    std::abort();
                ++n;
            }
        }
        n += count_notes(c);
    }
    return n;
}

std::string written(MseqEntity* e) {
    std::string text;
    if (!mrec_write_entity(e, &text)) std::abort();
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    MplySmfFile file;
    MplySmfError error;
    if (!mply_read_smf(std::string(reinterpret_cast<const char*>(data), size), &file, &error)) {
        if (error.fault == MplySmfFault::none || error.offset > size) std::abort();
        return 0;
    }
    MseqObject node(0x10110001, MTYPE_LEAF_MUSIC, CkvString("fuzz"), MseqDescPath());
    auto* music = new MseqMusic(&node);
    node.attach(music);
    auto stage = ref_ptr<MseqMapStage>::adopt(new MseqMapStage());
    MplyImportReport report;
    MplyImportFault fault;
    uint32_t needed = 0;
    if (!mply_import_music(file, *music, *stage, &report, &fault, &needed)) {
        if (fault != MplyImportFault::too_many_tracks || needed <= MseqMusic::kMaxTracks)
            std::abort();
        return 0;
    }
    if (count_notes(music->root()) != report.notes) std::abort();
    const std::string text = written(music);
    MrecFileEntity again;
    if (!mrec_make_file_entity(MTYPE_LEAF_MUSIC, again)) std::abort();
    MrecCompiler compiler;
    if (!compiler.load_text(again.entity.get(), text.c_str(), text.size() + 1)) std::abort();
    if (written(again.entity.get()) != text) std::abort();
    return 0;
}
