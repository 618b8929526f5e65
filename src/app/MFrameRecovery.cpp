// The main frame's autosave and recovery: copies of the modified files in the recovery folder,
// on a timer and when the window loses focus, and the restore of copies an earlier run left.
#include <ctime>
#include <string>
#include <vector>

#include "app/MAppAutosaveSetting.h"
#include "app/MAppProblem.h"
#include "app/MAppText.h"
#include "app/MFrame.h"
#include "model/core/CkvText.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqRoom.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "platform/UserFolders.h"
#include "text/MrecCompiler.h"
#include "text/MrecEntityWriter.h"

namespace {

// The host form of a file's path for messages (the Windows form when it has none).
CkvString shown_path(const CkvString& windows) {
    const std::string host = kv_fs::to_host(windows.str());
    return host.empty() ? windows : ckv_from_utf8(host);
}

CkvString shown_time(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    char buffer[32] = "";
    if (localtime_r(&t, &local)) std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return CkvString(buffer);
}

// How the copy differs from the file on disk: its size against the file's now.
CkvString size_difference(const MAppRecoveryEntry& e) {
    const std::string size = std::to_string(e.size) + " bytes";
    const kv_folders::file_stamp disk = kv_folders::stamp_of(kv_fs::to_host(e.path.str()));
    if (!disk.exists) return mapp_format(mapp_msg::RECOVERY_NEW_FILE, size.c_str());
    return mapp_format("%s (%+lld bytes)", size.c_str(),
                       static_cast<long long>(e.size) - static_cast<long long>(disk.size));
}

}  // namespace

void MFrame::set_autosave_interval(uint32_t seconds) {
    // A day at most, so that the interval in milliseconds stays within the clock's range.
    autosave_seconds_ = seconds > kAutosaveMaxSeconds ? kAutosaveMaxSeconds : seconds;
    autosave_from_ms_ = clock_->now_ms();
}

void MFrame::load_autosave_setting() {
    const MAppAutosaveSetting s = mapp_load_autosave_setting();
    set_autosave_interval(s.seconds);
    if (s.damage.empty()) return;
    port_->warn(mapp_format(mapp_msg::AUTOSAVE_SETTING_DAMAGED, s.seconds,
                            mapp_shown_path(s.path).c_str(), s.damage.c_str()));
}

bool MFrame::save_autosave_setting() {
    CkvString path;
    kv_fs::file_error why;
    if (mapp_save_autosave_setting(autosave_seconds_, &path, &why)) return true;
    port_->warn(CkvString(mapp_text(mapp_msg::AUTOSAVE_SETTING_SAVE_FAILED).str() +
                          mapp_save_lines(path, why).str()));
    return false;
}

void MFrame::autosave_when_due() {
    if (autosave_seconds_ == 0 || !recovery_->enabled()) return;
    const uint32_t elapsed = clock_->now_ms() - autosave_from_ms_;  // wraps as the clock does
    if (elapsed < autosave_seconds_ * 1000u) return;
    autosave();
}

bool MFrame::autosave() {
    autosave_from_ms_ = clock_->now_ms();
    if (!recovery_->enabled()) return true;
    std::vector<CkvString> kept;
    CkvString failed_path;
    std::string reason;
    for (auto& [entity, ref] : MseqDesk::instance().modified) {
        if (!(entity->flags & MEF_MODIFIED) || entity->full_path.empty()) continue;
        std::string content, why;
        if (!mrec_write_entity(entity, &content)) {
            why = "the content cannot be written out";
        } else if (recovery_->keep(entity->full_path, content, &why)) {
            kept.push_back(entity->full_path);
            continue;
        }
        // The earlier copy of this file stays: it is still the best there is.
        kept.push_back(entity->full_path);
        if (failed_path.empty()) {
            failed_path = entity->full_path;
            reason = why;
        }
    }
    recovery_->drop_others(kept);
    ++autosave_runs_;
    if (failed_path.empty()) {
        autosave_warned_.clear();
        return true;
    }
    // One warning per failure: the next autosaves meet the same full disk every minute.
    const std::string failure = failed_path.str() + "\n" + reason;
    if (failure != autosave_warned_) {
        autosave_warned_ = failure;
        port_->warn(mapp_format(mapp_msg::AUTOSAVE_FAILED, shown_path(failed_path).c_str(),
                                kv_codec::cp932_from_utf8(reason).c_str()));
    }
    return false;
}

std::vector<MAppRecoveryEntry> MFrame::recoverable(bool include_own) const {
    return recovery_->list(include_own);
}

void MFrame::discard_recovery() {
    for (const MAppRecoveryEntry& e : recovery_->list(false))
        recovery_->discard(e);
}

bool MFrame::recover(const MAppRecoveryEntry& entry) {
    std::string content;
    MseqObject* node = nullptr;
    if (!recovery_->content(entry, &content)) {
        port_->warn(mapp_format(mapp_msg::RECOVERY_COPY_UNREADABLE,
                                kv_codec::cp932_from_utf8(entry.copy).c_str()));
        return false;
    }
    // A library file restores by opening it; its books and leaves restore in the library open.
    if (!room() || CkvString::compare_nocase(room()->full_path, entry.path) != 0) {
        node = library_->node_for_file(entry.path);
        if (!node && mseq_path::kind_of(entry.path.str()) == MPK_ABSOLUTE &&
            entry.path.str().size() > 5 &&
            CkvString::compare_nocase(CkvString(entry.path.substr(entry.path.size() - 5)),
                                      CkvString(".kvnr")) == 0) {
            open_room(entry.path, false);
        }
    }
    if (!node) node = library_->node_for_file(entry.path);
    ref_ptr<MseqEntity> entity = node ? mseq_open(node) : ref_ptr<MseqEntity>();
    if (!entity || entity.get() == MseqEmpty::instance()) {
        port_->warn(mapp_format(mapp_msg::RECOVERY_NOT_IN_LIBRARY, shown_path(entry.path).c_str()));
        return false;
    }
    // An editor observes the entity it edits: its content cannot be replaced under it.
    if (entity->flags & MEF_EDITING) {
        port_->warn(mapp_format(mapp_msg::RECOVERY_FILE_IN_EDIT, shown_path(entry.path).c_str()));
        return false;
    }
    // The content is replaced in place, as reverting a file reads it again; the file on disk is
    // not touched.
    const MseqFullPath path = entity->full_path;
    const bool was_new = (entity->flags & MEF_NEW) != 0;
    entity->reset();
    MrecCompiler compiler;
    const bool ok = compiler.load_text(entity.get(), content.c_str(), content.size() + 1);
    entity->full_path = path;
    if (!was_new) entity->flags &= ~MEF_NEW;
    if (!ok) {
        MseqDesk::instance().revert(entity.get(), true);
        port_->warn(mapp_format(mapp_msg::RECOVERY_COPY_UNREADABLE,
                                kv_codec::cp932_from_utf8(entry.copy).c_str()));
        return false;
    }
    MseqDesk::instance().mark_modified(entity.get());
    if (node != room_node()) open_in_edit_list(entity.get(), node, true);
    port_->refresh(MAppRefresh::room_tree);
    port_->refresh(MAppRefresh::edit_list);
    // This run keeps its own copy before the earlier one goes.
    std::string why;
    if (recovery_->keep(entity->full_path, content, &why)) recovery_->discard(entry);
    return true;
}

void MFrame::offer_recovery() {
    const std::vector<MAppRecoveryEntry> left = recovery_->list(false);
    if (left.empty()) return;
    CkvString list;
    for (const MAppRecoveryEntry& e : left) {
        CkvString name;
        mseq_path::name_from_file_path(e.path, &name);
        list += name + "  " + shown_path(e.path) + "\n  " + shown_time(e.saved_at) + "  " +
                size_difference(e);
        if (MAppRecovery::changed_on_disk(e)) list += mapp_text(mapp_msg::RECOVERY_CHANGED_SINCE);
        list += "\n";
    }
    const MAppAnswer answer =
        port_->ask_yes_no_cancel(mapp_format(mapp_msg::ASK_RECOVER, list.c_str()));
    if (answer == MAppAnswer::yes) {
        for (const MAppRecoveryEntry& e : left)
            recover(e);
    } else if (answer == MAppAnswer::no) {
        discard_recovery();
    }
}
