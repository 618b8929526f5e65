// The MIDI input against a real JACK server of the test's own (tools/PrivateJackServer.h): a
// small client of the test plays keys into the program's input port "korvante:midi_in", and
// step entry enters them on the demo song; the JACK output and input share that one client.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
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

// A keyboard: a JACK client of the test's own, "kvtest-keys" with the output port "keys", that
// writes the messages handed to it into its next period.
class Keys {
public:
    Keys() {
        jack_status_t status;
        client_ = jack_client_open("kvtest-keys", JackNoStartServer, &status);
        if (!client_) return;
        port_ = jack_port_register(client_, "keys", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &Keys::process, this);
        if (!port_ || jack_activate(client_) != 0) {
            jack_client_close(client_);
            client_ = nullptr;
        }
    }
    ~Keys() {
        if (!client_) return;
        jack_deactivate(client_);
        jack_client_close(client_);
    }
    bool ready() const { return client_ != nullptr; }
    // After its server went away: closed before anything in the process opens a JACK client
    // again, since the library tears down the clients it still has when such an open finds no
    // server (the program's shared client does the same).
    void close_after_loss() {
        if (client_) jack_client_close(client_);
        client_ = nullptr;
    }

    void play(int key) {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_.push_back({0x90, static_cast<uint8_t>(key), 100});
        waiting_.push_back({0x80, static_cast<uint8_t>(key), 0});
    }

private:
    struct Message {
        uint8_t bytes[3];
    };

    static int process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<Keys*>(arg);
        void* buffer = jack_port_get_buffer(self->port_, frames);
        jack_midi_clear_buffer(buffer);
        // The test's thread holds the lock only to append: this period or the next.
        std::unique_lock<std::mutex> lock(self->mutex_, std::try_to_lock);
        if (!lock) return 0;
        jack_nframes_t at = 0;
        for (const Message& m : self->waiting_)
            jack_midi_event_write(buffer, at++, m.bytes, 3);
        self->waiting_.clear();
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    std::mutex mutex_;
    std::vector<Message> waiting_;
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
    auto keys = std::make_unique<Keys>();
    ASSERT_TRUE(keys->ready());
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
    Keys keys;
    ASSERT_TRUE(keys.ready());
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
    std::vector<kv_midi::midi_in_message> got;
    EXPECT_TRUE(kv_test::wait_until([&] {
        in->read(&got);
        return !got.empty();
    }));
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].status, 0x90);
    EXPECT_EQ(got[0].data1, 67);
    EXPECT_TRUE(kv_test::wait_until([&] {
        return kv_test::read_text(server_.folder() + "/dump.txt").find("90 3c 40") !=
               std::string::npos;
    })) << kv_test::read_text(server_.folder() + "/dump.txt");
    kv_test::end_program(&dump, SIGINT);

    server_.stop(SIGKILL);
    EXPECT_TRUE(kv_test::wait_until([&] { return out->lost() && in->lost(); }));
    keys.close_after_loss();
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
