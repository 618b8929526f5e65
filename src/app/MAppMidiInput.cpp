#include "app/MAppMidiInput.h"

#include <algorithm>
#include <utility>

#include "app/MAppMidiInSetting.h"
#include "app/MAppText.h"
#include "app/MAppUserPort.h"
#include "edit/MedtMusic.h"
#include "edit/MedtNoteEntry.h"
#include "edit/MedtTrack.h"
#include "edit/press/MedtChordPress.h"
#include "model/theory/MseqNoteTheory.h"
#include "model/track/MseqTrackChord.h"
#include "platform/Clock.h"

std::string MAppMidiInput::pitch_names(const std::vector<int32_t>& pcs) {
    static const char* const kLetters = "CDEFGAB";
    std::string out;
    for (int32_t pc : pcs) {
        const MseqPitchName n = mseq_pitch_name(pc);
        if (!out.empty()) out += ", ";
        out += kLetters[n.letter];
        if (n.sharp) out += '#';
    }
    return out.empty() ? "-" : out;
}

MAppMidiInput::MAppMidiInput(kv_midi::midi_in* input, MAppUserPort& port,
                             std::function<MedtMusicInvoker*()> target,
                             std::function<int64_t()> run_tick, KvClock* clock)
    : input_(input),
      port_(port),
      target_(std::move(target)),
      run_tick_(std::move(run_tick)),
      clock_(clock ? *clock : KvClock::system()) {
    if (!input_) {
        own_input_ = kv_midi::make_system_midi_in();
        input_ = own_input_.get();
    }
}

MAppMidiInput::~MAppMidiInput() {
    input_->close();
}

std::vector<std::string> MAppMidiInput::port_names() {
    std::vector<std::string> out;
    const uint32_t n = input_->device_count();
    for (uint32_t i = 0; i < n; ++i) {
        kv_midi::midi_in_caps caps;
        if (input_->device_caps(i, &caps)) out.push_back(caps.name);
    }
    return out;
}

bool MAppMidiInput::choose(const std::string& name) {
    if (name != chosen_) {
        kv_fs::file_error why;
        if (!mapp_save_midi_in_setting(name, &why))
            port_.status(mapp_format(mapp_msg::MIDI_IN_SAVE_FAILED, why.text().c_str()));
    }
    chosen_ = name;
    input_->close();
    held_.clear();
    if (name.empty()) return true;
    const int64_t id = kv_midi::midi_in_find(*input_, name);
    if (id < 0 || !input_->open(static_cast<uint32_t>(id))) {
        const std::string reason = id < 0 ? "the port is not there" : input_->last_error();
        port_.status(mapp_format(mapp_msg::MIDI_IN_OPEN_FAILED, name.c_str(), reason.c_str()));
        return false;
    }
    return true;
}

void MAppMidiInput::load_setting() {
    const MAppMidiInSetting s = mapp_load_midi_in_setting();
    if (!s.damage.empty())
        port_.status(mapp_format(mapp_msg::MIDI_IN_SETTING_DAMAGED, s.damage.c_str()));
    chosen_ = s.port;
    if (chosen_.empty()) return;
    const int64_t id = kv_midi::midi_in_find(*input_, chosen_);
    if (id < 0 || !input_->open(static_cast<uint32_t>(id)))
        port_.status(mapp_format(mapp_msg::MIDI_IN_NOT_FOUND, chosen_.c_str()));
}

void MAppMidiInput::set_mode(MAppRecordMode mode) {
    if (mode_ == MAppRecordMode::live && mode != MAppRecordMode::live) finish_live();
    mode_ = mode;
    held_.clear();
}

void MAppMidiInput::start_live(int64_t from_tick) {
    set_mode(MAppRecordMode::off);
    mode_ = MAppRecordMode::live;
    take_ = MedtLiveTake();
    last_take_ = MedtTakeEntry();
    from_tick_ = from_tick;
    run_seen_ = false;
    last_tick_ = from_tick;
    sample_tick_[0] = sample_tick_[1] = -1;
}

void MAppMidiInput::sample_run() {
    const int64_t tick = run_tick_ ? run_tick_() : -1;
    if (tick < 0) return;
    run_seen_ = true;
    sample_us_[0] = sample_us_[1];
    sample_tick_[0] = sample_tick_[1];
    sample_us_[1] = uint64_t{clock_.now_ms()} * 1000;
    sample_tick_[1] = tick;
}

int64_t MAppMidiInput::tick_at(uint64_t at_us) const {
    if (sample_tick_[1] < 0) return -1;
    if (sample_tick_[0] < 0 || sample_us_[1] == sample_us_[0]) return sample_tick_[1];
    // The clock's microseconds wrap with its milliseconds: differences are taken as signed.
    const double rate =
        double(sample_tick_[1] - sample_tick_[0]) / double(int64_t(sample_us_[1] - sample_us_[0]));
    const int64_t since = static_cast<int32_t>(static_cast<uint32_t>(at_us / 1000) -
                                               static_cast<uint32_t>(sample_us_[1] / 1000)) *
                          int64_t{1000};
    const int64_t tick = sample_tick_[1] + static_cast<int64_t>(double(since) * rate);
    return tick < 0 ? 0 : tick;
}

void MAppMidiInput::live_message(const kv_midi::midi_in_message& m) {
    const uint8_t kind = m.status & 0xF0;
    const int64_t tick = tick_at(m.at_us);
    if (tick < 0) return;
    last_tick_ = std::max(last_tick_, tick);
    if (kind == 0xB0 && m.data1 == 64) {
        take_.pedal(tick, m.data2 >= 64);
        return;
    }
    if (kind != 0x80 && kind != 0x90) return;
    const int32_t velocity = kind == 0x90 ? m.data2 : 0;
    // The count-in is listened to but not kept.
    if (velocity > 0 && tick < from_tick_) return;
    take_.note(tick, m.data1, velocity);
}

void MAppMidiInput::finish_live() {
    mode_ = MAppRecordMode::off;
    stop_asked_ = false;
    // The live-record toggle shows the mode: it is off now, whoever ended the run.
    port_.refresh(MAppRefresh::menus);
    take_.finish(last_tick_);
    MedtMusicInvoker* editor = target_ ? target_() : nullptr;
    if (!editor) return;
    last_take_ = medt_enter_take(*editor, take_.notes(), strength_);
    take_ = MedtLiveTake();
    if (last_take_.refused)
        port_.status(mapp_text(mapp_msg::RECORDED_NOT_ENTERED));
    else
        port_.status(mapp_format(mapp_msg::RECORDED_ENTERED, last_take_.entered));
}

void MAppMidiInput::set_note_value(const MedtNoteValue& value) {
    value_ = value;
}

void MAppMidiInput::pump() {
    const bool live = mode_ == MAppRecordMode::live;
    if (live) sample_run();
    std::vector<kv_midi::midi_in_message> got;
    input_->read(&got);
    for (const kv_midi::midi_in_message& m : got)
        take(m);
    if (live && run_seen_ && (run_tick_ ? run_tick_() : -1) < 0) {
        finish_live();
        return;
    }
    if (!input_->lost()) return;
    // What came before the port went away is taken above; then the port is let go.
    port_.status(
        mapp_format(mapp_msg::MIDI_IN_LOST, chosen_.c_str(), input_->last_error().c_str()));
    input_->close();
    // A live take is entered once its run has ended (the editors are locked while it plays).
    if (live && run_seen_)
        stop_asked_ = true;
    else
        set_mode(MAppRecordMode::off);
}

void MAppMidiInput::take(const kv_midi::midi_in_message& m) {
    if (mode_ == MAppRecordMode::live) {
        live_message(m);
        return;
    }
    const uint8_t kind = m.status & 0xF0;
    if (kind != 0x80 && kind != 0x90) return;
    const int32_t velocity = kind == 0x90 ? m.data2 : 0;
    std::vector<int32_t> chord;
    if (!held_.note(m.data1, velocity, &chord)) return;
    if (mode_ == MAppRecordMode::step) step_keys(chord);
}

void MAppMidiInput::step_keys(const std::vector<int32_t>& keys) {
    MedtMusicInvoker* editor = target_ ? target_() : nullptr;
    if (!editor) return;
    MedtNoteEntry typed(*editor);
    typed.set_value(value_);
    MedtStepEntry step(typed);
    last_result_ = step.enter(keys);
    last_chord_ = step.last_chord();
    if (last_result_ == MedtEntryResult::entered && last_chord_.slot >= 0) report_chord(*editor);
}

void MAppMidiInput::report_chord(MedtMusicInvoker& editor) {
    MedtTrack* track = editor.current();
    const auto* chords =
        track ? track->stored()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD) : nullptr;
    if (!chords) return;
    const int32_t pos = editor.cursor() - value_.steps(chords->m_Beat);
    const CkvString name = MedtChordPress::name_at(*chords, pos, editor.music());
    if (last_chord_.exact()) {
        port_.status(mapp_format(mapp_msg::CHORD_ENTERED, name.c_str()));
        return;
    }
    port_.status(mapp_format(mapp_msg::CHORD_NEAREST_ENTERED, name.c_str(),
                             pitch_names(last_chord_.extra).c_str(),
                             pitch_names(last_chord_.missing).c_str()));
}
