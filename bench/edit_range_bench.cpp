// Cut, paste and undo of a 64-bar selection across 16 tracks through the music editor, on a
// music of 100,000 notes: a group of 16 note tracks at 16 beats, 6,250 notes each (one every
// second unit, 781 bars). Each operation is the editor's edit action on the group (its undo
// record taken, every member changed, later blocks moved), and the time of one operation is
// printed; the other operation needed to come back to the start runs outside the timing.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>

#include "edit/McmdTrack.h"
#include "edit/MedtMusic.h"
#include "model/block/MseqBlockNote.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackTree.h"

namespace {

constexpr int32_t kTracks = 16;
constexpr int32_t kNotesPerTrack = 100000 / kTracks;
constexpr int32_t kStep = 2;    // units between notes at 16 beats
constexpr int32_t kFrom = 300;  // bars: the selection starts in the middle of the music
constexpr int32_t kBars = 64;

struct Session {
    Session() {
        MseqObject* group = music->create_track(music->detail()->id, MPLACE_LAST_CHILD,
                                                MTYPE_TRACK_GROUP, CkvString("band"));
        mseq_track_of(group)->m_Beat = 1;  // a group counts whole bars
        MseqBlockNote n;
        n.m_Length = 1;
        for (int32_t t = 0; t < kTracks; ++t) {
            MseqObject* node = music->create_track(group->id, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE,
                                                   CkvString("part"));
            auto* track = static_cast<MseqTrackNote*>(mseq_track_of(node));
            track->m_Beat = 16;
            for (int32_t i = 0; i < kNotesPerTrack; ++i) {
                n.m_Whole = static_cast<int8_t>(1 + (i + t) % 7);
                track->put_block(i * kStep, n);
            }
        }
        editor = ref_ptr<MedtMusicInvoker>::adopt(
            new MedtMusicInvoker(music, &sequence_clipboard, &leaf_clipboard));
        band = editor->find_track(group->id);
        if (!band) std::abort();
    }
    ~Session() {
        editor = nullptr;
        MseqDesk::instance().modified.erase(music);
        music->release();
    }
    // Runs an edit action on the group with the cursor at `from` and the selection end at `to`.
    void act(int code, int32_t from, int32_t to) {
        editor->set_cursor(band, from, to);
        if (editor->action(code) != 1) std::abort();
    }
    void undo() {
        if (editor->nothing_to_undo()) std::abort();
        editor->undo();
    }

    MseqMusic* music = new MseqMusic(nullptr);
    MseqObject sequence_clipboard;
    MseqObject leaf_clipboard;
    ref_ptr<MedtMusicInvoker> editor;
    MedtTrack* band = nullptr;
};

// Notes inside the selection: 64 bars of 8 notes on each of 16 tracks.
constexpr int64_t kSelectedNotes = int64_t{kBars} * 16 / kStep * kTracks;

void BM_Cut64BarsOf16Tracks(benchmark::State& state) {
    Session s;
    for (auto _ : state) {
        s.act(MACT_CUT, kFrom, kFrom + kBars);
        state.PauseTiming();
        s.undo();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kSelectedNotes);
}
BENCHMARK(BM_Cut64BarsOf16Tracks)->Unit(benchmark::kMillisecond);

void BM_Paste64BarsInto16Tracks(benchmark::State& state) {
    Session s;
    s.act(MACT_COPY, kFrom, kFrom + kBars);
    for (auto _ : state) {
        s.act(MACT_PASTE, kFrom / 2, kFrom / 2);  // an insertion: later blocks move on
        state.PauseTiming();
        s.undo();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kSelectedNotes);
}
BENCHMARK(BM_Paste64BarsInto16Tracks)->Unit(benchmark::kMillisecond);

void BM_UndoCutOf64Bars(benchmark::State& state) {
    Session s;
    for (auto _ : state) {
        state.PauseTiming();
        s.act(MACT_CUT, kFrom, kFrom + kBars);
        state.ResumeTiming();
        s.undo();
    }
    state.SetItemsProcessed(state.iterations() * kSelectedNotes);
}
BENCHMARK(BM_UndoCutOf64Bars)->Unit(benchmark::kMillisecond);

void BM_UndoPasteOf64Bars(benchmark::State& state) {
    Session s;
    s.act(MACT_COPY, kFrom, kFrom + kBars);
    for (auto _ : state) {
        state.PauseTiming();
        s.act(MACT_PASTE, kFrom / 2, kFrom / 2);
        state.ResumeTiming();
        s.undo();
    }
    state.SetItemsProcessed(state.iterations() * kSelectedNotes);
}
BENCHMARK(BM_UndoPasteOf64Bars)->Unit(benchmark::kMillisecond);

}  // namespace
