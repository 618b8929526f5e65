// Start-up of the desktop program: the time from the start of the process to the first painted
// frame of the main window with the demo library open, on the offscreen platform. Each
// iteration starts korvante-gui with --report-first-paint on a fresh copy of the application
// data; the program prints the time since the launcher's clock reading and ends. The figure is
// the median of the runs (manual time, milliseconds).
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One start: the milliseconds the program reported, or a negative value on failure.
double start_once(const std::string& home) {
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    const std::string stamp = "KV_SPAWN_NS=" + std::to_string(now_ns());
    std::vector<std::string> env_text = {stamp, "QT_QPA_PLATFORM=offscreen"};
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("KV_SPAWN_NS=", 0) == 0 || entry.rfind("QT_QPA_PLATFORM=", 0) == 0)
            continue;
        env_text.push_back(entry);
    }
    std::vector<char*> env;
    for (std::string& e : env_text)
        env.push_back(e.data());
    env.push_back(nullptr);
    std::string program = KV_GUI_PROGRAM, home_flag = "--home", home_arg = home,
                report = "--report-first-paint";
    char* argv[] = {program.data(), home_flag.data(), home_arg.data(), report.data(), nullptr};
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[1]);
    std::string out;
    char buffer[256];
    ssize_t n = 0;
    while (rc == 0 && (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<size_t>(n));
    ::close(pipe_fds[0]);
    if (rc != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    double ms = -1;
    if (std::sscanf(out.c_str(), "first paint after %lf ms", &ms) != 1) return -1;
    return ms;
}

void BM_FirstPaint(benchmark::State& state) {
    char tmpl[] = "/tmp/kvbench-XXXXXX";
    const std::string home = ::mkdtemp(tmpl) ? tmpl : "";
    for (const char* part : {"define", "mymusic", "pattern_v01", "template"}) {
        std::filesystem::copy(std::filesystem::path(KV_APP_DATA) / part,
                              std::filesystem::path(home) / part,
                              std::filesystem::copy_options::recursive);
    }
    for (auto _ : state) {
        const double ms = start_once(home);
        if (ms < 0) {
            state.SkipWithError("korvante-gui did not report its first paint");
            break;
        }
        state.SetIterationTime(ms / 1000.0);
    }
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
}

}  // namespace

BENCHMARK(BM_FirstPaint)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
