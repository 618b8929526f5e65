#include "edit/press/MedtChordPress.h"

#include "edit/map/MedtChordEditor.h"
#include "edit/map/MedtChordMapView.h"
#include "edit/map/MedtDegreePicker.h"
#include "edit/press/MedtBlockPress.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqShowState.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackLink.h"

namespace {

ref_ptr<MseqMapChord> open_map(const MseqMusic* music, MSEQ_ID id) {
    MseqObject* node = music->find(id);
    if (!node || node->type != MTYPE_LEAF_CHORD) return {};
    ref_ptr<MseqEntity> e = mseq_open(node);
    return ref_ptr<MseqMapChord>(e->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD));
}

bool put(MedtPressContext& ctx, const MseqTrackChord& track, int32_t pos,
         const MseqBlockChord* block) {
    const MseqBlockChord* current = track.block_at(pos);
    if (block ? (current && *current == *block) : !current) return false;
    return ctx.setter->set_block(pos, block);
}

}  // namespace

ref_ptr<MseqMapChord> MedtChordPress::map_at(const MseqTrackChord& track, int32_t pos,
                                             const MseqMusic* music) {
    if (!music || !track.m_MapID) return {};
    if (ref_ptr<MseqMapChord> fixed = open_map(music, track.m_MapID)) return fixed;
    MseqObject* node = music->find(track.m_MapID);
    if (!node || node->type != MTYPE_TRACK_CHORD_MAP || !node->entity()) return {};
    auto* link = node->entity()->cast_to<MseqTrackChordMap>(MTYPE_TRACK_CHORD_MAP);
    if (!link || track.m_Beat < 1 || link->m_Beat < 1) return {};
    // The transposition track counts in its own grid: the same moment in its units.
    const MseqBlockLink* in_effect =
        link->block_in_effect(mseq_regrid(pos, track.m_Beat, link->m_Beat));
    return in_effect ? open_map(music, in_effect->m_LinkID) : ref_ptr<MseqMapChord>();
}

bool MedtChordPress::chord_at(const MseqTrackChord& track, int32_t pos, const MseqMusic* music,
                              MseqBlockChord* chord) {
    const MseqBlockChord* block = track.block_in_effect(pos);
    if (!block) return false;
    // A chord of its own needs no map: the map in effect is opened only for a degree.
    ref_ptr<MseqMapChord> map;
    if (!(block->m_Flags & MCHORD_NO_KEY)) map = map_at(track, pos, music);
    const MseqBlockChord* found = mseq_chord_in_effect(*block, map.get());
    if (!found) return false;
    *chord = *found;
    return true;
}

CkvString MedtChordPress::name_at(const MseqTrackChord& track, int32_t pos,
                                  const MseqMusic* music) {
    MseqBlockChord chord;
    if (!chord_at(track, pos, music, &chord)) return {};
    const ref_ptr<MseqMapChord> map = map_at(track, pos, music);
    return MedtChordMapView::chord_name(chord, map ? map->m_CDegKey : 0);
}

bool MedtChordPress::press(const MseqTrackChord& track, MedtChordRowKind row, int32_t pos,
                           bool right, MedtPressContext& ctx) {
    if (!ctx.setter || pos < 0) return false;
    int32_t start = 0;
    const MseqBlockChord* block = track.block_in_effect(pos, &start);
    if (right) return block && put(ctx, track, start, nullptr);
    if (!ctx.port) return false;
    ref_ptr<MseqMapChord> map = map_at(track, pos, ctx.music);
    if (row == MedtChordRowKind::Degree) {
        const int32_t selected =
            block && !(block->m_Flags & MCHORD_NO_KEY) ? block->desc_pitch() : -1;
        const bool by_name = ctx.music && (uint32_t(ctx.music->m_ShowState) & MSHOW_CHORD_NAMES);
        MedtDegreePicker picker(map.get(), selected, by_name);
        const int32_t slot = ctx.port->pick_degree(picker);
        return slot >= 0 && set_degree(track, pos, slot, ctx);
    }
    MseqBlockChord chord;
    chord_at(track, pos, ctx.music, &chord);
    MedtChordEditor editor(chord, map ? map->m_CDegKey : 0);
    if (!ctx.port->edit_chord(editor)) return false;
    return set_chord(track, pos, editor.chord(), ctx);
}

bool MedtChordPress::set_degree(const MseqTrackChord& track, int32_t pos, int32_t slot,
                                MedtPressContext& ctx) {
    if (!ctx.setter || pos < 0) return false;
    ref_ptr<MseqMapChord> map = map_at(track, pos, ctx.music);
    MseqBlockChord block;
    if (!MedtDegreePicker(map.get(), -1, false).pick(slot, &block)) return false;
    return put(ctx, track, pos, &block);
}

bool MedtChordPress::set_chord(const MseqTrackChord& track, int32_t pos,
                               const MseqBlockChord& chord, MedtPressContext& ctx) {
    if (!ctx.setter || pos < 0) return false;
    if (chord.key_count <= 0) return put(ctx, track, pos, nullptr);
    MseqBlockChord block = chord;
    block.m_Flags |= MCHORD_NO_KEY;
    block.normalize();
    return put(ctx, track, pos, &block);
}
