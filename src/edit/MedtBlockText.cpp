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
const char* value_name(int64_t ticks) {
    struct Value {
        int64_t ticks;
        const char* name;
    };
    static const Value kValues[] = {
        {2880, "付点全音符"},    {MseqTrack::kTicksPerBar, "全音符"},
        {1440, "付点 2 分音符"}, {1280, "3 連全音符"},
        {960, "2 分音符"},       {720, "付点 4 分音符"},
        {640, "3 連 2 分音符"},  {480, "4 分音符"},
        {384, "5 連 4 分音符"},  {360, "付点 8 分音符"},
        {320, "3 連 4 分音符"},  {240, "8 分音符"},
        {192, "5 連 8 分音符"},  {180, "付点 16 分音符"},
        {160, "3 連 8 分音符"},  {120, "16 分音符"},
        {96, "5 連 16 分音符"},  {90, "付点 32 分音符"},
        {80, "3 連 16 分音符"},  {60, "32 分音符"},
        {40, "3 連 32 分音符"},  {30, "64 分音符"},
    };
    for (const Value& v : kValues) {
        if (v.ticks == ticks) return v.name;
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
            return medt_text("保持");
        case MRBM_BLOCK_CUT:
            return medt_text("ブロック切");
        case MRBM_SOUND_CUT:
            return medt_text("音切");
        case MRBM_STRETCH:
            return medt_text("伸縮");
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
    if (const char* one = value_name(ticks)) return medt_text(one);
    std::string text;
    int parts = 0;
    int64_t rest = ticks;
    if (const int64_t bars = rest / MseqTrack::kTicksPerBar; bars > 0) {
        text =
            bars == 1
                ? medt_text("全音符").str()
                : medt_format(medt_text("%lld 小節").c_str(), static_cast<long long>(bars)).str();
        rest -= bars * MseqTrack::kTicksPerBar;
        ++parts;
    }
    while (rest > 0 && parts < 3) {
        const int64_t v = largest_value(rest);
        if (!v) break;
        if (parts) text += " + ";
        text += medt_text(value_name(v)).str();
        rest -= v;
        ++parts;
    }
    if (rest > 0) return medt_format("%lld [Tick]", static_cast<long long>(ticks));
    return CkvString(text);
}

CkvString key_text(int64_t key) {
    const MseqPitchName name = mseq_pitch_name(static_cast<int32_t>(floor_mod(key, 12)));
    static const char kLetters[] = "CDEFGAB";
    char text[32];  // a letter, a sharp and any octave of 64 bits
    std::snprintf(text, sizeof text, "%c%s%lld", kLetters[name.letter], name.sharp ? "#" : "",
                  static_cast<long long>(floor_div(key, 12)));
    return medt_format(medt_text("%s (ノート番号 %lld)").c_str(), text,
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
            text += medt_text("  音高 ").str() + key_text(key).str();
        const int64_t ticks = int64_t{n->m_Length} * MseqTrack::kTicksPerBar / track.beats();
        text += medt_text("  長さ ").str() + length_text(ticks).str();
        text += medt_format(medt_text("  ベロシティ %d").c_str(), int(n->m_Velocity)).str();
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
