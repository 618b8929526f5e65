// The player's commands of the main frame: play, stop, pause, play the selected link, the
// followed play cursor, export to a Standard MIDI File, releasing the device, settings, the
// manual and version information.
#include "app/MFrame.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <thread>

#include "app/MAppAutosaveSetting.h"
#include "app/MAppText.h"
#include "edit/McmdKind.h"
#include "edit/MedtMusic.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "model/core/MseqType.h"
#include "model/library/MseqConfig.h"
#include "platform/FileSystem.h"
#include "platform/MidiOut.h"
#include "platform/Shell.h"
#include "platform/SynthPort.h"
#include "platform/TextCodec.h"
#include "play/devices/MplyDevice.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "play/export/MplyExport.h"

namespace {

// The message the player posts while it plays: the position the followed cursor moves to. It
// stands for the follow timer.
constexpr uint32_t kFollowMessage = 0x8010;

}  // namespace

bool mapp_playable(const MseqEntity* e) {
    return e && (e->type() == MTYPE_LEAF_MUSIC || e->type() == MTYPE_LEAF_PHRASE);
}

CkvString mapp_default_midi_name(const MseqEntity* leaf) {
    CkvString name;
    if (!leaf || leaf->full_path.empty() || !mseq_path::name_from_file_path(leaf->full_path, &name))
        return CkvString("default.mid");
    return CkvString(name + ".mid");
}

void MFrame::lock_editors(bool locked) {
    // While a run reads the model without locks, no edit may change it: the music editors
    // decline every command while they are locked.
    for (const MAppEditEntry& e : edit_list_) {
        MgenRef* editor = MseqDesk::instance().editor_of(e.entity.get());
        MgenRef* m = editor ? editor->cast(MKIND_EDT_MUSIC) : nullptr;
        if (!m) continue;
        auto* music = static_cast<MedtMusic*>(m);
        if (locked) {
            music->edit_flags |= MEDT_READ_ONLY;
        } else {
            music->edit_flags &= ~static_cast<uint32_t>(MEDT_READ_ONLY);
        }
    }
    port_->refresh(MAppRefresh::play_state);
}

bool MFrame::playing() const {
    return player_ && player_->Running();
}

void MFrame::pump() {
    KvMessage m;
    while (messages_.take(&m)) {
        switch (m.message) {
            case MPLY_MSG_STOPPED:
                on_play_end(static_cast<int32_t>(m.param2));
                break;
            case MPLY_MSG_STARTED:
                port_->refresh(MAppRefresh::room_tree);
                break;
            case kFollowMessage:
                if (following_ && followed_)
                    set_play_cursor(followed_.get(), static_cast<int32_t>(m.param2));
                break;
            default:
                break;
        }
    }
    autosave_when_due();
}

bool MFrame::wait_play_end(uint32_t timeout_ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        pump();
        if (!playing() && !following_) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool MFrame::play_entity(MseqEntity* entity, int32_t start_tick) {
    if (!mapp_playable(entity) || !device_) return false;
    std::unique_ptr<MplyEntity> music(entity->create_player_model());
    if (!music) return false;
    lock_editors(true);
    play_start_ = start_tick;
    play_end_ = MPE_PLAYING;
    player_->SetStopNotify(&messages_, MPLY_MSG_STOPPED);
    player_->SetStartNotify(&messages_, MPLY_MSG_STARTED);
    const uint32_t interval = static_cast<uint32_t>(mseq_config().m_SeekInterval);
    player_->SetPositionNotify(&messages_, kFollowMessage, interval ? interval : 1);
    player_->SetStartTick(start_tick);
    if (!player_->Start(device_, music)) {
        lock_editors(false);
        return false;
    }
    if (!following_) {
        following_ = true;
        followed_ = ref_ptr<MseqEntity>(entity);
    }
    return true;
}

void MFrame::play_toggle() {
    if (playing()) {
        request_stop(MPE_STOPPED);
        return;
    }
    MseqEntity* shown = shown_file();
    if (!mapp_playable(shown)) return;
    play_entity(shown, play_cursor(shown));
}

void MFrame::play_link() {
    if (playing()) {
        request_stop(MPE_PAUSED);
        return;
    }
    MseqObject* node = selected_node_;
    if (!node) return;
    MseqEntity* shown = shown_file();
    if (shown && node->entity() == shown) {
        play_toggle();
        return;
    }
    ref_ptr<MseqEntity> content = mseq_open(node);
    play_entity(content.get(), 0);
}

void MFrame::request_stop(MAppPlayEnd end) {
    if (!playing()) return;
    play_end_ = end;
    player_->Stop(3000);
}

void MFrame::on_play_end(int32_t reached) {
    // Position messages still queued behind the end notice belong to the run that ended.
    KvMessage m;
    std::vector<KvMessage> later;
    while (messages_.take(&m)) {
        if (m.message != kFollowMessage) later.push_back(m);
    }
    if (followed_) {
        if (play_end_ == MPE_PAUSED) {
            set_play_cursor(followed_.get(), reached);
        } else {
            set_play_cursor(followed_.get(), play_start_);
        }
    }
    if (play_end_ == MPE_PLAYING) play_end_ = MPE_STOPPED;
    following_ = false;
    followed_ = nullptr;
    MseqDesk::instance().trim_cache();
    lock_editors(false);
    port_->refresh(MAppRefresh::room_tree);
    for (const KvMessage& k : later)
        messages_.post(k);
}

CkvString MFrame::export_refusal(const CkvString& path) {
    const std::string host = kv_fs::to_host(path);
    const std::string shown = kv_codec::cp932_from_utf8(host);
    // The files of the open library (books are opened to list their leaves) and every file the
    // desk holds: an export replaces its target, and none of these may become MIDI bytes.
    bool owned = false;
    if (MseqObject* top = room_node_.get()) {
        for (MseqObject* n = top; n && !owned; n = n->next_in(top)) {
            if (mseq_type_category(n->type) == MCAT_BOOK) mseq_open(n);
            MseqFullPath full;
            owned = !n->is_with() && !n->path.empty() && mseq_path::resolve(n, false, &full) &&
                    kv_fs::same_file(kv_fs::to_host(full), host);
        }
    }
    for (const auto& [file, entity] : MseqDesk::instance().cache) {
        if (!owned) owned = kv_fs::same_file(kv_fs::to_host(file), host);
    }
    if (owned) {
        return mapp_format(
            "エクスポートできませんでした。\n\n※ "
            "開いているライブラリのファイルです。上書きできません。\n\n%s",
            shown.c_str());
    }
    // Only a regular file is replaced; a symbolic link is not followed.
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::symlink_status(host, ec);
    if (!ec && std::filesystem::exists(st) && !std::filesystem::is_regular_file(st)) {
        return mapp_format(
            "エクスポートできませんでした。\n\n※ "
            "通常のファイルではありません。(フォルダ、デバイス、FIFO、シンボリックリンク)\n\n%s",
            shown.c_str());
    }
    return {};
}

void MFrame::export_midi() {
    MseqEntity* leaf = shown_file();
    if (!mapp_playable(leaf) || playing()) return;
    MAppFileRequest request;
    request.kind = MAppFileKind::save;
    request.title = mapp_text("MIDI ファイルで保存");
    request.default_ext = "mid";
    request.filter =
        mapp_text("MIDI ファイル (*.mid *.smf)|*.mid;*.smf|全てのファイル (*.*)|*.*||");
    request.initial_name = mapp_default_midi_name(leaf);
    request.initial_folder = mseq_path::remove_file_name(leaf->full_path);
    request.confirm_overwrite = true;
    CkvString path;
    if (!port_->choose_file(request, &path)) return;
    const CkvString refused = export_refusal(path);
    if (!refused.empty()) {
        port_->warn(refused);
        return;
    }
    port_->wait_cursor(true);
    std::unique_ptr<MplyEntity> music(leaf->create_player_model());
    MplyExportResult result = MplyExportResult::not_started;
    if (music) {
        play_start_ = 0;
        result = MplyExportMusic(*player_, *exporter_, music, path, nullptr);
    }
    port_->wait_cursor(false);
    switch (result) {
        case MplyExportResult::ok:
        case MplyExportResult::not_started:
            break;
        case MplyExportResult::timed_out:
            port_->warn(
                mapp_text("エクスポートできませんでした。\n\n※ バッファ作成でタイムアウト"));
            break;
        case MplyExportResult::empty:
            port_->warn(mapp_text("エクスポートできませんでした。\n\n※ ブロック化で失敗"));
            break;
        case MplyExportResult::write_failed:
            port_->warn(mapp_text("エクスポートできませんでした。\n\n※ 保存処理で失敗"));
            break;
    }
}

void MFrame::release_device() {
    if (playing() || !device_) return;
    if (device_->CloseDevice()) {
        port_->warn(
            mapp_text("一時的にデバイスを開放しました。\n\n※ 再生すると自動的に再度デバイス"
                      "を使用します。"));
    } else {
        port_->warn(mapp_text("デバイスを開放できませんでした。"));
    }
    port_->refresh(MAppRefresh::menus);
}

// ---- Settings ----

namespace {

// The configuration fields the settings dialog edits, with their limits.
struct SettingField {
    const char* name;
    int32_t MseqConfig::*field;
    int32_t min, max;
};

const SettingField kSettingFields[] = {
    {"m_DirectMusic", &MseqConfig::m_DirectMusic, 0, 1},
    {"m_PlayMode", &MseqConfig::m_PlayMode, 1, 3},
    {"m_StopClose", &MseqConfig::m_StopClose, 0, 1},
    {"m_StopResetMsg", &MseqConfig::m_StopResetMsg, 0, 1},
    {"m_CacheLevel", &MseqConfig::m_CacheLevel, 1, 6},
    {"m_SeekInterval", &MseqConfig::m_SeekInterval, 1, 1000},
    {"m_ShowMenuBar", &MseqConfig::m_ShowMenuBar, 0, 1},
    {"m_ShowStatusBar", &MseqConfig::m_ShowStatusBar, 0, 1},
    {"m_VertTrackList", &MseqConfig::m_VertTrackList, 0, 1},
    {"m_VertTrackProp", &MseqConfig::m_VertTrackProp, 0, 1},
    {"m_MouseWheel", &MseqConfig::m_MouseWheel, 0, 1},
    {"m_LClickDelete", &MseqConfig::m_LClickDelete, 0, 1},
    {"m_DownSemiFlat", &MseqConfig::m_DownSemiFlat, 0, 1},
};

// The settings dialog's field of the autosave interval in seconds.
constexpr char kAutosaveField[] = "autosave_seconds";

bool parse_int(const CkvString& text, int64_t* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 0);
    if (*end != '\0') return false;
    *out = v;
    return true;
}

}  // namespace

void MFrame::settings() {
    stop_player(3000);
    MseqConfig& c = mseq_config();
    MAppFields fields;
    fields.set("m_DeviceID", c.m_DeviceID == MDEV_MAPPER ? CkvString("-1")
                             : c.m_DeviceID == MDEV_NONE ? CkvString("-2")
                                                         : CkvString(std::to_string(c.m_DeviceID)));
    fields.set("m_DmPortName", c.m_DmPortName);
    for (const SettingField& f : kSettingFields)
        fields.set(f.name, CkvString(std::to_string(c.*f.field)));
    // Not a configuration field: the interval has a file of its own (MAppAutosaveSetting).
    fields.set(kAutosaveField, CkvString(std::to_string(autosave_seconds_)));
    MAppUserPort& port = *port_;
    auto check = [&port](MAppFields& f) -> MAppCheck {
        int64_t v = 0;
        if (!parse_int(f.get("m_DeviceID"), &v) || v < -2 || v > 0xFFFFFFFFll) {
            port.warn(mapp_text("設定値が正しくありません。"));
            return {false, "m_DeviceID"};
        }
        for (const SettingField& s : kSettingFields) {
            if (!parse_int(f.get(s.name), &v) || v < s.min || v > s.max) {
                port.warn(mapp_text("設定値が正しくありません。"));
                return {false, s.name};
            }
        }
        if (!parse_int(f.get(kAutosaveField), &v) || v < 0 || v > kAutosaveMaxSeconds) {
            port.warn(mapp_text("設定値が正しくありません。"));
            return {false, kAutosaveField};
        }
        return {};
    };
    if (!port.run_dialog(MAppDialog::settings, fields, check)) return;
    int64_t v = 0;
    parse_int(fields.get("m_DeviceID"), &v);
    c.m_DeviceID = v == -1 ? MDEV_MAPPER : v == -2 ? MDEV_NONE : static_cast<uint32_t>(v);
    c.m_DeviceName.clear();
    kv_midi::midi_out_caps caps;
    if (c.m_DeviceID != MDEV_NONE && impl_midi()->device_caps(c.m_DeviceID, &caps))
        c.m_DeviceName = caps.name;
    c.m_DmPortName = fields.get("m_DmPortName");
    c.m_DmPortGUID =
        c.m_DmPortName.empty() ? kv_synth::port_id{} : kv_synth::port_id_of(c.m_DmPortName);
    for (const SettingField& s : kSettingFields) {
        parse_int(fields.get(s.name), &v);
        c.*s.field = static_cast<int32_t>(v);
    }
    c.validate();
    parse_int(fields.get(kAutosaveField), &v);
    if (static_cast<uint32_t>(v) != autosave_seconds_) {
        set_autosave_interval(static_cast<uint32_t>(v));
        save_autosave_setting();
    }
    MplyDevice* before = device_;
    choose_device();
    if (before && before != device_) before->CloseDevice();
    port_->refresh(MAppRefresh::editor_view);
    port_->refresh(MAppRefresh::menus);
}

void MFrame::manual() {
    auto open = [this](const char* rest) {
        MseqFullPath path;
        if (!mseq_path::executable_path(rest, &path)) return kv_shell::kFileNotFound;
        return impl_shell()->open(kv_fs::to_host(mseq_path::canonicalize(path)));
    };
    int result = open(".\\manual\\index.html");
    if (result == kv_shell::kFileNotFound) result = open(".\\notice.html");
    if (result <= 32) {
        port_->warn(
            mapp_text("説明書が開けませんでした。\n\n※ 説明書はホームページで入手できます。"));
    }
}
