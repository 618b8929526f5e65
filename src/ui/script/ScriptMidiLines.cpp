// The MIDI input of `korvante script`: `midi-in KEY[,KEY...] [VELOCITY]` plays keys into the
// input as if a keyboard had sent them (all down together, then all up), and `record
// step|live|off` chooses what they do. With the application started they go to its input;
// before, to an input of the session over the opened music (step entry only: live recording
// needs the application's player).
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/MAppMidiInput.h"
#include "app/MFrame.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "edit/press/MedtChordPress.h"
#include "model/core/parse_int.h"
#include "model/track/MseqTrackChord.h"
#include "platform/Clock.h"
#include "platform/TextCodec.h"
#include "ui/script/ScriptRunner.h"

namespace kv_ui {

namespace {

// The session's own input, before `start`.
struct MidiState {
    kv_midi::midi_in_fake port;
    std::unique_ptr<MAppMidiInput> input;
};

MAppMidiInput& input_of(ScriptSession& s) {
    if (MFrame* f = s.frame()) return f->midi_input();
    static std::map<ScriptSession*, MidiState> states;
    MidiState& st = states[&s];
    if (!st.input) {
        st.input = std::make_unique<MAppMidiInput>(
            &st.port, s.port, [&s] { return s.editor(); }, [] { return int64_t{-1}; }, nullptr);
    }
    return *st.input;
}

bool parse_keys(const std::string& text, std::vector<int32_t>* keys) {
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, ',');) {
        int64_t k = 0;
        if (parse_int(item, 0, 127, &k) != parse_int_error::none) return false;
        keys->push_back(static_cast<int32_t>(k));
    }
    return !keys->empty();
}

// Why a step entry did not enter; empty when it did (or nothing was due: keys still held).
std::string problem(MedtEntryResult result) {
    switch (result) {
        case MedtEntryResult::not_a_key:
            return "no note of this track's type sounds the key here";
        case MedtEntryResult::read_only:
            return "the music cannot be edited now";
        case MedtEntryResult::no_track:
            return "the current track is neither a note track nor a chord track (use: track NAME)";
        case MedtEntryResult::off_grid:
            return "the note value does not fit the track's grid";
        case MedtEntryResult::refused:
            return "the music refused the note";
        default:
            return {};
    }
}

// "chord: NAME", with what differs when the palette has no chord of exactly the keys.
void print_chord(ScriptSession& s, MAppMidiInput& in) {
    const MedtChordMatch& m = in.last_chord();
    MedtMusicInvoker* editor = s.editor();
    MedtTrack* track = editor ? editor->current() : nullptr;
    const auto* chords =
        track ? track->stored()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD) : nullptr;
    if (m.slot < 0 || !chords) return;
    const int32_t pos = editor->cursor() - in.note_value().steps(chords->m_Beat);
    const std::string name =
        kv_codec::utf8_from_cp932(MedtChordPress::name_at(*chords, pos, editor->music()).str());
    if (m.exact())
        std::printf("chord: %s\n", name.c_str());
    else
        std::printf("chord: %s (nearest; not in it: %s; missing: %s)\n", name.c_str(),
                    MAppMidiInput::pitch_names(m.extra).c_str(),
                    MAppMidiInput::pitch_names(m.missing).c_str());
}

bool step_midi_in(ScriptSession& s, const ScriptLine& line, std::string* error) {
    std::vector<int32_t> keys;
    int64_t velocity = 100;
    if (line.args.empty() || line.args.size() > 2 || !parse_keys(line.args[0], &keys) ||
        (line.args.size() == 2 &&
         parse_int(line.args[1], 1, 127, &velocity) != parse_int_error::none)) {
        *error = "usage: midi-in KEY[,KEY...] [VELOCITY]   (keys 0-127, velocity 1-127)";
        return false;
    }
    MAppMidiInput& in = input_of(s);
    in.set_note_value(script_note_value(s));
    const bool step = in.mode() == MAppRecordMode::step;
    if (step && !s.editor()) {
        *error = "no music is open (use: open LIBRARY LEAF)";
        return false;
    }
    const uint64_t now = uint64_t{KvClock::system().now_ms()} * 1000;
    for (int32_t k : keys)
        in.take({now, 0x90, static_cast<uint8_t>(k), static_cast<uint8_t>(velocity)});
    for (int32_t k : keys)
        in.take({now, 0x80, static_cast<uint8_t>(k), 0});
    if (!step) return true;
    const std::string why = problem(in.last_result());
    if (!why.empty()) {
        *error = why;
        return false;
    }
    print_chord(s, in);
    return true;
}

bool step_record(ScriptSession& s, const ScriptLine& line, std::string* error) {
    const std::string mode = line.args.empty() ? std::string() : line.args[0];
    int64_t strength = 100;
    const bool usage =
        line.args.empty() || line.args.size() > 2 ||
        (mode != "step" && mode != "live" && mode != "off") ||
        (line.args.size() == 2 &&
         (mode != "live" || parse_int(line.args[1], 0, 100, &strength) != parse_int_error::none));
    if (usage) {
        *error = "usage: record step|live [STRENGTH 0-100]|off";
        return false;
    }
    MAppMidiInput& in = input_of(s);
    MFrame* frame = s.frame();
    if (mode == "live") {
        if (!frame) {
            *error = "live recording needs the application's player (use: start)";
            return false;
        }
        in.set_strength(static_cast<int32_t>(strength));
        if (in.mode() != MAppRecordMode::live) frame->run(ID_LIVE_RECORD);
        if (in.mode() != MAppRecordMode::live) {
            *error = "live recording cannot start (no music shown, or no edit cursor)";
            return false;
        }
        return true;
    }
    if (in.mode() == MAppRecordMode::live && frame) {
        // The run stops; its end enters the take.
        frame->run(ID_LIVE_RECORD);
        frame->wait_play_end(5000);
        const MedtTakeEntry& t = in.last_take();
        std::printf("recorded: %d notes entered, %d not sounded by the track\n", t.entered,
                    t.skipped);
    }
    in.set_mode(mode == "step" ? MAppRecordMode::step : MAppRecordMode::off);
    return true;
}

}  // namespace

const std::vector<ScriptVerb>& script_midi_verbs() {
    static const std::vector<ScriptVerb> verbs = {
        {"midi-in", step_midi_in,
         "KEY[,KEY...] [VELOCITY]: play keys (0-127, held together) into the MIDI input"},
        {"record", step_record,
         "step|live [STRENGTH]|off: what played keys do: step entry at the cursor, live "
         "recording of a run from the edit cursor (after a bar of count-in; quantised with "
         "STRENGTH percent, 100 by default), or nothing"},
    };
    return verbs;
}

}  // namespace kv_ui
