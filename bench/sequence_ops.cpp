// Throughput of the sequence operations on a long note track: insert, cut and overwrite at
// random places of a track of 100,000 notes, in operations per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/track/MseqTrackNote.h"

namespace {

constexpr int32_t kNotes = 100000;
constexpr int32_t kStep = 4;   // one note every four grid steps
constexpr int32_t kClip = 16;  // the clipboard holds four notes
constexpr int32_t kBeat = 16;

// A note track on grid 16 holding kNotes notes of two steps each.
MseqTrackNote* make_track(MseqObject& node) {
    node.set(0x110001, MTYPE_TRACK_NOTE, CkvString("bench"), MseqDescPath(kPathWith));
    mseq_factory(&node);
    auto* track = node.entity()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
    track->m_Beat = kBeat;
    MseqBlockNote note;
    note.m_Length = 2;
    for (int32_t i = 0; i < kNotes; ++i)
        track->put_block(i * kStep, note);
    return track;
}

// A random note position in the last `percent` of the track: 100 spreads the edits over the
// whole track (half of it moves on average), 1 keeps them near its end (few blocks move).
// Edits start where a note starts, so that each pair of operations leaves the track as it was.
int32_t random_position(std::mt19937& rng, int64_t percent) {
    const int64_t span = int64_t(kNotes) * percent / 100;
    return static_cast<int32_t>((kNotes - span + static_cast<int64_t>(rng() % span)) * kStep);
}

// Paste of the clipboard at a random place, followed by the cut that takes it out again (two
// operations), so that the track keeps its size.
void InsertThenCut(benchmark::State& state) {
    MseqObject node;
    MseqTrackNote* track = make_track(node);
    MseqObject clip;
    track->store_range(kBeat, 1000, 1000 + kClip, &clip);
    std::mt19937 rng(1);
    for (auto _ : state) {
        const int32_t p = random_position(rng, state.range(0));
        int64_t end = 0;
        track->insert(kBeat, p, p, &clip, MSEQ_OP_CLIP, &end);
        track->cut(kBeat, p, static_cast<int32_t>(end), 0);
    }
    state.SetItemsProcessed(state.iterations() * 2);
    state.counters["blocks"] = static_cast<double>(track->block_count());
}

// A space of one step inside a note (stretching it) and the cut that takes it out again.
void SpaceThenCut(benchmark::State& state) {
    MseqObject node;
    MseqTrackNote* track = make_track(node);
    std::mt19937 rng(2);
    for (auto _ : state) {
        const int32_t p = random_position(rng, state.range(0)) + 1;
        track->space(kBeat, p, 1, 0);
        track->cut(kBeat, p, p + 1, 0);
    }
    state.SetItemsProcessed(state.iterations() * 2);
    state.counters["blocks"] = static_cast<double>(track->block_count());
}

// Overwrite of four notes at a random place: nothing moves, so only the touched blocks count.
void Cover(benchmark::State& state) {
    MseqObject node;
    MseqTrackNote* track = make_track(node);
    MseqObject clip;
    track->store_range(kBeat, 1000, 1000 + kClip, &clip);
    std::mt19937 rng(3);
    for (auto _ : state) {
        const int32_t p = random_position(rng, state.range(0));
        int64_t end = 0;
        track->cover(kBeat, p, p, &clip, 0, &end);
        benchmark::DoNotOptimize(end);
    }
    state.SetItemsProcessed(state.iterations());
}

// Store of four notes into the clipboard, as a copy does.
void Store(benchmark::State& state) {
    MseqObject node;
    MseqTrackNote* track = make_track(node);
    MseqObject clip;
    std::mt19937 rng(4);
    for (auto _ : state) {
        const int32_t p = random_position(rng, state.range(0));
        track->store_range(kBeat, p, p + kClip, &clip);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(InsertThenCut)->Arg(100)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(SpaceThenCut)->Arg(100)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(Cover)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(Store)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace
