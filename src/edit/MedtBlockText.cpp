#include "edit/MedtBlockText.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>

#include "edit/MedtMusic.h"
#include "edit/MedtNoteNames.h"
#include "edit/MedtText.h"
#include "edit/MedtTrack.h"
#include "edit/MedtViewCommands.h"
#include "edit/map/MedtDegreePicker.h"
#include "edit/press/MedtChordPress.h"
#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockLabel.h"
#include "model/block/MseqBlockNote.h"
#include "model/block/MseqBlockRefer.h"
#include "model/block/MseqBlockValue.h"
#include "model/core/MseqObject.h"
#include "model/core/floor_math.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqNoteTheory.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackValue.h"
#include "play/engine/MplyEventQueue.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyRunSet.h"
#include "play/tracks/MplyTrackNote.h"

namespace {

template <class Kind>
const Kind* stored_as(const MedtTrack& track, MSEQ_TYPE type) {
    MseqTrack* s = track.stored();
    return s ? s->cast_to<Kind>(type) : nullptr;
}

// The name of one note value of `ticks`; nullptr when no single value is that long.
const CkvString* value_name(int64_t ticks) {
    struct Value {
        int64_t ticks;
        medt_msg name;
    };
    static constexpr Value kValues[] = {
        {2880, medt_msg::LENGTH_DOTTED_WHOLE},
        {MseqTrack::kTicksPerBar, medt_msg::LENGTH_WHOLE},
        {1440, medt_msg::LENGTH_DOTTED_HALF},
        {1280, medt_msg::LENGTH_TRIPLET_WHOLE},
        {960, medt_msg::LENGTH_HALF},
        {720, medt_msg::LENGTH_DOTTED_QUARTER},
        {640, medt_msg::LENGTH_TRIPLET_HALF},
        {480, medt_msg::LENGTH_QUARTER},
        {384, medt_msg::LENGTH_QUINTUPLET_QUARTER},
        {360, medt_msg::LENGTH_DOTTED_8TH},
        {320, medt_msg::LENGTH_TRIPLET_QUARTER},
        {240, medt_msg::LENGTH_8TH},
        {192, medt_msg::LENGTH_QUINTUPLET_8TH},
        {180, medt_msg::LENGTH_DOTTED_16TH},
        {160, medt_msg::LENGTH_TRIPLET_8TH},
        {120, medt_msg::LENGTH_16TH},
        {96, medt_msg::LENGTH_QUINTUPLET_16TH},
        {90, medt_msg::LENGTH_DOTTED_32ND},
        {80, medt_msg::LENGTH_TRIPLET_16TH},
        {60, medt_msg::LENGTH_32ND},
        {40, medt_msg::LENGTH_TRIPLET_32ND},
        {30, medt_msg::LENGTH_64TH},
    };
    for (const Value& v : kValues) {
        if (v.ticks == ticks) return &medt_text(v.name);
    }
    return nullptr;
}

// The greatest single note value not above `ticks` and shorter than a bar; 0 when none is.
int64_t largest_value(int64_t ticks) {
    for (int64_t t = std::min<int64_t>(ticks, MseqTrack::kTicksPerBar - 1); t >= 30; --t) {
        if (value_name(t)) return t;
    }
    return 0;
}

}  // namespace

namespace medt_block_text {

CkvString note_name(const MedtNoteNames& names, const MseqBlockNote& note, int32_t pos) {
    return names.name_at(note, pos);
}

CkvString note_octave(const MseqBlockNote& note) {
    return medt_format("%d", int(note.m_Octave));
}

CkvString note_accidental(const MseqBlockNote& note) {
    return note.m_Semi ? medt_format("%+d", int(note.m_Semi)) : CkvString();
}

bool note_start_lag(const MseqBlockNote& note, CkvString* text) {
    if (!(note.m_Flags & MNBF_OWN_STIME)) return false;
    *text = medt_format("%d", note.m_STime);
    return true;
}

bool note_end_lag(const MseqBlockNote& note, CkvString* text) {
    if (!(note.m_Flags & MNBF_OWN_ETIME)) return false;
    *text = medt_format("%d", note.m_ETime);
    return true;
}

CkvString refer_text(const MseqMusic* music, const MseqBlockRefer& block, uint32_t show) {
    const MseqObject* phrase = music && block.m_PhraseID ? music->find(block.m_PhraseID) : nullptr;
    std::string text = phrase ? phrase->name.str() : medt_format("?%x", block.m_PhraseID).str();
    if (!block.m_StartMarker.empty()) text += "@" + block.m_StartMarker.str();
    if (block.m_Rotation) text += medt_format(" %+d", block.m_Rotation).str();
    if (show & MSHOW_MODE_ICONS) text += " [" + refer_mode(block.m_Mode).str() + "]";
    return CkvString(text);
}

CkvString refer_shift(const MseqBlockRefer& block) {
    return medt_format("%+d", block.m_Rotation);
}

CkvString refer_mode(uint32_t mode) {
    switch (mode) {
        case MRBM_BLOCK_KEEP:
            return medt_text(medt_msg::MODE_BLOCK_KEEP);
        case MRBM_BLOCK_CUT:
            return medt_text(medt_msg::MODE_BLOCK_CUT);
        case MRBM_SOUND_CUT:
            return medt_text(medt_msg::MODE_SOUND_CUT);
        case MRBM_STRETCH:
            return medt_text(medt_msg::MODE_STRETCH);
        default:
            return CkvString();
    }
}

CkvString chord_degree(const MseqBlockChord& block) {
    if (block.m_Flags & MCHORD_NO_KEY) return CkvString("*");
    return MedtDegreePicker::degree_label(block.desc_pitch());
}

CkvString chord_name(const MseqTrackChord& track, int32_t pos, const MseqMusic* music) {
    return MedtChordPress::name_at(track, pos, music);
}

CkvString label_text(const MseqBlockLabel& block) {
    return block.m_Label;
}

CkvString value_text(const MseqBlockValue& block) {
    return medt_format("%d", block.m_Value);
}

CkvString link_text(const MedtTrack& track, int32_t pos) {
    return track.item_text(pos);
}

CkvString length_text(int64_t ticks) {
    if (ticks <= 0) return medt_format("%lld [Tick]", static_cast<long long>(ticks));
    if (const CkvString* one = value_name(ticks)) return *one;
    std::string text;
    int parts = 0;
    int64_t rest = ticks;
    if (const int64_t bars = rest / MseqTrack::kTicksPerBar; bars > 0) {
        text = bars == 1 ? medt_text(medt_msg::LENGTH_WHOLE).str()
                         : medt_format(medt_text(medt_msg::LENGTH_BARS).c_str(),
                                       static_cast<long long>(bars))
                               .str();
        rest -= bars * MseqTrack::kTicksPerBar;
        ++parts;
    }
    while (rest > 0 && parts < 3) {
        const int64_t v = largest_value(rest);
        if (!v) break;
        if (parts) text += " + ";
        text += value_name(v)->str();
        rest -= v;
        ++parts;
    }
    if (rest > 0) return medt_format("%lld [Tick]", static_cast<long long>(ticks));
    return CkvString(text);
}

CkvString key_text(int64_t key) {
    const std::string text =
        MedtNoteNames::pitch_letter(static_cast<int32_t>(floor_mod(key, 12))).str() +
        std::to_string(floor_div(key, 12));
    return medt_format(medt_text(medt_msg::KEY_WITH_NUMBER).c_str(), text.c_str(),
                       static_cast<long long>(key));
}

bool note_key(const MedtTrack& track, int32_t pos, const MseqBlockNote& note, int64_t* key) {
    MseqMusic* music = track.editor() ? track.editor()->music() : nullptr;
    if (!music || !stored_as<MseqTrackNote>(track, MTYPE_TRACK_NOTE)) return false;
    // The player's own resolution: the music compiled as for a run from its start, its tracks
    // prepared, then the note track asked for the key at the note's tick.
    std::shared_ptr<const MplyRunSet> reach = MplyRunSet::collect(music);
    if (!reach) return false;
    MplyEventQueue queue;  // where preparing could put events; nothing is played
    MplyMusic player(music, reach);
    MplyContext& c = player.context();
    c.queue = &queue;
    c.music = &player;
    c.transpose = music->m_Transpose;
    if (!player.BuildAndPrepare(c)) return false;
    MplyTrack* t = player.FindTrack(track.id());
    if (!t || !t->IsKindOf(MPLY_TRACK_NOTE)) return false;
    auto* notes = static_cast<MplyTrackNote*>(t);
    if (!notes->Prepare(c)) return false;
    const int64_t tick = int64_t{pos} * MseqTrack::kTicksPerBar / track.beats();
    return notes->KeyOf(note, tick, c.transpose, 0, key);
}

CkvString tip(const MedtTrack& track, int32_t pos) {
    if (pos < 0 || !track.shown()) return CkvString();
    const MseqMusic* music = track.editor() ? track.editor()->music() : nullptr;
    if (const auto* nt = stored_as<MseqTrackNote>(track, MTYPE_TRACK_NOTE)) {
        int32_t start = 0;
        const MseqBlockNote* n = nt->block_covering(pos, &start);
        if (!n) return CkvString();
        std::string text = MedtNoteNames(track).name_at(*n, start).str();
        int64_t key = 0;
        if (note_key(track, start, *n, &key))
            text += medt_text(medt_msg::TIP_PITCH).str() + key_text(key).str();
        const int64_t ticks = int64_t{n->m_Length} * MseqTrack::kTicksPerBar / track.beats();
        text += medt_text(medt_msg::TIP_LENGTH).str() + length_text(ticks).str();
        text += medt_format(medt_text(medt_msg::TIP_VELOCITY).c_str(), int(n->m_Velocity)).str();
        return CkvString(text);
    }
    if (const auto* ct = stored_as<MseqTrackChord>(track, MTYPE_TRACK_CHORD))
        return chord_name(*ct, pos, music);
    if (const auto* rt = stored_as<MseqTrackRefer>(track, MTYPE_TRACK_REFER)) {
        int32_t start = 0;
        const MseqBlockRefer* b = rt->block_covering(pos, &start);
        const MseqObject* phrase = b && music ? music->find(b->m_PhraseID) : nullptr;
        return phrase ? phrase->name : CkvString();
    }
    if (const auto* lt = stored_as<MseqTrackLabel>(track, MTYPE_TRACK_LABEL)) {
        const MseqBlockLabel* b = lt->block_in_effect(pos);
        return b ? label_text(*b) : CkvString();
    }
    if (const auto* vt = stored_as<MseqTrackValue>(track, MTYPE_TRACK_VALUE)) {
        const MseqBlockValue* b = vt->block_in_effect(pos);
        return b ? value_text(*b) : CkvString();
    }
    if (const auto* kt = stored_as<MseqTrackLink>(track, MTYPE_TRACK_LINK)) {
        int32_t start = 0;
        return kt->block_in_effect(pos, &start) ? link_text(track, start) : CkvString();
    }
    return CkvString();
}

}  // namespace medt_block_text
