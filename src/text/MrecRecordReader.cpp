#include "text/MrecRecordReader.h"

#include <cstdint>
#include <optional>

#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockLabel.h"
#include "model/block/MseqBlockLink.h"
#include "model/block/MseqBlockNote.h"
#include "model/block/MseqBlockRefer.h"
#include "model/block/MseqBlockScale.h"
#include "model/block/MseqBlockStage.h"
#include "model/block/MseqBlockValue.h"
#include "model/block/MseqBlockWord.h"
#include "model/core/MseqId.h"
#include "model/library/MseqConfig.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapScale.h"
#include "model/theory/MseqMapStage.h"
#include "model/theory/MseqMsgForm.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackText.h"
#include "model/track/MseqTrackValue.h"
#include "text/AnalyzeFields.h"

namespace {

// Reads an MSEQ_KEY array into a fixed key table, keeping at most `limit` keys.
template <class Keys>
bool read_keys(AnalyzeFieldReader& r, Keys& keys, int32_t& count, size_t limit) {
    AnalyzeArrayReader list;
    if (!r.read_array("m_Keys2", list)) return r.ok();
    count = 0;
    for (size_t i = 0; i < list.size() && i < limit; ++i) {
        AnalyzeFieldReader k;
        if (!list.read_element(i, k)) return false;
        auto& key = keys[i];
        key = {};
        k.read_uint("m_Flags", key.m_Flags);
        k.read_int("m_Key", key.m_Key);
        if (!k.ok()) return false;
        ++count;
    }
    return r.ok();
}

bool read_int_field(AnalyzeFieldReader& r, std::string_view name, int32_t& out) {
    r.read_int(name, out);
    return r.ok();
}

// Reads the m_Blocks array of a block sequence, each element put at its m_Index.
template <class Track, class ReadBlock>
bool read_blocks(AnalyzeFieldReader& r, Track& track, ReadBlock read_block) {
    AnalyzeArrayReader list;
    if (!r.read_array("m_Blocks", list)) return r.ok();
    // Every element has the array's element type: its index field is looked up once.
    const AnalyzeField* index_field = nullptr;
    track.reserve_blocks(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        AnalyzeFieldReader b;
        if (!list.read_element(i, b)) return false;
        if (i == 0) index_field = b.declared_field("m_Index");
        uint32_t index = 0;
        b.read_uint(index_field, index);
        typename Track::BlockMap::mapped_type block;
        if (!read_block(b, block) || !b.ok()) return false;
        // A position past the largest the writer can write (it writes positions signed) is no
        // place in the track: such a block is skipped rather than kept at a negative position.
        if (index > static_cast<uint32_t>(INT32_MAX)) continue;
        track.put_block(static_cast<int32_t>(index), block);
    }
    return true;
}

// The fields of a note block, looked up once for all the notes of a track: a track may hold a
// great many.
struct NoteFields {
    explicit NoteFields(const AnalyzeFieldReader& b)
        : flags(b.declared_field("m_Flags")),
          type(b.declared_field("m_Type")),
          length(b.declared_field("m_Length")),
          start(b.declared_field("m_STime")),
          end(b.declared_field("m_ETime")),
          octave(b.declared_field("m_Octave")),
          whole(b.declared_field("m_Whole")),
          semi(b.declared_field("m_Semi")),
          velocity(b.declared_field("m_Velocity")) {}

    bool read(AnalyzeFieldReader& b, MseqBlockNote& out) const {
        int32_t v;
        b.read_uint(flags, out.m_Flags);
        b.read_uint(type, out.m_Type);
        b.read_int(length, out.m_Length);
        b.read_int(start, out.m_STime);
        b.read_int(end, out.m_ETime);
        // Pitch parts and velocity are bytes: the low 8 bits are kept.
        if (b.read_int(octave, v)) out.m_Octave = static_cast<int8_t>(v);
        if (b.read_int(whole, v)) out.m_Whole = static_cast<int8_t>(v);
        if (b.read_int(semi, v)) out.m_Semi = static_cast<int8_t>(v);
        if (b.read_int(velocity, v)) out.m_Velocity = static_cast<uint8_t>(v);
        return b.ok();
    }

    const AnalyzeField *flags, *type, *length, *start, *end, *octave, *whole, *semi, *velocity;
};

bool read_flags_and_beat(AnalyzeFieldReader& r, MseqTrack& t) {
    r.read_uint("m_Flags", t.m_Flags);
    r.read_int("m_Beat", t.m_Beat);
    return r.ok();
}

}  // namespace

void mrec_read_reference(AnalyzeFieldReader& r, std::string_view name, uint32_t file_number,
                         uint32_t& out) {
    uint32_t v;
    if (!r.read_uint(name, v)) return;
    const uint32_t serial = v & 0xFFFFF;
    out = serial ? mseq_make_id(file_number, serial) : 0;
}

bool MrecRecordReader::word(AnalyzeFieldReader& w, MseqBlockWord& out) {
    int32_t v;
    uint32_t u;
    if (w.read_int("m_Attrib", v)) out.m_Attrib = static_cast<uint16_t>(v);
    if (w.read_int("m_Group", v)) out.m_Group = static_cast<uint16_t>(v);
    if (w.read_uint("m_Index", u)) {
        // Files of the first layout generation stored program numbers in 7 bits only.
        out.m_Index = data_version_ < 0x02000000 ? (u & 0x7F) : u;
    }
    w.read_string("m_Name", out.m_Name);
    return w.ok();
}

bool MrecRecordReader::word_field(AnalyzeFieldReader& r, std::string_view field,
                                  MseqBlockWord& out) {
    AnalyzeFieldReader w;
    if (!r.read_nested(field, w)) return r.ok();
    return word(w, out);
}

bool MrecRecordReader::chord(AnalyzeFieldReader& r, MseqBlockChord& out) {
    r.read_string("m_Type", out.m_Type);
    r.read_uint("m_Flags", out.m_Flags);
    r.read_int("m_DescOctave", out.m_DescOctave);
    r.read_int("m_DescDegree", out.m_DescDegree);
    r.read_int("m_Octave", out.m_Octave);
    r.read_int("m_Root", out.m_Root);
    if (!r.ok()) return false;
    return read_keys(r, out.keys, out.key_count, MseqBlockChord::kMaxKeys);
}

bool MrecRecordReader::scale(AnalyzeFieldReader& r, MseqBlockScale& out) {
    r.read_string("m_Name", out.m_Name);
    r.read_uint("m_ShowTune", out.m_ShowTune);
    r.read_int("m_ToneTune", out.m_ToneTune);
    if (!r.ok()) return false;
    return read_keys(r, out.keys, out.key_count, MseqBlockScale::kMaxKeys);
}

bool MrecRecordReader::stage(AnalyzeFieldReader& r, MseqBlockStage& out) {
    r.read_uint("m_Flags", out.m_Flags);
    if (!word_field(r, "m_Program", out.m_Program)) return false;
    for (auto [name, field] : {std::pair{"m_Volume", &out.m_Volume},
                               {"m_Pan", &out.m_Pan},
                               {"m_Reverb", &out.m_Reverb},
                               // An older spelling of the reverb field; read after the right
                               // one, so it wins when a file has both.
                               {"m_Reverve", &out.m_Reverb},
                               {"m_Chorus", &out.m_Chorus},
                               {"m_Bend", &out.m_Bend},
                               {"m_Hold", &out.m_Hold},
                               {"m_Modulation", &out.m_Modulation},
                               {"m_Expression", &out.m_Expression},
                               {"m_BendRange", &out.m_BendRange}}) {
        if (!read_int_field(r, name, *field)) return false;
    }
    return true;
}

bool MrecRecordReader::msg_form(AnalyzeFieldReader& r, MseqMsgForm& out) {
    if (!word_field(r, "m_Name", out.m_Name)) return false;
    AnalyzeArrayReader vars;
    if (r.read_array("m_Vars", vars)) {
        out.m_Vars.clear();
        for (size_t i = 0; i < vars.size(); ++i) {
            AnalyzeFieldReader v;
            if (!vars.read_element(i, v)) return false;
            MseqMsgVar var;
            v.read_int("m_Lsb", var.m_Lsb);
            v.read_int("m_Msb", var.m_Msb);
            v.read_int("m_Def", var.m_Def);
            v.read_int("m_Min", var.m_Min);
            v.read_int("m_Max", var.m_Max);
            v.read_int("m_Base", var.m_Base);
            v.read_int("m_Diff", var.m_Diff);
            if (!v.ok()) return false;
            out.m_Vars.push_back(var);
        }
    }
    if (!r.ok()) return false;
    AnalyzeArrayReader bytes;
    if (r.read_array("m_Msg", bytes)) {
        out.m_Msg.clear();
        for (size_t i = 0; i < bytes.size(); ++i) {
            int32_t b;
            if (!bytes.read_int(i, b)) return false;
            out.m_Msg.push_back(static_cast<uint8_t>(b));
        }
    }
    return r.ok();
}

bool MrecRecordReader::map_chord(AnalyzeFieldReader& r, MseqMapChord& out) {
    r.read_int("m_ToneKey", out.m_ToneKey);
    r.read_int("m_SDegKey", out.m_SDegKey);
    r.read_int("m_CDegKey", out.m_CDegKey);
    AnalyzeFieldReader s;
    if (r.read_nested("m_Scale", s) && !scale(s, out.m_Scale)) return false;
    AnalyzeArrayReader blocks;
    if (!r.read_array("m_Blocks", blocks)) return r.ok();
    for (size_t i = 0; i < blocks.size(); ++i) {
        AnalyzeFieldReader b;
        uint32_t slot = 0;
        if (!blocks.read_element(i, b)) return false;
        b.read_uint("m_Index", slot);
        if (!b.ok()) return false;
        MseqBlockChord ignored;
        MseqBlockChord& target = slot < MseqMapChord::kSlots ? out.m_Blocks[slot] : ignored;
        if (!chord(b, target)) return false;
    }
    return true;
}

bool MrecRecordReader::map_scale(AnalyzeFieldReader& r, MseqMapScale& out) {
    AnalyzeArrayReader blocks;
    if (!r.read_array("m_Blocks", blocks)) return r.ok();
    for (size_t i = 0; i < blocks.size(); ++i) {
        AnalyzeFieldReader b;
        MseqBlockScale block;
        if (!blocks.read_element(i, b) || !scale(b, block)) return false;
        out.add(block);
    }
    return true;
}

bool MrecRecordReader::map_stage(AnalyzeFieldReader& r, MseqMapStage& out) {
    // Signed in the file, but the writer writes the flags by name with any further bits in hex:
    // both forms are read.
    r.read_bits("m_Setup", out.m_Setup);
    AnalyzeArrayReader blocks;
    if (!r.read_array("m_Blocks", blocks)) return r.ok();
    for (size_t i = 0; i < blocks.size(); ++i) {
        AnalyzeFieldReader b;
        uint32_t channel = 0;
        if (!blocks.read_element(i, b)) return false;
        b.read_uint("m_Index", channel);
        if (!b.ok()) return false;
        // Only the sixteen channel slots exist; other blocks are skipped.
        MseqBlockStage ignored;
        MseqBlockStage* target = channel < 16 ? out.block(static_cast<int32_t>(channel)) : nullptr;
        if (!stage(b, target ? *target : ignored)) return false;
    }
    return true;
}

bool MrecRecordReader::config(AnalyzeFieldReader& r, MseqConfig& c) {
    r.read_uint("m_DeviceID", c.m_DeviceID);
    r.read_string("m_DeviceName", c.m_DeviceName);
    AnalyzeArrayReader guid;
    if (r.read_array("m_DmPortGUID", guid)) {
        for (size_t i = 0; i < guid.size() && i < c.m_DmPortGUID.size(); ++i) {
            if (!guid.read_uint(i, c.m_DmPortGUID[i])) return false;
        }
    }
    r.read_string("m_DmPortName", c.m_DmPortName);
    for (auto [name, field] : {std::pair{"m_DirectMusic", &c.m_DirectMusic},
                               {"m_PlayMode", &c.m_PlayMode},
                               {"m_StopClose", &c.m_StopClose},
                               {"m_StopResetMsg", &c.m_StopResetMsg},
                               {"m_CacheLevel", &c.m_CacheLevel},
                               {"m_SeekInterval", &c.m_SeekInterval},
                               {"m_ShowMenuBar", &c.m_ShowMenuBar},
                               {"m_ShowStatusBar", &c.m_ShowStatusBar},
                               {"m_VertTrackList", &c.m_VertTrackList},
                               {"m_VertTrackProp", &c.m_VertTrackProp},
                               {"m_TrPropNameW", &c.m_TrPropNameW},
                               {"m_TrPropDataW", &c.m_TrPropDataW},
                               {"m_MouseWheel", &c.m_MouseWheel},
                               {"m_LClickDelete", &c.m_LClickDelete},
                               {"m_DownSemiFlat", &c.m_DownSemiFlat},
                               {"m_SplitFrameH", &c.m_SplitFrameH},
                               {"m_SplitFrameV", &c.m_SplitFrameV},
                               {"m_SplitMusicH", &c.m_SplitMusicH},
                               {"m_SplitMusicV", &c.m_SplitMusicV},
                               {"m_SplitChordV", &c.m_SplitChordV},
                               {"m_FrmCmd", &c.m_FrmCmd},
                               {"m_FrmMaxX", &c.m_FrmMaxX},
                               {"m_FrmMaxY", &c.m_FrmMaxY},
                               {"m_FrmNrmX1", &c.m_FrmNrmX1},
                               {"m_FrmNrmY1", &c.m_FrmNrmY1},
                               {"m_FrmNrmX2", &c.m_FrmNrmX2},
                               {"m_FrmNrmY2", &c.m_FrmNrmY2}}) {
        if (!read_int_field(r, name, *field)) return false;
    }
    AnalyzeArrayReader rooms;
    if (r.read_array("m_RecentRooms", rooms)) {
        for (size_t i = 0; i < rooms.size(); ++i) {
            CkvString path;
            if (!rooms.read_string(i, path)) return false;
            c.m_RecentRooms.push_back(path);
        }
    }
    return r.ok();
}

bool MrecRecordReader::track(AnalyzeFieldReader& r, std::string_view record, MseqTrack& t) {
    if (record == "MSEQ_TRACK_TEXT") {
        auto* text = t.cast_to<MseqTrackText>(MTYPE_TRACK_TEXT);
        if (text) r.read_string("m_Text", text->m_Text);
        return text && r.ok();
    }
    if (record == "MSEQ_TRACK_GROUP") {
        auto* g = t.cast_to<MseqTrackGroup>(MTYPE_TRACK_GROUP);
        if (!g) return false;
        r.read_int("m_Channel", g->m_Channel);
        mrec_read_reference(r, "m_TrackChordID", MFILE_TRACKS, g->m_TrackChordID);
        return r.ok();
    }
    if (record == "MSEQ_TRACK_CHORD") {
        auto* c = t.cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
        if (!c) return false;
        r.read_int("m_Beat", c->m_Beat);
        r.read_uint("m_MapID", c->m_MapID);
        return r.ok() && read_blocks(r, *c, [&](AnalyzeFieldReader& b, MseqBlockChord& out) {
                   return chord(b, out);
               });
    }
    if (!read_flags_and_beat(r, t)) return false;
    if (record == "MSEQ_TRACK_LABEL") {
        auto* l = t.cast_to<MseqTrackLabel>(MTYPE_TRACK_LABEL);
        return l && read_blocks(r, *l, [](AnalyzeFieldReader& b, MseqBlockLabel& out) {
                   b.read_string("m_Label", out.m_Label);
                   return b.ok();
               });
    }
    if (record == "MSEQ_TRACK_LINK") {
        auto* l = t.cast_to<MseqTrackLink>(MTYPE_TRACK_LINK);
        return l && read_blocks(r, *l, [](AnalyzeFieldReader& b, MseqBlockLink& out) {
                   mrec_read_reference(b, "m_LinkID", MFILE_OWN_BOOK, out.m_LinkID);
                   return b.ok();
               });
    }
    auto read_value = [](AnalyzeFieldReader& b, MseqBlockValue& out) {
        b.read_int("m_Value", out.m_Value);
        return b.ok();
    };
    if (record == "MSEQ_TRACK_VALUE") {
        auto* v = t.cast_to<MseqTrackValue>(MTYPE_TRACK_VALUE);
        return v && read_blocks(r, *v, read_value);
    }
    if (record == "MSEQ_TRACK_MSG") {
        auto* m = t.cast_to<MseqTrackMsg>(MTYPE_TRACK_MSG);
        if (!m) return false;
        r.read_int("m_Channel", m->m_Channel);
        r.read_int("m_STime", m->m_STime);
        r.read_int("m_Power", m->m_Power);
        AnalyzeFieldReader form;
        if (r.read_nested("m_Form", form) && !msg_form(form, m->m_Form)) return false;
        return r.ok() && read_blocks(r, *m, read_value);
    }
    if (record == "MSEQ_TRACK_NOTE") {
        auto* n = t.cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
        if (!n) return false;
        r.read_int("m_Channel", n->m_Channel);
        mrec_read_reference(r, "m_TrackChordID", MFILE_TRACKS, n->m_TrackChordID);
        if (!word_field(r, "m_Rhythm", n->m_Rhythm)) return false;
        r.read_int("m_Octave", n->m_Octave);
        r.read_int("m_LRate", n->m_LRate);
        r.read_int("m_VRate", n->m_VRate);
        r.read_int("m_STime", n->m_STime);
        r.read_int("m_ETime", n->m_ETime);
        r.read_uint("m_NoteType", n->m_NoteType);
        std::optional<NoteFields> fields;
        return r.ok() && read_blocks(r, *n, [&fields](AnalyzeFieldReader& b, MseqBlockNote& out) {
                   if (!fields) fields.emplace(b);
                   return fields->read(b, out);
               });
    }
    if (record == "MSEQ_TRACK_REFER") {
        auto* f = t.cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER);
        if (!f) return false;
        r.read_int("m_Channel", f->m_Channel);
        mrec_read_reference(r, "m_TrackChordID", MFILE_TRACKS, f->m_TrackChordID);
        r.read_int("m_Octave", f->m_Octave);
        r.read_int("m_VRate", f->m_VRate);
        r.read_int("m_STime", f->m_STime);
        return r.ok() && read_blocks(r, *f, [](AnalyzeFieldReader& b, MseqBlockRefer& out) {
                   b.read_int("m_Length", out.m_Length);
                   mrec_read_reference(b, "m_PhraseID", MFILE_OWN_BOOK, out.m_PhraseID);
                   b.read_string("m_StartMarker", out.m_StartMarker);
                   b.read_int("m_Rotation", out.m_Rotation);
                   b.read_uint("m_Mode", out.m_Mode);
                   return b.ok();
               });
    }
    return false;
}
