#include "play/export/MplyExportParts.h"

#include <string>

#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapStage.h"
#include "play/engine/MplyMusic.h"

int mply_key_fifths(int semitones) {
    // The circle of fifths by pitch class: C G D A E B F# and F Bb Eb Ab Db.
    static constexpr int kFifths[12] = {0, -5, 2, -3, 4, -1, 6, 1, -4, 3, -2, 5};
    return kFifths[((semitones % 12) + 12) % 12];
}

MplyExportParts mply_describe_parts(MplyEntity& entity) {
    MplyExportParts parts;
    for (int ch = 0; ch < MplyExportParts::kChannels; ++ch)
        parts.names[ch] = CkvString("Channel " + std::to_string(ch + 1));
    auto* music = static_cast<MplyMusic*>(entity.IsKindOf(MPLY_MUSIC));
    MseqMusic* source = music ? music->source() : nullptr;
    if (!source) return parts;
    if (source->type() == MTYPE_LEAF_PHRASE) {
        // A phrase sounds on the first channel, or on the drum channel for a drum kit.
        const MseqBlockWord& program = source->m_Program;
        const int ch = program.m_Attrib == MWORD_DRUM_KIT ? MseqMapStage::kDrumChannel : 0;
        if (!program.m_Name.empty()) parts.names[ch] = program.m_Name;
    } else if (ref_ptr<MseqEntity> e = music->OpenObject(source->m_MapStageID, MTYPE_LEAF_STAGE)) {
        if (auto* stage = e->cast_to<MseqMapStage>(MTYPE_LEAF_STAGE)) {
            for (int ch = 0; ch < MplyExportParts::kChannels; ++ch) {
                const MseqBlockStage& part = stage->m_Blocks[ch];
                if ((part.m_Flags & MSTAGE_USED) && !part.m_Program.m_Name.empty())
                    parts.names[ch] = part.m_Program.m_Name;
            }
        }
    }
    if (ref_ptr<MseqEntity> e = music->OpenObject(source->m_MapChordID, MTYPE_LEAF_CHORD)) {
        if (auto* chords = e->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD))
            parts.key_fifths = mply_key_fifths(chords->m_ToneKey);
    }
    return parts;
}
