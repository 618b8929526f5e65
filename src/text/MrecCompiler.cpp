#include "text/MrecCompiler.h"

#include <cerrno>
#include <exception>

#include "model/block/MseqBlockWord.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapScale.h"
#include "model/theory/MseqMapStage.h"
#include "model/track/MseqTrack.h"
#include "platform/FileSystem.h"
#include "text/AnalyzeErrors.h"
#include "text/AnalyzeFields.h"
#include "text/MrecEntityWriter.h"
#include "text/MrecRecordReader.h"

namespace {

constexpr uint32_t kId20 = 0xFFFFF;

// One MSEQ_OBJECT entry of a room, book or music.
struct ObjectEntry {
    uint32_t parent = 0;
    uint32_t id = 0;
    uint32_t type = 0;
    CkvString name;
    CkvString path;
    const AnalyzeRecord* with = nullptr;
};

bool read_entry(AnalyzeFieldReader& e, ObjectEntry& out) {
    uint32_t v;
    if (e.read_uint("m_ParentID", v)) out.parent = v & kId20;
    if (e.read_uint("m_ObjectID", v)) out.id = v & kId20;
    e.read_uint("m_Type", out.type);
    e.read_string("m_Name", out.name);
    e.read_string("m_Path", out.path);
    e.read_record("m_With", out.with);
    return e.ok();
}

bool is_fixed_track_serial(uint32_t serial) {
    return serial == 1 || serial == 0x11 || serial == 0x12;
}

}  // namespace

bool MrecCompiler::load(MseqEntity* entity, const MseqFullPath& path, bool remember_path) {
    result.clear();
    if (!entity || path.empty()) {
        result.error = MREC_E_NO_BUFFER;
        return false;
    }
    if (CkvString::compare_nocase(path, mseq_path::kWith) == 0) return false;
    // The one place where a load meets the system: whatever it throws (memory running out while
    // nodes are built) ends the load as a failed read.
    try {
        return load_file(entity, path, remember_path);
    } catch (const std::exception&) {
        result.error = MREC_E_READ_FAILED;
        result.file = kv_fs::file_error{kv_fs::file_error::system, ENOMEM};
        return false;
    }
}

bool MrecCompiler::load_file(MseqEntity* entity, const MseqFullPath& path, bool remember_path) {
    entity->flags |= MEF_NEW;
    std::string text;
    if (!kv_fs::read_file(path, &text, &result.file)) {
        if (result.file.kind != kv_fs::file_error::missing) {
            result.error = MREC_E_READ_FAILED;
            return false;
        }
        result.file = kv_fs::file_error{};  // an absent file gives a fresh entity
        found = Found::nothing;
    } else {
        found = text.empty() ? Found::empty : Found::text;
    }
    if (!text.empty()) {
        if (!load_text(entity, text.c_str(), text.size() + 1)) return false;
        if (remember_path) entity->flags &= ~MEF_NEW;
    }
    // An absent or empty file gives a fresh entity that is still new.
    if (remember_path) entity->full_path = path;
    return true;
}

bool MrecCompiler::load_text(MseqEntity* entity, const char* text, size_t length) {
    target_ = entity;
    // A file that cannot be read leaves its node with the name the library gives it: the name
    // its header carries may be what is wrong with it (UTF-8 text) and would hide which node
    // the messages are about.
    MseqObject* owner = entity->owner;
    const CkvString before = owner ? owner->name : CkvString();
    const bool ok = parse_file_text(text, length, result);
    if (!ok && owner) owner->name = before;
    target_ = nullptr;
    return ok;
}

bool MrecCompiler::read_header(const MseqFullPath& path) {
    result.clear();
    if (path.empty()) {
        result.error = MREC_E_NO_BUFFER;
        return false;
    }
    std::string text;
    try {
        if (!kv_fs::read_file(path, &text, &result.file)) {
            result.error = result.file.kind == kv_fs::file_error::missing ? MREC_E_NO_FILE
                                                                          : MREC_E_READ_FAILED;
            return false;
        }
        if (text.empty()) {
            result.error = MREC_E_NO_FILE;
            return false;
        }
        return parse_header_text(text.c_str(), text.size() + 1, result);
    } catch (const std::exception&) {
        result.error = MREC_E_READ_FAILED;
        result.file = kv_fs::file_error{kv_fs::file_error::system, ENOMEM};
        return false;
    }
}

bool MrecCompiler::save(MseqEntity* entity, kv_fs::file_error* why) {
    if (!entity) return false;
    // Memory running out while the text is built fails the save and leaves the old file.
    try {
        std::string text;
        if (!mrec_write_entity(entity, &text)) return false;
        const MseqFullPath& path = entity->full_path;
        // A folder that cannot be made fails the write below, which says why.
        if (!kv_fs::path_exists(path)) kv_fs::create_directories(mseq_path::remove_file_name(path));
        // A library file reached through a symbolic link is saved through it.
        if (!kv_fs::write_file_atomic(path, text, why, kv_fs::link_rule::follow)) return false;
    } catch (const std::exception&) {
        if (why) *why = kv_fs::file_error{kv_fs::file_error::system, ENOMEM};
        return false;
    }
    MseqDesk::instance().clear_modified(entity);
    entity->flags &= ~MEF_NEW;
    return true;
}

uint32_t MrecCompiler::on_header(MrecReadResult& r) {
    if (!target_) return AE_OK;
    if (r.header.type != target_->type()) return MREC_E_TYPE_MISMATCH;
    if (r.header.data_version >= MREC_DATA_VERSION_FUTURE) {
        target_->flags |= MEF_FUTURE;
    } else {
        target_->flags &= ~MEF_FUTURE;
    }
    target_->name = r.header.name;
    // A room's or book's node shows the name its file carries.
    const uint32_t category = mseq_type_category(target_->type());
    if (target_->owner && (category == MCAT_ROOM || category == MCAT_BOOK))
        target_->owner->name = r.header.name;
    return AE_OK;
}

uint32_t MrecCompiler::on_main(MrecReadResult& read, const AnalyzeRecord& main) {
    if (!target_) return AE_OK;
    failure_ = AnalyzeFailure();
    const uint32_t code = compile_main(target_, main);
    if (code != AE_OK && failure_.code == code) place_failure(failure_, read);
    return code;
}

uint32_t MrecCompiler::noted(const AnalyzeFieldReader& r, uint32_t code) {
    if (code != AE_OK && failure_.code == 0 && r.error() == code) failure_ = r.failure();
    return code;
}

uint32_t MrecCompiler::compile_main(MseqEntity* entity, const AnalyzeRecord& record) {
    CkvString type;
    if (!record.attribute_string("type", type)) return MREC_E_NO_TYPE_NAME;
    const char* expected = mrec_main_record_type(entity->type());
    if (!expected) return MREC_E_NO_RECORD_TYPE;
    if (type != expected) return MREC_E_TYPE_MISMATCH;
    AnalyzeFieldReader r(result.types, type, record);
    if (!r.ok()) return noted(r, r.error());
    MrecRecordReader values(result.header.data_version);
    uint32_t code = MREC_E_NO_RECORD_TYPE;
    switch (entity->type()) {
        case MTYPE_ROOM:
            code = read_room(r, entity->cast_to<MseqRoom>(MTYPE_ROOM));
            break;
        case MTYPE_BOOK_LIBRARY:
        case MTYPE_BOOK_MUSIC:
            code = read_book(r, entity->cast_to<MseqBook>(MTYPE_BOOK));
            break;
        case MTYPE_LEAF_MUSIC:
        case MTYPE_LEAF_PHRASE:
            code = read_music(r, entity->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC));
            break;
        case MTYPE_LEAF_CHORD:
            values.map_chord(r, *entity->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD));
            code = r.error();
            break;
        case MTYPE_LEAF_SCALE:
            values.map_scale(r, *entity->cast_to<MseqMapScale>(MTYPE_LEAF_SCALE));
            code = r.error();
            break;
        case MTYPE_LEAF_STAGE:
            values.map_stage(r, *entity->cast_to<MseqMapStage>(MTYPE_LEAF_STAGE));
            code = r.error();
            break;
        case MTYPE_CONFIG:
            values.config(r, *entity->cast_to<MseqConfig>(MTYPE_CONFIG));
            code = r.error();
            break;
        default:
            break;
    }
    if (code) return noted(r, code);
    return entity->validate() ? AE_OK : MREC_E_REJECTED;
}

uint32_t MrecCompiler::compile_content(MseqObject* node, const AnalyzeRecord& record) {
    if (record.has_attribute("null")) {
        ref_ptr<MseqEntity> e = mseq_open(node);
        return mseq_has_content(node) ? AE_OK : MREC_E_REJECTED;
    }
    CkvString type;
    if (!record.attribute_string("type", type)) return MREC_E_NO_TYPE_NAME;
    ref_ptr<MseqEntity> content = mseq_open(node);
    if (!mseq_has_content(node)) return MREC_E_REJECTED;
    const char* expected = mrec_content_record_type(content->type());
    if (!expected) return MREC_E_NO_RECORD_TYPE;
    if (type != expected) return MREC_E_TYPE_MISMATCH;
    AnalyzeFieldReader r(result.types, type, record);
    if (!r.ok()) return noted(r, r.error());
    if (content->type() == MTYPE_LEAF_MUSIC)
        return noted(r, read_music(r, content->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC)));
    auto* track = content->cast_to<MseqTrack>(MTYPE_TRACK);
    MrecRecordReader values(result.header.data_version);
    if (!track || !values.track(r, type, *track))
        return noted(r, r.error() ? r.error() : MREC_E_BAD_FIELD);
    return AE_OK;
}

uint32_t MrecCompiler::read_content(MseqObject* node, const AnalyzeRecord* with) {
    if (!node->is_with()) return AE_OK;
    if (!with) {
        // A file whose object entries carry no m_With (its type does not declare it) gives an
        // inline node the fresh content an empty `@null;{}` gives: the writer writes that
        // content, and the file it writes then reads back to the same bytes.
        mseq_open(node);
        return AE_OK;
    }
    return compile_content(node, *with);
}

uint32_t MrecCompiler::read_room(AnalyzeFieldReader& r, MseqRoom* room) {
    if (!room || !room->owner) return MREC_E_REJECTED;
    AnalyzeArrayReader books;
    if (r.read_array("m_Books", books)) {
        for (size_t i = 0; i < books.size(); ++i) {
            AnalyzeFieldReader e;
            ObjectEntry entry;
            if (!books.read_element(i, e) || !read_entry(e, entry)) return r.error();
            MseqObject* node = room->create_book(room->owner, MPLACE_LAST_CHILD, entry.type,
                                                 entry.name, MseqDescPath(entry.path));
            if (!node) return MREC_E_BAD_FIELD;
            if (uint32_t code = read_content(node, entry.with)) return code;
        }
    }
    return r.error();
}

uint32_t MrecCompiler::read_book(AnalyzeFieldReader& r, MseqBook* book) {
    if (!book || !book->owner) return MREC_E_REJECTED;
    int32_t next;
    if (r.read_int("m_NextID", next)) book->m_NextID = static_cast<uint32_t>(next) & kId20;
    AnalyzeArrayReader leafs;
    if (r.read_array("m_Leafs", leafs)) {
        const uint32_t file = book->file_number();
        for (size_t i = 0; i < leafs.size(); ++i) {
            AnalyzeFieldReader e;
            ObjectEntry entry;
            if (!leafs.read_element(i, e) || !read_entry(e, entry)) return r.error();
            MseqObject* parent = book->find(mseq_make_id(file, entry.parent));
            if (!parent) return MREC_E_BAD_FIELD;
            MseqObject* node =
                book->create_leaf(parent, MPLACE_LAST_CHILD, entry.type, entry.name,
                                  MseqDescPath(entry.path), mseq_make_id(file, entry.id));
            if (!node) return MREC_E_BAD_FIELD;
            if (uint32_t code = read_content(node, entry.with)) return code;
        }
    }
    return r.error();
}

uint32_t MrecCompiler::read_music(AnalyzeFieldReader& r, MseqMusic* music) {
    if (!music) return MREC_E_REJECTED;
    uint32_t u;
    int32_t v;
    r.read_string("m_Title", music->m_Title);
    r.read_string("m_Copyright", music->m_Copyright);
    if (r.read_uint("m_NextID", u)) music->m_NextID = u & kId20;
    mrec_read_reference(r, "m_MapStageID", MFILE_OWN_BOOK, music->m_MapStageID);
    mrec_read_reference(r, "m_MapChordID", MFILE_OWN_BOOK, music->m_MapChordID);
    mrec_read_reference(r, "m_TrackChordID", MFILE_TRACKS, music->m_TrackChordID);
    if (r.read_uint("m_Tempo", u)) music->m_Tempo = static_cast<int32_t>(u);
    if (r.read_int("m_Transpose", v)) music->m_Transpose = v;
    MrecRecordReader values(result.header.data_version);
    if (!values.word_field(r, "m_Program", music->m_Program)) return r.error();
    if (r.read_int("m_BlankBar", v)) music->m_BlankBar = v;
    if (r.read_int("m_GpM", v)) music->m_GpM = v;
    if (r.read_int("m_GxB", v)) music->m_GxB = v;
    if (r.read_uint("m_ShowState", u)) music->m_ShowState = static_cast<int32_t>(u);
    if (r.read_uint("m_NoteState", u)) music->m_NoteState = static_cast<int32_t>(u);
    if (!r.ok()) return r.error();

    AnalyzeArrayReader leafs;
    if (!r.read_array("m_Leafs", leafs)) return r.error();
    for (size_t i = 0; i < leafs.size(); ++i) {
        AnalyzeFieldReader e;
        ObjectEntry entry;
        if (!leafs.read_element(i, e) || !read_entry(e, entry)) return r.error();
        MseqObject* node;
        if (is_fixed_track_serial(entry.id)) {
            // The root, header and part exist with the music; their entries give names only.
            node = music->find_track(mseq_make_id(MFILE_TRACKS, entry.id));
            node->name = entry.name;
        } else {
            MseqObject* parent = music->find_track(mseq_make_id(MFILE_TRACKS, entry.parent));
            if (!parent) continue;  // a track whose parent is gone is dropped
            node = music->create_track(parent->id, MPLACE_LAST_CHILD, entry.type, entry.name,
                                       mseq_make_id(MFILE_TRACKS, entry.id));
            if (!node) return MREC_E_BAD_FIELD;
        }
        if (uint32_t code = read_content(node, entry.with)) return code;
    }
    return r.error();
}

MrecLoadProblem MrecCompiler::problem(const MseqFullPath& path) const {
    MrecLoadProblem p;
    p.path = path;
    p.error = result.error;
    p.absent = result.error == 0 && found == Found::nothing;
    p.line = result.line;
    p.column = result.column;
    p.field = CkvString(result.field);
    p.hint = result.hint;
    p.file = result.file;
    return p;
}
