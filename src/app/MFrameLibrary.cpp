// The main frame's library part: the open library's root, the tree's selection and its
// commands: creating books, leaves and folders from the templates beside the application, the
// new-music dialog, links to existing files, deleting, opening and renaming links.
#include "app/MFrameLibrary.h"

#include "app/MFrame.h"

#include <functional>

#include "app/MAppLanguageFiles.h"
#include "app/MAppProblem.h"
#include "app/MAppProgram.h"
#include "app/MAppText.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "platform/FileSystem.h"
#include "text/MrecCompiler.h"
#include "text/MrecFileStore.h"

namespace {

// One file-based entry of the creation menu.
struct CreateEntry {
    uint32_t id;
    MSEQ_TYPE type;  // 0: read from the chosen file
    mapp_msg title;
    const char* initial;  // initial file name; nullptr for none
    const char* templ;    // template under the application folder; nullptr for none
};

constexpr mapp_msg kLeafFilter = mapp_msg::FILTER_LEAF;
constexpr mapp_msg kBookFilter = mapp_msg::FILTER_BOOK;
constexpr mapp_msg kAnyFilter = mapp_msg::FILTER_OBJECT;

const CreateEntry* create_entry(uint32_t id) {
    static const CreateEntry entries[] = {
        {ID_ADD_FILE_LINK, 0, mapp_msg::CMD_ADD_FILE_LINK, nullptr, nullptr},
        {ID_ADD_PATTERN_BOOK, MTYPE_BOOK_LIBRARY, mapp_msg::NEW_PATTERN_BOOK_TITLE, "pattern.kvnb",
         nullptr},
        {ID_ADD_STAGE, MTYPE_LEAF_STAGE, mapp_msg::NEW_STAGE_TITLE, "stage.kvnl",
         ".\\template\\pattern01\\T_stage_01.kvnl"},
        {ID_ADD_CHORD, MTYPE_LEAF_CHORD, mapp_msg::NEW_CHORD_TITLE, "chord.kvnl",
         ".\\template\\pattern01\\T_chord_01.kvnl"},
        {ID_ADD_PHRASE_CHORDS, MTYPE_LEAF_PHRASE, mapp_msg::NEW_PHRASE_TITLE, "phrase.kvnl",
         ".\\template\\pattern01\\T_piano_16bt_01.kvnl"},
        {ID_ADD_PHRASE_MONO_BASS, MTYPE_LEAF_PHRASE, mapp_msg::NEW_PHRASE_TITLE, "phrase.kvnl",
         ".\\template\\pattern01\\T_bass_01.kvnl"},
        {ID_ADD_PHRASE_BASS4, MTYPE_LEAF_PHRASE, mapp_msg::NEW_PHRASE_TITLE, "phrase.kvnl",
         ".\\template\\pattern01\\T_bass_02.kvnl"},
        {ID_ADD_PHRASE_GUITAR6, MTYPE_LEAF_PHRASE, mapp_msg::NEW_PHRASE_TITLE, "phrase.kvnl",
         ".\\template\\pattern01\\T_guitar_01.kvnl"},
        {ID_ADD_PHRASE_DRUM8, MTYPE_LEAF_PHRASE, mapp_msg::NEW_PHRASE_TITLE, "phrase.kvnl",
         ".\\template\\pattern01\\T_drum_8bt_01.kvnl"},
        {ID_ADD_PHRASE_DRUM16, MTYPE_LEAF_PHRASE, mapp_msg::NEW_PHRASE_TITLE, "phrase.kvnl",
         ".\\template\\pattern01\\T_drum_16bt_01.kvnl"},
        {ID_ADD_PHRASE_EMPTY, MTYPE_LEAF_PHRASE, mapp_msg::NEW_PHRASE_TITLE, "phrase.kvnl",
         ".\\template\\pattern01\\T_empty_01.kvnl"},
    };
    for (const CreateEntry& s : entries) {
        if (s.id == id) return &s;
    }
    return nullptr;
}

// The absolute path of a file under the application folder; empty when too long.
CkvString program_file_path(const char* rest) {
    MseqFullPath path;
    if (!mseq_path::executable_path(rest, &path)) return {};
    return mseq_path::canonicalize(path);
}

// The template a new file is made from, in the language shown: a new English music gets the
// English track names.
CkvString template_path(const char* rest) {
    return program_file_path(mapp_language_file(rest).c_str());
}

// The entity of the file that stores `node`: its book, or the library for the library's own
// books. Null when there is none.
MseqEntity* holder_of(MseqObject* node, MseqRoom* room) {
    if (!node) return nullptr;
    if (mseq_type_category(node->type) == MCAT_BOOK || node->type == MTYPE_ROOM) return room;
    MseqObject* book = mseq_find_book_ancestor(node);
    return book ? book->entity() : nullptr;
}

// The folder of the file that holds `node`: where dialogs for new items under it start.
CkvString holder_folder(MseqObject* node, MseqRoom* room) {
    MseqObject* book = node ? mseq_find_book_ancestor(node) : nullptr;
    MseqEntity* e = book && book != node ? book->entity() : nullptr;
    if (book == node && book) e = book->entity();
    if (!e || e->full_path.empty()) e = room;
    return e ? mseq_path::remove_file_name(e->full_path) : CkvString();
}

// Where a link's file is, as people see it: its resolved host path; the stored form when it
// does not resolve.
CkvString shown_link_path(MseqObject* node) {
    MseqFullPath full;
    if (node && !node->path.empty() && mseq_path::resolve(node, false, &full))
        return mapp_shown_path(full);
    return node ? CkvString(node->path) : CkvString();
}

bool has_type(MseqEntity* e, MSEQ_TYPE type) {
    return e && e != MseqEmpty::instance() && e->cast(type);
}

}  // namespace

MFrameLibrary::MFrameLibrary(MFrame& frame) : frame_(frame), port_(&frame.port()) {}

MFrameLibrary::~MFrameLibrary() = default;

bool MFrameLibrary::attach(const CkvString& full, MseqLoadProblem* problem) {
    room_node_ =
        std::make_unique<MseqObject>(MID_ROOM, MTYPE_ROOM, CkvString(), MseqDescPath(full));
    ref_ptr<MseqEntity> content = MseqDesk::instance().open(room_node_.get(), problem);
    room_ = content ? content->cast_to<MseqRoom>(MTYPE_ROOM) : nullptr;
    if (room_) return true;
    content = nullptr;
    MseqDesk::instance().cache.clear();
    room_node_.reset();
    return false;
}

void MFrameLibrary::detach() {
    selected_node_ = nullptr;
    room_node_.reset();
    room_ = nullptr;
}

MseqObject* MFrameLibrary::node_for_file(const CkvString& path) {
    if (!room_node_ || !room_) return nullptr;
    if (CkvString::compare_nocase(room_->full_path, path) == 0) return room_node_.get();
    if (MseqObject* b = room_->find_book_by_path(path)) return b;
    for (MseqObject* b = room_node_->first_child(); b; b = b->next()) {
        ref_ptr<MseqEntity> content = mseq_open(b);
        auto* book = content->cast_to<MseqBook>(MTYPE_BOOK);
        if (MseqObject* leaf = book ? book->find_by_path(path) : nullptr) return leaf;
    }
    return nullptr;
}

bool MFrameLibrary::subtree_in_use(const MseqObject* node) const {
    // Content with a file of its own is shared through the desk rather than owned by its node,
    // so the model's reference count does not tell whether an editor holds it: the edit list
    // and the player do.
    for (const MseqObject* n = node; n; n = const_cast<MseqObject*>(n)->next_in(node)) {
        const MseqEntity* e = n->entity();
        if (!e) continue;
        if (frame_.edits().entry_of(e) >= 0) return true;
        if (frame_.playback().playing() && frame_.playback().followed() == e) return true;
    }
    return false;
}

bool MFrameLibrary::deletable(const MseqObject* node) const {
    return node && room_node_ && node != room_node_.get() && !subtree_in_use(node) &&
           mseq_subtree_removable(node);
}

namespace {

// Another link of the library (not `self`) whose file resolves to `path`; null when none.
MseqObject* find_same_path(MseqRoom* room, MseqObject* room_node, const CkvString& path,
                           const MseqObject* self) {
    if (MseqObject* b = room->find_book_by_path(path, nullptr, self)) return b;
    for (MseqObject* b = room_node->first_child(); b; b = b->next()) {
        ref_ptr<MseqEntity> content = mseq_open(b);
        auto* book = content->cast_to<MseqBook>(MTYPE_BOOK);
        if (!book) continue;
        if (MseqObject* leaf = book->find_by_path(path, nullptr, self)) {
            if (leaf != b) return leaf;
        }
    }
    return nullptr;
}

// Inserts a link under `parent` as its last child: a book of the library or a leaf of a book.
MseqObject* insert_link(MseqRoom* room, MseqObject* parent, MSEQ_TYPE type, const CkvString& name,
                        const CkvString& path) {
    if (!parent) return nullptr;
    if (parent->type == MTYPE_ROOM)
        return room->create_book(parent, MPLACE_LAST_CHILD, type, name, MseqDescPath(path));
    MseqObject* book_node = mseq_find_book_ancestor(parent);
    auto* book = book_node && book_node->entity()
                     ? book_node->entity()->cast_to<MseqBook>(MTYPE_BOOK)
                     : nullptr;
    if (!book) return nullptr;
    return book->create_leaf(parent, MPLACE_LAST_CHILD, type, name, MseqDescPath(path));
}

// Deletes a link inserted a moment ago.
void remove_link(MseqRoom* room, MseqObject* node) {
    if (node) room->remove(node->id);
}

}  // namespace

void MFrameLibrary::create_item(uint32_t id) {
    const CreateEntry* entry = create_entry(id);
    MseqObject* parent = selected_node_;
    if (!entry || !room_ || !parent) return;
    if (parent->type != MTYPE_LEAF_FOLDER && !mseq_has_content(parent)) return;

    MAppFileRequest request;
    request.kind = MAppFileKind::open;
    request.title = mapp_text(entry->title);
    if (entry->initial) request.initial_name = entry->initial;
    request.initial_folder = holder_folder(parent, room_);
    if (id == ID_ADD_FILE_LINK) {
        request.filter = mapp_text(kAnyFilter);
        request.must_exist = true;
    } else if (entry->type == MTYPE_BOOK_LIBRARY) {
        request.filter = mapp_text(kBookFilter);
        request.default_ext = "kvnb";
    } else {
        request.filter = mapp_text(kLeafFilter);
        request.default_ext = "kvnl";
    }
    CkvString path;
    if (!port_->choose_file(request, &path)) return;
    path = mseq_path::canonicalize(path);

    MSEQ_TYPE type = entry->type;
    CkvString name;
    if (id == ID_ADD_FILE_LINK) {
        MrecCompiler header;
        if (!header.read_header(MseqFullPath(path))) {
            port_->warn(mapp_text(mapp_msg::FILE_HEADER_UNREADABLE));
            return;
        }
        type = header.result.header.type;
        name = header.result.header.name;
    }
    MseqObject* link = insert_link(room_, parent, type, name, path);
    if (!link) {
        port_->warn(mapp_text(mapp_msg::LINK_CANNOT_GO_HERE));
        return;
    }
    if (MseqObject* same = find_same_path(room_, room_node_.get(), path, link)) {
        const CkvString text = mapp_format(mapp_msg::ASK_ADD_SAME_PATH, same->id,
                                           same->name.c_str(), shown_link_path(same).c_str());
        if (!port_->ask_yes_no(text)) {
            remove_link(room_, link);
            port_->refresh(MAppRefresh::room_tree);
            return;
        }
    }
    mseq_path::make_relative(link);
    if (entry->templ) {
        ref_ptr<MseqEntity> content = mseq_open(link);
        MseqEntity* e = content.get();
        if (!e || e == MseqEmpty::instance()) {
            port_->warn(mapp_text(mapp_msg::TEMPLATE_INIT_FAILED));
        } else {
            MseqDesk::instance().load(e, MseqFullPath(template_path(entry->templ)), false);
            // The new file exists only in memory: the next save writes it.
            MseqDesk::instance().mark_modified(e);
            frame_.open_in_edit_list(e, link, true);
        }
    }
    if (MseqEntity* holder = holder_of(link, room_)) MseqDesk::instance().mark_modified(holder);
    selected_node_ = link;
    port_->refresh(MAppRefresh::room_tree);
    port_->refresh(MAppRefresh::room_item, link);
}

void MFrameLibrary::create_folder() {
    MseqObject* parent = selected_node_;
    if (!room_ || !parent) return;
    if (parent->type != MTYPE_LEAF_FOLDER && !mseq_has_content(parent)) return;
    MseqObject* folder = insert_link(room_, parent, MTYPE_LEAF_FOLDER, CkvString(), CkvString());
    if (!folder) return;
    if (MseqEntity* holder = holder_of(folder, room_)) MseqDesk::instance().mark_modified(holder);
    selected_node_ = folder;
    port_->refresh(MAppRefresh::room_tree);
}

// ---- New music ----

namespace {

// The checks of page 2's existing files: a book or music must be new; a stage or chord map may
// exist when its file holds that kind.
bool check_existing(MAppUserPort& port, const CkvString& path, MSEQ_TYPE type) {
    if (path.empty() || !kv_fs::file_exists(path)) return true;
    if (type == MTYPE_BOOK_MUSIC || type == MTYPE_LEAF_MUSIC) {
        port.warn(mapp_text(mapp_msg::BOOK_OR_LEAF_MUST_BE_NEW));
        return false;
    }
    MrecCompiler header;
    if (!header.read_header(MseqFullPath(path))) {
        port.warn(mapp_text(mapp_msg::FILE_HEADER_UNREADABLE));
        return false;
    }
    if (header.result.header.type != type) {
        port.warn(mapp_text(mapp_msg::OBJECT_TYPE_DIFFERS));
        return false;
    }
    return true;
}

// The map-reference form of a leaf's identifier: its serial with 0x200000 added.
MSEQ_ID map_reference(const MseqObject* leaf) {
    return mseq_own_book_id(leaf ? leaf->id : 0);
}

}  // namespace

// Creates the book, music, stage map and chord map of a new music; false (after its message)
// when the dialog should stay open.
static bool create_music(MFrame& frame, MseqRoom* room, MseqObject* room_node, MAppUserPort& port,
                         const CkvString& book_path, const CkvString& music_path,
                         const CkvString& stage_path, const CkvString& chord_path,
                         MseqObject** book_out) {
    if (book_path.empty() || music_path.empty()) {
        port.warn(mapp_text(mapp_msg::BOOK_OR_LEAF_MUST_BE_NEW));
        return false;
    }
    MseqObject* book_link =
        room->create_book(room_node, MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC, CkvString(),
                          MseqDescPath(mseq_path::canonicalize(book_path)));
    if (!book_link) {
        port.warn(mapp_text(mapp_msg::MUSIC_BOOK_ADD_FAILED));
        return false;
    }
    MseqFullPath full;
    mseq_path::resolve(book_link, false, &full);
    if (MseqObject* same = room->find_book_by_path(full, nullptr, book_link)) {
        port.warn(mapp_format(mapp_msg::BOOK_ALREADY_IN_ROOM, same->id, same->name.c_str(),
                              shown_link_path(same).c_str()));
        room->remove(book_link->id);
        return false;
    }
    mseq_path::make_relative(book_link);
    ref_ptr<MseqEntity> book_content = mseq_open(book_link);
    auto* book = book_content->cast_to<MseqBook>(MTYPE_BOOK);
    if (!book) {
        port.warn(mapp_text(mapp_msg::MUSIC_BOOK_OPEN_FAILED));
        book_content = nullptr;
        room->remove(book_link->id);
        return false;
    }
    MseqDesk& desk = MseqDesk::instance();
    desk.mark_modified(room);
    desk.mark_modified(book);

    auto add_leaf = [&](MSEQ_TYPE type, const char* name, const CkvString& path,
                        mapp_msg refused) -> MseqObject* {
        if (path.empty()) return nullptr;
        MseqObject* leaf =
            book->create_leaf(book_link, MPLACE_LAST_CHILD, type, name ? mapp_text(name) : "",
                              MseqDescPath(mseq_path::canonicalize(path)));
        if (!leaf) {
            port.warn(mapp_text(refused));
            return nullptr;
        }
        mseq_path::make_relative(leaf);
        return leaf;
    };
    MseqObject* music = add_leaf(MTYPE_LEAF_MUSIC, kv_text(mapp_msg::DEFAULT_MUSIC_NAME),
                                 music_path, mapp_msg::MUSIC_LEAF_ADD_FAILED);
    MseqObject* stage = add_leaf(MTYPE_LEAF_STAGE, nullptr, stage_path, mapp_msg::STAGE_ADD_FAILED);
    MseqObject* chord = add_leaf(MTYPE_LEAF_CHORD, nullptr, chord_path, mapp_msg::CHORD_ADD_FAILED);

    // Each new leaf takes its template's content and stays a new file until the next save.
    auto init = [&](MseqObject* leaf, MSEQ_TYPE type, const char* templ, mapp_msg failed,
                    bool select) -> MseqEntity* {
        if (!leaf) return nullptr;
        ref_ptr<MseqEntity> content = mseq_open(leaf);
        MseqEntity* e = content.get();
        if (!has_type(e, type)) {
            port.warn(mapp_text(failed));
            return nullptr;
        }
        desk.load(e, MseqFullPath(template_path(templ)), false);
        if (type == MTYPE_LEAF_MUSIC) {
            auto* m = e->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
            m->m_MapStageID = map_reference(stage);
            m->m_MapChordID = map_reference(chord);
        }
        desk.mark_modified(e);
        frame.open_in_edit_list(e, leaf, select);
        return e;
    };
    init(music, MTYPE_LEAF_MUSIC, ".\\template\\music01\\music.kvnl",
         mapp_msg::MUSIC_LEAF_INIT_FAILED, true);
    init(stage, MTYPE_LEAF_STAGE, ".\\template\\music01\\stage.kvnl", mapp_msg::STAGE_INIT_FAILED,
         false);
    init(chord, MTYPE_LEAF_CHORD, ".\\template\\music01\\chord.kvnl", mapp_msg::CHORD_INIT_FAILED,
         false);
    *book_out = book_link;
    return true;
}

MAppFileRequest MFrameLibrary::browse_request(MAppDialog dialog, const std::string& field,
                                              const MAppFields& current) const {
    MAppFileRequest r;
    r.kind = MAppFileKind::folder;
    const CkvString value = current.get(field);
    if (field == "parent") {
        r.title = mapp_text(dialog == MAppDialog::create_room ? mapp_msg::PARENT_OF_NEW_LIBRARY
                                                              : mapp_msg::PARENT_OF_NEW_MUSIC);
        r.initial_folder = value;
        return r;
    }
    static const struct {
        const char* field;
        mapp_msg title;
        const char* initial;
        bool book;
    } kFiles[] = {
        {"book", mapp_msg::PLACE_NEW_MUSIC_BOOK, "music.kvnb", true},
        {"music", mapp_msg::PLACE_NEW_MUSIC_LEAF, "music.kvnl", false},
        {"stage", mapp_msg::PLACE_STAGE_MAP, "stage.kvnl", false},
        {"chord", mapp_msg::PLACE_CHORD_MAP, "chord.kvnl", false},
    };
    if (dialog != MAppDialog::new_music) return r;
    for (const auto& f : kFiles) {
        if (field != f.field) continue;
        r.kind = MAppFileKind::open;
        r.title = mapp_text(f.title);
        r.initial_name = value.empty() ? CkvString(f.initial) : value;
        r.filter = mapp_text(f.book ? kBookFilter : kLeafFilter);
        r.default_ext = f.book ? "kvnb" : "kvnl";
        // The first browse starts in the library's folder.
        r.initial_folder = value.empty() && room_ ? mseq_path::remove_file_name(room_->full_path)
                                                  : mseq_path::remove_file_name(value);
        r.must_exist = false;
    }
    return r;
}

bool MFrameLibrary::check_browsed(const std::string& field, const CkvString& path) {
    static const struct {
        const char* field;
        MSEQ_TYPE type;
    } kTypes[] = {{"book", MTYPE_BOOK_MUSIC},
                  {"music", MTYPE_LEAF_MUSIC},
                  {"stage", MTYPE_LEAF_STAGE},
                  {"chord", MTYPE_LEAF_CHORD}};
    for (const auto& t : kTypes) {
        if (field == t.field) return check_existing(*port_, path, t.type);
    }
    return true;
}

bool MFrameLibrary::rename_node(MseqObject* node, const CkvString& name) {
    if (!room_ || !node || !mseq_path::valid_name(name)) return false;
    if (!room_->rename(node->id, name)) return false;
    room_->mark_file_modified(node->id);
    if (node->entity() && node->entity() != MseqEmpty::instance() &&
        mseq_type_category(node->type) == MCAT_LEAF)
        node->entity()->name = name;
    port_->refresh(MAppRefresh::room_item, node);
    port_->refresh(MAppRefresh::edit_list);
    port_->refresh(MAppRefresh::title);
    return true;
}

void MFrameLibrary::new_music() {
    if (!room_) return;
    MAppFields fields;
    const CkvString room_folder = mseq_path::remove_file_name(room_->full_path);
    fields.set("page", CkvString("1"));
    fields.set("parent", mapp_shown_path(room_folder));
    fields.set("folder", CkvString("music"));
    fields.set("book", CkvString());
    fields.set("music", CkvString());
    fields.set("stage", CkvString());
    fields.set("chord", CkvString());
    MAppUserPort& port = *port_;
    MseqObject* book_link = nullptr;
    auto check = [&](MAppFields& f) -> MAppCheck {
        if (f.get("page") == "2") {
            // Each file may be typed as a host path.
            const CkvString book = mapp_entered_path(f.get("book"));
            const CkvString music = mapp_entered_path(f.get("music"));
            const CkvString stage = mapp_entered_path(f.get("stage"));
            const CkvString chord = mapp_entered_path(f.get("chord"));
            if (!check_existing(port, book, MTYPE_BOOK_MUSIC)) return {false, "book"};
            if (!check_existing(port, music, MTYPE_LEAF_MUSIC)) return {false, "music"};
            if (!check_existing(port, stage, MTYPE_LEAF_STAGE)) return {false, "stage"};
            if (!check_existing(port, chord, MTYPE_LEAF_CHORD)) return {false, "chord"};
            if (!create_music(frame_, room_, room_node_.get(), port, book, music, stage, chord,
                              &book_link))
                return {false, "book"};
            return {};
        }
        const CkvString parent = mapp_entered_path(mapp_trim_blanks(f.get("parent")));
        const CkvString folder = mapp_trim_blanks(f.get("folder"));
        f.set("folder", folder);
        if (!folder.empty() && !mseq_path::valid_name(folder)) {
            port.warn(mapp_text(mapp_msg::FOLDER_NAME_INVALID));
            return {false, "folder"};
        }
        if (folder.empty() && !port.ask_yes_no(mapp_format(mapp_msg::ASK_CREATE_IN_PARENT_INSIDE,
                                                           mapp_shown_path(parent).c_str())))
            return {false, "folder"};
        const CkvString dir = folder.empty() ? parent : mseq_path::append(parent, folder);
        // The folder itself, not a file: anything at the path counts as existing.
        if (!folder.empty() && kv_fs::path_exists(dir) &&
            !port.ask_yes_no(
                mapp_format(mapp_msg::ASK_FOLDER_EXISTS, mapp_shown_path(dir).c_str())))
            return {false, "folder"};
        static const struct {
            const char* file;
            mapp_msg message;
        } kFiles[] = {
            {"music.kvnb", mapp_msg::BOOK_FILE_EXISTS},
            {"music.kvnl", mapp_msg::MUSIC_FILE_EXISTS},
            {"stage.kvnl", mapp_msg::STAGE_FILE_EXISTS},
            {"chord.kvnl", mapp_msg::CHORD_FILE_EXISTS},
        };
        for (const auto& k : kFiles) {
            if (kv_fs::file_exists(mseq_path::append(dir, k.file))) {
                port.warn(mapp_text(k.message));
                return {false, "folder"};
            }
        }
        if (!create_music(
                frame_, room_, room_node_.get(), port, mseq_path::append(dir, "music.kvnb"),
                mseq_path::append(dir, "music.kvnl"), mseq_path::append(dir, "stage.kvnl"),
                mseq_path::append(dir, "chord.kvnl"), &book_link))
            return {false, "folder"};
        return {};
    };
    if (!port.run_dialog(MAppDialog::new_music, fields, check)) return;
    if (book_link) selected_node_ = book_link;
    port_->refresh(MAppRefresh::room_tree);
    port_->refresh(MAppRefresh::room_item, book_link);
}

// ---- Delete and open links ----

void MFrameLibrary::delete_link() {
    MseqObject* node = selected_node_;
    if (!room_ || !node) return;
    if (!deletable(node)) {
        port_->warn(mapp_text(mapp_msg::LINK_IN_USE));
        return;
    }
    const CkvString question =
        mapp_format(mapp_msg::ASK_DELETE_LINK, node->id, node->name.c_str(),
                    mseq_type_name(node->type).c_str(), shown_link_path(node).c_str());
    if (!port_->ask_yes_no(question)) return;
    MseqDesk& desk = MseqDesk::instance();
    MseqEntity* content = node->entity();
    if (mseq_type_category(node->type) == MCAT_BOOK && content &&
        content != MseqEmpty::instance() && (content->flags & MEF_MODIFIED)) {
        const CkvString text = mapp_format(mapp_msg::ASK_SAVE_BOOK, node->name.c_str(),
                                           mapp_shown_path(content->full_path).c_str());
        switch (port_->ask_yes_no_cancel(text)) {
            case MAppAnswer::yes:
                if (!frame_.save_file(content)) return;
                break;
            case MAppAnswer::no:
                desk.clear_modified(content);
                break;
            case MAppAnswer::cancel:
                return;
        }
    }
    ref_ptr<MseqEntity> holder(holder_of(node, room_));
    if (!room_->remove(node->id)) {
        port_->warn(mapp_text(mapp_msg::DELETE_FAILED));
        return;
    }
    selected_node_ = nullptr;
    if (holder) desk.mark_modified(holder.get());
    port_->refresh(MAppRefresh::room_tree);
}

void MFrameLibrary::open_link() {
    MseqObject* node = selected_node_;
    if (!node) return;
    if (node->type == MTYPE_LEAF_FOLDER) {
        port_->refresh(MAppRefresh::room_item, node);
        return;
    }
    const CkvString cannot_open = mapp_text(mapp_msg::FILE_OPEN_FAILED);
    MseqFullPath full;
    const bool has_file = !node->is_with() && mseq_path::resolve(node, false, &full);
    if (has_file && !kv_fs::path_exists(full)) {
        const CkvString text =
            mapp_format(mapp_msg::ASK_CREATE_MISSING_FILE, mapp_shown_path(full).c_str());
        if (!port_->ask_yes_no(text)) return;
    } else if (has_file && !kv_fs::file_exists(full) && !node->entity()) {
        // A folder, FIFO or device is there: nothing to create, and nothing to read.
        MseqLoadProblem problem;
        problem.path = full;
        problem.error = MREC_E_READ_FAILED;
        problem.file.kind = kv_fs::file_error::not_regular;
        port_->warn(CkvString(cannot_open.str() + mapp_problem_lines(problem).str()));
        return;
    }
    port_->wait_cursor(true);
    MseqLoadProblem problem;
    ref_ptr<MseqEntity> content = MseqDesk::instance().open(node, &problem);
    port_->wait_cursor(false);
    if (!content || content.get() == MseqEmpty::instance()) {
        // Opened before (the node keeps the placeholder): the reason is the one noted then.
        if (!problem.reported() && has_file) {
            const std::vector<MseqLoadProblem>& log = mapp_file_store().problems;
            for (auto it = log.rbegin(); it != log.rend() && !problem.reported(); ++it) {
                if (CkvString::compare_nocase(it->path, full) == 0) problem = *it;
            }
        }
        // A file that is there but belongs to another node of the library was never read for
        // this one: say whose it is.
        const CkvString shared = problem.reported() || !has_file
                                     ? CkvString()
                                     : mapp_shared_file_reason(room_node_.get(), node, full);
        const CkvString lines =
            shared.empty() ? mapp_problem_lines(problem) : mapp_reason_lines(full, shared);
        port_->warn(CkvString(cannot_open.str() + lines.str()));
        return;
    }
    frame_.open_in_edit_list(content.get(), node, true);
    port_->refresh(MAppRefresh::room_item, node);
}

const char* MFrameLibrary::file_mark(const MseqObject* node) const {
    if (!node || node->is_with() || node->path.empty() || node->type == MTYPE_LEAF_FOLDER)
        return "";
    const MseqEntity* e = node->entity();
    // Only content that was never read from its file stands for a file that is not there.
    if (!e || e == MseqEmpty::instance() || !(e->flags & MEF_NEW)) return "";
    MseqFullPath full = e->full_path;
    if (full.empty() && !mseq_path::resolve(node, false, &full)) return "";
    if (!kv_fs::path_exists(full)) return "missing";
    return frame_.unread_problem(e) ? "empty" : "";
}
