#include "text/MrecRecordWriter.h"

#include <set>
#include <string_view>

#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockLabel.h"
#include "model/block/MseqBlockLink.h"
#include "model/block/MseqBlockNote.h"
#include "model/block/MseqBlockRefer.h"
#include "model/block/MseqBlockScale.h"
#include "model/block/MseqBlockStage.h"
#include "model/block/MseqBlockValue.h"
#include "model/block/MseqBlockWord.h"
#include "model/core/MseqEntity.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
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
#include "text/MrecEntityWriter.h"

namespace {

constexpr uint32_t low20(uint32_t id) {
    return id & 0xFFFFF;
}

bool has_embedded_content(const MseqObject* node) {
    return node->is_with() && mseq_has_content(node);
}

bool is_fixed_track(uint32_t type) {
    return type == MTYPE_TRACK_ROOT_MUSIC || type == MTYPE_TRACK_ROOT_PHRASE ||
           type == MTYPE_TRACK_HEADER || type == MTYPE_TRACK_DETAIL;
}

}  // namespace

bool MrecRecordWriter::declare_main(MseqEntity* entity) {
    using mrec_schema::TypeGroup;
    switch (entity->type()) {
        case MTYPE_ROOM:
            group_ = TypeGroup::Books;
            w_.set_object_types(group_);
            return w_.declare("MSEQ_OBJECT") && w_.declare("MSEQ_ROOM");
        case MTYPE_BOOK_LIBRARY:
        case MTYPE_BOOK_MUSIC: {
            group_ = TypeGroup::Leaves;
            w_.set_object_types(group_);
            if (!w_.declare("MSEQ_OBJECT") || !w_.declare("MSEQ_BOOK")) return false;
            // A music kept inside its book's file needs its own record types in this file too,
            // or the book could not be read back.
            auto* book = entity->cast_to<MseqBook>(MTYPE_BOOK);
            MseqObject* top = book ? book->owner : nullptr;
            for (MseqObject* n = top ? top->first_child() : nullptr; n; n = n->next_in(top)) {
                if (!has_embedded_content(n)) continue;
                if (auto* music = n->entity()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC))
                    declare_music_types(music);
            }
            return true;
        }
        case MTYPE_LEAF_MUSIC:
        case MTYPE_LEAF_PHRASE:
            group_ = TypeGroup::Tracks;
            w_.set_object_types(group_);
            declare_music_types(entity->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC));
            return true;
        case MTYPE_LEAF_CHORD:
            return w_.declare("MSEQ_MAP_CHORD");
        case MTYPE_LEAF_SCALE:
            return w_.declare("MSEQ_MAP_SCALE");
        case MTYPE_LEAF_STAGE:
            return w_.declare("MSEQ_MAP_STAGE");
        case MTYPE_CONFIG:
            return w_.declare("MSEQ_CONFIG");
        default:
            return false;
    }
}

void MrecRecordWriter::declare_music_types(MseqMusic* music) {
    w_.declare("MSEQ_OBJECT");
    w_.declare("MSEQ_BLOCK_WORD");
    // Each kind of track the music holds brings its record types, in this fixed order.
    static const char* const kTrackRecords[] = {
        "MSEQ_TRACK_GROUP", "MSEQ_TRACK_TEXT", "MSEQ_TRACK_LABEL",
        "MSEQ_TRACK_VALUE", "MSEQ_TRACK_LINK", "MSEQ_TRACK_CHORD",
        "MSEQ_TRACK_REFER", "MSEQ_TRACK_NOTE", "MSEQ_TRACK_MSG",
    };
    std::set<std::string_view> used;
    MseqObject* root = music ? music->root() : nullptr;
    for (MseqObject* n = root; n; n = n->next_in(root)) {
        if (!has_embedded_content(n)) continue;
        if (const char* record = mrec_content_record_type(n->entity()->type())) used.insert(record);
    }
    for (const char* record : kTrackRecords) {
        if (used.count(record)) w_.declare(record);
    }
    w_.declare("MSEQ_MUSIC");
}

bool MrecRecordWriter::write_main(MseqEntity* entity) {
    switch (entity->type()) {
        case MTYPE_ROOM:
            return write_room(entity->cast_to<MseqRoom>(MTYPE_ROOM), 0);
        case MTYPE_BOOK_LIBRARY:
        case MTYPE_BOOK_MUSIC:
            return write_book(entity->cast_to<MseqBook>(MTYPE_BOOK), 0);
        case MTYPE_LEAF_MUSIC:
        case MTYPE_LEAF_PHRASE:
            return write_music(entity->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC), 0);
        case MTYPE_LEAF_CHORD:
            write_map_chord(*entity->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD));
            return true;
        case MTYPE_LEAF_SCALE:
            write_map_scale(*entity->cast_to<MseqMapScale>(MTYPE_LEAF_SCALE));
            return true;
        case MTYPE_LEAF_STAGE:
            write_map_stage(*entity->cast_to<MseqMapStage>(MTYPE_LEAF_STAGE));
            return true;
        case MTYPE_CONFIG:
            write_config(*entity->cast_to<MseqConfig>(MTYPE_CONFIG));
            return true;
        default:
            return false;
    }
}

void MrecRecordWriter::word(const MseqBlockWord& word) {
    w_.raw("{ ");
    w_.dec(static_cast<int16_t>(word.m_Attrib));
    w_.raw(" ");
    w_.dec(static_cast<int16_t>(word.m_Group));
    w_.raw(" ");
    w_.hex8(word.m_Index);
    w_.raw(" ");
    w_.string(word.m_Name);
    w_.raw(" }");
}

template <class Keys>
void MrecRecordWriter::keys(const Keys& list, int32_t count) {
    w_.raw(" ");
    w_.array_prefix("MSEQ_KEY");
    w_.raw(" {");
    for (int32_t i = 0; i < count && i < static_cast<int32_t>(list.size()); ++i) {
        w_.raw("{");
        w_.hex(list[static_cast<size_t>(i)].m_Flags);
        w_.dec(list[static_cast<size_t>(i)].m_Key);
        w_.raw("}");
    }
    w_.raw("}");
}

void MrecRecordWriter::chord(const MseqBlockChord& c, int32_t index) {
    w_.raw("{ ");
    w_.dec2(index);
    w_.raw(" ");
    w_.string(c.m_Type);
    w_.raw(" ");
    w_.hex2(c.m_Flags);
    for (int32_t v : {c.m_DescOctave, c.m_DescDegree, c.m_Octave, c.m_Root}) {
        w_.raw(" ");
        w_.dec(v);
    }
    keys(c.keys, c.key_count);
    w_.raw(" }");
}

void MrecRecordWriter::scale(const MseqBlockScale& s, int32_t index) {
    w_.raw("{ ");
    w_.dec2(index);
    w_.raw(" ");
    w_.string(s.m_Name);
    w_.raw(" ");
    w_.dec(s.m_ShowTune);
    w_.raw(" ");
    w_.dec(s.m_ToneTune);
    keys(s.keys, s.key_count);
    w_.raw(" }");
}

void MrecRecordWriter::stage(const MseqBlockStage& b, int32_t index) {
    w_.raw("{ ");
    w_.dec2(index);
    w_.raw(" ");
    w_.hex8(b.m_Flags);
    w_.raw(" ");
    word(b.m_Program);
    for (int32_t v : {b.m_Volume, b.m_Pan, b.m_Reverb, b.m_Chorus, b.m_Bend, b.m_Hold,
                      b.m_Modulation, b.m_Expression, b.m_BendRange}) {
        w_.raw(" ");
        w_.dec(v);
    }
    w_.raw(" }");
}

void MrecRecordWriter::msg_form(const MseqMsgForm& form, int depth) {
    w_.indent(depth);
    w_.raw("{\r\n");
    w_.indent(depth + 1);
    word(form.m_Name);
    w_.crlf();
    w_.indent(depth + 1);
    w_.array_prefix("MSEQ_MSG_VAR");
    w_.raw("{");
    for (const MseqMsgVar& v : form.m_Vars) {
        w_.raw("{");
        for (int32_t x : {v.m_Lsb, v.m_Msb, v.m_Def, v.m_Min, v.m_Max, v.m_Base, v.m_Diff})
            w_.dec(x);
        w_.raw("}");
    }
    w_.raw("}\r\n");
    w_.indent(depth + 1);
    w_.array_prefix("NUM");
    w_.raw("{");
    for (uint8_t b : form.m_Msg)
        w_.hex2(b);
    w_.raw("}\r\n");
    w_.indent(depth);
    w_.raw("}\r\n");
}

void MrecRecordWriter::write_map_chord(const MseqMapChord& map) {
    w_.raw("{\r\n ");
    w_.dec(map.m_ToneKey);
    w_.raw(" ");
    w_.dec(map.m_SDegKey);
    w_.raw(" ");
    w_.dec(map.m_CDegKey);
    w_.raw("\r\n ");
    scale(map.m_Scale, 0);
    w_.crlf();
    open_array("MSEQ_BLOCK_CHORD", 1);
    for (int32_t slot = 0; slot < MseqMapChord::kSlots; ++slot) {
        w_.indent(2);
        chord(map.m_Blocks[static_cast<size_t>(slot)], slot);
        w_.crlf();
    }
    close_array(1);
    w_.raw("}\r\n");
}

void MrecRecordWriter::write_map_scale(const MseqMapScale& map) {
    w_.raw("{\r\n");
    open_array("MSEQ_BLOCK_SCALE", 1);
    for (int32_t i = 0; i < map.count(); ++i) {
        w_.indent(2);
        scale(*map.get(i), i);
        w_.crlf();
    }
    close_array(1);
    w_.raw("}\r\n");
}

void MrecRecordWriter::write_map_stage(const MseqMapStage& map) {
    w_.raw("{\r\n ");
    w_.flags(map.m_Setup, *mrec_schema::find_table("MSEQ_MAP_STAGE_SETUP"));
    w_.crlf();
    open_array("MSEQ_BLOCK_STAGE", 1);
    for (int32_t channel = 0; channel < MseqMapStage::kChannels; ++channel) {
        w_.indent(2);
        stage(*map.block(channel), channel);
        w_.crlf();
    }
    close_array(1);
    w_.raw("}\r\n");
}

void MrecRecordWriter::write_config(const MseqConfig& c) {
    auto line = [&](int32_t v) {
        w_.raw(" ");
        w_.dec(v);
        w_.crlf();
    };
    auto blank = [&] { w_.crlf(); };
    w_.raw("{\r\n ");
    w_.hex8(c.m_DeviceID);
    w_.raw("\r\n ");
    w_.string(c.m_DeviceName);
    w_.crlf();
    blank();
    w_.raw(" ");
    w_.array_prefix("NUM");
    w_.raw("{");
    for (uint32_t g : c.m_DmPortGUID)
        w_.hex8(g);
    w_.raw("}\r\n ");
    w_.string(c.m_DmPortName);
    w_.crlf();
    line(c.m_DirectMusic);
    blank();
    w_.raw(" ");
    w_.symbol(static_cast<uint32_t>(c.m_PlayMode),
              *mrec_schema::find_table("MSEQ_CONFIG_PLAY_MODE"), MrecNumFormat::Dec);
    w_.crlf();
    line(c.m_StopClose);
    line(c.m_StopResetMsg);
    blank();
    line(c.m_CacheLevel);
    line(c.m_SeekInterval);
    blank();
    for (int32_t v :
         {c.m_ShowMenuBar, c.m_ShowStatusBar, c.m_VertTrackList, c.m_VertTrackProp, c.m_TrPropNameW,
          c.m_TrPropDataW, c.m_MouseWheel, c.m_LClickDelete, c.m_DownSemiFlat})
        line(v);
    blank();
    for (int32_t v :
         {c.m_SplitFrameH, c.m_SplitFrameV, c.m_SplitMusicH, c.m_SplitMusicV, c.m_SplitChordV})
        line(v);
    blank();
    for (int32_t v : {c.m_FrmCmd, c.m_FrmMaxX, c.m_FrmMaxY, c.m_FrmNrmX1, c.m_FrmNrmY1,
                      c.m_FrmNrmX2, c.m_FrmNrmY2})
        line(v);
    blank();
    w_.raw(" ");
    w_.array_prefix("STR");
    w_.raw("\r\n {\r\n");
    for (const CkvString& path : c.m_RecentRooms) {
        w_.indent(2);
        w_.string(path);
        w_.crlf();
    }
    w_.raw(" }\r\n}\r\n");
}

void MrecRecordWriter::open_array(const char* element_type, int depth) {
    w_.indent(depth);
    w_.array_prefix(element_type);
    w_.crlf();
    w_.indent(depth);
    w_.raw("{\r\n");
}

void MrecRecordWriter::close_array(int depth) {
    w_.indent(depth);
    w_.raw("}\r\n");
}

bool MrecRecordWriter::write_room(MseqRoom* room, int depth) {
    if (!room || !room->owner) return false;
    w_.indent(depth);
    w_.raw("{\r\n");
    open_array("MSEQ_OBJECT", depth + 1);
    for (MseqObject* book = room->owner->first_child(); book; book = book->next()) {
        if (!write_object(book, 0, depth + 2)) return false;
    }
    close_array(depth + 1);
    w_.indent(depth);
    w_.raw("}\r\n");
    return true;
}

bool MrecRecordWriter::write_book(MseqBook* book, int depth) {
    if (!book || !book->owner) return false;
    MseqObject* top = book->owner;
    w_.indent(depth);
    w_.raw("{\r\n");
    w_.indent(depth + 1);
    w_.hex8(low20(book->m_NextID));
    w_.crlf();
    open_array("MSEQ_OBJECT", depth + 1);
    for (MseqObject* n = top->first_child(); n; n = n->next_in(top)) {
        if (!write_object(n, low20(n->parent()->id), depth + 2)) return false;
    }
    close_array(depth + 1);
    w_.indent(depth);
    w_.raw("}\r\n");
    return true;
}

bool MrecRecordWriter::write_music(MseqMusic* music, int depth) {
    if (!music) return false;
    const int in = depth + 1;
    w_.indent(depth);
    w_.raw("{\r\n");
    w_.indent(in);
    w_.string(music->m_Title);
    w_.raw(" ");
    w_.string(music->m_Copyright);
    w_.crlf();
    w_.indent(in);
    w_.hex8(low20(music->m_NextID));
    w_.raw(" ");
    w_.hex8(low20(music->m_MapStageID));
    w_.raw(" ");
    w_.hex8(low20(music->m_MapChordID));
    w_.raw(" ");
    w_.hex8(low20(music->m_TrackChordID));
    w_.crlf();
    w_.indent(in);
    w_.dec(music->m_Tempo);
    w_.raw(" ");
    w_.dec(music->m_Transpose);
    w_.raw(" ");
    word(music->m_Program);
    w_.crlf();
    w_.indent(in);
    w_.dec(music->m_BlankBar);
    w_.raw(" ");
    w_.dec(music->m_GpM);
    w_.raw(" ");
    w_.dec(music->m_GxB);
    w_.raw(" ");
    w_.hex8(static_cast<uint32_t>(music->m_ShowState));
    w_.raw(" ");
    w_.dec(music->m_NoteState);
    w_.crlf();
    open_array("MSEQ_OBJECT", in);
    MseqObject* root = music->root();
    for (MseqObject* n = root; n; n = n->next_in(root)) {
        const uint32_t parent = n == root ? 0 : low20(n->parent()->id);
        if (!write_object(n, parent, in + 1)) return false;
    }
    close_array(in);
    w_.indent(depth);
    w_.raw("}\r\n");
    return true;
}

void MrecRecordWriter::object_type(uint32_t type) {
    if (const char* name = mrec_schema::constant_name(mrec_schema::type_group(group_), type)) {
        w_.raw(name);
        w_.raw(";");
    } else {
        w_.hex8(type);
    }
}

bool MrecRecordWriter::write_object(MseqObject* node, uint32_t parent_id, int depth) {
    w_.indent(depth);
    w_.raw("{ ");
    w_.hex8(parent_id);
    w_.raw(" ");
    w_.hex8(low20(node->id));
    w_.raw(" ");
    object_type(node->type);
    w_.raw(" ");
    w_.string(node->name);
    w_.raw(" ");
    w_.string(node->path);
    if (!has_embedded_content(node)) {
        w_.raw(" @null;{} }\r\n");
        return true;
    }
    w_.crlf();
    if (!write_content(node, depth + 1)) return false;
    w_.indent(depth);
    w_.raw("}\r\n");
    return true;
}

bool MrecRecordWriter::write_content(MseqObject* node, int depth) {
    MseqEntity* content = node->entity();
    if (is_fixed_track(content->type())) {
        w_.indent(depth);
        w_.empty_record();
        w_.crlf();
        return true;
    }
    const char* record = mrec_content_record_type(content->type());
    if (!record) return false;
    w_.indent(depth);
    w_.typed_prefix(record);
    if (content->type() == MTYPE_LEAF_MUSIC)
        return write_music(content->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC), depth);
    auto* track = content->cast_to<MseqTrack>(MTYPE_TRACK);
    return track && write_track(track, record, depth);
}

template <class Track, class WriteBlock>
void MrecRecordWriter::blocks(const Track& track, const char* element_type, int depth,
                              WriteBlock write) {
    open_array(element_type, depth);
    for (const auto& [index, block] : track.blocks()) {
        w_.indent(depth + 1);
        write(block, static_cast<int32_t>(index));
        w_.crlf();
    }
    close_array(depth);
}

void MrecRecordWriter::note(const MseqBlockNote& b, int32_t index) {
    static const MrecConstTable& types = *mrec_schema::find_table("MSEQ_NOTE_BLOCK_TYPE");
    w_.raw("{ ");
    w_.dec2(index);
    w_.raw(" ");
    w_.hex2(b.m_Flags);
    w_.raw(" ");
    w_.symbol(b.m_Type, types, MrecNumFormat::Hex8);
    for (int32_t v : {b.m_Length, b.m_STime, b.m_ETime, int32_t{b.m_Octave}, int32_t{b.m_Whole},
                      int32_t{b.m_Semi}, int32_t{b.m_Velocity}}) {
        w_.raw(" ");
        w_.dec(v);
    }
    w_.raw(" }");
}

void MrecRecordWriter::refer(const MseqBlockRefer& b, int32_t index) {
    static const MrecConstTable& modes = *mrec_schema::find_table("MSEQ_REFER_BLOCK_MODE");
    w_.raw("{ ");
    w_.dec2(index);
    w_.raw(" ");
    w_.dec(b.m_Length);
    w_.raw(" ");
    w_.hex8(low20(b.m_PhraseID));
    w_.raw(" ");
    w_.string(b.m_StartMarker);
    w_.raw(" ");
    w_.dec(b.m_Rotation);
    w_.raw(" ");
    w_.symbol(b.m_Mode, modes, MrecNumFormat::Hex8);
    w_.raw(" }");
}

bool MrecRecordWriter::write_track(MseqTrack* t, const char* record, int d) {
    static const MrecConstTable& flag_names = *mrec_schema::find_table("MSEQ_TRACK_FLAGS");
    const std::string_view kind = record;
    if (kind == "MSEQ_TRACK_TEXT") {
        w_.indent(d);
        w_.raw("{ ");
        w_.string(static_cast<MseqTrackText*>(t)->m_Text);
        w_.raw(" }\r\n");
        return true;
    }
    auto space = [&] { w_.raw(" "); };
    w_.indent(d);
    w_.raw("{\r\n");
    w_.indent(d + 1);
    if (kind == "MSEQ_TRACK_GROUP") {
        auto* g = static_cast<MseqTrackGroup*>(t);
        w_.dec(g->m_Channel);
        space();
        w_.hex8(low20(g->m_TrackChordID));
        w_.crlf();
    } else if (kind == "MSEQ_TRACK_CHORD") {
        auto* c = static_cast<MseqTrackChord*>(t);
        w_.dec(c->m_Beat);
        space();
        w_.hex(c->m_MapID);
        w_.crlf();
        blocks(*c, "MSEQ_BLOCK_CHORD", d + 1,
               [&](const MseqBlockChord& b, int32_t i) { chord(b, i); });
    } else {
        w_.flags(t->m_Flags, flag_names);
        space();
        w_.dec(t->m_Beat);
        if (kind == "MSEQ_TRACK_LABEL") {
            w_.crlf();
            blocks(*static_cast<MseqTrackLabel*>(t), "MSEQ_BLOCK_LABEL", d + 1,
                   [&](const MseqBlockLabel& b, int32_t i) {
                       w_.raw("{ ");
                       w_.dec2(i);
                       space();
                       w_.string(b.m_Label);
                       w_.raw(" }");
                   });
        } else if (kind == "MSEQ_TRACK_LINK") {
            w_.crlf();
            blocks(*static_cast<MseqTrackLink*>(t), "MSEQ_BLOCK_LINK", d + 1,
                   [&](const MseqBlockLink& b, int32_t i) {
                       w_.raw("{ ");
                       w_.dec2(i);
                       space();
                       w_.hex8(low20(b.m_LinkID));
                       w_.raw(" }");
                   });
        } else if (kind == "MSEQ_TRACK_VALUE" || kind == "MSEQ_TRACK_MSG") {
            auto* v = static_cast<MseqTrackValue*>(t);
            if (kind == "MSEQ_TRACK_MSG") {
                auto* m = static_cast<MseqTrackMsg*>(t);
                for (int32_t x : {m->m_Channel, m->m_STime, m->m_Power}) {
                    space();
                    w_.dec(x);
                }
                w_.crlf();
                msg_form(m->m_Form, d + 1);
            } else {
                w_.crlf();
            }
            blocks(*v, "MSEQ_BLOCK_VALUE", d + 1, [&](const MseqBlockValue& b, int32_t i) {
                w_.raw("{ ");
                w_.dec2(i);
                space();
                w_.dec(b.m_Value);
                w_.raw(" }");
            });
        } else if (kind == "MSEQ_TRACK_NOTE") {
            auto* n = static_cast<MseqTrackNote*>(t);
            space();
            w_.dec(n->m_Channel);
            space();
            w_.hex8(low20(n->m_TrackChordID));
            space();
            word(n->m_Rhythm);
            for (int32_t x : {n->m_Octave, n->m_LRate, n->m_VRate, n->m_STime, n->m_ETime}) {
                space();
                w_.dec(x);
            }
            space();
            w_.dec(n->m_NoteType);
            w_.crlf();
            blocks(*n, "MSEQ_BLOCK_NOTE", d + 1,
                   [&](const MseqBlockNote& b, int32_t i) { note(b, i); });
        } else if (kind == "MSEQ_TRACK_REFER") {
            auto* r = static_cast<MseqTrackRefer*>(t);
            space();
            w_.dec(r->m_Channel);
            space();
            w_.hex8(low20(r->m_TrackChordID));
            for (int32_t x : {r->m_Octave, r->m_VRate, r->m_STime}) {
                space();
                w_.dec(x);
            }
            w_.crlf();
            blocks(*r, "MSEQ_BLOCK_REFER", d + 1,
                   [&](const MseqBlockRefer& b, int32_t i) { refer(b, i); });
        } else {
            return false;
        }
    }
    w_.indent(d);
    w_.raw("}\r\n");
    return true;
}
