// The resolved-pitch lanes after a chord edit on the 100,000-note music: the chord of the
// visible bars changes, then the keys of every note track are resolved again over the visible
// range (eight bars in the middle of the music) and laid out as lane bars. The goal is 16 ms a
// round (recompute and lay out; painting the bars is the desktop front end's and not timed
// here).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "BenchMusic.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTimelineLayout.h"
#include "model/block/MseqBlockChord.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/track/MseqTrackChord.h"
#include "play/engine/MplyKeyLane.h"

namespace {

constexpr int32_t kBar = 1920;
constexpr int32_t kFirstBar = 300;  // the music is about 780 bars long
constexpr int32_t kVisibleBars = 8;

// A chord of its own keys (no map needed): a triad `third` semitones over `root`.
MseqBlockChord triad(int32_t root, int32_t third) {
    MseqBlockChord c;
    c.m_Flags = MCHORD_NO_KEY;
    c.m_Root = root;
    c.key_count = 3;
    c.keys[1].m_Key = third;
    c.keys[2].m_Key = 7;
    return c;
}

void BM_LanesAfterAChordEdit(benchmark::State& state) {
    ref_ptr<MseqMusic> music = kv_bench::big_music();
    MseqObject* node = music->create_track(MID_TRACK_HEADER, MPLACE_LAST_CHILD, MTYPE_TRACK_CHORD,
                                           CkvString("chords"));
    mseq_factory(node);
    auto* chords = node->entity()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
    chords->m_Beat = 1;
    // Every note track follows the chords, every other note a chord degree.
    for (MseqObject* t = music->detail()->first_child(); t; t = t->next()) {
        auto* notes = t->entity()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
        notes->m_TrackChordID = node->id;
        for (int32_t i = 1; i < kv_bench::kBigNotesPerTrack; i += 2) {
            MseqBlockNote n = *notes->block_at(i);
            n.set_type(MNBT_CDEG);
            n.m_Whole = static_cast<int8_t>(i % 3);
            notes->put_block(i, n);
        }
    }
    for (int32_t bar = 0; bar < 800; ++bar)
        chords->put_block(bar, triad(bar % 12, 4));

    MseqObject clip[2];
    auto editor =
        ref_ptr<MedtMusicInvoker>::adopt(new MedtMusicInvoker(music.get(), &clip[0], &clip[1]));
    MedtTimelineLayout layout;
    layout.build(editor.get());
    const int32_t from = kFirstBar * kBar;
    const int32_t to = from + kVisibleBars * kBar;
    size_t bars = 0;
    int round = 0;
    for (auto _ : state) {
        chords->put_block(kFirstBar + 2, triad(round++ % 12, 3));
        const auto lanes = MplyKeyLane::resolve(*music, from, to);
        bars = 0;
        for (const auto& [id, keys] : lanes) {
            const MedtLaneAxis axis = MedtLaneAxis::of(keys);
            const auto laid =
                layout.lane_bars(keys, axis, 0, layout.tick_x(from), layout.tick_x(to));
            bars += laid.size();
            benchmark::DoNotOptimize(laid.data());
        }
    }
    state.counters["lane_bars"] = static_cast<double>(bars);
    static bool told = false;
    if (!told)
        std::printf("goal: at most 16 ms a round (recompute and lay out every visible lane)\n");
    told = true;
}
BENCHMARK(BM_LanesAfterAChordEdit)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
