// The library workflow of the main frame: open, close and create libraries, the recent list,
// ask-to-save, save, save-all and exit.
#include "app/MFrame.h"

#include "app/MAppFolders.h"
#include "app/MAppProblem.h"
#include "app/MAppProgram.h"
#include "app/MAppText.h"
#include "app/MAppUserPort.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqRoom.h"
#include "model/theory/MseqMapScale.h"
#include "platform/FileSystem.h"
#include "text/MrecCompiler.h"
#include "text/MrecEntityWriter.h"
#include "text/MrecFileStore.h"
#include "text/MrecSettings.h"

namespace {

// Leading and trailing half- and full-width spaces removed.
CkvString trim_blanks(const CkvString& s) {
    static const std::string full = "\x81\x40";  // the ideographic space in CP932
    size_t begin = 0, end = s.size();
    for (;;) {
        if (begin < end && s[begin] == ' ') {
            ++begin;
        } else if (end - begin >= 2 && s.compare(begin, 2, full) == 0) {
            begin += 2;
        } else {
            break;
        }
    }
    for (;;) {
        if (end > begin && s[end - 1] == ' ') {
            // A half-width space may be the trail byte of a character only when its lead byte
            // stands before it; spaces (0x20) are never trail bytes in CP932.
            --end;
        } else if (end - begin >= 2 && s.compare(end - 2, 2, full) == 0 &&
                   (end - 2 == begin ||
                    kv_char_length(s.substr(begin, end - begin), end - 2 - begin) == 2)) {
            end -= 2;
        } else {
            break;
        }
    }
    return CkvString(s.substr(begin, end - begin));
}

}  // namespace

CkvString mapp_trim_blanks(const CkvString& s) {
    return trim_blanks(s);
}

namespace {

// Reads the library file at `full` into a library of its own, outside the desk: false, with
// the reason in `why`, when the file is there but gives no library. A missing file makes a new
// library and passes.
bool readable_library(const CkvString& full, MseqLoadProblem* why) {
    if (!kv_fs::path_exists(full)) return true;
    MseqObject node(MID_ROOM, MTYPE_ROOM, CkvString(), MseqDescPath(full));
    ref_ptr<MseqEntity> room = ref_ptr<MseqEntity>::adopt(new MseqRoom(&node));
    MrecCompiler compiler;
    if (compiler.load(room.get(), MseqFullPath(full), false)) return true;
    *why = compiler.problem(MseqFullPath(full));
    if (!why->reported()) why->path = MseqFullPath(full);
    return false;
}

// The modified files, one line each: name and host path.
CkvString unsaved_list() {
    CkvString list;
    for (const auto& [e, ref] : MseqDesk::instance().modified) {
        (void)e;
        CkvString name = ref->name;
        if (name.empty()) mseq_path::name_from_file_path(ref->full_path, &name);
        list += "\n  " + name.str() + "  " + mapp_shown_path(ref->full_path).str();
    }
    return list;
}

}  // namespace

void MFrame::stop_player(int32_t timeout_ms) {
    playback_->stop(timeout_ms);
    pump();
}

bool MFrame::ask_to_save(const CkvString& action) {
    stop_player(3000);
    if (MseqDesk::instance().modified.empty()) return true;
    const CkvString text =
        mapp_format(mapp_msg::ASK_SAVE_ALL, action.c_str(), unsaved_list().c_str());
    switch (port_->ask_yes_no_cancel(text)) {
        case MAppAnswer::yes:
            return save_all();
        case MAppAnswer::no:
            return true;
        case MAppAnswer::cancel:
            return false;
    }
    return false;
}

void MFrame::close_room() {
    stop_player(10000);
    edits_->close_all();
    playback_->forget_followed();
    MseqDesk& desk = MseqDesk::instance();
    // The selection goes with the library; its root goes after the desk no longer holds its
    // content.
    library_->select_node(nullptr);
    desk.modified.clear();
    desk.cache.clear();
    library_->detach();
    port_->refresh(MAppRefresh::edit_list);
    port_->refresh(MAppRefresh::room_tree);
    port_->refresh(MAppRefresh::title);
}

bool MFrame::open_room(const CkvString& path, bool create) {
    return load_room(path, create, true);
}

bool MFrame::load_room(const CkvString& path, bool create, bool warn_unreadable,
                       MseqLoadProblem* why) {
    // The path may be the open library's own, which closing frees.
    const CkvString full = mseq_path::canonicalize(path);
    const auto refuse = [&](const MseqLoadProblem& problem) {
        if (why) *why = problem;
        if (warn_unreadable) {
            port_->warn(CkvString(mapp_text(mapp_msg::LIBRARY_FILE_ERROR).str() +
                                  mapp_problem_lines(problem).str()));
        }
        port_->refresh(MAppRefresh::menus);
        return false;
    };
    // A file that gives no library is told before the open library closes, which stays open.
    MseqLoadProblem refused;
    if (!create && !readable_library(full, &refused)) return refuse(refused);
    close_room();
    MseqLoadProblem problem;
    if (!library_->attach(full, &problem)) {
        if (!problem.reported()) problem.path = MseqFullPath(full);
        return refuse(problem);
    }
    MseqRoom* room = library_->room();
    if (create) {
        MseqObject* link =
            room->create_book(library_->room_node(), MPLACE_LAST_CHILD, MTYPE_BOOK_LIBRARY,
                              mapp_text(mapp_msg::DEFAULT_PATTERN_BOOK_NAME),
                              MseqDescPath(CkvString("<prog>.\\pattern_v01\\pattern.kvnb")));
        if (link) mseq_path::make_relative(link);
    }
    if ((room->flags & MEF_NEW) && !(room->flags & MEF_MODIFIED))
        MseqDesk::instance().mark_new_for_save(room);
    port_->refresh(MAppRefresh::room_tree);
    mseq_config().add_recent_room(room->full_path.empty() ? full : room->full_path);
    port_->refresh(MAppRefresh::menus);
    port_->refresh(MAppRefresh::title);
    return true;
}

void MFrame::open_room_dialog() {
    if (!ask_to_save(mapp_text(mapp_msg::OPEN_LIBRARY))) return;
    MAppFileRequest request;
    request.kind = MAppFileKind::open;
    request.title = mapp_text(mapp_msg::OPEN_LIBRARY);
    request.default_ext = "kvnr";
    request.initial_name = "library.kvnr";
    request.filter = mapp_text(mapp_msg::FILTER_LIBRARY);
    request.prompt_create = true;
    CkvString path;
    if (!port_->choose_file(request, &path)) return;
    open_room(path, false);
}

void MFrame::open_recent(size_t index) {
    if (!ask_to_save(mapp_text(mapp_msg::OPEN_LIBRARY))) return;
    const CkvString* entry = mseq_config().recent_room(index);
    if (!entry) return;
    const CkvString path = *entry;
    if (!kv_fs::file_exists(path)) {
        port_->warn(mapp_format(mapp_msg::LIBRARY_FILE_MISSING, mapp_shown_path(path).c_str()));
        port_->refresh(MAppRefresh::menus);
        return;
    }
    open_room(path, false);
}

namespace {

// The checks of the create-library dialog's OK; fills "full" with the library's path.
MAppCheck check_create_room(MAppUserPort& port, MAppFields& f) {
    // The folder may be typed as a host path; the library's path is kept in the Windows form.
    const CkvString parent = mapp_entered_path(trim_blanks(f.get("parent")));
    const CkvString folder = trim_blanks(f.get("folder"));
    const CkvString file = trim_blanks(f.get("file"));
    f.set("folder", folder);
    f.set("file", file);
    if (!folder.empty() && !mseq_path::valid_name(folder)) {
        port.warn(mapp_text(mapp_msg::FOLDER_NAME_INVALID));
        return {false, "folder"};
    }
    if (folder.empty() && !port.ask_yes_no(mapp_format(mapp_msg::ASK_CREATE_IN_PARENT,
                                                       mapp_shown_path(parent).c_str()))) {
        return {false, "folder"};
    }
    if (file.empty()) {
        port.warn(mapp_text(mapp_msg::LIBRARY_FILE_NAME_MISSING));
        return {false, "file"};
    }
    if (!mseq_path::valid_name(file)) {
        port.warn(mapp_text(mapp_msg::FILE_NAME_INVALID));
        return {false, "file"};
    }
    const CkvString dir = folder.empty() ? parent : mseq_path::append(parent, folder);
    const CkvString full = mseq_path::append(dir, file);
    f.set("full", full);
    if (kv_fs::file_exists(full)) {
        port.warn(mapp_text(mapp_msg::LIBRARY_FILE_EXISTS));
        return {false, "file"};
    }
    return {};
}

}  // namespace

void MFrame::create_room_dialog() {
    if (!ask_to_save(mapp_text(mapp_msg::CREATE_LIBRARY))) return;
    MAppFields fields;
    // A new library starts in the application folder, or in the user's library folder when the
    // application folder is only read.
    const std::string user = read_only_ ? mapp_user_library_folder() : std::string();
    const CkvString parent = user.empty() ? mseq_path::remove_file_name(mseq_path::program_file())
                                          : CkvString(kv_fs::from_host(user));
    // The dialog shows host paths.
    const CkvString shown = mapp_shown_path(parent);
    fields.set("parent", shown);
    fields.set("folder", CkvString("library"));
    fields.set("file", CkvString("library.kvnr"));
    fields.set("full", mapp_shown_append(mapp_shown_append(shown, "library"), "library.kvnr"));
    MAppUserPort& port = *port_;
    const bool ok = port.run_dialog(MAppDialog::create_room, fields,
                                    [&port](MAppFields& f) { return check_create_room(port, f); });
    if (!ok) return;
    open_room(fields.get("full"), true);
}

bool MFrame::save_file(MseqEntity* entity) {
    if (!entity) return false;
    if (entity->flags & MEF_FUTURE) {
        const CkvString text = mapp_format(mapp_msg::ASK_WRITE_OVER_FUTURE, entity->name.c_str(),
                                           mapp_shown_path(entity->full_path).c_str());
        if (!port_->ask_yes_no(text)) return false;
    }
    CkvString failure;
    port_->wait_cursor(true);
    const bool ok = write_file(entity, &failure);
    port_->wait_cursor(false);
    port_->refresh(MAppRefresh::title);
    // A file the user chose not to write over has no failure to report.
    if (!ok && !failure.empty())
        port_->warn(CkvString(mapp_text(mapp_msg::SAVE_FAILED).str() + failure.str()));
    return ok;
}

const MseqLoadProblem* MFrame::unread_problem(const MseqEntity* entity) const {
    // Only content never read from its file can have hidden what the file holds.
    if (!entity || !(entity->flags & MEF_NEW)) return nullptr;
    if (entity == &mrec_settings::scale_map())
        return scale_map_problem_.reported() ? &scale_map_problem_ : nullptr;
    const std::vector<MseqLoadProblem>& log = mapp_file_store().problems;
    for (auto it = log.rbegin(); it != log.rend(); ++it) {
        if (CkvString::compare_nocase(it->path, entity->full_path) != 0) continue;
        return it->absent ? nullptr : &*it;
    }
    return nullptr;
}

namespace {

// A name beside `path` that nothing uses yet: NAME.bak, else NAME.1.bak, NAME.2.bak, ...;
// empty when none is free.
CkvString free_backup_name(const CkvString& path) {
    CkvString name(path.str() + ".bak");
    for (int n = 1; kv_fs::path_exists(name); ++n) {
        if (n > 9999) return CkvString();
        name = CkvString(path.str() + "." + std::to_string(n) + ".bak");
    }
    return name;
}

}  // namespace

bool MFrame::may_write_over(const MseqEntity* entity, CkvString* failure) {
    const MseqLoadProblem* problem = unread_problem(entity);
    // What is not a regular file is refused by the write itself, with its reason.
    if (!problem || !kv_fs::file_exists(entity->full_path)) return true;
    const CkvString backup = free_backup_name(entity->full_path);
    const CkvString shown = mapp_shown_path(entity->full_path);
    const CkvString question =
        mapp_format(mapp_msg::ASK_WRITE_OVER_UNREAD, shown.c_str(),
                    mapp_problem_reason(*problem).c_str(), mapp_shown_path(backup).c_str());
    if (backup.empty() || !port_->ask_yes_no(question)) return false;
    std::string bytes;
    kv_fs::file_error why;
    if (!kv_fs::read_file(entity->full_path, &bytes, &why) ||
        !kv_fs::write_file_atomic(backup, bytes, &why)) {
        if (failure) *failure = mapp_save_lines(backup, why);
        return false;
    }
    return true;
}

namespace {

int g_failed_saves = 0;  // UI thread only

}  // namespace

int MFrame::failed_saves() {
    return g_failed_saves;
}

bool MFrame::write_file(MseqEntity* entity, CkvString* failure) {
    if (!may_write_over(entity, failure)) {
        ++g_failed_saves;
        return false;
    }
    const bool ok = MseqDesk::instance().save(entity);
    if (ok) edits_->note_saved(entity);
    if (!ok) {
        ++g_failed_saves;
        if (failure)
            *failure = mapp_save_lines(entity->full_path, mapp_file_store().last_save_error);
    }
    return ok;
}

bool MFrame::settle_modified(MseqEntity* entity) {
    if (!entity || !(entity->flags & MEF_MODIFIED) || (entity->flags & MEF_NEW) ||
        entity->full_path.empty())
        return false;
    // The text a save would write, against the text noted when it was last saved or opened
    // (else the bytes the file holds).
    std::string now, disk;
    kv_fs::file_error why;
    if (!mrec_write_entity(entity, &now)) return false;
    if (const std::string* saved = edits_->saved_text(entity)) {
        if (now != *saved) return false;
    } else if (!kv_fs::read_file(entity->full_path, &disk, &why) || now != disk) {
        return false;
    }
    MseqDesk::instance().clear_modified(entity);
    port_->refresh(MAppRefresh::edit_entry, nullptr, entity);
    port_->refresh(MAppRefresh::title);
    return true;
}

void MFrame::save_selected() {
    MseqEntity* file = shown_file();
    if (!file) return;
    save_file(file);
    port_->refresh(MAppRefresh::edit_entry, nullptr, file);
}

bool MFrame::save_all() {
    MseqDesk& desk = MseqDesk::instance();
    const int future = desk.count_future_files();
    if (future != 0) {
        const CkvString text = mapp_format(mapp_msg::ASK_WRITE_OVER_FUTURE_ALL, future);
        if (!port_->ask_yes_no(text)) return false;
    }
    port_->wait_cursor(true);
    std::vector<ref_ptr<MseqEntity>> members;
    for (auto& [e, ref] : desk.modified)
        members.push_back(ref);
    int failures = 0;
    CkvString lines;
    for (auto& e : members) {
        if (!(e->flags & MEF_MODIFIED)) continue;
        CkvString failure;
        if (write_file(e.get(), &failure)) continue;
        ++failures;
        if (!failure.empty()) lines += "\n\n" + failure.str();
    }
    port_->wait_cursor(false);
    port_->refresh(MAppRefresh::room_tree);
    port_->refresh(MAppRefresh::edit_list);
    port_->refresh(MAppRefresh::title);
    if (failures != 0) {
        port_->warn(
            CkvString(mapp_format(mapp_msg::SAVE_ALL_FAILED, failures).str() + lines.str()));
        return false;
    }
    return true;
}

bool MFrame::exit(const MAppPlacement& placement) {
    if (!ask_to_save(mapp_text(mapp_msg::EXIT_APPLICATION))) return false;
    MseqConfig& c = mseq_config();
    if (placement.valid) {
        int show = placement.restore_to_maximized ? 3 : placement.show;
        if (show != 3) show = 1;
        c.m_FrmCmd = show;
        c.m_FrmMaxX = placement.max_x;
        c.m_FrmMaxY = placement.max_y;
        c.m_FrmNrmX1 = placement.left;
        c.m_FrmNrmY1 = placement.top;
        c.m_FrmNrmX2 = placement.right;
        c.m_FrmNrmY2 = placement.bottom;
        c.m_SplitFrameH = placement.split_h;
        c.m_SplitFrameV = placement.split_v;
    }
    kv_fs::file_error why;
    if (!mrec_settings::save_config(&why)) {
        port_->warn(CkvString(mapp_text(mapp_msg::CONFIG_SAVE_FAILED).str() +
                              mapp_save_lines(mseq_config().full_path, why).str()));
    }
    MseqMapScale& scales = mrec_settings::scale_map();
    if (scales.flags & MEF_MODIFIED) {
        CkvString failure;
        why = kv_fs::file_error{};
        if (!may_write_over(&scales, &failure)) {
            // Declined: the file keeps what it holds; a failed copy is said.
            if (!failure.empty()) {
                port_->warn(
                    CkvString(mapp_text(mapp_msg::SCALE_MAP_SAVE_FAILED).str() + failure.str()));
            }
        } else if (!mrec_settings::save_scale_map(&why)) {
            port_->warn(CkvString(mapp_text(mapp_msg::SCALE_MAP_SAVE_FAILED).str() +
                                  mapp_save_lines(scales.full_path, why).str()));
        }
    }
    exited_ = true;
    return true;
}

MAppPlacement MFrame::stored_placement() const {
    const MseqConfig& c = mseq_config();
    MAppPlacement p;
    p.valid = c.m_FrmCmd == 1 || c.m_FrmCmd == 3;
    p.show = c.m_FrmCmd;
    p.restore_to_maximized = c.m_FrmCmd == 3;
    p.max_x = c.m_FrmMaxX;
    p.max_y = c.m_FrmMaxY;
    p.left = c.m_FrmNrmX1;
    p.top = c.m_FrmNrmY1;
    p.right = c.m_FrmNrmX2;
    p.bottom = c.m_FrmNrmY2;
    p.split_h = c.m_SplitFrameH <= 2 ? 240 : c.m_SplitFrameH;
    p.split_v = c.m_SplitFrameV <= 2 ? 240 : c.m_SplitFrameV;
    return p;
}

bool MFrame::show_menu_bar() const {
    return mseq_config().m_ShowMenuBar != 0;
}
