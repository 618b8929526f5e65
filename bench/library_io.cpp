// Writing, loading and saving a large music: about 100,000 note blocks over 16 note tracks,
// at two sizes so that the cost per megabyte can be compared (it should stay flat). Prints
// MB/s for each and the peak resident memory of the process.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "model/block/MseqBlockNote.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "platform/FileSystem.h"
#include "text/MrecCompiler.h"
#include "text/MrecEntityWriter.h"

namespace {

constexpr int kTracks = 16;

// A music of `notes` note blocks spread over 16 note tracks.
void fill(MseqMusic& music, int notes) {
    for (int t = 0; t < kTracks; ++t) {
        MseqObject* node = music.create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE,
                                              CkvString("part"));
        ref_ptr<MseqEntity> e = mseq_open(node);
        auto* track = e->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
        track->m_Beat = 16;
        MseqBlockNote n;
        for (int i = 0; i < notes / kTracks; ++i) {
            n.m_Type = static_cast<uint32_t>(1 + i % 5);
            n.m_Whole = static_cast<int8_t>(i % 7);
            n.m_Length = 1 + i % 4;
            n.m_Velocity = static_cast<uint8_t>(64 + i % 64);
            track->put_block(i * 4, n);
        }
    }
}

void report_memory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_Write(benchmark::State& state) {
    MseqMusic music(nullptr);
    fill(music, static_cast<int>(state.range(0)));
    std::string text;
    for (auto _ : state) {
        text.clear();
        benchmark::DoNotOptimize(mrec_write_entity(&music, &text));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    report_memory(state);
}

void BM_Load(benchmark::State& state) {
    std::string text;
    {
        MseqMusic music(nullptr);
        fill(music, static_cast<int>(state.range(0)));
        mrec_write_entity(&music, &text);
    }
    for (auto _ : state) {
        MseqMusic loaded(nullptr);
        MrecCompiler compiler;
        if (!compiler.load_text(&loaded, text.c_str(), text.size() + 1))
            state.SkipWithError("load");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    report_memory(state);
}

void BM_SaveToFile(benchmark::State& state) {
    char tmpl[] = "/tmp/kvbench-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    MseqMusic music(nullptr);
    fill(music, static_cast<int>(state.range(0)));
    music.full_path = MseqFullPath(CkvString(kv_fs::from_host(dir + "/big.kvnl")));
    for (auto _ : state) {
        if (!MrecCompiler::save(&music)) state.SkipWithError("save");
    }
    state.SetBytesProcessed(
        static_cast<int64_t>(state.iterations() * std::filesystem::file_size(dir + "/big.kvnl")));
    std::filesystem::remove_all(dir);
    report_memory(state);
}

void BM_LoadedMusicMemory(benchmark::State& state) {
    // The heap that one loaded 100,000-note music holds, measured around the load.
    std::string text;
    {
        MseqMusic music(nullptr);
        fill(music, 100000);
        mrec_write_entity(&music, &text);
    }
    for (auto _ : state) {
        const double before = static_cast<double>(mallinfo2().uordblks);
        auto* loaded = new MseqMusic(nullptr);
        MrecCompiler compiler;
        compiler.load_text(loaded, text.c_str(), text.size() + 1);
        // What the loaded music itself holds, without the parse of the file.
        compiler.result.clear();
        state.counters["music_MB"] =
            (static_cast<double>(mallinfo2().uordblks) - before) / (1024.0 * 1024.0);
        loaded->release();
    }
}

}  // namespace

BENCHMARK(BM_Write)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveToFile)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadedMusicMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
