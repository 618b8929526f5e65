// Handing the music on: the figures the exports are held to.
//   - export of 100,000 notes as format 0 and as format 1 (format 1 should take at most 1.2
//     times as long; the ratio is printed as a counter of the format-1 run);
//   - the MusicXML score of the demo song, in process and as the whole `korvante export` process
//     (at most 20 ms), and the same process writing into memory, without the two waits of the
//     crash-safe output for the disk;
//   - the demo song rendered to FLAC by `korvante render` beside FluidSynth's own program
//     rendering our MIDI file of it with the same sound font (ours should be no slower), and
//     beside that program sharing its voices over two cores as ours does.
// The process benchmarks run the program built beside this one (KV_PROGRAM) on the demo
// library copied beside it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "BenchMusic.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "platform/SynthPort.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "play/export/MplyExport.h"
#include "play/export/MplyMusicXml.h"

namespace handover_bench {

double g_format0_seconds = 0;  // the last format-0 figure, for the ratio

void BM_ExportFormat(benchmark::State& state) {
    ref_ptr<MseqMusic> music = kv_bench::big_music();
    MplyPlayer player(nullptr, false);
    MplyExport exporter;
    exporter.SetFormat({static_cast<int>(state.range(0)), false});
    double total = 0;
    for (auto _ : state) {
        std::unique_ptr<MplyEntity> run(music->create_player_model());
        std::vector<uint8_t> file;
        const auto t0 = std::chrono::steady_clock::now();
        if (MplyExportMusic(player, exporter, run, "", &file) != MplyExportResult::ok) {
            state.SkipWithError("export failed");
            return;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        benchmark::DoNotOptimize(file.data());
    }
    const double each = total / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * kv_bench::kBigTracks *
                            kv_bench::kBigNotesPerTrack * 2);
    if (state.range(0) == 0) g_format0_seconds = each;
    if (state.range(0) == 1 && g_format0_seconds > 0)
        state.counters["times_format0"] = each / g_format0_seconds;
}
BENCHMARK(BM_ExportFormat)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_MusicXmlOfBigMusic(benchmark::State& state) {
    ref_ptr<MseqMusic> music = kv_bench::big_music();
    MplyPlayer player(nullptr, false);
    MplyScoreCapture capture;
    size_t bytes = 0;
    for (auto _ : state) {
        std::unique_ptr<MplyEntity> run(music->create_player_model());
        std::string xml;
        if (MplyExportScore(player, capture, run, &xml) != MplyExportResult::ok) {
            state.SkipWithError("score failed");
            return;
        }
        bytes = xml.size();
        benchmark::DoNotOptimize(xml.data());
    }
    state.SetItemsProcessed(state.iterations() * kv_bench::kBigTracks *
                            kv_bench::kBigNotesPerTrack);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_MusicXmlOfBigMusic)->UseRealTime()->Unit(benchmark::kMillisecond);

// ---- whole processes ------------------------------------------------------------------------

std::string Program() {
    return KV_PROGRAM;
}

std::string DemoLibrary() {
    return std::filesystem::path(KV_PROGRAM).parent_path().string() + "/mymusic/library.kvnr";
}

const char* kDemoSong = "はじまりの朝";

// Runs a shell command for each iteration; stops with an error when it fails.
void RunEach(benchmark::State& state, const std::string& cmd) {
    for (auto _ : state) {
        if (std::system((cmd + " >/dev/null 2>&1").c_str()) != 0) {
            state.SkipWithError(("failed: " + cmd).c_str());
            return;
        }
    }
}

void ExportScoreTo(benchmark::State& state, const std::string& file) {
    RunEach(state,
            "'" + Program() + "' export '" + DemoLibrary() + "' " + kDemoSong + " -o " + file);
    std::remove(file.c_str());
}

// Onto the disk: the crash-safe output waits twice for it (the file, then its folder).
void BM_MusicXmlOfTheDemoSongWholeProcess(benchmark::State& state) {
    ExportScoreTo(state, "/tmp/kv-bench-demo.musicxml");
}
BENCHMARK(BM_MusicXmlOfTheDemoSongWholeProcess)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same process writing into memory (tmpfs), where those two waits cost nothing: the
// program's own part of the figure above.
void BM_MusicXmlOfTheDemoSongWholeProcessNoDiskWait(benchmark::State& state) {
    if (!std::filesystem::is_directory("/dev/shm")) {
        state.SkipWithError("no /dev/shm");
        return;
    }
    ExportScoreTo(state, "/dev/shm/kv-bench-demo.musicxml");
}
BENCHMARK(BM_MusicXmlOfTheDemoSongWholeProcessNoDiskWait)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_RenderFlacOurs(benchmark::State& state) {
    if (!kv_synth::synth_available() || kv_synth::find_soundfont().empty()) {
        state.SkipWithError("no synthesizer or sound font");
        return;
    }
    RunEach(state, "'" + Program() + "' render '" + DemoLibrary() + "' " + kDemoSong +
                       " -o /tmp/kv-bench-demo.flac --soundfont '" + kv_synth::find_soundfont() +
                       "'");
    std::remove("/tmp/kv-bench-demo.flac");
}
BENCHMARK(BM_RenderFlacOurs)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// FluidSynth's own program on our MIDI file of the song, with `options` added to its defaults
// (the rate, polyphony and interpolation are its defaults, as ours are).
void RenderWithFluidSynthProgram(benchmark::State& state, const std::string& options) {
    if (std::system("command -v fluidsynth >/dev/null 2>&1") != 0 ||
        kv_synth::find_soundfont().empty()) {
        state.SkipWithError("fluidsynth (Debian's fluidsynth) or a sound font is missing");
        return;
    }
    // Our MIDI file of the same song, made once outside the timing.
    if (std::system(("'" + Program() + "' export '" + DemoLibrary() + "' " + kDemoSong +
                     " -o /tmp/kv-bench-demo.mid >/dev/null 2>&1")
                        .c_str()) != 0) {
        state.SkipWithError("export failed");
        return;
    }
    RunEach(state, "fluidsynth -ni -q -r 44100 " + options + " -T flac -F /tmp/kv-bench-fs.flac '" +
                       kv_synth::find_soundfont() + "' /tmp/kv-bench-demo.mid");
    std::remove("/tmp/kv-bench-fs.flac");
    std::remove("/tmp/kv-bench-demo.mid");
}

void BM_RenderFlacFluidSynthProgram(benchmark::State& state) {
    RenderWithFluidSynthProgram(state, "");
}
BENCHMARK(BM_RenderFlacFluidSynthProgram)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// For comparison only: FluidSynth's program told to share the voices over two cores, as our
// render does by itself.
void BM_RenderFlacFluidSynthProgramTwoCores(benchmark::State& state) {
    RenderWithFluidSynthProgram(state, "-o synth.cpu-cores=2");
}
BENCHMARK(BM_RenderFlacFluidSynthProgramTwoCores)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace handover_bench
