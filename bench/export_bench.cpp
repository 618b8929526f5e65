// Export of a music of 100,000 notes: events written per second, beside the same engine run
// against an output that only counts (the offline run alone).
#include <benchmark/benchmark.h>

#include <memory>

#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyOutput.h"
#include "play/engine/MplyPlayer.h"
#include "play/export/MplyExport.h"

namespace {

constexpr int kTracks = 8;
constexpr int kNotesPerTrack = 12500;  // 100,000 notes in all

// Eight tracks of sixteenth notes on eight channels, climbing through two octaves.
ref_ptr<MseqMusic> BigMusic() {
    auto music = ref_ptr<MseqMusic>::adopt(new MseqMusic(nullptr));
    music->m_Title = "";
    for (int t = 0; t < kTracks; ++t) {
        MseqObject* node = music->create_track(music->detail()->id, MPLACE_LAST_CHILD,
                                               MTYPE_TRACK_NOTE, CkvString("notes"));
        mseq_factory(node);
        auto* track = node->entity()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
        track->m_Beat = 16;
        track->m_Channel = t;
        for (int i = 0; i < kNotesPerTrack; ++i) {
            MseqBlockNote note;
            note.set_type(MNBT_PURE);
            note.m_Whole = static_cast<int8_t>(i % 7);
            note.m_Octave = static_cast<int8_t>(4 + i / 7 % 2);
            track->put_block(i, note);
        }
    }
    return music;
}

// Takes every event and writes nothing.
class CountingOutput final : public MplyOutput {
public:
    bool IsOffline() const override { return true; }
};

void BM_ExportBigMusic(benchmark::State& state) {
    ref_ptr<MseqMusic> music = BigMusic();
    MplyPlayer player(nullptr, false);
    MplyExport exporter;
    size_t bytes = 0;
    for (auto _ : state) {
        std::unique_ptr<MplyEntity> run(music->create_player_model());
        std::vector<uint8_t> file;
        if (MplyExportMusic(player, exporter, run, "", &file) != MplyExportResult::ok) {
            state.SkipWithError("export failed");
            return;
        }
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    // Each note is a note-on and a note-off.
    state.SetItemsProcessed(state.iterations() * kTracks * kNotesPerTrack * 2);
    state.counters["file_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ExportBigMusic)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_OfflineRunAlone(benchmark::State& state) {
    ref_ptr<MseqMusic> music = BigMusic();
    MplyPlayer player(nullptr, false);
    CountingOutput out;
    for (auto _ : state) {
        std::unique_ptr<MplyEntity> run(music->create_player_model());
        if (!player.Start(&out, run)) {
            state.SkipWithError("run failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kTracks * kNotesPerTrack * 2);
}
BENCHMARK(BM_OfflineRunAlone)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
