// Editing through the music editor: 10,000 notes set one by one on a music of 100,000 notes
// (each a McmdSetBlock posted through the editor, with its undo record and the editor's
// refresh), then all of them undone one by one. Prints operations per second each way and the
// memory the undo history holds per recorded change.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "edit/McmdTrack.h"
#include "edit/MedtMusic.h"
#include "model/block/MseqBlockNote.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackTree.h"

// Live heap bytes of the process, so that the history's size can be read off. Each block
// allocated through operator new carries its size in front of it.
namespace {
std::atomic<int64_t> g_live{0};
}

void* operator new(std::size_t n) {
    auto* p = static_cast<std::size_t*>(std::malloc(n + sizeof(std::max_align_t)));
    if (!p) throw std::bad_alloc();
    *p = n;
    g_live.fetch_add(static_cast<int64_t>(n), std::memory_order_relaxed);
    return reinterpret_cast<char*>(p) + sizeof(std::max_align_t);
}
void operator delete(void* q) noexcept {
    if (!q) return;
    auto* p = reinterpret_cast<std::size_t*>(static_cast<char*>(q) - sizeof(std::max_align_t));
    g_live.fetch_sub(static_cast<int64_t>(*p), std::memory_order_relaxed);
    std::free(p);
}
void operator delete(void* q, std::size_t) noexcept {
    operator delete(q);
}

namespace {

constexpr int32_t kNotes = 100000;
constexpr int32_t kEdits = 10000;
constexpr int32_t kStep = 2;

// A music with one note track of kNotes notes, opened in an editor.
struct Session {
    Session() {
        MseqObject* node = music->create_track(music->detail()->id, MPLACE_LAST_CHILD,
                                               MTYPE_TRACK_NOTE, CkvString("bench"));
        auto* track = static_cast<MseqTrackNote*>(mseq_track_of(node));
        track->m_Beat = 16;
        MseqBlockNote n;
        for (int32_t i = 0; i < kNotes; ++i)
            track->put_block(i * kStep, n);
        id = node->id;
        editor = ref_ptr<MedtMusicInvoker>::adopt(new MedtMusicInvoker(music, nullptr, nullptr));
        // Edit existing notes at random places, each position once, so that the track does not
        // grow and what the heap gains is the history alone.
        std::mt19937 rng(12345);
        std::vector<int32_t> all(kNotes);
        for (int32_t i = 0; i < kNotes; ++i)
            all[i] = i * kStep;
        std::shuffle(all.begin(), all.end(), rng);
        positions.assign(all.begin(), all.begin() + kEdits);
    }
    ~Session() {
        editor = nullptr;
        MseqDesk::instance().modified.erase(music);
        music->release();
    }
    void set_all() {
        MseqBlockNote n;
        n.m_Whole = 3;
        n.m_Length = 2;
        for (int32_t p : positions) {
            auto command = mcmd_make<McmdSetBlock>(id, p, &n);
            editor->execute(command.get());
            if (command->state != MCMD_DONE) std::abort();
        }
    }
    void undo_all() {
        while (!editor->nothing_to_undo())
            editor->undo();
    }

    MseqMusic* music = new MseqMusic(nullptr);
    MSEQ_ID id = 0;
    ref_ptr<MedtMusicInvoker> editor;
    std::vector<int32_t> positions;
};

void BM_SetBlocksThroughEditor(benchmark::State& state) {
    Session s;
    int64_t history_bytes = 0;
    for (auto _ : state) {
        const int64_t before = g_live.load();
        s.set_all();
        state.PauseTiming();
        history_bytes = g_live.load() - before;
        if (s.editor->history().size() != kEdits) std::abort();
        s.undo_all();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kEdits);
    state.counters["undo_bytes_per_change"] =
        benchmark::Counter(static_cast<double>(history_bytes) / kEdits);
}
BENCHMARK(BM_SetBlocksThroughEditor)->Unit(benchmark::kMillisecond);

void BM_UndoBlocksThroughEditor(benchmark::State& state) {
    Session s;
    for (auto _ : state) {
        state.PauseTiming();
        s.set_all();
        state.ResumeTiming();
        s.undo_all();
    }
    state.SetItemsProcessed(state.iterations() * kEdits);
}
BENCHMARK(BM_UndoBlocksThroughEditor)->Unit(benchmark::kMillisecond);

}  // namespace
