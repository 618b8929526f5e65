// From the press to the note-on at the output: the application started on a temporary copy of
// data/, the demo song open in the edit list, the system MIDI device a recorder. Each iteration
// presses the anchor area of a note track past its last block (what a click in the timeline
// does: a note is placed and heard), takes the time until the recorder received the note-on,
// and undoes the press again. Prints the time in milliseconds (manual time: only the span from
// the press to the note-on counts); the goal is 15 ms. The second figure is the same span for
// hearing a phrase of the library at the edit cursor (Shift+F6): from the command to its first
// note-on.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "app/MApp.h"
#include "app/MAppCommands.h"
#include "app/MAppScriptPort.h"
#include "app/MFrame.h"
#include "edit/McmdKind.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "edit/press/MedtTrackPress.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackTree.h"
#include "platform/MidiOut.h"
#include "platform/Shell.h"
#include "platform/SynthPort.h"

namespace audition_latency_bench {

constexpr double kGoalMs = 15.0;

struct Folder {
    Folder() {
        char tmpl[] = "/tmp/kvaudition-XXXXXX";
        if (::mkdtemp(tmpl)) root = tmpl;
        std::filesystem::copy(KV_APP_DATA, root + "/app", std::filesystem::copy_options::recursive);
        std::filesystem::create_directories(root + "/run");
    }
    ~Folder() { std::filesystem::remove_all(root); }
    std::string root;
};

// The first leaf of `type` below `node`, in tree order (opening books on the way).
MseqObject* first_leaf(MseqObject* node, MSEQ_TYPE type) {
    if (!node) return nullptr;
    if (node->type == type) return node;
    if (mseq_type_category(node->type) == MCAT_BOOK) mseq_open(node);
    for (MseqObject* c = node->first_child(); c; c = c->next()) {
        if (MseqObject* found = first_leaf(c, type)) return found;
    }
    return nullptr;
}

// The application started on a copy of data/ with a recorder for the MIDI device, the demo
// song open. `frame` is null (the benchmark skipped with the reason) when that failed.
struct DemoSongApp {
    explicit DemoSongApp(benchmark::State& state) {
        services.port = &port;
        services.midi = &midi;
        services.synth = &synth;
        services.shell = &shell;
        services.home = folder.root + "/app";
        if (!app.start(services, CkvString(), folder.root + "/run")) {
            state.SkipWithError("start-up failed");
            return;
        }
        started = true;
        MFrame& f = *app.frame();
        mseq_config().m_DirectMusic = 0;
        mseq_config().m_DeviceID = 0;
        f.playback().choose_device();
        MseqObject* node = first_leaf(f.room_node(), MTYPE_LEAF_MUSIC);
        if (node) f.select_node(node);
        if (!node || !f.run(ID_LINK_OPEN) || !f.shown_file()) {
            state.SkipWithError("the demo song did not open");
            return;
        }
        frame = &f;
    }
    ~DemoSongApp() {
        if (started) app.end();
    }

    Folder folder;
    MAppScriptPort port;
    kv_midi::midi_out_recorder midi{std::vector<kv_midi::midi_out_caps>{{"Bench Synth", true}}};
    kv_synth::synth_port_recorder synth;
    kv_shell::shell_recorder shell;
    MAppServices services;
    MApp app;
    bool started = false;
    MFrame* frame = nullptr;
};

// The time of the first note-on the recorder holds; false when none.
bool first_note_on(const kv_midi::midi_out_recorder& midi,
                   std::chrono::steady_clock::time_point* at) {
    for (const auto& r : midi.log()) {
        if (r.what == kv_midi::midi_out_recorder::kind::short_message && r.bytes.size() >= 3 &&
            (r.bytes[0] & 0xF0) == 0x90 && r.bytes[2] != 0) {
            *at = r.at;
            return true;
        }
    }
    return false;
}

// The first note track with blocks that sounds.
MseqTrackNote* note_track(MseqMusic& music) {
    for (MseqObject* t = music.root(); t; t = t->next_in(music.root())) {
        if (t->type != MTYPE_TRACK_NOTE) continue;
        auto* n = mseq_track_of(t)->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
        if (n && !n->blocks().empty() && n->m_Beat > 0 && (n->m_Flags & MTF_OUTPUT)) return n;
    }
    return nullptr;
}

void BM_PressToNoteOn(benchmark::State& state) {
    DemoSongApp demo(state);
    if (!demo.frame) return;
    MFrame& frame = *demo.frame;
    kv_midi::midi_out_recorder& midi = demo.midi;
    auto* music = frame.shown_file()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    MgenRef* made = MseqDesk::instance().editor_of(music);
    auto* editor =
        made ? static_cast<MedtMusicInvoker*>(made->cast(MKIND_EDT_MUSIC_INVOKER)) : nullptr;
    MseqTrackNote* notes = music ? note_track(*music) : nullptr;
    MedtTrack* track = editor && notes ? editor->find_track(notes->owner->id) : nullptr;
    if (!track) {
        state.SkipWithError("no note track in the demo song");
        return;
    }
    const auto last = std::prev(notes->blocks().end());
    const int32_t pos = last->first + last->second.m_Length + 2;
    double worst = 0;
    for (auto _ : state) {
        midi.clear_log();
        const auto start = std::chrono::steady_clock::now();
        MedtTrackPress::press(*editor, *track, MedtPress{MedtPressArea::Anchor, pos}, {});
        std::chrono::steady_clock::time_point note;
        if (!first_note_on(midi, &note)) {
            state.SkipWithError("the press sounded nothing");
            break;
        }
        const double seconds = std::chrono::duration<double>(note - start).count();
        state.SetIterationTime(seconds > 0 ? seconds : 0);
        if (seconds * 1000 > worst) worst = seconds * 1000;
        MedtTrackPress::release(*editor);
        frame.playback().stop(0);  // the audition's note-off, outside the measured span
        editor->undo();
    }
    state.counters["worst_ms"] = worst;
    state.counters["goal_ms"] = kGoalMs;
}
BENCHMARK(BM_PressToNoteOn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_PhraseKeyToNoteOn(benchmark::State& state) {
    DemoSongApp demo(state);
    if (!demo.frame) return;
    MFrame& frame = *demo.frame;
    kv_midi::midi_out_recorder& midi = demo.midi;
    MseqObject* phrase = first_leaf(frame.room_node(), MTYPE_LEAF_PHRASE);
    if (!phrase) {
        state.SkipWithError("no phrase in the library");
        return;
    }
    frame.select_node(phrase);
    double worst = 0;
    for (auto _ : state) {
        midi.clear_log();
        const auto start = std::chrono::steady_clock::now();
        frame.run(ID_AUDITION_PHRASE);
        std::chrono::steady_clock::time_point note;
        if (!first_note_on(midi, &note)) {
            state.SkipWithError("the phrase sounded nothing");
            break;
        }
        const double seconds = std::chrono::duration<double>(note - start).count();
        state.SetIterationTime(seconds > 0 ? seconds : 0);
        if (seconds * 1000 > worst) worst = seconds * 1000;
        frame.playback().stop(0);  // the note-offs, outside the measured span
    }
    state.counters["worst_ms"] = worst;
    state.counters["goal_ms"] = kGoalMs;
}
BENCHMARK(BM_PhraseKeyToNoteOn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace audition_latency_bench
