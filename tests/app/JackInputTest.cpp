// The MIDI input against a real JACK server of the test's own (`jackd -d dummy` under a server
// name nobody else uses): a client of ours, the program's JACK output, plays keys into the
// input port "midi_in", and step entry enters them on the demo song.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ExternalTools.h"
#include "app/MAppMidiInput.h"
#include "app/MAppScriptPort.h"
#include "edit/DemoSongFixture.h"
#include "edit/MedtBlockText.h"
#include "platform/MidiIn.h"
#include "platform/MidiOut.h"
#include "platform/MidiOutJack.h"
#include "ui/RunProgram.h"

extern char** environ;

namespace jack_input_test {

class JackInput : public demo_song_fixture::DemoSong {
protected:
    void SetUp() override {
        for (const char* tool : {"jackd", "jack_lsp"})
            ASSERT_TRUE(kv_test::have_program(tool))
                << tool << " is missing: install jackd2 (tools/setup.sh)";
        name_ = "korvante-input-test-" + std::to_string(::getpid());
        ::setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        const std::vector<std::string> args = {"jackd", "-n",    name_, "-d", "dummy",
                                               "-r",    "48000", "-p",  "256"};
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        ASSERT_EQ(posix_spawnp(&server_, "jackd", &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        bool up = false;
        for (int i = 0; i < 200 && !up; ++i) {
            up = std::system("jack_lsp >/dev/null 2>&1") == 0;
            if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_TRUE(up) << "the JACK server did not come up";
        DemoSong::SetUp();
    }

    void TearDown() override {
        DemoSong::TearDown();
        if (server_ > 0) {
            ::kill(server_, SIGTERM);
            int status = 0;
            ::waitpid(server_, &status, 0);
        }
        ::unsetenv("JACK_DEFAULT_SERVER");
    }

    std::string name_;
    pid_t server_ = -1;
};

// The number of the first device whose name contains `part`, or -1.
template <class Out, class Caps>
int64_t Find(Out& out, const std::string& part) {
    for (uint32_t i = 0; i < out.device_count(); ++i) {
        Caps caps;
        if (out.device_caps(i, &caps) && caps.name.find(part) != std::string::npos) return i;
    }
    return -1;
}

TEST_F(JackInput, KeysPlayedIntoThePortAreEnteredAtTheCursor) {
    std::unique_ptr<kv_midi::midi_in> in = kv_midi::make_jack_midi_in();
    ASSERT_EQ(in->device_count(), 0u) << "nothing sends MIDI yet";
    std::unique_ptr<kv_midi::midi_out> keys = kv_midi::make_jack_midi_out();
    const int64_t into = Find<kv_midi::midi_out, kv_midi::midi_out_caps>(*keys, ":midi_in");
    ASSERT_GE(into, 0) << "our input port is not offered to other clients";
    ASSERT_TRUE(keys->open(static_cast<uint32_t>(into))) << keys->last_error();
    const int64_t from = Find<kv_midi::midi_in, kv_midi::midi_in_caps>(*in, ":midi_out");
    ASSERT_GE(from, 0) << "the sending port is not listed";
    ASSERT_TRUE(in->open(static_cast<uint32_t>(from))) << in->last_error();
    // `korvante devices` lists the sending port among the inputs.
    const std::string listing = run_program("devices").out;
    const size_t inputs = listing.find("MIDI input ports");
    ASSERT_NE(inputs, std::string::npos) << listing;
    EXPECT_NE(listing.find(":midi_out", inputs), std::string::npos) << listing;

    MAppScriptPort user;
    MedtMusicInvoker* e = editor.get();
    MAppMidiInput input(
        in.get(), user, [e] { return e; }, [] { return int64_t{-1}; }, nullptr);
    input.set_mode(MAppRecordMode::step);
    MedtTrack* melody = track("メロディ");
    ASSERT_NE(melody, nullptr);
    const int32_t start = 6 * melody->beats();
    ASSERT_TRUE(editor->set_cursor(melody, start, start));
    const std::vector<int> played = {60, 66, 71, 74};
    for (int key : played) {
        const int32_t pos = editor->cursor();
        ASSERT_TRUE(keys->short_message(0x90u | uint32_t(key) << 8 | 100u << 16));
        ASSERT_TRUE(keys->short_message(0x80u | uint32_t(key) << 8));
        for (int i = 0; i < 300 && editor->cursor() == pos; ++i) {
            input.pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_EQ(editor->cursor(), pos + 2) << "key " << key << " did not arrive";
        const MseqBlockNote* placed = notes(melody)->block_at(pos);
        ASSERT_NE(placed, nullptr);
        int64_t sounds = -1;
        ASSERT_TRUE(medt_block_text::note_key(*melody, pos, *placed, &sounds));
        EXPECT_EQ(sounds, key);
    }
    // The sending client goes away: the input says so, and step entry stops.
    keys.reset();
    for (int i = 0; i < 300 && input.mode() == MAppRecordMode::step; ++i) {
        input.pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(input.mode(), MAppRecordMode::off);
    EXPECT_FALSE(in->is_open());
    ASSERT_FALSE(user.log.empty());
    EXPECT_NE(user.log.back().find("went away"), std::string::npos) << user.log.back();
}

}  // namespace jack_input_test
