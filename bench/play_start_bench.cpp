// From the play command to the first note leaving the output: the application started on a
// temporary copy of data/, the demo song open in the edit list, the system MIDI device a
// recorder. Each iteration puts the play cursor on the song's first note, runs the play command
// (what F5 does), waits until the recorder received the first note-on and stops again. Prints
// the time in milliseconds (manual time: only the span from the command to the note counts);
// the goal is 30 ms. Variants: the device stays open between runs; the device is closed after
// each stop (the setting "close the device when stopped"); and from bar 1, where the music's
// own first beat comes before its first note.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "app/MApp.h"
#include "app/MAppCommands.h"
#include "app/MAppScriptPort.h"
#include "app/MFrame.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqType.h"
#include "model/library/MseqConfig.h"
#include "platform/MidiOut.h"
#include "platform/Shell.h"
#include "platform/SynthPort.h"
#include "play/engine/MplyPlayer.h"

namespace play_start_bench {

struct Folder {
    Folder() {
        char tmpl[] = "/tmp/kvplay-XXXXXX";
        if (::mkdtemp(tmpl)) root = tmpl;
        std::filesystem::copy(KV_APP_DATA, root + "/app", std::filesystem::copy_options::recursive);
        std::filesystem::create_directories(root + "/run");
    }
    ~Folder() { std::filesystem::remove_all(root); }
    std::string root;
};

// The first music leaf of the open library, in tree order (books are opened on the way).
MseqObject* first_music(MseqObject* node) {
    if (!node) return nullptr;
    if (node->type == MTYPE_LEAF_MUSIC) return node;
    if (mseq_type_category(node->type) == MCAT_BOOK) mseq_open(node);
    for (MseqObject* c = node->first_child(); c; c = c->next()) {
        if (MseqObject* found = first_music(c)) return found;
    }
    return nullptr;
}

// The time of the first message of any kind the recorder holds; false when none yet.
bool first_message(const kv_midi::midi_out_recorder& midi,
                   std::chrono::steady_clock::time_point* at) {
    for (const auto& r : midi.log()) {
        if (r.what == kv_midi::midi_out_recorder::kind::short_message ||
            r.what == kv_midi::midi_out_recorder::kind::long_message) {
            *at = r.at;
            return true;
        }
    }
    return false;
}

// The time of the first note-on (velocity above 0) the recorder holds; false when none yet.
bool first_note_on(const kv_midi::midi_out_recorder& midi,
                   std::chrono::steady_clock::time_point* at) {
    for (const auto& r : midi.log()) {
        if (r.what != kv_midi::midi_out_recorder::kind::short_message || r.bytes.size() < 3)
            continue;
        if ((r.bytes[0] & 0xF0) == 0x90 && r.bytes[2] != 0) {
            *at = r.at;
            return true;
        }
    }
    return false;
}

// The demo song's first note: beat 2 of bar 1 (the first beat is the stage's set-up only).
constexpr int32_t kFirstNoteTick = 480;

// When the first note-on handed to the synthesizer port sounds: its send time plus how far
// ahead of the port's clock it was stamped (the recorder's clock stands still at 0); false
// when none was sent yet.
bool first_synth_note(const kv_synth::synth_port_recorder& synth,
                      std::chrono::steady_clock::time_point* at) {
    for (const auto& r : synth.log()) {
        if (r.what != kv_synth::synth_port_recorder::kind::send || r.bytes.size() < 3) continue;
        if ((r.bytes[0] & 0xF0) == 0x90 && r.bytes[2] != 0) {
            const double ahead = static_cast<double>(r.at) / kv_synth::kClockPerSecond;
            *at = r.when + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                               std::chrono::duration<double>(ahead));
            return true;
        }
    }
    return false;
}

void run(benchmark::State& state, bool close_after_stop, int32_t from_tick,
         bool synthesizer = false) {
    Folder folder;
    MAppScriptPort port;
    kv_midi::midi_out_recorder midi{std::vector<kv_midi::midi_out_caps>{{"Bench Synth", true}}};
    kv_synth::synth_port_recorder synth;
    kv_shell::shell_recorder shell;
    MAppServices services;
    services.port = &port;
    services.midi = &midi;
    services.synth = &synth;
    services.shell = &shell;
    services.home = folder.root + "/app";
    MApp app;
    if (!app.start(services, CkvString(), folder.root + "/run")) {
        state.SkipWithError("start-up failed");
        return;
    }
    MFrame& frame = *app.frame();
    mseq_config().m_DirectMusic = synthesizer ? 1 : 0;
    mseq_config().m_DeviceID = 0;
    mseq_config().m_StopClose = close_after_stop ? 1 : 0;
    frame.playback().choose_device();
    MseqObject* music = first_music(frame.room_node());
    if (!music) {
        state.SkipWithError("no music in the demo library");
        return;
    }
    frame.select_node(music);
    frame.run(ID_LINK_OPEN);
    if (!frame.shown_file()) {
        state.SkipWithError("the demo song did not open");
        return;
    }
    double worst = 0, first_any = 0;
    int32_t note_tick = 0;
    for (auto _ : state) {
        midi.clear_log();
        synth.clear_log();
        frame.set_play_cursor(frame.shown_file(), from_tick);
        const auto start = std::chrono::steady_clock::now();
        if (!frame.run(ID_PLAY)) {
            state.SkipWithError("play did not start");
            break;
        }
        std::chrono::steady_clock::time_point note;
        while (synthesizer ? !first_synth_note(synth, &note) : !first_note_on(midi, &note)) {
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(10)) break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const int32_t tick = frame.player().current_tick();
        std::chrono::steady_clock::time_point any;
        if (first_message(midi, &any))
            first_any += std::chrono::duration<double>(any - start).count() * 1000;
        note_tick = tick;
        const double seconds = std::chrono::duration<double>(note - start).count();
        state.SetIterationTime(seconds > 0 ? seconds : 0);
        if (seconds * 1000 > worst) worst = seconds * 1000;
        frame.run(ID_STOP);
        frame.wait_play_end(5000);
    }
    state.counters["worst_ms"] = worst;
    // When the first message of any kind (the stage's set-up) left, and the engine's tick when
    // the first note was seen.
    state.counters["first_message_ms"] =
        state.iterations() ? first_any / static_cast<double>(state.iterations()) : 0;
    state.counters["tick_at_note"] = note_tick;
    app.end();
}

// From the play cursor on the first note: the time until it leaves is the program's alone.
void BM_PlayToFirstNote(benchmark::State& state) {
    run(state, false, kFirstNoteTick);
}
BENCHMARK(BM_PlayToFirstNote)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_PlayToFirstNoteDeviceClosed(benchmark::State& state) {
    run(state, true, kFirstNoteTick);
}
BENCHMARK(BM_PlayToFirstNoteDeviceClosed)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// The synthesizer device: the note sounds when the port's clock reaches its stamp, which the
// device puts its lead ahead (24 units, 15.6 ms) of the time the note was due.
void BM_SynthPlayToFirstNoteSounding(benchmark::State& state) {
    run(state, false, kFirstNoteTick, true);
}
BENCHMARK(BM_SynthPlayToFirstNoteSounding)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// From bar 1: the first note comes after the music's own first beat (480 ticks at tempo 104,
// 577 ms), the set-up messages at once (first_message_ms).
void BM_PlayFromBarOneToFirstNote(benchmark::State& state) {
    run(state, false, 0);
}
BENCHMARK(BM_PlayFromBarOneToFirstNote)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

}  // namespace play_start_bench
