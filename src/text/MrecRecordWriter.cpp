#include "text/MrecRecordWriter.h"

#include "model/MseqBlockWord.h"
#include "model/MseqBook.h"
#include "model/MseqEntity.h"
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
