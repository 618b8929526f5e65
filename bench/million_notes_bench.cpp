// Loading a music of 1,000,000 note blocks (16 note tracks) from its file, as `korvante check`
// does: prints the file size, the peak memory of the load and its time beside each other, and
// the time of the whole `korvante check` process on the same file (check_process_s). The
// load runs in a fresh child process so that the peak is the load's own (the music that was
// generated and written first is freed before the child starts). Figures from a machine that is
// busy with other work are not comparable with those of a quiet one; the load's processor time
// (load_cpu_s) is the figure that suffers least.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
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

namespace million_notes_bench {

constexpr int kTracks = 16;
constexpr int kNotes = 1000000;

// Writes the music of `notes` note blocks into `host` through the program's writer.
bool write_music(const std::string& host, int notes) {
    auto* music = new MseqMusic(nullptr);
    for (int t = 0; t < kTracks; ++t) {
        MseqObject* node = music->create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD,
                                               MTYPE_TRACK_NOTE, CkvString("part"));
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
    music->full_path = MseqFullPath(CkvString(kv_fs::from_host(host)));
    const bool ok = MrecCompiler::save(music);
    music->release();
    return ok;
}

// The resident memory of this process now, in bytes.
double resident_bytes() {
    long pages = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

double cpu_seconds(const rusage& usage) {
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct LoadFigures {
    double peak_bytes = 0;  // the child's peak resident memory less what it had before the load
    double seconds = 0;
    double cpu_seconds = 0;  // user and system time of the load: what other work cannot inflate
    bool loaded = false;
};

// Loads the music in a child process and returns its figures.
LoadFigures load_in_child(const std::string& host) {
    int pipe_fds[2];
    LoadFigures figures;
    if (::pipe(pipe_fds) != 0) return figures;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipe_fds[0]);
        const double before = resident_bytes();
        rusage at_start{};
        ::getrusage(RUSAGE_SELF, &at_start);
        const auto start = std::chrono::steady_clock::now();
        auto* music = new MseqMusic(nullptr);
        MrecCompiler compiler;
        LoadFigures got;
        got.loaded = compiler.load(music, MseqFullPath(CkvString(kv_fs::from_host(host))), true);
        got.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        got.peak_bytes = static_cast<double>(usage.ru_maxrss) * 1024.0 - before;
        got.cpu_seconds = cpu_seconds(usage) - cpu_seconds(at_start);
        if (::write(pipe_fds[1], &got, sizeof got) != sizeof got) ::_exit(1);
        ::_exit(0);  // the music is left to the end of the process, as `check` does
    }
    ::close(pipe_fds[1]);
    if (pid > 0 && ::read(pipe_fds[0], &figures, sizeof figures) != sizeof figures)
        figures = LoadFigures{};
    ::close(pipe_fds[0]);
    int status = 0;
    if (pid > 0) ::waitpid(pid, &status, 0);
    return figures;
}

extern "C" char** environ;

// The wall time of the whole process `korvante check FILE`, its output to /dev/null; a negative
// figure when it could not be started or did not report the file as loaded.
double check_process_seconds(const std::string& host) {
    std::string program = KV_PROGRAM, command = "check", file = host;
    char* argv[] = {program.data(), command.data(), file.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int started = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (started != 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

void BM_LoadMillionNotes(benchmark::State& state) {
    char tmpl[] = "/tmp/kvmillion-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    const std::string file = dir + "/million.kvnl";
    if (!write_music(file, kNotes)) {
        state.SkipWithError("cannot write the music");
        return;
    }
    ::malloc_trim(0);  // the child starts from as little as the parent keeps
    const double file_bytes = static_cast<double>(std::filesystem::file_size(file));
    LoadFigures figures;
    double check_seconds = 0;
    for (auto _ : state) {
        figures = load_in_child(file);
        if (!figures.loaded) state.SkipWithError("the music did not load");
        state.SetIterationTime(figures.seconds);
        check_seconds = check_process_seconds(file);
        if (check_seconds < 0) state.SkipWithError("`korvante check` failed on the music");
    }
    std::filesystem::remove_all(dir);
    state.counters["file_MB"] = file_bytes / 1e6;
    state.counters["peak_MB"] = figures.peak_bytes / 1e6;
    state.counters["peak_per_file"] = figures.peak_bytes / file_bytes;
    state.counters["load_s"] = figures.seconds;
    state.counters["load_cpu_s"] = figures.cpu_seconds;
    state.counters["check_process_s"] = check_seconds;
    state.SetBytesProcessed(static_cast<int64_t>(file_bytes) * state.iterations());
}

}  // namespace million_notes_bench

BENCHMARK(million_notes_bench::BM_LoadMillionNotes)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
