#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "app/MAppUserPort.h"
#include "model/core/CkvString.h"
#include "model/core/MseqEntity.h"
#include "model/core/ref_ptr.h"
#include "platform/MessageQueue.h"

class KvClock;
class MAppAudition;
class MFrame;
class MseqEntity;
class MseqObject;
class MplyDevice;
class MplyDeviceDMusic;
class MplyDeviceSystem;
class MplyExport;
class MplyPlayer;
struct MAppServices;

namespace kv_midi {
class midi_out;
}
namespace kv_synth {
class synth_port;
}

// How the last playback ended.
enum MAppPlayEnd : int { MPE_PLAYING = 0, MPE_STOPPED = 1, MPE_PAUSED = 2 };

// The main frame's playback part: the player and its notifications, the output devices and the
// one the settings choose, the followed play cursor, and the export to a Standard MIDI File.
// User-interface thread only (the player's worker reaches it only through posted messages).
class MFramePlayback {
public:
    // Takes the outputs of `services` (or makes the system's).
    MFramePlayback(MFrame& frame, const MAppServices& services);
    ~MFramePlayback();
    MFramePlayback(const MFramePlayback&) = delete;
    MFramePlayback& operator=(const MFramePlayback&) = delete;

    // Builds the player, the exporter and both devices on `clock` (null: the system clock) and
    // chooses the device; the frame calls it once its configuration is there.
    void start_services(KvClock* clock);

    // The system MIDI output the devices use.
    kv_midi::midi_out& midi() const { return *midi_; }
    // The synthesizer the devices use.
    kv_synth::synth_port& synth() const { return *synth_; }
    // The device the settings choose (the synthesizer's or the system's). The synthesizer,
    // when chosen and not open, starts opening on a thread of its own (its sound font takes a
    // second or more to load), so that the first play does not wait for it.
    void choose_device();
    // The chosen device, once a synthesizer that is being opened is ready (waits for it).
    MplyDevice* device();
    // The chosen device without waiting: the one to compare with, not to use.
    MplyDevice* chosen_device() const { return device_; }
    // True when the chosen device is open; false while the synthesizer is still being opened.
    bool device_open();
    // Says so when the configured MIDI device is not among the system's.
    void check_device();

    // The audition of placed notes; null before start_services and after shut_down.
    MAppAudition* audition() const { return audition_.get(); }
    // Switches the audition on or off and keeps the choice in its settings file; a failed write
    // is said in the status bar (the switch still changes).
    void set_audition(bool on);
    bool audition_on() const;
    // Takes the switch from its settings file (a damaged file is said in the status bar and
    // leaves it on); the frame calls it once its configuration is there.
    void load_audition_setting();
    // Hears the phrase leaf `leaf` (of any book) as a phrase track of the shown music would play
    // it at the edit cursor: on the current track when it is a phrase track, else on the
    // music's first one (MAppAudition::audition_phrase). The music does not change. Nothing
    // while the audition is off or a run plays; without a shown music, a phrase, a phrase track
    // or anything to hear, the status bar says why.
    void audition_phrase(MseqObject* leaf);

    MplyPlayer& player() { return *player_; }
    bool playing() const;
    MAppPlayEnd play_end() const { return play_end_; }
    int32_t play_start() const { return play_start_; }
    // The entity the play cursor follows while a run lasts; nullptr otherwise.
    const MseqEntity* followed() const { return followed_.get(); }
    void forget_followed() { followed_ = nullptr; }
    // True while the end of a run has not been handled yet.
    bool following() const { return following_; }

    // Handles the player's posted notifications (end, start, the followed position).
    void pump();
    // Plays `entity` from `start_tick` on the chosen device. False when it cannot start.
    bool play_entity(MseqEntity* entity, int32_t start_tick);
    // Plays the shown file from its play cursor, or stops a run.
    void play_toggle();
    // Plays the selected node's content from its start, or pauses a run.
    void play_link();
    // Moves the shown file's play cursor to `tick`; a run starts over from there.
    void move_to(int32_t tick);
    // Plays the shown music from its edit cursor (a run starts over from there).
    void play_from_edit_cursor();
    // The tick of the shown music's edit cursor; -1 without a music editor or a current track.
    int32_t edit_cursor_tick() const;
    // The end of the entity's last block in ticks (0 for an empty music).
    static int64_t end_tick(MseqEntity* entity);
    // Asks a run to end; `end` says how (stopped or paused).
    void request_stop(MAppPlayEnd end);
    // Stops a run, waiting up to `timeout_ms`.
    void stop(int32_t timeout_ms);
    // File -> export of the shown file, after the file dialog.
    void export_midi();
    // Closes the chosen device between runs, after saying whether it could.
    void release_device();
    // Drops the player, the exporter and the devices, in that order (the frame's end).
    void shut_down();

    // Why File -> export (or render) must not write to `path`, as the message to show; empty
    // when it may.
    CkvString export_refusal(const CkvString& path);

private:
    // Ends a run at once, handling its end notice, so that the next one may start.
    void end_run_now();
    // The message of a start that the output refused: the device, the system's reason and the
    // way to the settings.
    void warn_device_failed();
    // The message of a run that stopped because the system took its output away.
    void warn_output_lost();
    // The chosen device's name and the system's reason for its last failure.
    void describe_device(CkvString* name, std::string* reason) const;
    // The end notice of a run that reached `reached` (ticks).
    void on_play_end(int32_t reached);
    void lock_editors(bool locked);
    // Waits for the synthesizer's opening thread (when `wait`, or when it is done); true when
    // no opening is under way any more.
    bool settle_synth(bool wait);

    MFrame& frame_;
    MAppUserPort* port_;
    std::unique_ptr<kv_midi::midi_out> own_midi_;
    std::unique_ptr<kv_synth::synth_port> own_synth_;
    kv_midi::midi_out* midi_ = nullptr;
    kv_synth::synth_port* synth_ = nullptr;
    std::unique_ptr<MplyPlayer> player_;
    std::unique_ptr<MplyExport> exporter_;
    std::unique_ptr<MplyDeviceSystem> system_device_;
    std::unique_ptr<MplyDeviceDMusic> synth_device_;
    // Destroyed before the devices: its end sends the note-offs of what still sounds.
    std::unique_ptr<MAppAudition> audition_;
    MplyDevice* device_ = nullptr;
    // Opens the synthesizer ahead of the first play; the device and its port belong to it until
    // it is joined.
    std::thread synth_opening_;
    std::atomic<bool> synth_opened_{false};  // the opening thread has finished
    KvMessageQueue messages_;
    int32_t play_start_ = 0;
    MAppPlayEnd play_end_ = MPE_STOPPED;
    bool following_ = false;
    ref_ptr<MseqEntity> followed_;
};
