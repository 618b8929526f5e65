#include "app/MFrame.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

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
#include "model/track/MseqTrack.h"
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

// The services the frame owns when the caller gave none, and the placeholder content.
struct MFrame::Impl {
    std::unique_ptr<kv_shell::shell> own_shell;
    kv_shell::shell* shell = nullptr;
    ref_ptr<MseqEntity> placeholder;
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
    library_ = std::make_unique<MFrameLibrary>(*this);
    edits_ = std::make_unique<MFrameEditList>(*this);
    playback_ = std::make_unique<MFramePlayback>(*this, services);
    impl_->shell = services.shell;
    if (!impl_->shell) {
        impl_->own_shell = kv_shell::make_desktop_shell();
        impl_->shell = impl_->own_shell.get();
    }
    recovery_ = std::make_unique<MAppRecovery>(services.recovery);
    clock_ = services.clock ? services.clock : &KvClock::system();
    autosave_from_ms_ = clock_->now_ms();
    playback_->start_services(services.clock);
    midi_input_ = std::make_unique<MAppMidiInput>(
        services.midi_in, *port_, [this] { return shown_editor(); },
        [this] { return playing() ? int64_t{player().current_tick()} : int64_t{-1}; },
        services.clock);
    g_frame = this;
}

MFrame::~MFrame() {
    // The end of a run that crashed does not come here: its copies stay for the next start.
    recovery_->remove_own();
    // Closing the library also closes the editors the process-wide desk keeps for the edit
    // list, so that none outlives the entities it edits.
    close_room();
    playback_->shut_down();
    midi_input_.reset();
    // The process-wide settings stay for the next frame of this process (tests make several):
    // they return to their defaults, as a fresh process would find them.
    mseq_config().reset();
    mseq_config().flags = MEF_NEW;
    mrec_settings::scale_map().reset();
    mrec_settings::scale_map().flags = MEF_NEW;
    mrec_settings::scale_map().full_path.clear();
    g_frame = nullptr;
}

kv_shell::shell* MFrame::impl_shell() const {
    return impl_->shell;
}

// ---- Start-up ----

bool MFrame::create(const CkvString& command_line) {
    if (!load_configuration()) return false;
    load_autosave_setting();
    playback_->load_audition_setting();
    midi_input_->load_setting();
    playback_->check_device();
    playback_->choose_device();
    // The version every file header carries is compiled in; there is nothing to read that could
    // fail, so the version warning of the start-up never shows.
    MseqMapWord::builtin();
    load_scale_map();
    open_command_line(command_line);
    port_->refresh(MAppRefresh::menus);
    if (!room_node()) open_last_room();
    offer_recovery();
    port_->refresh(MAppRefresh::title);
    return true;
}

bool MFrame::load_configuration() {
    uint32_t error = 0;
    MseqLoadProblem why;
    if (mrec_settings::load_config(mrec_settings::kConfigPath, &error, &why)) return true;
    port_->warn(
        CkvString(mapp_text(mapp_msg::CONFIG_LOAD_FAILED).str() + mapp_problem_lines(why).str()));
    return false;
}

void MFrame::load_scale_map() {
    uint32_t error = 0;
    MseqLoadProblem why;
    const bool read = mrec_settings::load_scale_map(mrec_settings::kScaleMapPath, &error, &why);
    // An empty list from a file that is there is remembered, so that exit asks before it
    // writes over what the file holds.
    scale_map_problem_ = why.reported() && !why.absent ? why : MseqLoadProblem{};
    if (!read) {
        port_->warn(CkvString(mapp_text(mapp_msg::SCALE_MAP_DAMAGED).str() +
                              mapp_problem_lines(why).str()));
        return;
    }
    if (mrec_settings::scale_map().flags & MEF_NEW) {
        port_->warn(CkvString(mapp_text(mapp_msg::SCALE_MAP_MISSING).str() +
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
            mapp_format(mapp_msg::LIBRARY_LOAD_FAILED, mapp_shown_path(CkvString(path)).c_str());
        if (why.reported())
            text += mapp_text(mapp_msg::FILE_LINE_REASON) + mapp_problem_reason(why);
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
    } else if (MseqFullPath folder; mseq_path::executable_path("mymusic", &folder)) {
        path = MseqFullPath(mapp_demo_library(folder));
    } else {
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
    // A host path has "/" between its folders, a Windows-form one "\\".
    const char sep = !path.empty() && path[0] == '/' ? '/' : '\\';
    const size_t slash = path.rfind_char(sep);
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
        return CkvString(cut(path, max - 4 - file.size()) + "..." + sep + file);
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
    out += " [" + compact_path(mapp_shown_path(file->full_path), 31) + "] - ";
    out += app;
    return out;
}

// ---- The parts' operations ----

MseqEntity* MFrame::shown_file() const {
    return edits_->shown_file();
}

MAppView MFrame::shown_view() const {
    return edits_->shown_view();
}

void MFrame::select_edit(int index) {
    edits_->select(index);
}

int MFrame::open_in_edit_list(MseqEntity* entity, MseqObject* node, bool select) {
    return edits_->open(entity, node, select);
}

void MFrame::set_play_cursor(MseqEntity* entity, int32_t tick) {
    edits_->set_play_cursor(entity, tick);
}

int32_t MFrame::play_cursor(const MseqEntity* entity) const {
    return edits_->play_cursor(entity);
}

void MFrame::move_play_cursor(int32_t tick) {
    playback_->move_to(tick);
}

bool MFrame::rename_node(MseqObject* node, const CkvString& name) {
    return library_->rename_node(node, name);
}

const char* MFrame::file_mark(const MseqObject* node) const {
    return library_->file_mark(node);
}

MAppFileRequest MFrame::browse_request(MAppDialog dialog, const std::string& field,
                                       const MAppFields& current) const {
    return library_->browse_request(dialog, field, current);
}

bool MFrame::check_browsed(const std::string& field, const CkvString& path) {
    return library_->check_browsed(field, path);
}

bool MFrame::playing() const {
    return playback_->playing();
}

MedtMusicInvoker* MFrame::shown_editor() const {
    MseqEntity* shown = shown_file();
    MgenRef* made = shown ? MseqDesk::instance().editor_of(shown) : nullptr;
    return made ? static_cast<MedtMusicInvoker*>(made->cast(MKIND_EDT_MUSIC_INVOKER)) : nullptr;
}

void MFrame::toggle_live_record() {
    if (midi_input_->mode() == MAppRecordMode::live) {
        // The take is entered once the run has ended (pump).
        if (playing())
            playback_->request_stop(MPE_STOPPED);
        else
            midi_input_->set_mode(MAppRecordMode::off);
        return;
    }
    MseqEntity* shown = shown_file();
    const int32_t tick = playback_->edit_cursor_tick();
    if (!shown || tick < 0) return;
    // One bar of count-in before the edit cursor, where the music has one.
    midi_input_->start_live(tick);
    if (playback_->play_entity(shown, std::max(0, tick - MseqTrack::kTicksPerBar)))
        midi_input_->run_started();
    else
        midi_input_->set_mode(MAppRecordMode::off);
}

void MFrame::pump() {
    playback_->pump();
    // After the run's end is handled: the editors are writable again for a take.
    // (None at the frame's end, while the library closes.)
    if (midi_input_) {
        midi_input_->pump();
        if (midi_input_->stop_asked() && playing()) playback_->request_stop(MPE_STOPPED);
    }
    autosave_when_due();
}

bool MFrame::wait_play_end(uint32_t timeout_ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        pump();
        if (!playing() && !playback_->following()) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void MFrame::view_failed() {
    port_->warn(mapp_text(mapp_msg::EDITOR_VIEW_FAILED));
    select_edit(-1);
}

void MFrame::design_failed() {
    port_->warn(mapp_text(mapp_msg::DESIGN_ERROR));
}
