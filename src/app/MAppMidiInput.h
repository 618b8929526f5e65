#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "edit/MedtHeldKeys.h"
#include "edit/MedtLiveTake.h"
#include "edit/MedtNoteValue.h"
#include "edit/MedtStepEntry.h"
#include "platform/MidiIn.h"

class KvClock;
class MAppUserPort;
class MedtMusicInvoker;

// What the keys played on the MIDI input do.
enum class MAppRecordMode {
    off,   // nothing: the keys are only listened to for the port's state
    step,  // step entry at the edit cursor of the shown music
    live,  // kept with their times while a run plays, entered when it stops
};

// The MIDI input of the application: the port the user chose (kept in its settings file), the
// messages drained from it on the user-interface thread's timer (pump), and what they do in
// the recording mode in force. In step mode the keys held together are entered at the shown
// music's edit cursor (MedtStepEntry) with the chosen note value, each entry one undo group and
// heard through the audition as every placed block is; on a chord track the chord the keys
// make is reported when the nearest palette chord is not exactly it. A port that goes away is
// said in the status bar, the connection closed and recording stopped (what was entered stays).
// Garbage on the port never reaches here (the platform's decoder drops it); a note-off without
// its note-on does nothing. User-interface thread only.
class MAppMidiInput {
public:
    // Reads `input` (null: the system's input, made here), reports through `port`, and enters
    // into the editor `target` gives (null when no music is shown). `run_tick` says the tick a
    // run has reached, -1 while none plays; `clock` (null: the system's) is the clock the
    // messages' times count on, in its milliseconds times 1000.
    MAppMidiInput(kv_midi::midi_in* input, MAppUserPort& port,
                  std::function<MedtMusicInvoker*()> target, std::function<int64_t()> run_tick,
                  KvClock* clock);
    ~MAppMidiInput();
    MAppMidiInput(const MAppMidiInput&) = delete;
    MAppMidiInput& operator=(const MAppMidiInput&) = delete;

    kv_midi::midi_in& input() { return *input_; }
    // The names of the input ports now present, in the input's order.
    std::vector<std::string> port_names();

    // Connects the port named `name` (empty: none) and keeps the choice in the settings file;
    // false, with the reason in the status bar, when the port is not there or refuses (the
    // choice is kept all the same, for when the port comes back).
    bool choose(const std::string& name);
    // The port chosen (empty: none) and whether it is connected.
    const std::string& chosen() const { return chosen_; }
    bool connected() const { return input_->is_open(); }
    // Takes the choice from the settings file and connects it when the port is there (a
    // missing port is said once in the status bar); a damaged file is said and means none.
    void load_setting();

    MAppRecordMode mode() const { return mode_; }
    // Switches the mode; the keys held so far are forgotten.
    void set_mode(MAppRecordMode mode);
    const MedtNoteValue& note_value() const { return value_; }
    void set_note_value(const MedtNoteValue& value);

    // Live recording from `from_tick` on (what is played before, during the count-in of a run
    // started a bar earlier, is not kept), quantised with the strength in force. The run is the
    // caller's to start; when it ends (pump sees it) the take is entered on the shown music's
    // current track as one undo group and the mode goes off.
    void start_live(int64_t from_tick);
    // The caller's run for the take has started: when it ends, even before pump has seen it
    // play (stopped at once), the take is entered and the mode goes off.
    void run_started() { run_seen_ = true; }
    // How far live notes are moved onto the grid, 0-100 percent (100 by default).
    int32_t strength() const { return strength_; }
    void set_strength(int32_t percent) {
        strength_ = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    }
    // True when the port went away during a live recording: its run is to be stopped, and its
    // end enters the take.
    bool stop_asked() const { return stop_asked_; }
    // The last take's entry (after a live run ended).
    const MedtTakeEntry& last_take() const { return last_take_; }

    // Drains the port: a lost port is reported and closed, and recording stops; every message
    // that arrived is taken. The frame's timer calls it.
    void pump();
    // One message, as if it had arrived on the port (the script's midi-in feeds it here).
    void take(const kv_midi::midi_in_message& message);

    // The last step entry's result and how its chord matched (on a chord track).
    MedtEntryResult last_result() const { return last_result_; }
    const MedtChordMatch& last_chord() const { return last_chord_; }
    // Pitch classes (0-11 above C) as letters with sharps, "C#, E"; "-" for none. Any thread.
    static std::string pitch_names(const std::vector<int32_t>& pcs);

private:
    void step_keys(const std::vector<int32_t>& keys);
    void report_chord(MedtMusicInvoker& editor);
    void live_message(const kv_midi::midi_in_message& m);
    // The run's tick at a message time, from the last two samples of the run's position.
    int64_t tick_at(uint64_t at_us) const;
    void sample_run();
    void finish_live();

    std::unique_ptr<kv_midi::midi_in> own_input_;
    kv_midi::midi_in* input_;
    MAppUserPort& port_;
    std::function<MedtMusicInvoker*()> target_;
    std::function<int64_t()> run_tick_;
    KvClock& clock_;
    std::string chosen_;
    MAppRecordMode mode_ = MAppRecordMode::off;
    MedtNoteValue value_;
    MedtHeldKeys held_;
    MedtEntryResult last_result_ = MedtEntryResult::nothing;
    MedtChordMatch last_chord_;
    // Live recording: the take, where it begins, whether its run has been seen playing, and
    // the last two samples of the run's position (clock microseconds, tick).
    MedtLiveTake take_;
    MedtTakeEntry last_take_;
    int64_t from_tick_ = 0;
    int32_t strength_ = 100;
    bool run_seen_ = false;
    bool stop_asked_ = false;
    int64_t last_tick_ = 0;
    uint64_t sample_us_[2] = {0, 0};
    int64_t sample_tick_[2] = {-1, -1};
};
