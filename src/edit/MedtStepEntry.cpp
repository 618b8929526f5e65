#include "edit/MedtStepEntry.h"

#include <algorithm>
#include <bitset>

#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "edit/MedtTransaction.h"
#include "edit/map/MedtDegreePicker.h"
#include "edit/press/MedtChordPress.h"
#include "model/core/floor_math.h"
#include "model/theory/MseqMapChord.h"
#include "model/track/MseqTrackChord.h"

namespace {

using pitch_set = std::bitset<12>;

pitch_set pitch_classes(const std::vector<int32_t>& keys) {
    pitch_set s;
    for (int32_t k : keys)
        s.set(static_cast<size_t>(floor_mod(k, 12)));
    return s;
}

std::vector<int32_t> members(const pitch_set& s) {
    std::vector<int32_t> out;
    for (size_t i = 0; i < 12; ++i) {
        if (s[i]) out.push_back(static_cast<int32_t>(i));
    }
    return out;
}

}  // namespace

MedtChordMatch medt_chord_for_keys(const MseqMapChord* map, const std::vector<int32_t>& keys) {
    MedtChordMatch best;
    if (!map || keys.empty()) return best;
    const pitch_set played = pitch_classes(keys);
    const int32_t bass =
        static_cast<int32_t>(floor_mod(*std::min_element(keys.begin(), keys.end()), 12));
    const MedtDegreePicker picker(map, -1, false);
    size_t best_distance = SIZE_MAX;
    bool best_on_bass = false;
    for (const MedtDegreeItem& item : picker.items()) {
        MseqBlockChord chord;
        if (!picker.pick(item.slot, &chord) || chord.key_count <= 0) continue;
        const int32_t root = chord.effective_root(map->m_CDegKey);
        pitch_set tones;
        for (int32_t i = 0; i < chord.key_count; ++i)
            tones.set(static_cast<size_t>(floor_mod(root + chord.keys[size_t(i)].m_Key, 12)));
        const size_t distance = (played ^ tones).count();
        const bool on_bass = floor_mod(root, 12) == bass;
        if (distance < best_distance || (distance == best_distance && on_bass && !best_on_bass)) {
            best_distance = distance;
            best_on_bass = on_bass;
            best.slot = item.slot;
            best.extra = members(played & ~tones);
            best.missing = members(tones & ~played);
        }
    }
    return best;
}

MedtEntryResult MedtStepEntry::enter(const std::vector<int32_t>& keys) {
    last_chord_ = MedtChordMatch();
    if (keys.empty()) return MedtEntryResult::nothing;
    MedtMusicInvoker& editor = typed_.editor();
    MedtTrack* track = editor.current();
    MseqTrack* stored = track ? track->stored() : nullptr;
    if (stored && stored->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD)) return enter_chord(keys);
    return typed_.enter_key(*std::max_element(keys.begin(), keys.end()));
}

MedtEntryResult MedtStepEntry::enter_chord(const std::vector<int32_t>& keys) {
    MedtMusicInvoker& editor = typed_.editor();
    if (editor.read_only() || !editor.music()) return MedtEntryResult::read_only;
    MedtTrack& track = *editor.current();
    const auto& chords = *track.stored()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
    const int32_t steps = typed_.value().steps(chords.m_Beat);
    if (steps < 1) return MedtEntryResult::off_grid;
    const int32_t pos = editor.cursor();
    ref_ptr<MseqMapChord> map = MedtChordPress::map_at(chords, pos, editor.music());
    const MedtChordMatch match = medt_chord_for_keys(map.get(), keys);
    MseqBlockChord block;
    if (match.slot < 0 || !MedtDegreePicker(map.get(), -1, false).pick(match.slot, &block))
        return MedtEntryResult::not_a_key;
    MedtTransaction transaction(editor);
    if (track.set_block(pos, &block) == 0) {
        transaction.rollback();
        return MedtEntryResult::refused;
    }
    transaction.commit();
    editor.set_cursor(&track, pos + steps, pos + steps);
    last_chord_ = match;
    return MedtEntryResult::entered;
}
