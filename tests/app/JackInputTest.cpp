// The MIDI input against a real JACK server of the test's own (tools/PrivateJackServer.h): a
// small keyboard program plays keys into the program's input port "korvante:midi_in", and
// step entry enters them on the demo song; the JACK output and input share that one client.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
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
#include "tools/PrivateJackServer.h"
#include "ui/RunProgram.h"

namespace jack_input_test {

// A keyboard: the program tools/JackKeys.cpp, a JACK client "kvtest-keys" with the output port
// "keys" in a process of its own, which plays each key written to it in its next period. Two
// clients in one process would hand the port buffer over through shared memory the thread
// sanitizer cannot see (JackKeys.cpp says what that does); the program never has a second one.
const char* const kKeysMissing =
    "the test keyboard did not start (" KV_TEST_KEYS "; without JACK's headers it is not built)";

class Keys {
public:
    explicit Keys(const std::string& log) {
        // A socket, not a pipe: a key written after the keyboard ended fails instead of
        // raising SIGPIPE in the test.
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        char* argv[] = {const_cast<char*>(KV_TEST_KEYS), nullptr};
        if (posix_spawn(&pid_, KV_TEST_KEYS, &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[0]);
        keys_ = fds[1];
        ready_ = pid_ > 0 && said_ready();
    }
    ~Keys() { quit(); }
    Keys(const Keys&) = delete;
    Keys& operator=(const Keys&) = delete;

    // True once its client is active with its port (ports may be connected to it now).
    bool ready() const { return ready_; }

    void play(int key) {
        const std::string line = std::to_string(key) + "\n";
        EXPECT_EQ(::send(keys_, line.data(), line.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(line.size()))
            << "the keyboard is gone";
    }

    // Ends its input: it closes its client and ends; returns once it has (after ten seconds it
    // is killed).
    void quit() {
        if (keys_ >= 0) ::close(keys_);
        keys_ = -1;
        if (pid_ <= 0) return;
        int status = 0;
        if (kv_test::wait_until([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }))
            pid_ = -1;
        else
            kv_test::end_program(&pid_, SIGKILL);
    }

private:
    // Its "ready" line, within ten seconds.
    bool said_ready() {
        std::string said;
        pollfd p{keys_, POLLIN, 0};
        char c = 0;
        while (said.size() < 6 && ::poll(&p, 1, 10000) == 1 && ::read(keys_, &c, 1) == 1)
            said += c;
        return said == "ready\n";
    }

    pid_t pid_ = -1;
    int keys_ = -1;  // our end of its standard input
    bool ready_ = false;
};

class JackInput : public demo_song_fixture::DemoSong {
protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(server_.start(&why)) << why;
        DemoSong::SetUp();
    }

    kv_test::private_jack_server server_{"korvante-input-test"};
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
    ASSERT_TRUE(server_.has_port("korvante:midi_in")) << "our input port is not offered";
    auto keys = std::make_unique<Keys>(server_.folder() + "/keys.txt");
    ASSERT_TRUE(keys->ready()) << kKeysMissing;
    const int64_t from = Find<kv_midi::midi_in, kv_midi::midi_in_caps>(*in, "kvtest-keys:keys");
    ASSERT_GE(from, 0) << "the sending port is not listed";
    ASSERT_TRUE(in->open(static_cast<uint32_t>(from))) << in->last_error();
    // `korvante devices` lists the sending port among the inputs.
    const std::string listing = run_program("devices").out;
    const size_t inputs = listing.find("MIDI input ports");
    ASSERT_NE(inputs, std::string::npos) << listing;
    EXPECT_NE(listing.find("kvtest-keys:keys", inputs), std::string::npos) << listing;

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
        keys->play(key);
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

// The JACK output and input of one process are one client "korvante" with both ports, and its
// one process callback serves both: keys played come in while a note goes out. A server
// killed outright then makes both lost, each says so and closes without hanging.
TEST_F(JackInput, OutputAndInputShareOneClientAndBothSeeTheServerGo) {
    ASSERT_TRUE(kv_test::have_program("jack_midi_dump")) << "install jackd2 (tools/setup.sh)";
    pid_t dump =
        kv_test::spawn_program({"jack_midi_dump", "-a", "kvdump"}, server_.folder() + "/dump.txt");
    ASSERT_TRUE(server_.wait_for_port("kvdump:input"));
    Keys keys(server_.folder() + "/keys.txt");
    ASSERT_TRUE(keys.ready()) << kKeysMissing;
    std::unique_ptr<kv_midi::midi_out> out = kv_midi::make_jack_midi_out();
    std::unique_ptr<kv_midi::midi_in> in = kv_midi::make_jack_midi_in();
    const int64_t to = Find<kv_midi::midi_out, kv_midi::midi_out_caps>(*out, "kvdump:input");
    const int64_t from = Find<kv_midi::midi_in, kv_midi::midi_in_caps>(*in, "kvtest-keys:keys");
    ASSERT_GE(to, 0);
    ASSERT_GE(from, 0);
    // Neither lists a port of our own client: the program never plays into itself.
    EXPECT_EQ((Find<kv_midi::midi_out, kv_midi::midi_out_caps>(*out, "korvante")), -1);
    EXPECT_EQ((Find<kv_midi::midi_in, kv_midi::midi_in_caps>(*in, "korvante")), -1);
    std::string ports;
    kv_test::run_capture("jack_lsp 2>/dev/null | grep '^korvante'", &ports);
    EXPECT_EQ(ports, "korvante:midi_out\nkorvante:midi_in\n");

    ASSERT_TRUE(out->open(static_cast<uint32_t>(to))) << out->last_error();
    ASSERT_TRUE(in->open(static_cast<uint32_t>(from))) << in->last_error();
    EXPECT_TRUE(out->short_message(0x403C90));
    keys.play(67);
    // Both messages of the period come in: the note-on and the note-off after it.
    std::vector<kv_midi::midi_in_message> got;
    EXPECT_TRUE(kv_test::wait_until([&] {
        in->read(&got);
        return got.size() >= 2;
    }));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].status, 0x90);
    EXPECT_EQ(got[0].data1, 67);
    EXPECT_EQ(got[1].status, 0x80);
    EXPECT_EQ(got[1].data1, 67);
    EXPECT_TRUE(kv_test::wait_until([&] {
        return kv_test::read_text(server_.folder() + "/dump.txt").find("90 3c 40") !=
               std::string::npos;
    })) << kv_test::read_text(server_.folder() + "/dump.txt");
    kv_test::end_program(&dump, SIGINT);

    server_.stop(SIGKILL);
    EXPECT_TRUE(kv_test::wait_until([&] { return out->lost() && in->lost(); }));
    EXPECT_NE(out->last_error().find("the JACK server went away"), std::string::npos);
    EXPECT_NE(in->last_error().find("the JACK server went away"), std::string::npos);
    EXPECT_FALSE(out->short_message(0x003C80));
    EXPECT_TRUE(out->close());
    EXPECT_TRUE(in->close());
    EXPECT_FALSE(in->lost());
    // Nothing is listed without a server, and nothing hangs asking.
    EXPECT_EQ(in->device_count(), 0u);
    EXPECT_EQ(out->device_count(), 0u);
}

}  // namespace jack_input_test
