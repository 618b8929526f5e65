#pragma once

// A fixture for the application layer: a fresh temporary application folder (with the parts of
// data/ a test asks for), a runtime folder for the single-instance lock, a scripted user port
// and recorders in place of the MIDI output, the synthesizer and the desktop's shell.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/MApp.h"
#include "app/MAppCommands.h"
#include "app/MAppScriptPort.h"
#include "app/MFrame.h"
#include "edit/McmdKind.h"
#include "edit/MedtMusic.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/MidiOut.h"
#include "platform/Shell.h"
#include "platform/SynthPort.h"
#include "platform/TextCodec.h"

// The player's clock in the application tests: real time running `kFactor` times as fast, so
// that a run plays its music in a fraction of its length while its steps keep their order and
// proportions (the engine's longest step stays well above one real millisecond).
class FastClock final : public KvClock {
public:
    static constexpr uint32_t kFactor = 16;
    uint32_t now_ms() override {
        const auto real = std::chrono::steady_clock::now() - start_;
        return 1000 + static_cast<uint32_t>(
                          std::chrono::duration_cast<std::chrono::microseconds>(real).count() *
                          kFactor / 1000);
    }
    void sleep_ms(uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::microseconds(uint64_t{ms} * 1000 / kFactor));
    }

private:
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvapp-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        home_ = root_ + "/app";
        run_ = root_ + "/run";
        std::filesystem::create_directories(home_ + "/define");
        std::filesystem::create_directories(run_);
    }
    void TearDown() override {
        app_.end();
        for (auto it = saved_environment_.rbegin(); it != saved_environment_.rend(); ++it) {
            if (it->second) {
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                ::unsetenv(it->first.c_str());
            }
        }
        std::filesystem::remove_all(root_);
    }

    // Sets an environment variable until the test ends.
    void set_environment(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved_environment_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    // Makes the application an installed one: its folder PREFIX/share/korvante, beside
    // PREFIX/bin/korvante, holds the demo library and the pattern book, and the user's folders
    // are config/, data/ and state/ of the test's folder until the test ends.
    void install() {
        const std::string prefix = root_ + "/prefix";
        home_ = prefix + "/share/korvante";
        std::filesystem::create_directories(home_ + "/define");
        std::filesystem::create_directories(prefix + "/bin");
        write(prefix + "/bin/korvante", "");
        copy_data("mymusic");
        copy_data("pattern_v01");
        set_environment("XDG_CONFIG_HOME", root_ + "/config");
        set_environment("XDG_DATA_HOME", root_ + "/data");
        set_environment("XDG_STATE_HOME", root_ + "/state");
    }

    // Copies a file or folder of the program's data (data/) into the application folder.
    void copy_data(const std::string& rel) {
        const std::filesystem::path from = std::filesystem::path(KV_APP_DATA) / rel;
        const std::filesystem::path to = std::filesystem::path(home_) / rel;
        std::filesystem::create_directories(to.parent_path());
        std::filesystem::copy(from, to,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
    }

    // Starts on a copy of the demo library and its pattern book, which opens as the first
    // library (wrap in ASSERT_NO_FATAL_FAILURE).
    void start_on_demo() {
        copy_data("mymusic");
        copy_data("pattern_v01");
        ASSERT_TRUE(start());
        ASSERT_NE(frame().room(), nullptr);
    }

    // Stops a play that may still run and waits for its end (at most 3 s), for the tests that
    // play to call before the application ends.
    void stop_playing() {
        if (!app_.frame()) return;
        frame().run(ID_STOP);
        frame().wait_play_end(3000);
    }

    MAppServices services() {
        MAppServices s;
        s.port = &port_;
        s.midi = &midi_;
        s.synth = &synth_;
        s.shell = &shell_;
        s.clock = &clock_;
        s.home = home_;
        return s;
    }

    // Starts the application with a command line (a Windows-form path or empty).
    bool start(const std::string& command_line = "") {
        return app_.start(services(), CkvString(command_line), run_);
    }
    MFrame& frame() { return *app_.frame(); }

    // The Windows form of a path under the application folder.
    CkvString win(const std::string& rest) const {
        return CkvString(kv_fs::from_host(home_ + "/" + rest));
    }
    std::string host(const std::string& rest) const { return home_ + "/" + rest; }

    static bool exists(const std::string& path) { return std::filesystem::exists(path); }
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void write(const std::string& path, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    // The reported lines that start with `prefix` (UTF-8).
    std::vector<std::string> lines(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& l : port_.log) {
            if (l.rfind(prefix, 0) == 0) out.push_back(l);
        }
        return out;
    }
    // True when some reported line contains `text` (UTF-8).
    bool shown(const std::string& text) const {
        for (const std::string& l : port_.log) {
            if (l.find(text) != std::string::npos) return true;
        }
        return false;
    }
    static CkvString cp(const char* utf8) { return CkvString(kv_codec::cp932_from_utf8(utf8)); }

    // The first node of `type` in the open library, in tree order (opening books on the way).
    MseqObject* find_node(MSEQ_TYPE type, MseqObject* from = nullptr) {
        MseqObject* node = from ? from : frame().room_node();
        if (!node) return nullptr;
        if (node->type == type && node != from) return node;
        if (mseq_type_category(node->type) == MCAT_BOOK) mseq_open(node);
        for (MseqObject* c = node->first_child(); c; c = c->next()) {
            if (c->type == type) return c;
            if (MseqObject* found = find_node(type, c)) return found;
        }
        return nullptr;
    }
    static int child_count(const MseqObject* node) {
        int n = 0;
        for (MseqObject* c = node->first_child(); c; c = c->next())
            ++n;
        return n;
    }
    // Opens the library's first music as a press on its link does, with its editor. Call
    // through ASSERT_NO_FATAL_FAILURE.
    void open_first_music(MseqMusic** music, MedtMusicInvoker** editor) {
        MseqObject* node = find_node(MTYPE_LEAF_MUSIC);
        ASSERT_NE(node, nullptr);
        frame().select_node(node);
        ASSERT_TRUE(frame().run(ID_LINK_OPEN));
        *music = frame().shown_file()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        ASSERT_NE(*music, nullptr);
        MgenRef* e = MseqDesk::instance().editor_of(*music);
        ASSERT_NE(e, nullptr);
        *editor = static_cast<MedtMusicInvoker*>(e->cast(MKIND_EDT_MUSIC_INVOKER));
        ASSERT_NE(*editor, nullptr);
    }
    // Queues one press of OK with these dialog values (UTF-8 values).
    void dialog(std::vector<std::pair<std::string, std::string>> values) {
        std::vector<std::pair<std::string, CkvString>> cp932;
        for (auto& [k, v] : values)
            cp932.emplace_back(k, CkvString(kv_codec::cp932_from_utf8(v)));
        port_.dialog(cp932);
    }
    // Creates a new music through the dialog's first page under `parent/folder` (`parent`
    // relative to the temporary folder).
    bool new_music(const std::string& parent, const std::string& folder) {
        dialog({{"page", "1"},
                {"parent", kv_fs::from_host(root_ + "/" + parent)},
                {"folder", folder}});
        return frame().run(ID_NEW_MUSIC_BUTTON);
    }

    std::string root_, home_, run_;
    // What set_environment replaced, restored at the end in the reverse order.
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_environment_;
    MAppScriptPort port_;
    FastClock clock_;
    kv_midi::midi_out_recorder midi_{std::vector<kv_midi::midi_out_caps>{{"Test Synth", true}}};
    kv_synth::synth_port_recorder synth_;
    kv_shell::shell_recorder shell_;
    MApp app_;
};
