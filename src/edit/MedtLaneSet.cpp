#include "edit/MedtLaneSet.h"

#include <algorithm>
#include <cstdio>

#include "edit/MedtMusic.h"
#include "edit/MedtNoteNames.h"
#include "edit/MedtText.h"
#include "edit/MedtTrack.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqType.h"
#include "model/theory/MseqNoteTheory.h"

namespace {

bool has_lane(const MedtTrack& t) {
    const MseqObject* node = t.node();
    return node && (node->type == MTYPE_TRACK_NOTE || node->type == MTYPE_TRACK_REFER);
}

}  // namespace

bool MedtLaneSet::shown(MSEQ_ID track) const {
    return shown_.count(key_of(track)) != 0;
}

void MedtLaneSet::set_shown(const MedtMusic& editor, MSEQ_ID track, bool on) {
    const MedtTrack* t = editor.find_track(track);
    if (!t || !has_lane(*t)) return;
    const MSEQ_ID k = key_of(track);
    if (on) {
        if (shown_.insert(k).second) valid_ = false;
    } else {
        shown_.erase(k);
        lanes_.erase(k);
    }
}

void MedtLaneSet::set_all(const MedtMusic& editor, bool on) {
    for (MedtTrack* t = editor.root(); t; t = t->next_in(editor.root()))
        set_shown(editor, t->id(), on);
}

bool MedtLaneSet::cover(MseqMusic& music, int32_t from, int32_t to) {
    if (shown_.empty() || to <= from) return false;
    if (valid_ && from >= from_ && to <= to_) return false;
    const int64_t span = int64_t{to} - from;
    from_ = static_cast<int32_t>(std::max<int64_t>(0, from - span));
    to_ = static_cast<int32_t>(std::min<int64_t>(INT32_MAX, to + span));
    std::map<MSEQ_ID, MplyResolvedKeys> all = MplyKeyLane::resolve(music, from_, to_);
    for (MSEQ_ID id : shown_) {
        Lane& lane = lanes_[id];
        auto it = all.find(id);
        lane.keys = it == all.end() ? MplyResolvedKeys{} : std::move(it->second);
        const MedtLaneAxis axis = MedtLaneAxis::of(lane.keys);
        // Before any keys the lane keeps the axis it has (or the default one).
        if (!lane.keys.notes.empty()) lane.axis = lane.has_axis ? lane.axis.joined(axis) : axis;
        lane.has_axis = lane.has_axis || !lane.keys.notes.empty();
    }
    valid_ = true;
    return true;
}

const MplyResolvedKeys* MedtLaneSet::keys(MSEQ_ID track) const {
    if (!shown(track)) return nullptr;
    static const MplyResolvedKeys none;
    auto it = lanes_.find(key_of(track));
    return it == lanes_.end() ? &none : &it->second.keys;
}

MedtLaneAxis MedtLaneSet::axis(MSEQ_ID track) const {
    auto it = lanes_.find(key_of(track));
    return it == lanes_.end() ? MedtLaneAxis{} : it->second.axis;
}

int32_t MedtLaneSet::height(MSEQ_ID track) const {
    return shown(track) ? axis(track).height() + 2 * kPad : 0;
}

CkvString MedtLaneSet::key_name(int32_t key) {
    return CkvString(MedtNoteNames::pitch_letter(key).str() + std::to_string(key / 12));
}

namespace {

const CkvString& without_map() {
    return medt_text(medt_msg::LANE_WITHOUT_MAP);
}

}  // namespace

CkvString MedtLaneSet::tip(bool map_missing) {
    CkvString text = medt_text(medt_msg::LANE_TITLE);
    if (map_missing) text += without_map();
    return text;
}

CkvString MedtLaneSet::tip(const MplyLaneNote& note, bool map_missing) {
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, " (%d)  ", int(note.key));
    CkvString text = key_name(note.key) + numbers;
    std::snprintf(numbers, sizeof numbers, " %d  ", int(note.velocity));
    text += medt_text(medt_msg::LANE_VELOCITY) + numbers;
    std::snprintf(numbers, sizeof numbers, " %d ", int(note.length));
    text += medt_text(medt_msg::LANE_LENGTH) + numbers + medt_text(medt_msg::LANE_TICKS);
    if (note.chord_tone) text += medt_text(medt_msg::LANE_CHORD_TONE);
    if (map_missing) text += without_map();
    return text;
}
