// The autosave and recovery steps of `korvante script`: the interval, waiting for the next
// autosave, the list of recovery copies and their restore or discard.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "app/MFrame.h"
#include "platform/FileSystem.h"
#include "ui/script/ScriptRunner.h"

namespace kv_ui {

namespace {

bool frame_started(ScriptSession& s, std::string* error) {
    if (s.frame()) return true;
    *error = "the application is not started (use: start)";
    return false;
}

std::string copy_host_path(const MAppRecoveryEntry& e) {
    const std::string host = kv_fs::to_host(e.path.str());
    return host.empty() ? e.path.str() : host;
}

bool step_autosave(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!frame_started(s, error)) return false;
    long long seconds = 0;
    if (line.args.size() != 1 || !script_parse_int(line.args[0], 0, 86400, &seconds)) {
        *error = "usage: autosave SECONDS (0 switches it off)";
        return false;
    }
    s.frame()->set_autosave_interval(static_cast<uint32_t>(seconds));
    return true;
}

bool step_wait_autosave(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!frame_started(s, error)) return false;
    MFrame& f = *s.frame();
    if (f.autosave_interval() == 0) {
        *error = "autosave is off (use: autosave SECONDS)";
        return false;
    }
    const uint32_t before = f.autosave_runs();
    const auto limit = std::chrono::steady_clock::now() +
                       std::chrono::seconds(2 * static_cast<int64_t>(f.autosave_interval()) + 5);
    while (f.autosave_runs() == before) {
        if (std::chrono::steady_clock::now() > limit) {
            *error = "no autosave came";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        f.pump();
    }
    std::printf("autosave: %zu file(s)\n", f.recoverable(true).size());
    std::fflush(stdout);
    const std::string unanswered = s.port.take_failure();
    if (!unanswered.empty()) {
        *error = unanswered;
        return false;
    }
    return true;
}

bool print_recovery(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!frame_started(s, error)) return false;
    for (const MAppRecoveryEntry& e : s.frame()->recoverable(true)) {
        const std::time_t t = static_cast<std::time_t>(e.saved_at);
        std::tm local{};
        char when[32] = "";
        if (localtime_r(&t, &local)) std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S", &local);
        std::printf("recovery: %s %s %lld%s%s\n", copy_host_path(e).c_str(), when,
                    static_cast<long long>(e.size), e.own ? " (this run)" : "",
                    MAppRecovery::changed_on_disk(e) ? " (changed on disk)" : "");
    }
    std::fflush(stdout);
    return true;
}

bool step_recover(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!frame_started(s, error)) return false;
    if (line.args.size() != 1) {
        *error = "usage: recover PATH|all|none";
        return false;
    }
    MFrame& f = *s.frame();
    const std::string& what = line.args[0];
    if (what == "none") {
        f.discard_recovery();
        return true;
    }
    int restored = 0;
    for (const MAppRecoveryEntry& e : f.recoverable(false)) {
        if (what != "all" && copy_host_path(e) != what) continue;
        if (!f.recover(e)) {
            *error = "cannot restore " + copy_host_path(e);
            return false;
        }
        std::printf("recovered: %s\n", copy_host_path(e).c_str());
        ++restored;
    }
    if (restored == 0 && what != "all") {
        *error = "no recovery copy of " + what;
        return false;
    }
    return true;
}

}  // namespace

const std::vector<ScriptVerb>& script_recovery_verbs() {
    static const std::vector<ScriptVerb> verbs = {
        {"autosave", step_autosave, "SECONDS: the autosave interval (0 switches it off)"},
        {"wait-autosave", step_wait_autosave,
         ": waits for the next autosave and prints how many copies there are"},
        {"print recovery", print_recovery,
         ": the recovery copies, one a line: path, time, size in bytes"},
        {"recover", step_recover,
         "PATH|all|none: restores the copies an earlier run left (of PATH, or all), or deletes "
         "them"},
    };
    return verbs;
}

}  // namespace kv_ui
