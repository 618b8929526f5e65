// The library workflow of the main frame: open, close and create libraries, the recent list,
// ask-to-save, save, save-all and exit.
#include "app/MFrame.h"

#include "app/MAppFolders.h"
#include "app/MAppText.h"
#include "app/MAppUserPort.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqRoom.h"
#include "model/theory/MseqMapScale.h"
#include "platform/FileSystem.h"
#include "play/engine/MplyPlayer.h"
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

void MFrame::stop_player(int32_t timeout_ms) {
    if (player_ && player_->Running()) player_->Stop(timeout_ms);
    pump();
}

bool MFrame::ask_to_save(const CkvString& action) {
    stop_player(3000);
    if (MseqDesk::instance().modified.empty()) return true;
    const CkvString text = mapp_format(
        "%s\n\nライブラリ／編集リストに保存されていないファイルがありますが、\n全て保存しますか？"
        "\n\n「はい」の場合、全て保存します。\n「いいえ」の場合、全て保存しません。\n個別に保存す"
        "る場合は「キャンセル」してから保存して下さい。",
        action.c_str());
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
    edit_selection_ = -1;
    port_->refresh(MAppRefresh::editor_view);
    MseqDesk& desk = MseqDesk::instance();
    for (const MAppEditEntry& e : edit_list_)
        desk.close_editor(e.entity.get());
    edit_list_.clear();
    followed_ = nullptr;
    selected_node_ = nullptr;
    desk.modified.clear();
    desk.cache.clear();
    room_node_.reset();
    room_ = nullptr;
    port_->refresh(MAppRefresh::edit_list);
    port_->refresh(MAppRefresh::room_tree);
    port_->refresh(MAppRefresh::title);
}

bool MFrame::open_room(const CkvString& path, bool create) {
    return load_room(path, create, true);
}

bool MFrame::load_room(const CkvString& path, bool create, bool warn_unreadable) {
    // The path may be the open library's own, which closing frees.
    const CkvString full = mseq_path::canonicalize(path);
    close_room();
    room_node_ =
        std::make_unique<MseqObject>(MID_ROOM, MTYPE_ROOM, CkvString(), MseqDescPath(full));
    ref_ptr<MseqEntity> content = mseq_open(room_node_.get());
    room_ = content->cast_to<MseqRoom>(MTYPE_ROOM);
    if (!room_) {
        if (warn_unreadable) port_->warn(mapp_text("ライブラリファイルにエラーがあります。"));
        content = nullptr;
        MseqDesk::instance().cache.clear();
        room_node_.reset();
        port_->refresh(MAppRefresh::menus);
        return false;
    }
    if (create) {
        MseqObject* link =
            room_->create_book(room_node_.get(), MPLACE_LAST_CHILD, MTYPE_BOOK_LIBRARY,
                               mapp_text("パターンブック_標準"),
                               MseqDescPath(CkvString("<prog>.\\pattern_v01\\pattern.kvnb")));
        if (link) mseq_path::make_relative(link);
    }
    if ((room_->flags & MEF_NEW) && !(room_->flags & MEF_MODIFIED))
        MseqDesk::instance().mark_new_for_save(room_);
    port_->refresh(MAppRefresh::room_tree);
    mseq_config().add_recent_room(room_->full_path.empty() ? full : room_->full_path);
    port_->refresh(MAppRefresh::menus);
    port_->refresh(MAppRefresh::title);
    return true;
}

void MFrame::open_room_dialog() {
    if (!ask_to_save(mapp_text("ライブラリを開く"))) return;
    MAppFileRequest request;
    request.kind = MAppFileKind::open;
    request.title = mapp_text("ライブラリを開く");
    request.default_ext = "kvnr";
    request.initial_name = "library.kvnr";
    request.filter = mapp_text("Korvante ライブラリ (*.kvnr)|*.kvnr|全てのファイル (*.*)|*.*||");
    request.prompt_create = true;
    CkvString path;
    if (!port_->choose_file(request, &path)) return;
    open_room(path, false);
}

void MFrame::open_recent(size_t index) {
    if (!ask_to_save(mapp_text("ライブラリを開く"))) return;
    const CkvString* entry = mseq_config().recent_room(index);
    if (!entry) return;
    const CkvString path = *entry;
    if (!kv_fs::file_exists(path)) {
        port_->warn(mapp_format("ライブラリファイルが存在しません。\n\n%s", path.c_str()));
        port_->refresh(MAppRefresh::menus);
        return;
    }
    open_room(path, false);
}

namespace {

// The checks of the create-library dialog's OK; fills "full" with the library's path.
MAppCheck check_create_room(MAppUserPort& port, MAppFields& f) {
    const CkvString parent = f.get("parent");
    const CkvString folder = trim_blanks(f.get("folder"));
    const CkvString file = trim_blanks(f.get("file"));
    f.set("folder", folder);
    f.set("file", file);
    if (!folder.empty() && !mseq_path::valid_name(folder)) {
        port.warn(mapp_text("新しく作るフォルダ名に使えない文字が含まれています。"));
        return {false, "folder"};
    }
    if (folder.empty() &&
        !port.ask_yes_no(mapp_format(
            "指定した親フォルダに作成しますがよろしいですか？\n\n作成先：%s", parent.c_str()))) {
        return {false, "folder"};
    }
    if (file.empty()) {
        port.warn(mapp_text("ライブラリファイル名がありません。"));
        return {false, "file"};
    }
    if (!mseq_path::valid_name(file)) {
        port.warn(mapp_text("新しく作るファイル名に使えない文字が含まれています。"));
        return {false, "file"};
    }
    const CkvString dir = folder.empty() ? parent : mseq_path::append(parent, folder);
    const CkvString full = mseq_path::append(dir, file);
    f.set("full", full);
    if (kv_fs::file_exists(full)) {
        port.warn(mapp_text("この位置に同じライブラリファイルが既に存在します。"));
        return {false, "file"};
    }
    return {};
}

}  // namespace

void MFrame::create_room_dialog() {
    if (!ask_to_save(mapp_text("ライブラリを作る"))) return;
    MAppFields fields;
    // A new library starts in the application folder, or in the user's library folder when the
    // application folder is only read.
    const std::string user = read_only_ ? mapp_user_library_folder() : std::string();
    const CkvString parent = user.empty() ? mseq_path::remove_file_name(mseq_path::program_file())
                                          : CkvString(kv_fs::from_host(user));
    fields.set("parent", parent);
    fields.set("folder", CkvString("library"));
    fields.set("file", CkvString("library.kvnr"));
    fields.set("full", mseq_path::append(mseq_path::append(parent, "library"), "library.kvnr"));
    MAppUserPort& port = *port_;
    const bool ok = port.run_dialog(MAppDialog::create_room, fields,
                                    [&port](MAppFields& f) { return check_create_room(port, f); });
    if (!ok) return;
    open_room(fields.get("full"), true);
}

bool MFrame::save_file(MseqEntity* entity) {
    if (!entity) return false;
    if (entity->flags & MEF_FUTURE) {
        const CkvString text = mapp_format(
            "このファイルは未来のデータ形式を含んでいます。\n上書き保存すると未来の情報が失われる"
            "可能性があります。\n\n上書き保存しますか？\n\n名前\n%s\n\nパス\n%s\n",
            entity->name.c_str(), entity->full_path.c_str());
        if (!port_->ask_yes_no(text)) return false;
    }
    port_->wait_cursor(true);
    const bool ok = MseqDesk::instance().save(entity);
    port_->wait_cursor(false);
    port_->refresh(MAppRefresh::title);
    if (!ok) port_->warn(mapp_text("保存に失敗しました。"));
    return ok;
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
        const CkvString text = mapp_format(
            "上書き保存する %d 件のファイルが未来のデータ形式を含んでいます。\n上書き保存すると未"
            "来の情報が失われる可能性があります。\n\n全て上書き保存しますか？\n\n",
            future);
        if (!port_->ask_yes_no(text)) return false;
    }
    port_->wait_cursor(true);
    const int failures = desk.save_all_modified();
    port_->wait_cursor(false);
    port_->refresh(MAppRefresh::room_tree);
    port_->refresh(MAppRefresh::edit_list);
    port_->refresh(MAppRefresh::title);
    if (failures != 0) {
        port_->warn(
            mapp_format("保存に失敗しました。\n\n%d ファイル保存しませんでした。\n※ 変更フ"
                        "ラグが残っている項目を参照して下さい。",
                        failures));
        return false;
    }
    return true;
}

bool MFrame::exit(const MAppPlacement& placement) {
    if (!ask_to_save(mapp_text("アプリケーションの終了"))) return false;
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
    if (!mrec_settings::save_config())
        port_->warn(mapp_text("コンフィグファイルの保存に失敗しました。"));
    if ((mrec_settings::scale_map().flags & MEF_MODIFIED) && !mrec_settings::save_scale_map())
        port_->warn(mapp_text("スケールマップファイルの保存に失敗しました。"));
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
