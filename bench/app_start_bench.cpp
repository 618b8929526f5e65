// The application's start-up, headless: the single-instance lock, the configuration, the device
// check, the word map, the scale map and the demo library opened into a ready frame (the state
// the desktop front end shows its window in). Prints the time per start in milliseconds; the
// goal is 150 ms. The application folder is a temporary copy of data/.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/MApp.h"
#include "app/MAppScriptPort.h"
#include "model/library/MseqRoom.h"

namespace {

struct Folder {
    Folder() {
        char tmpl[] = "/tmp/kvstart-XXXXXX";
        if (::mkdtemp(tmpl)) root = tmpl;
        std::filesystem::copy(KV_APP_DATA, root + "/app", std::filesystem::copy_options::recursive);
        std::filesystem::create_directories(root + "/run");
    }
    ~Folder() { std::filesystem::remove_all(root); }
    std::string root;
};

void BM_StartToReadyFrame(benchmark::State& state) {
    Folder folder;
    MAppScriptPort port;  // quiet: messages are only kept
    MAppServices services;
    services.port = &port;
    services.home = folder.root + "/app";
    size_t books = 0;
    for (auto _ : state) {
        MApp app;
        if (!app.start(services, CkvString(), folder.root + "/run")) {
            state.SkipWithError("start-up failed");
            break;
        }
        books = app.frame()->room() ? app.frame()->room()->books.size() : 0;
        state.PauseTiming();
        app.end();
        state.ResumeTiming();
    }
    state.counters["books"] = static_cast<double>(books);
    state.counters["messages"] = static_cast<double>(port.log.size());
}
BENCHMARK(BM_StartToReadyFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
