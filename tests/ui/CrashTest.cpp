// A headless session killed with SIGKILL at random moments, over and over: the user's files are
// always whole (the old version or the saved one, byte for byte), and the recovery folder holds
// a whole copy with every edit made before the last autosave that finished. And a file-size
// limit (a full disk) during autosave and save: the old files survive and the messages name the
// file and the reason.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "model/core/MseqEntity.h"
#include "platform/FileSystem.h"
#include "text/MrecCompiler.h"
#include "text/MrecFileEntity.h"
#include "tools/FileBytes.h"

extern char** environ;

namespace crash_test {

namespace fs = std::filesystem;

void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The session: an edit, an autosave, an edit and a save, then two more edits each followed by
// an autosave. Every autosave that finishes prints "autosave:" and then the copy's size.
const char* const kSession =
    "start\n"
    "autosave 1\n"
    "open LIB デモソング/はじまりの朝\n"
    "track パート/メロディ\n"
    "block 0 m_Type=4 m_Whole=2 m_Length=2\n"
    "wait-autosave\n"
    "print recovery\n"
    "block 4 m_Type=4 m_Whole=4 m_Length=2\n"
    "save\n"
    "block 8 m_Type=4 m_Whole=5 m_Length=2\n"
    "wait-autosave\n"
    "print recovery\n"
    "block 12 m_Type=4 m_Whole=7 m_Length=2\n"
    "wait-autosave\n"
    "print recovery\n";

// One lane of trials: its own application folder, runtime folder and recovery folder, so that
// lanes run side by side.
struct Lane {
    std::string dir, app, song, state, script;

    explicit Lane(const std::string& root, int n) {
        dir = root + "/lane" + std::to_string(n);
        app = dir + "/app";
        for (const char* d : {"mymusic", "pattern_v01", "define"}) {
            fs::create_directories(app + "/" + d);
            fs::copy(std::string(KV_APP_DATA) + "/" + d, app + "/" + d,
                     fs::copy_options::recursive);
        }
        fs::create_directories(dir + "/run");
        fs::permissions(dir + "/run", fs::perms::owner_all);
        song = app + "/mymusic/demo/song.kvnl";
        state = dir + "/state";
        script = dir + "/session.txt";
        std::string text = kSession;
        text.replace(text.find("LIB"), 3, app + "/mymusic/library.kvnr");
        write(script, text);
    }
    std::string recovery() const { return state + "/korvante/recovery"; }

    // Starts the session with its output in `out`; the process id, or -1.
    pid_t spawn(const std::string& out, const std::string& script_file) const {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string v = *e;
            if (v.rfind("XDG_RUNTIME_DIR=", 0) != 0 && v.rfind("XDG_STATE_HOME=", 0) != 0)
                env.push_back(v);
        }
        env.push_back("XDG_RUNTIME_DIR=" + dir + "/run");
        env.push_back("XDG_STATE_HOME=" + state);
        std::vector<char*> envp;
        for (std::string& v : env)
            envp.push_back(v.data());
        envp.push_back(nullptr);
        std::vector<std::string> args = {KV_PROGRAM, "--home", app, "script", script_file};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = -1;
        if (posix_spawn(&pid, KV_PROGRAM, &actions, nullptr, argv.data(), envp.data()) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    // Runs a session to its end; its exit status.
    int run(const std::string& out, const std::string& script_file) const {
        const pid_t pid = spawn(out, script_file);
        int status = 0;
        if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

// The sizes the copies had, in the order the session printed them.
std::vector<long long> copy_sizes(const std::string& output) {
    std::vector<long long> sizes;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("recovery: ", 0) != 0) continue;
        std::istringstream words(line.substr(10));
        std::string path, when;
        long long size = 0;
        if (words >> path >> when >> size) sizes.push_back(size);
    }
    return sizes;
}

// The content of the one copy in the folder (empty when there is none; "?" for several).
std::string the_copy(const std::string& folder) {
    std::vector<std::string> copies;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() == ".kvrec") copies.push_back(it->path().string());
    }
    if (copies.size() > 1) return "?";
    if (copies.empty()) return {};
    const std::string text = kv_test::read_bytes(copies[0]);
    const size_t body = text.find("\n\n");
    return body == std::string::npos ? "?" : text.substr(body + 2);
}

// True when the text loads as a whole file of the program.
bool loads(const std::string& text) {
    MrecCompiler header;
    if (!header.parse_header_text(text.c_str(), text.size() + 1, header.result)) return false;
    MrecFileEntity f;
    if (!mrec_make_file_entity(header.result.header.type, f)) return false;
    MrecCompiler c;
    return c.load_text(f.entity.get(), text.c_str(), text.size() + 1) && f.entity->validate();
}

// The stages a kill is timed from: the start, the first copy printed, the save printed, the
// second copy printed.
constexpr int kStages = 4;

// Waits until the session `pid` writing to `out` has reached `stage`; true, with its `status`,
// when it ended first (or did not get there within a minute: it is then killed).
bool wait_for_stage(pid_t pid, const std::string& out, const std::string& song, int stage,
                    int* status) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    for (;;) {
        if (::waitpid(pid, status, WNOHANG) == pid) return true;
        const std::string printed = stage == 0 ? std::string() : kv_test::read_bytes(out);
        const size_t copies = copy_sizes(printed).size();
        const bool saved = printed.find(song + "\n") != std::string::npos;
        if (stage == 0 || (stage == 1 && copies >= 1) || (stage == 2 && saved) ||
            (stage == 3 && copies >= 2))
            return false;
        if (std::chrono::steady_clock::now() > give_up) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, status, 0);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

struct Trial {
    int lane = 0;
    int stage = 0;  // the stage the kill was timed from
    int delay_ms = 0;
    int autosaves = 0;  // "autosave:" lines printed before the kill
    bool saved = false;
    bool ended = false;   // the session ran to its end before the kill came
    std::string problem;  // empty: everything held
};

}  // namespace crash_test

using crash_test::Lane;
using crash_test::Trial;
namespace fs = std::filesystem;

TEST(CrashRecovery, KilledAtRandomMomentsTheFilesAreWholeAndTheCopiesComplete) {
    char tmpl[] = "/tmp/kvcrash-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string root = tmpl;
    constexpr int kLanes = 8, kTrialsPerLane = 14;  // 112 trials
    std::vector<Lane> lanes;
    for (int i = 0; i < kLanes; ++i)
        lanes.emplace_back(root, i);
    const std::string original = kv_test::read_bytes(lanes[0].song);

    // A whole run first: the saved version of the song and the sizes of the three copies.
    const Lane& ref = lanes[0];
    ASSERT_EQ(ref.run(ref.dir + "/ref.txt", ref.script), 0)
        << kv_test::read_bytes(ref.dir + "/ref.txt");
    const std::string saved = kv_test::read_bytes(ref.song);
    const std::vector<long long> sizes =
        crash_test::copy_sizes(kv_test::read_bytes(ref.dir + "/ref.txt"));
    ASSERT_EQ(sizes.size(), 3u) << kv_test::read_bytes(ref.dir + "/ref.txt");
    ASSERT_NE(saved, original);
    EXPECT_FALSE(fs::exists(ref.recovery())) << "a clean end leaves no copies";

    std::vector<Trial> trials(kLanes * kTrialsPerLane);
    std::vector<std::thread> threads;
    for (int l = 0; l < kLanes; ++l) {
        threads.emplace_back([&, l] {
            const Lane& lane = lanes[static_cast<size_t>(l)];
            std::mt19937 random(static_cast<uint32_t>(1234 + l));
            // Each kill comes a random time after a random stage of the session has been
            // printed, so that the kills meet every stage however fast or busy the machine is;
            // the stages are about an autosave interval (1 s) apart.
            std::uniform_int_distribution<int> stage(0, crash_test::kStages - 1);
            std::uniform_int_distribution<int> delay(0, 900);
            for (int t = 0; t < kTrialsPerLane; ++t) {
                Trial& trial = trials[static_cast<size_t>(l * kTrialsPerLane + t)];
                trial.lane = l;
                trial.stage = stage(random);
                trial.delay_ms = delay(random);
                crash_test::write(lane.song, original);
                fs::remove_all(lane.state);
                const std::string out = lane.dir + "/out.txt";
                const pid_t pid = lane.spawn(out, lane.script);
                if (pid < 0) {
                    trial.problem = "cannot start the program";
                    continue;
                }
                int status = 0;
                if (!crash_test::wait_for_stage(pid, out, lane.song, trial.stage, &status)) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(trial.delay_ms));
                    ::kill(pid, SIGKILL);
                    ::waitpid(pid, &status, 0);
                }
                trial.ended = WIFEXITED(status);
                const std::string printed = kv_test::read_bytes(out);
                const std::vector<long long> seen = crash_test::copy_sizes(printed);
                trial.autosaves = static_cast<int>(seen.size());
                trial.saved = printed.find(lane.song + "\n") != std::string::npos;
                const std::string song = kv_test::read_bytes(lane.song);
                const std::string copy = crash_test::the_copy(lane.recovery());
                // After the last line the clean end removes the copies: a kill that comes
                // while it does has nothing left to find.
                if (trial.autosaves == static_cast<int>(sizes.size()) && copy.empty())
                    trial.ended = true;
                if (trial.ended) {
                    // Not a crash: the clean end removed the copies.
                    if (song != saved || !copy.empty()) trial.problem = "the clean end is wrong";
                } else if (song != original && song != saved) {
                    trial.problem = "the song is neither the old nor the saved version";
                } else if (trial.saved && song != saved) {
                    trial.problem = "the save was printed but the file is the old one";
                } else if (trial.autosaves > 0 && copy.empty()) {
                    trial.problem = "an autosave finished but no copy is left";
                } else if (copy == "?") {
                    trial.problem = "the copies cannot be told apart";
                } else if (!copy.empty()) {
                    // The copy is one of the three states, at least as new as the last
                    // autosave printed, and a whole file.
                    size_t state = 0;
                    while (state < sizes.size() &&
                           static_cast<long long>(copy.size()) != sizes[state])
                        ++state;
                    if (state == sizes.size()) {
                        trial.problem = "the copy is of no state the session went through";
                    } else if (static_cast<int>(state) + 1 < trial.autosaves) {
                        trial.problem = "the copy misses edits an autosave had kept";
                    } else if (!crash_test::loads(copy)) {
                        trial.problem = "the copy does not load";
                    }
                }
            }
        });
    }
    for (std::thread& t : threads)
        t.join();

    int before_copy = 0, with_copy = 0, after_save = 0, intact = 0, ended = 0;
    for (const Trial& t : trials) {
        if (t.ended) ++ended;
        EXPECT_EQ(t.problem, "") << "lane " << t.lane << ", killed " << t.delay_ms
                                 << " ms after stage " << t.stage;
        if (t.problem.empty()) ++intact;
        if (t.ended) continue;
        if (t.autosaves == 0) ++before_copy;
        if (t.autosaves > 0) ++with_copy;
        if (t.saved) ++after_save;
    }
    std::printf(
        "crash trials: %zu; killed before the first copy: %d, after one or more: %d, after the "
        "save: %d, ended by itself first: %d; files whole and copies complete: %d\n",
        trials.size(), before_copy, with_copy, after_save, ended, intact);
    EXPECT_GE(before_copy + with_copy, 100) << "fewer than 100 sessions were killed";
    EXPECT_GT(before_copy, 0);
    EXPECT_GT(with_copy, 0);
    EXPECT_GT(after_save, 0);

    // After a crash the next start offers the copy, and restoring it opens the song modified.
    const Lane& lane = lanes[1];
    crash_test::write(lane.song, original);
    fs::remove_all(lane.state);
    const std::string first = lane.dir + "/first.txt";
    const pid_t pid = lane.spawn(first, lane.script);
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 1000 && crash_test::copy_sizes(kv_test::read_bytes(first)).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    crash_test::write(lane.dir + "/again.txt",
                      "answer cancel\nstart\nprint recovery\nrecover all\nprint modified\n"
                      "answer no\nexit\nprint recovery\n");
    const std::string again = lane.dir + "/again-out.txt";
    EXPECT_EQ(lane.run(again, lane.dir + "/again.txt"), 1);  // the last line: not started
    const std::string printed = kv_test::read_bytes(again);
    EXPECT_NE(printed.find("ask: "), std::string::npos) << printed;
    EXPECT_NE(printed.find("recovery: " + lane.song), std::string::npos) << printed;
    EXPECT_NE(printed.find("recovered: " + lane.song), std::string::npos) << printed;
    EXPECT_NE(printed.find("modified: 1"), std::string::npos) << printed;
    // The restore wrote nothing to the song: it is as the killed session left it.
    const std::string song = kv_test::read_bytes(lane.song);
    EXPECT_TRUE(song == original || song == saved);
    fs::remove_all(root);
}

TEST(CrashRecovery, AFullDiskDuringAutosaveAndSaveKeepsTheOldFilesAndSaysWhy) {
    char tmpl[] = "/tmp/kvfull-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string root = tmpl;
    const Lane lane(root, 0);
    const std::string original = kv_test::read_bytes(lane.song);
    ASSERT_GT(original.size(), 40u * 1024);
    crash_test::write(lane.dir + "/full.txt",
                      "start\nautosave 1\nopen " + lane.app +
                          "/mymusic/library.kvnr デモソング/はじまりの朝\n"
                          "track パート/メロディ\nblock 0 m_Type=4 m_Whole=2 m_Length=2\n"
                          "wait-autosave\nsave\n");
    // No file may grow past 40 KiB: the song's copy and the song itself cannot be written.
    const std::string command = "ulimit -f 40; XDG_RUNTIME_DIR=" + lane.dir +
                                "/run XDG_STATE_HOME=" + lane.state + " " + KV_PROGRAM +
                                " --home " + lane.app + " script " + lane.dir + "/full.txt > " +
                                lane.dir + "/full-out.txt 2>&1";
    const int status = std::system(("bash -c '" + command + "'").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);  // the save fails, and with it the script
    const std::string printed = kv_test::read_bytes(lane.dir + "/full-out.txt");
    EXPECT_TRUE(kv_test::read_bytes(lane.song) == original) << "the song changed";
    // The autosave's warning and the save's error both name the file and the reason.
    const size_t warn = printed.find("warn: 自動保存に失敗しました。");
    ASSERT_NE(warn, std::string::npos) << printed;
    EXPECT_NE(printed.find("ファイル : " + lane.song, warn), std::string::npos) << printed;
    EXPECT_NE(printed.find("理由 : ", warn), std::string::npos) << printed;
    EXPECT_NE(printed.find("cannot save " + lane.song + ": "), std::string::npos) << printed;
    EXPECT_NE(printed.find("too large"), std::string::npos) << printed;
    // No half-written copy is offered, and no temporary file is left beside the song.
    for (const auto& e : fs::directory_iterator(fs::path(lane.song).parent_path()))
        EXPECT_EQ(e.path().filename().string().find(".kvtmp"), std::string::npos) << e.path();
    fs::remove_all(root);
}
