// The main frame's playback part: play, stop, pause, play the selected link, the followed play
// cursor, export to a Standard MIDI File, the output devices and releasing them.
#include "app/MFramePlayback.h"

#include "app/MFrame.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <thread>

#include "app/MAppAudition.h"
#include "app/MAppAuditionSetting.h"
#include "app/MAppProblem.h"
#include "app/MAppText.h"
#include "app/MAppTexts.h"
#include "edit/McmdKind.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "model/core/MseqType.h"
#include "model/core/parse_int.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrack.h"
#include "platform/FileSystem.h"
#include "platform/MidiOut.h"
#include "platform/Shell.h"
#include "platform/SynthPort.h"
#include "platform/TextCodec.h"
#include "play/devices/MplyDevice.h"
#include "play/devices/MplyDeviceDMusic.h"
#include "play/devices/MplyDeviceSystem.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "play/export/MplyExport.h"
#include "text/MrecSettings.h"

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

MFramePlayback::MFramePlayback(MFrame& frame, const MAppServices& services)
    : frame_(frame), port_(services.port) {
    midi_ = services.midi;
    if (!midi_) {
        own_midi_ = kv_midi::make_system_midi_out();
        midi_ = own_midi_.get();
    }
    synth_ = services.synth;
    if (!synth_) {
        own_synth_ = kv_synth::make_fluidsynth_port("", false);
        synth_ = own_synth_.get();
    }
}

MFramePlayback::~MFramePlayback() {
    shut_down();
}

void MFramePlayback::start_services(KvClock* clock) {
    player_ = std::make_unique<MplyPlayer>(clock);
    exporter_ = std::make_unique<MplyExport>();
    system_device_ = std::make_unique<MplyDeviceSystem>(mseq_config(), *midi_, clock);
    synth_device_ = std::make_unique<MplyDeviceDMusic>(mseq_config(), *synth_, clock);
    audition_ = std::make_unique<MAppAudition>(*this, *port_, clock);
    choose_device();
}

void MFramePlayback::set_audition(bool on) {
    if (!audition_) return;
    audition_->set_enabled(on);
    if (!mapp_save_audition_setting(on)) port_->status(mapp_text(mapp_msg::AUDITION_SAVE_FAILED));
    port_->refresh(MAppRefresh::menus);
}

void MFramePlayback::load_audition_setting() {
    const MAppAuditionSetting s = mapp_load_audition_setting();
    if (audition_) audition_->set_enabled(s.on);
    if (!s.damage.empty())
        port_->status(mapp_format(mapp_msg::AUDITION_SETTING_DAMAGED, s.damage.c_str()));
}

void MFramePlayback::audition_phrase(MseqObject* leaf) {
    if (!audition_ || !audition_->enabled() || playing()) return;
    MseqEntity* shown = frame_.shown_file();
    auto* music = shown && shown->type() == MTYPE_LEAF_MUSIC
                      ? shown->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC)
                      : nullptr;
    MgenRef* editor = music ? MseqDesk::instance().editor_of(music) : nullptr;
    MgenRef* edt = editor ? editor->cast(MKIND_EDT_MUSIC) : nullptr;
    if (!edt) {
        port_->status(mapp_text(kv_text(mapp_msg::PHRASE_AUDITION_NO_MUSIC)));
        return;
    }
    if (!leaf || leaf->type != MTYPE_LEAF_PHRASE) {
        port_->status(mapp_text(kv_text(mapp_msg::PHRASE_AUDITION_NO_PHRASE)));
        return;
    }
    ref_ptr<MseqEntity> entity = mseq_open(leaf);
    auto* phrase = entity ? entity->cast_to<MseqMusic>(MTYPE_LEAF_PHRASE) : nullptr;
    if (!phrase) {
        port_->status(mapp_text(kv_text(mapp_msg::PHRASE_AUDITION_UNREADABLE)));
        return;
    }
    // The current track when it is a phrase track, else the music's first.
    const auto* medt = static_cast<MedtMusic*>(edt);
    const MedtTrack* current = medt->current();
    MSEQ_ID track = current && current->node() && current->node()->type == MTYPE_TRACK_REFER
                        ? current->id()
                        : 0;
    for (MseqObject* top = music->root(); top && !track; top = top->next()) {
        for (MseqObject* t = top; t && !track; t = t->next_in(top)) {
            if (t->type == MTYPE_TRACK_REFER) track = t->id;
        }
    }
    if (!track) {
        port_->status(mapp_text(kv_text(mapp_msg::PHRASE_AUDITION_NO_TRACK)));
        return;
    }
    const int32_t tick = std::max(edit_cursor_tick(), 0);
    if (audition_->audition_phrase(music, track, tick, phrase)) return;
    // A missing output has said so itself.
    if (!audition_->output_missing())
        port_->status(mapp_text(kv_text(mapp_msg::PHRASE_AUDITION_SILENT)));
}

bool MFramePlayback::audition_on() const {
    return audition_ && audition_->enabled();
}

void MFramePlayback::shut_down() {
    settle_synth(true);
    audition_.reset();
    player_.reset();
    exporter_.reset();
    device_ = nullptr;
    system_device_.reset();
    synth_device_.reset();
}

void MFramePlayback::choose_device() {
    settle_synth(true);
    // What sounds on the device left behind is released there first.
    if (audition_) audition_->silence();
    if (mseq_config().m_DirectMusic == 0) {
        device_ = system_device_.get();
        return;
    }
    device_ = synth_device_.get();
    if (!synth_device_ || synth_device_->IsDeviceOpen()) return;
    // A port that fails to open here is opened again, with the message, at the first play.
    MplyDeviceDMusic* synth = synth_device_.get();
    const kv_synth::port_id wanted = mseq_config().m_DmPortGUID;
    synth_opened_.store(false, std::memory_order_relaxed);
    synth_opening_ = std::thread([this, synth, wanted] {
        synth->OpenPort(wanted);
        synth_opened_.store(true, std::memory_order_release);
    });
}

bool MFramePlayback::settle_synth(bool wait) {
    if (!synth_opening_.joinable()) return true;
    if (!wait && !synth_opened_.load(std::memory_order_acquire)) return false;
    synth_opening_.join();
    return true;
}

MplyDevice* MFramePlayback::device() {
    settle_synth(true);
    return device_;
}

bool MFramePlayback::device_open() {
    return settle_synth(false) && device_ && device_->IsDeviceOpen();
}

void MFramePlayback::check_device() {
    std::vector<CkvString> names;
    const uint32_t count = midi_->device_count();
    for (uint32_t i = 0; i < count; ++i) {
        kv_midi::midi_out_caps caps;
        names.push_back(midi_->device_caps(i, &caps) ? CkvString(caps.name) : CkvString());
    }
    // The mapper is the system's own choice among the devices: like the system's mapper it
    // exists whatever devices are installed, so it passes whatever name is stored.
    if (mseq_config().m_DeviceID == MDEV_MAPPER) return;
    if (mrec_settings::check_output_device(names) == 0) {
        port_->inform(mapp_text(mapp_msg::NO_PLAYBACK_DEVICE));
    }
}

void MFramePlayback::stop(int32_t timeout_ms) {
    if (audition_) audition_->silence();
    if (player_ && player_->Running()) player_->Stop(timeout_ms);
}

void MFramePlayback::lock_editors(bool locked) {
    frame_.edits().set_read_only(locked);
    port_->refresh(MAppRefresh::play_state);
}

bool MFramePlayback::playing() const {
    return player_ && player_->Running();
}

void MFramePlayback::pump() {
    if (audition_) audition_->pump();
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
                    frame_.set_play_cursor(followed_.get(), static_cast<int32_t>(m.param2));
                break;
            default:
                break;
        }
    }
}

bool MFramePlayback::play_entity(MseqEntity* entity, int32_t start_tick) {
    if (!mapp_playable(entity) || !device()) return false;
    std::unique_ptr<MplyEntity> music(entity->create_player_model());
    if (!music) return false;
    // The run's worker takes the device: an audition still sounding ends first.
    if (audition_) audition_->silence();
    lock_editors(true);
    play_start_ = start_tick;
    play_end_ = MPE_PLAYING;
    player_->SetStopNotify(&messages_, MPLY_MSG_STOPPED);
    player_->SetStartNotify(&messages_, MPLY_MSG_STARTED);
    const uint32_t interval = static_cast<uint32_t>(mseq_config().m_SeekInterval);
    player_->SetPositionNotify(&messages_, kFollowMessage, interval ? interval : 1);
    player_->SetStartTick(start_tick);
    if (!player_->Start(device_, music)) {
        play_end_ = MPE_STOPPED;
        lock_editors(false);
        // The device is tried again on the next play: the output opens it at every start.
        if (!device_->IsDeviceOpen()) warn_device_failed();
        return false;
    }
    if (!following_) {
        following_ = true;
        followed_ = ref_ptr<MseqEntity>(entity);
    }
    return true;
}

void MFramePlayback::play_toggle() {
    if (playing()) {
        request_stop(MPE_STOPPED);
        return;
    }
    MseqEntity* shown = frame_.shown_file();
    if (!mapp_playable(shown)) return;
    play_entity(shown, frame_.play_cursor(shown));
}

void MFramePlayback::play_link() {
    if (playing()) {
        request_stop(MPE_PAUSED);
        return;
    }
    MseqObject* node = frame_.selected_node();
    if (!node) return;
    MseqEntity* shown = frame_.shown_file();
    if (shown && node->entity() == shown) {
        play_toggle();
        return;
    }
    ref_ptr<MseqEntity> content = mseq_open(node);
    play_entity(content.get(), 0);
}

void MFramePlayback::describe_device(CkvString* name, std::string* reason) const {
    const MseqConfig& c = mseq_config();
    if (device_ == synth_device_.get()) {
        *name = c.m_DmPortName.empty() ? CkvString("FluidSynth") : c.m_DmPortName;
        *reason = "the synthesizer did not start";
        return;
    }
    kv_midi::midi_out_caps caps;
    if (c.m_DeviceID == MDEV_NONE) {
        *name = mapp_text(mapp_msg::DEVICE_NONE);
        *reason = "no output device is chosen";
        return;
    }
    if (midi_->device_caps(c.m_DeviceID, &caps)) {
        *name = CkvString(caps.name);
    } else if (c.m_DeviceID == MDEV_MAPPER) {
        *name = mapp_text(mapp_msg::DEVICE_MAPPER);
    } else {
        *name = c.m_DeviceName.empty() ? CkvString(std::to_string(c.m_DeviceID)) : c.m_DeviceName;
    }
    *reason = midi_->last_error();
}

void MFramePlayback::warn_device_failed() {
    CkvString name;
    std::string reason;
    describe_device(&name, &reason);
    if (reason.empty()) reason = "the device did not open";
    port_->warn(mapp_format(mapp_msg::DEVICE_OPEN_FAILED, name.c_str(), reason.c_str()));
}

void MFramePlayback::warn_output_lost() {
    CkvString name;
    std::string reason;
    describe_device(&name, &reason);
    if (reason.empty()) reason = "the device went away";
    port_->warn(mapp_format(mapp_msg::DEVICE_LOST, name.c_str(), reason.c_str()));
}

void MFramePlayback::end_run_now() {
    if (!playing()) return;
    play_end_ = MPE_PAUSED;
    player_->Stop(3000);
    // The end notice is posted once the worker is idle; it is handled before the next start.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(3000);
    while (following_ && std::chrono::steady_clock::now() < until) {
        pump();
        if (following_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void MFramePlayback::move_to(int32_t tick) {
    MseqEntity* shown = frame_.shown_file();
    if (!mapp_playable(shown)) return;
    if (tick < 0) tick = 0;
    if (!playing()) {
        frame_.set_play_cursor(shown, tick);
        return;
    }
    end_run_now();
    frame_.set_play_cursor(shown, tick);
    play_entity(shown, tick);
}

int32_t MFramePlayback::edit_cursor_tick() const {
    MseqEntity* shown = frame_.shown_file();
    MgenRef* editor = shown ? MseqDesk::instance().editor_of(shown) : nullptr;
    MgenRef* m = editor ? editor->cast(MKIND_EDT_MUSIC) : nullptr;
    if (!m) return -1;
    const auto* music = static_cast<MedtMusic*>(m);
    if (!music->current()) return -1;
    const int64_t tick =
        int64_t{music->cursor()} * MseqTrack::kTicksPerBar / std::max(1, music->current()->beats());
    return static_cast<int32_t>(std::min<int64_t>(tick, INT32_MAX));
}

void MFramePlayback::play_from_edit_cursor() {
    const int32_t tick = edit_cursor_tick();
    if (tick < 0) return;
    MseqEntity* shown = frame_.shown_file();
    end_run_now();
    frame_.set_play_cursor(shown, tick);
    play_entity(shown, tick);
}

int64_t MFramePlayback::end_tick(MseqEntity* entity) {
    auto* music = entity ? entity->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC) : nullptr;
    if (!music) return 0;
    int64_t end = 0;
    for (MseqObject* t = music->root(); t; t = t->next_in(music->root())) {
        ref_ptr<MseqEntity> e = mseq_open(t);
        if (auto* track = e ? e->cast_to<MseqTrack>(MTYPE_TRACK) : nullptr)
            end = std::max(end, track->length_ticks());
    }
    return end;
}

void MFramePlayback::request_stop(MAppPlayEnd end) {
    if (audition_) audition_->silence();
    if (!playing()) return;
    play_end_ = end;
    player_->Stop(3000);
}

void MFramePlayback::on_play_end(int32_t reached) {
    // Position messages still queued behind the end notice belong to the run that ended.
    KvMessage m;
    std::vector<KvMessage> later;
    while (messages_.take(&m)) {
        if (m.message != kFollowMessage) later.push_back(m);
    }
    if (followed_) {
        if (play_end_ == MPE_PAUSED) {
            frame_.set_play_cursor(followed_.get(), reached);
        } else {
            frame_.set_play_cursor(followed_.get(), play_start_);
        }
    }
    if (play_end_ == MPE_PLAYING) play_end_ = MPE_STOPPED;
    if (player_->OutputLost()) warn_output_lost();
    following_ = false;
    followed_ = nullptr;
    MseqDesk::instance().trim_cache();
    lock_editors(false);
    port_->refresh(MAppRefresh::room_tree);
    for (const KvMessage& k : later)
        messages_.post(k);
}

CkvString MFramePlayback::export_refusal(const CkvString& path) {
    const std::string host = kv_fs::to_host(path);
    const std::string shown = kv_codec::cp932_from_utf8(host);
    // The files of the open library (books are opened to list their leaves) and every file the
    // desk holds: an export replaces its target, and none of these may become MIDI bytes.
    bool owned = false;
    if (MseqObject* top = frame_.room_node()) {
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
        return mapp_format(mapp_msg::EXPORT_OVER_LIBRARY_FILE, shown.c_str());
    }
    // Only a regular file is replaced; a symbolic link is not followed.
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::symlink_status(host, ec);
    if (!ec && std::filesystem::exists(st) && !std::filesystem::is_regular_file(st)) {
        return mapp_format(mapp_msg::EXPORT_NOT_REGULAR, shown.c_str());
    }
    return {};
}

void MFramePlayback::export_midi() {
    MseqEntity* leaf = frame_.shown_file();
    if (!mapp_playable(leaf) || playing()) return;
    MAppFileRequest request;
    request.kind = MAppFileKind::save;
    request.title = mapp_text(mapp_msg::SAVE_AS_MIDI);
    request.default_ext = "mid";
    request.filter = mapp_text(mapp_msg::FILTER_MIDI_OUT);
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
            port_->status(mapp_format(mapp_msg::MIDI_WRITTEN, mapp_shown_path(path).c_str()));
            break;
        case MplyExportResult::not_started:
            break;
        case MplyExportResult::timed_out:
            port_->warn(mapp_text(mapp_msg::EXPORT_BUFFER_TIMEOUT));
            break;
        case MplyExportResult::empty:
            port_->warn(mapp_text(mapp_msg::EXPORT_BLOCKS_FAILED));
            break;
        case MplyExportResult::write_failed:
            port_->warn(mapp_text(mapp_msg::EXPORT_WRITE_FAILED));
            break;
    }
}

void MFramePlayback::release_device() {
    if (playing() || !device()) return;
    if (device_->CloseDevice()) {
        port_->warn(mapp_text(mapp_msg::DEVICE_RELEASED));
    } else {
        port_->warn(mapp_text(mapp_msg::DEVICE_RELEASE_FAILED));
    }
    port_->refresh(MAppRefresh::menus);
}
