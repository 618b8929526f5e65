#include "app/MFrame.h"

#include <string>

#include "app/MAppFolders.h"
#include "app/MAppProblem.h"
#include "app/MAppProgram.h"
#include "app/MAppText.h"
#include "edit/McmdKind.h"
#include "edit/MedtEntity.h"
#include "edit/MedtMusic.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqRoom.h"
#include "model/theory/MseqMapScale.h"
#include "model/theory/MseqMapWord.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/MidiOut.h"
#include "platform/Shell.h"
#include "platform/SynthPort.h"
#include "platform/TextCodec.h"
#include "platform/UserFolders.h"
#include "play/devices/MplyDeviceDMusic.h"
#include "play/devices/MplyDeviceSystem.h"
#include "play/engine/MplyPlayer.h"
#include "play/export/MplyExport.h"
#include "text/MrecCompiler.h"
#include "text/MrecSettings.h"

namespace {

MFrame* g_frame = nullptr;

}  // namespace

// The services the frame owns when the caller gave none, and the members that are not windows.
struct MFrame::Impl {
    std::unique_ptr<kv_midi::midi_out> own_midi;
    std::unique_ptr<kv_synth::synth_port> own_synth;
    std::unique_ptr<kv_shell::shell> own_shell;
    kv_midi::midi_out* midi = nullptr;
    kv_synth::synth_port* synth = nullptr;
    kv_shell::shell* shell = nullptr;
    ref_ptr<MseqEntity> placeholder;
    MseqObject spare_nodes[2];  // handed to every music editor
    std::unique_ptr<MplyDeviceSystem> system_device;
    std::unique_ptr<MplyDeviceDMusic> synth_device;
};

uint32_t MFrame::packed_version() {
    return (static_cast<uint32_t>(KV_VERSION_MAJOR & 0xFF) << 24) |
           (static_cast<uint32_t>(KV_VERSION_MINOR & 0xFF) << 16) |
           (static_cast<uint32_t>(KV_VERSION_PATCH & 0xFF) << 8) |
           static_cast<uint32_t>(KV_VERSION_TWEAK & 0xFF);
}

MFrame* MFrame::get() {
    return g_frame;
}

MFrame::MFrame(const MAppServices& services) : port_(services.port), impl_(new Impl) {
    const MAppProgramFolder folder = mapp_init_program(services.home);
    home_ = folder.path;
    // An installed application folder is only read: the first library is the user's copy of
    // the demo.
    read_only_ = folder.read_only;

    // In the order the frame owns them: desk (with its store, above), configuration, word map,
    // scale map, placeholder, spare nodes, player, exporter, devices.
    mseq_config();
    mrec_settings::scale_map();
    impl_->placeholder = ref_ptr<MseqEntity>(MseqEmpty::instance());
    impl_->midi = services.midi;
    if (!impl_->midi) {
        impl_->own_midi = kv_midi::make_system_midi_out();
        impl_->midi = impl_->own_midi.get();
    }
    impl_->synth = services.synth;
    if (!impl_->synth) {
        impl_->own_synth = kv_synth::make_fluidsynth_port("", false);
        impl_->synth = impl_->own_synth.get();
    }
    impl_->shell = services.shell;
    if (!impl_->shell) {
        impl_->own_shell = kv_shell::make_desktop_shell();
        impl_->shell = impl_->own_shell.get();
    }
    recovery_ = std::make_unique<MAppRecovery>(services.recovery);
    clock_ = services.clock ? services.clock : &KvClock::system();
    autosave_from_ms_ = clock_->now_ms();
    player_ = std::make_unique<MplyPlayer>(services.clock);
    exporter_ = std::make_unique<MplyExport>();
    impl_->system_device =
        std::make_unique<MplyDeviceSystem>(mseq_config(), *impl_->midi, services.clock);
    impl_->synth_device =
        std::make_unique<MplyDeviceDMusic>(mseq_config(), *impl_->synth, services.clock);
    choose_device();
    g_frame = this;
}

MFrame::~MFrame() {
    // The end of a run that crashed does not come here: its copies stay for the next start.
    recovery_->remove_own();
    // Closing the library also closes the editors the process-wide desk keeps for the edit
    // list, so that none outlives the entities it edits.
    close_room();
    player_.reset();
    exporter_.reset();
    device_ = nullptr;
    impl_->system_device.reset();
    impl_->synth_device.reset();
    // The process-wide settings stay for the next frame of this process (tests make several):
    // they return to their defaults, as a fresh process would find them.
    mseq_config().reset();
    mseq_config().flags = MEF_NEW;
    mrec_settings::scale_map().reset();
    mrec_settings::scale_map().flags = MEF_NEW;
    mrec_settings::scale_map().full_path.clear();
    g_frame = nullptr;
}

kv_midi::midi_out* MFrame::impl_midi() const {
    return impl_->midi;
}

kv_shell::shell* MFrame::impl_shell() const {
    return impl_->shell;
}

void MFrame::choose_device() {
    if (mseq_config().m_DirectMusic != 0) {
        device_ = impl_->synth_device.get();
    } else {
        device_ = impl_->system_device.get();
    }
}

// ---- Start-up ----

bool MFrame::create(const CkvString& command_line) {
    if (!load_configuration()) return false;
    load_autosave_setting();
    check_device();
    choose_device();
    // The version every file header carries is compiled in; there is nothing to read that could
    // fail, so the version warning of the start-up never shows.
    MseqMapWord::builtin();
    load_scale_map();
    open_command_line(command_line);
    port_->refresh(MAppRefresh::menus);
    if (!room_node_) open_last_room();
    offer_recovery();
    port_->refresh(MAppRefresh::title);
    return true;
}

bool MFrame::load_configuration() {
    uint32_t error = 0;
    MseqLoadProblem why;
    if (mrec_settings::load_config(mrec_settings::kConfigPath, &error, &why)) return true;
    port_->warn(CkvString(mapp_text("初期化ファイルがロードできません。\n\n※ KORVANTE.CFG "
                                    "ファイルを削除または移動してください。")
                              .str() +
                          mapp_problem_lines(why).str()));
    return false;
}

void MFrame::check_device() {
    std::vector<CkvString> names;
    const uint32_t count = impl_->midi->device_count();
    for (uint32_t i = 0; i < count; ++i) {
        kv_midi::midi_out_caps caps;
        names.push_back(impl_->midi->device_caps(i, &caps) ? CkvString(caps.name) : CkvString());
    }
    // The mapper is the system's own choice among the devices: like the system's mapper it
    // exists whatever devices are installed, so it passes whatever name is stored.
    if (mseq_config().m_DeviceID == MDEV_MAPPER) return;
    if (mrec_settings::check_output_device(names) == 0) {
        port_->inform(
            mapp_text("再生デバイスが選択されていません。\n※ [設定] でデバイスを選択して下さい。"));
    }
}

void MFrame::load_scale_map() {
    uint32_t error = 0;
    MseqLoadProblem why;
    const bool read = mrec_settings::load_scale_map(mrec_settings::kScaleMapPath, &error, &why);
    // An empty list from a file that is there is remembered, so that exit asks before it
    // writes over what the file holds.
    scale_map_problem_ = why.reported() && !why.absent ? why : MseqLoadProblem{};
    if (!read) {
        port_->warn(CkvString(
            mapp_text("スケールマップファイルにエラーがあります。\n\n※ スケールリストは空となりま"
                      "す。")
                .str() +
            mapp_problem_lines(why).str()));
        return;
    }
    if (mrec_settings::scale_map().flags & MEF_NEW) {
        port_->warn(CkvString(
            mapp_text("スケールマップファイルが存在しません。\n\n※ スケールリストは空となります"
                      "。")
                .str() +
            mapp_problem_lines(why).str()));
    }
}

void MFrame::open_command_line(const CkvString& command_line) {
    std::string path = command_line;
    while (!path.empty() && path.back() == '"')
        path.pop_back();
    size_t start = 0;
    while (start < path.size() && path[start] == '"')
        ++start;
    path.erase(0, start);
    if (path.empty()) return;
    // The command line's own message is the only one: the open-by-path warning stays silent.
    MseqLoadProblem why;
    if (!load_room(CkvString(path), false, false, &why)) {
        CkvString text =
            mapp_format("ライブラリファイルがロードできませんでした。\n\nファイル : %s",
                        mapp_shown_path(CkvString(path)).c_str());
        if (why.reported()) text += mapp_text("\n理由 : ") + mapp_problem_reason(why);
        port_->warn(text);
    }
}

void MFrame::open_last_room() {
    const CkvString* recent = mseq_config().recent_room(0);
    MseqFullPath path;
    if (recent) {
        path = MseqFullPath(*recent);
    } else if (read_only_) {
        path = MseqFullPath(mapp_user_first_library(home_));
        if (path.empty()) return;
    } else if (!mseq_path::executable_path(".\\mymusic\\library.kvnr", &path)) {
        return;
    }
    open_room(CkvString(mseq_path::canonicalize(path)), false);
}

// ---- Title ----

namespace {

// The path shortened to at most `max` bytes: leading folders are replaced by "...", the file
// name is kept (and itself cut when it alone is too long). Characters are never split.
CkvString compact_path(const CkvString& path, size_t max) {
    if (path.size() <= max) return path;
    const size_t slash = path.rfind_char('\\');
    const CkvString file(slash == std::string::npos ? path.str() : path.substr(slash + 1));
    auto cut = [](const CkvString& s, size_t n) {
        size_t i = 0;
        while (i < s.size()) {
            const size_t len = kv_char_length(s, i);
            if (i + len > n) break;
            i += len;
        }
        return CkvString(s.substr(0, i));
    };
    if (file.size() + 4 <= max) {
        return CkvString(cut(path, max - 4 - file.size()) + "...\\" + file);
    }
    return CkvString(cut(file, max - 3) + "...");
}

}  // namespace

CkvString MFrame::title() const {
    const CkvString app = mapp_text("Korvante");
    const MseqEntity* file = shown_file();
    if (!file) return app;
    CkvString name = file->name;
    if (name.empty()) {
        mseq_path::name_from_file_path(file->full_path, &name);
    }
    CkvString out = name;
    if (file->flags & MEF_MODIFIED) out += " *";
    out += " [" + compact_path(file->full_path, 31) + "] - ";
    out += app;
    return out;
}

// ---- Edit list basics ----

MseqEntity* MFrame::shown_file() const {
    if (edit_selection_ < 0 || edit_selection_ >= static_cast<int>(edit_list_.size()))
        return nullptr;
    return edit_list_[static_cast<size_t>(edit_selection_)].entity.get();
}

int MFrame::entry_of(const MseqEntity* entity) const {
    for (size_t i = 0; i < edit_list_.size(); ++i) {
        if (edit_list_[i].entity.get() == entity) return static_cast<int>(i);
    }
    return -1;
}

void MFrame::select_edit(int index) {
    edit_selection_ = index >= 0 && index < static_cast<int>(edit_list_.size()) ? index : -1;
    port_->refresh(MAppRefresh::editor_view);
    port_->refresh(MAppRefresh::title);
}

int MFrame::open_in_edit_list(MseqEntity* entity, MseqObject* node, bool select) {
    if (!entity) return -1;
    int index = entry_of(entity);
    if (index < 0) {
        MAppEditEntry entry;
        entry.entity = ref_ptr<MseqEntity>(entity);
        entry.node = node;
        edit_list_.push_back(std::move(entry));
        index = static_cast<int>(edit_list_.size()) - 1;
        // The editor object is made through the entity (the editing layer builds it); files
        // without an editor are shown in the about view. A music editor gets the frame's two
        // spare nodes as its clipboards and asks its questions through the frame's port.
        MgenRef* editor = MseqDesk::instance().editor_of(entity);
        if (MgenRef* m = editor ? editor->cast(MKIND_EDT_MUSIC) : nullptr) {
            auto* music = static_cast<MedtMusic*>(m);
            music->sequence_clipboard = &impl_->spare_nodes[0];
            music->leaf_clipboard = &impl_->spare_nodes[1];
            music->port = port_;
        }
        // A file that does not exist yet (a link opened after "create it?") is marked modified
        // when it is first opened, so that save-all and the exit question write it. Content kept
        // inside its book's file is the book's to write.
        const bool own_file = node ? !node->is_with() : !entity->full_path.empty();
        if (own_file) MseqDesk::instance().mark_new_for_save(entity);
        port_->refresh(MAppRefresh::edit_list);
    }
    if (select) select_edit(index);
    return index;
}

namespace {

// The editor of an entity open in the edit list, as the editing layer's base; nullptr when the
// entity has no editor.
MedtEntity* editor_base(const MseqEntity* entity) {
    MgenRef* editor = MseqDesk::instance().editor_of(const_cast<MseqEntity*>(entity));
    return editor && (editor->kind() & 0xFFFF0000u) == 0x80030000u
               ? static_cast<MedtEntity*>(editor)
               : nullptr;
}

}  // namespace

void MFrame::set_play_cursor(MseqEntity* entity, int32_t tick) {
    const int i = entry_of(entity);
    if (i < 0) return;
    edit_list_[static_cast<size_t>(i)].play_tick = tick;
    // The editor keeps the cursor in its display units; the entry keeps the tick it was set to,
    // so that a cursor between two pixels returns exactly.
    if (MedtEntity* editor = editor_base(entity)) editor->set_play_tick(tick);
    port_->refresh(MAppRefresh::play_cursor, nullptr, entity);
}

int32_t MFrame::play_cursor(const MseqEntity* entity) const {
    const int i = entry_of(entity);
    return i < 0 ? 0 : edit_list_[static_cast<size_t>(i)].play_tick;
}

MAppView MFrame::shown_view() const {
    const MseqEntity* file = shown_file();
    MedtEntity* editor = file ? editor_base(file) : nullptr;
    if (!editor) return MAppView::about;
    if (editor->cast(MKIND_EDT_MUSIC)) return MAppView::music;
    if (editor->cast(MKIND_EDT_MAP_STAGE)) return MAppView::stage;
    if (editor->cast(MKIND_EDT_MAP_CHORD)) return MAppView::chord;
    return MAppView::about;
}

void MFrame::view_failed() {
    port_->warn(mapp_text("[エラー]\nエディタビューを表示できませんでした。"));
    select_edit(-1);
}

void MFrame::design_failed() {
    port_->warn(mapp_text("デザインにエラーがあります。"));
}
