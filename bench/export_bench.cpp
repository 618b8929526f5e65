// Export of a music of 100,000 notes: events written per second, beside the same engine run
// against an output that only counts (the offline run alone).
#include <benchmark/benchmark.h>

#include <memory>

#include "BenchMusic.h"
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

// Takes every event and writes nothing.
class CountingOutput final : public MplyOutput {
public:
    bool IsOffline() const override { return true; }
};

void BM_ExportBigMusic(benchmark::State& state) {
    ref_ptr<MseqMusic> music = kv_bench::big_music();
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
    state.SetItemsProcessed(state.iterations() * kv_bench::kBigTracks *
                            kv_bench::kBigNotesPerTrack * 2);
    state.counters["file_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ExportBigMusic)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_OfflineRunAlone(benchmark::State& state) {
    ref_ptr<MseqMusic> music = kv_bench::big_music();
    MplyPlayer player(nullptr, false);
    CountingOutput out;
    for (auto _ : state) {
        std::unique_ptr<MplyEntity> run(music->create_player_model());
        if (!player.Start(&out, run)) {
            state.SkipWithError("run failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kv_bench::kBigTracks *
                            kv_bench::kBigNotesPerTrack * 2);
}
BENCHMARK(BM_OfflineRunAlone)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
