// Import of a ten-minute MIDI file of format 1 with about 28,000 notes on eight tracks (chords,
// lines, drums, played timing on two of them): reading the file, converting it into a music,
// the whole import into a library on disk with the music and its stage map written, and the
// same with the harmony analysis, which prints what the analysis adds; and the whole
// `korvante import` process (start, reading the library, the import, writing, exit), plain and
// with --analyse.
// Beside them, when MuseScore 3 is installed, the time `mscore3 -o out.mscz in.mid` takes for
// the same file on the offscreen platform.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "model/core/MseqDesk.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "model/theory/MseqMapStage.h"
#include "platform/FileSystem.h"
#include "play/import/MplyImportLibrary.h"
#include "play/import/OneBookLibrary.h"
#include "text/MrecCompiler.h"
#include "text/MrecFileStore.h"

namespace {

constexpr uint32_t kDivision = 480;
constexpr uint32_t kQuarters = 1200;  // ten minutes at 120 a minute

std::string vlq(uint32_t v) {
    std::string out(1, static_cast<char>(v & 0x7F));
    while (v >>= 7)
        out.insert(out.begin(), static_cast<char>(0x80 | (v & 0x7F)));
    return out;
}

std::string be32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

struct Ev {
    uint32_t tick;
    std::string bytes;
};

std::string track_chunk(std::vector<Ev> events) {
    std::stable_sort(events.begin(), events.end(),
                     [](const Ev& a, const Ev& b) { return a.tick < b.tick; });
    std::string data;
    uint32_t at = 0;
    for (const Ev& e : events) {
        data += vlq(e.tick - at) + e.bytes;
        at = e.tick;
    }
    data += std::string("\x00\xFF\x2F\x00", 4);
    return "MTrk" + be32(static_cast<uint32_t>(data.size())) + data;
}

// The file and its number of notes.
std::string ten_minute_file(size_t* notes) {
    std::mt19937 rng(2026);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<std::string> chunks;
    std::vector<Ev> conductor = {{0, std::string("\xFF\x51\x03\x07\xA1\x20", 6)}};
    for (uint32_t bar = 0; bar < kQuarters / 4; bar += 8)
        conductor.push_back(
            {bar * 4 * kDivision, "\xFF\x06\x01" + std::string(1, 'A' + bar / 8 % 26)});
    chunks.push_back(track_chunk(conductor));
    *notes = 0;
    // Per track: channel, notes a quarter, played timing.
    const struct {
        uint8_t channel;
        int per_quarter;
        bool played;
    } tracks[] = {{0, 2, false}, {1, 3, false}, {2, 2, true},  {3, 3, false},
                  {4, 2, true},  {5, 3, false}, {6, 4, false}, {9, 4, false}};
    for (const auto& t : tracks) {
        std::vector<Ev> ev;
        ev.push_back({0, std::string{static_cast<char>(0xC0 | t.channel),
                                     static_cast<char>(t.channel * 8)}});
        const uint32_t step = kDivision / static_cast<uint32_t>(t.per_quarter);
        for (uint32_t at = 0; at + step <= kQuarters * kDivision; at += step) {
            const uint32_t on = at + (t.played ? static_cast<uint32_t>(pick(0, 20)) : 0);
            const uint32_t len =
                t.played ? static_cast<uint32_t>(pick(40, static_cast<int>(step))) : step;
            const char key =
                static_cast<char>(t.channel == 9 ? (at / step % 2 ? 42 : 36) : pick(36, 96));
            ev.push_back({on, std::string{static_cast<char>(0x90 | t.channel), key,
                                          static_cast<char>(pick(40, 120))}});
            ev.push_back({on + len, std::string{static_cast<char>(0x80 | t.channel), key, 0}});
            ++*notes;
        }
        chunks.push_back(track_chunk(ev));
    }
    std::string file =
        "MThd" + be32(6) + std::string("\x00\x01", 2) +
        std::string{0, static_cast<char>(chunks.size())} +
        std::string{static_cast<char>(kDivision >> 8), static_cast<char>(kDivision & 0xFF)};
    for (const std::string& c : chunks)
        file += c;
    return file;
}

const std::string& test_file(size_t* notes = nullptr) {
    static size_t count = 0;
    static const std::string file = ten_minute_file(&count);
    if (notes) *notes = count;
    return file;
}

void count_notes(benchmark::State& state) {
    size_t notes = 0;
    test_file(&notes);
    state.counters["notes"] = static_cast<double>(notes);
    state.counters["notes/s"] =
        benchmark::Counter(static_cast<double>(notes) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<int64_t>(test_file().size()) *
                            static_cast<int64_t>(state.iterations()));
}

void BM_ReadFile(benchmark::State& state) {
    for (auto _ : state) {
        MplySmfFile file;
        MplySmfError error;
        if (!mply_read_smf(test_file(), &file, &error)) state.SkipWithError("refused");
        benchmark::DoNotOptimize(file.tracks.data());
    }
    count_notes(state);
}
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond);

void BM_ConvertToMusic(benchmark::State& state) {
    for (auto _ : state) {
        MplySmfFile file;
        MplySmfError error;
        mply_read_smf(test_file(), &file, &error);
        MseqObject node(0x10110001, MTYPE_LEAF_MUSIC, CkvString("m"), MseqDescPath());
        auto* music = new MseqMusic(&node);
        node.attach(music);
        auto stage = ref_ptr<MseqMapStage>::adopt(new MseqMapStage());
        MplyImportReport report;
        MplyImportFault fault;
        uint32_t needed = 0;
        if (!mply_import_music(file, *music, *stage, &report, &fault, &needed))
            state.SkipWithError("refused");
    }
    count_notes(state);
}
BENCHMARK(BM_ConvertToMusic)->Unit(benchmark::kMillisecond);

// A library on disk with one music book, in a temporary folder, for the whole imports.
class BenchLibrary {
public:
    // The music book; nullptr when the temporary folder could not be made.
    MseqObject* book() const { return library_.book(); }
    // The host path of the library's folder.
    const std::string& folder() const { return library_.folder(); }

    // Reads the test file and imports it into the book (with `analysis`, analysed too).
    bool import(MplyImportAnalysis* analysis) {
        MplySmfFile file;
        MplySmfError error;
        mply_read_smf(test_file(), &file, &error);
        MplyImportReport report;
        MplyImportSaved saved;
        return mply_import_into_book(library_.book(), file, CkvString("song"), "song", &report,
                                     &saved, analysis);
    }

private:
    one_book_library::OneBookLibrary library_;
};

// The whole import: read, convert, write the music and its stage map, save the book.
void BM_ImportIntoLibrary(benchmark::State& state) {
    BenchLibrary library;
    if (!library.book()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    for (auto _ : state) {
        if (!library.import(nullptr)) state.SkipWithError("refused");
    }
    count_notes(state);
}
BENCHMARK(BM_ImportIntoLibrary)->Unit(benchmark::kMillisecond);

// The whole import with the harmony analysis (chord degrees first), timed as a whole; beside
// it, from the same iterations, the import alone ("import_ms") and what the analysis adds to it
// ("analysis_ms": the chords and key found, the chord map written, every note converted where
// the player sounds the same key).
void BM_ImportAndAnalyse(benchmark::State& state) {
    BenchLibrary library;
    if (!library.book()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    using clock = std::chrono::steady_clock;
    double plain = 0, analysed = 0;
    for (auto _ : state) {
        const auto start = clock::now();
        const bool imported = library.import(nullptr);
        const auto middle = clock::now();
        MplyImportAnalysis analysis;
        const bool with_analysis = library.import(&analysis);
        const auto end = clock::now();
        if (!imported || !with_analysis) state.SkipWithError("refused");
        plain += std::chrono::duration<double, std::milli>(middle - start).count();
        const double whole = std::chrono::duration<double, std::milli>(end - middle).count();
        analysed += whole;
        state.SetIterationTime(whole / 1000);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["import_ms"] = plain / n;
    state.counters["analysis_ms"] = (analysed - plain) / n;
    count_notes(state);
}
BENCHMARK(BM_ImportAndAnalyse)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(8);

extern "C" char** environ;

// Runs the program with `args` and its output to /dev/null; its exit status, -1 when it could
// not be started. `cpu_ms` receives the processor time it used (user and system), which a busy
// machine does not stretch as it stretches the wall time.
int run_program(std::vector<std::string> args, double* cpu_ms) {
    args.insert(args.begin(), KV_PROGRAM);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return -1;
    int status = 0;
    struct rusage usage {};
    if (::wait4(pid, &status, 0, &usage) != pid) return -1;
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    *cpu_ms = ms(usage.ru_utime) + ms(usage.ru_stime);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The whole process `korvante import FILE LIBRARY --name NAME`, started and waited for, into a
// library on disk: argument 0 plain, 1 with --analyse. Each run adds one more music to the book.
// The time is the wall time from the start to the exit; "process_cpu_ms" the processor time.
void BM_ImportProcess(benchmark::State& state) {
    BenchLibrary library;
    if (!library.book()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string mid = library.folder() + "/song.mid";
    std::ofstream(mid, std::ios::binary) << test_file();
    const std::string room = library.folder() + "/library.kvnr";
    int run = 0;
    double cpu = 0;
    for (auto _ : state) {
        std::vector<std::string> args = {"import", mid, room, "--name",
                                         "song" + std::to_string(++run)};
        if (state.range(0)) args.push_back("--analyse");
        const auto start = std::chrono::steady_clock::now();
        double cpu_ms = 0;
        const int status = run_program(args, &cpu_ms);
        cpu += cpu_ms;
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (status != 0) state.SkipWithError("korvante import failed");
    }
    state.counters["process_cpu_ms"] = cpu / static_cast<double>(state.iterations());
    count_notes(state);
}
BENCHMARK(BM_ImportProcess)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("analyse")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(8);

// MuseScore 3 importing the same file, when it is installed.
void BM_MuseScore3Import(benchmark::State& state) {
    if (std::system("command -v mscore3 >/dev/null 2>&1") != 0) {
        state.SkipWithError("mscore3 (Debian's musescore3) is not installed");
        return;
    }
    char tmpl[] = "/tmp/kvmscore-XXXXXX";
    if (!::mkdtemp(tmpl)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string dir = tmpl;
    std::ofstream(dir + "/in.mid", std::ios::binary) << test_file();
    const std::string cmd = "QT_QPA_PLATFORM=offscreen mscore3 -o '" + dir + "/out.mscz' '" + dir +
                            "/in.mid' >/dev/null 2>&1";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("mscore3 failed");
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::filesystem::remove_all(dir);
    count_notes(state);
}
BENCHMARK(BM_MuseScore3Import)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace
