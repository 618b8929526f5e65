#include "text/MrecRecordWriter.h"

#include "model/MseqBlockChord.h"
#include "model/MseqBlockScale.h"
#include "model/MseqBlockStage.h"
#include "model/MseqBlockWord.h"
#include "model/MseqBook.h"
#include "model/MseqConfig.h"
#include "model/MseqEntity.h"
#include "model/MseqMapChord.h"
#include "model/MseqMapScale.h"
#include "model/MseqMapStage.h"
#include "model/MseqMsgForm.h"
#include "model/MseqMusic.h"
#include "model/MseqObject.h"
#include "model/MseqRoom.h"

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

void MrecRecordWriter::declare_music_types(MseqMusic*) {
    w_.declare("MSEQ_OBJECT");
    w_.declare("MSEQ_BLOCK_WORD");
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
    if (auto* music = content->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        music && content->type() == MTYPE_LEAF_MUSIC) {
        w_.indent(depth);
        w_.typed_prefix("MSEQ_MUSIC");
        return write_music(music, depth);
    }
    return false;
}
