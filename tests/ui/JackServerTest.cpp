// The JACK output against a real JACK server of the test's own: `jackd -d dummy` under a
// server name nobody else uses (so a user's server is never touched), `jack_midi_dump`
// recording what `korvante play` sends, and `korvante events` saying what should arrive.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ExternalTools.h"
#include "platform/MidiOut.h"
#include "platform/MidiOutJack.h"
#include "platform/SynthPort.h"
#include "tools/AppData.h"
#include "tools/PrivateJackServer.h"
#include "ui/RunProgram.h"

namespace jack_server_test {

const std::string kLibrary = "'" + kv_test::app_data("mymusic/library.kvnr") + "'";
const std::string kSong = "'デモソング/はじまりの朝'";
constexpr double kRate = 48000;

using kv_test::end_program;
using kv_test::read_text;
using kv_test::wait_until;

// A channel message as jack_midi_dump shows it, with its frame.
struct Heard {
    int64_t frame;
    int status, data1, data2;
};

std::vector<Heard> ParseDump(const std::string& text) {
    std::vector<Heard> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        Heard h{};
        if (std::sscanf(line.c_str(), "%ld: %x %x %x", &h.frame, &h.status, &h.data1, &h.data2) ==
            4)
            out.push_back(h);
    }
    return out;
}

// A note-on of the `korvante events` listing, with the time the tempo map gives its tick.
struct Expected {
    int64_t tick;
    double seconds;
    int channel, key, velocity;
};

std::vector<Expected> ExpectedNotes(const std::string& listing) {
    std::vector<Expected> out;
    std::istringstream in(listing);
    int64_t last_tick = 0;
    double seconds = 0, bpm = 120;
    for (std::string line; std::getline(in, line);) {
        std::istringstream f(line);
        int64_t tick = 0;
        std::string kind;
        if (!(f >> tick >> kind)) continue;
        seconds += static_cast<double>(tick - last_tick) * 60.0 / (480.0 * bpm);
        last_tick = tick;
        if (kind == "tempo") f >> bpm;
        if (kind != "note-on") continue;
        Expected e{tick, seconds, 0, 0, 0};
        f >> e.channel >> e.key >> e.velocity;
        out.push_back(e);
    }
    return out;
}

class JackServer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kv_test::have_program("jack_midi_dump"))
            << "jack_midi_dump is missing: install jackd2 (tools/setup.sh)";
        std::string why;
        ASSERT_TRUE(server_.start(&why)) << why;
        dir_ = server_.folder();
    }

    void TearDown() override { end_program(&dump_, SIGINT); }

    // Starts the recorder as client `kvdump` and waits for its input port.
    void StartDump() {
        dump_ = kv_test::spawn_program({"jack_midi_dump", "-a", "kvdump"}, dir_ + "/dump.txt");
        ASSERT_GT(dump_, 0);
        ASSERT_TRUE(server_.wait_for_port("kvdump:input"))
            << "jack_midi_dump did not register its port";
    }

    // The number `korvante devices` gives the recorder's port, or -1.
    static int DumpDevice(std::string* listing) {
        *listing = run_program("devices").out;
        std::istringstream in(*listing);
        for (std::string line; std::getline(in, line);) {
            int n = -1;
            char name[256] = {};
            if (std::sscanf(line.c_str(), " %d JACK %255s", &n, name) == 2 &&
                std::string(name) == "kvdump:input")
                return n;
        }
        return -1;
    }

    kv_test::private_jack_server server_{"korvante-test"};
    std::string dir_;
    pid_t dump_ = -1;
};

// The first bars of the demo song through the JACK port: every note-on arrives with the key,
// velocity and channel the listing gives, in its order, and at the frame of its own tick in
// the tempo map: nearer to it than to the time of any other tick.
TEST_F(JackServer, PlaysTheDemoSongsNotesAtTheirFrames) {
    StartDump();
    std::string listing;
    const int device = DumpDevice(&listing);
    ASSERT_GE(device, 0) << "korvante devices does not list the JACK port:\n" << listing;
    const ProgramRun played =
        run_program("play " + kLibrary + " " + kSong + " --device " + std::to_string(device) +
                    " & pid=$!; sleep 5; " + "kill -INT $pid; wait $pid");
    EXPECT_EQ(played.status, 0) << played.out;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    end_program(&dump_, SIGINT);
    std::vector<Heard> heard;
    for (const Heard& h : ParseDump(read_text(dir_ + "/dump.txt"))) {
        if ((h.status & 0xF0) == 0x90 && h.data2 > 0) heard.push_back(h);
    }
    const std::vector<Expected> expected =
        ExpectedNotes(run_program("events " + kLibrary + " " + kSong).out);
    ASSERT_GE(heard.size(), 12u) << "too few notes arrived in five seconds";
    ASSERT_GE(expected.size(), heard.size());
    // Times of the distinct ticks, to tell which one a frame lies nearest to.
    std::map<int64_t, double> tick_seconds;
    for (const Expected& e : expected)
        tick_seconds[e.tick] = e.seconds;
    const int64_t origin = heard[0].frame;
    const double origin_seconds = expected[0].seconds;
    for (size_t i = 0; i < heard.size(); ++i) {
        const Expected& e = expected[i];
        EXPECT_EQ(heard[i].status & 0x0F, e.channel) << "note " << i;
        EXPECT_EQ(heard[i].data1, e.key) << "note " << i;
        EXPECT_EQ(heard[i].data2, e.velocity) << "note " << i;
        const double at = static_cast<double>(heard[i].frame - origin) / kRate + origin_seconds;
        int64_t nearest = -1;
        for (const auto& [tick, seconds] : tick_seconds) {
            if (nearest < 0 || std::fabs(seconds - at) < std::fabs(tick_seconds[nearest] - at))
                nearest = tick;
        }
        EXPECT_EQ(nearest, e.tick) << "note " << i << " arrived at " << at << " s";
    }
}

// A server that goes away while playing ends the run with a message, not a hang.
TEST_F(JackServer, AServerThatGoesAwayStopsTheRun) {
    StartDump();
    std::string listing;
    const int device = DumpDevice(&listing);
    ASSERT_GE(device, 0) << listing;
    const std::string err = dir_ + "/play.err";
    std::string out;
    // The server goes once the recorder has heard the run's first messages: on a busy machine
    // the program can take seconds to start, and a server gone before it opens its port is
    // another case (the device cannot be opened).
    std::thread stopper([this] {
        wait_until([this] { return !read_text(dir_ + "/dump.txt").empty(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        server_.stop();
    });
    const int status =
        kv_test::run_capture("timeout 30 " KV_PROGRAM " play " + kLibrary + " " + kSong +
                                 " --device " + std::to_string(device) + " 2>'" + err + "'",
                             &out);
    stopper.join();
    EXPECT_EQ(status, 1) << "124 means the run hung after the server went away";
    EXPECT_NE(read_text(err).find("the JACK server went away"), std::string::npos)
        << read_text(err);
}

// The device number of the recorder's port on `midi`, or -1.
int64_t DumpPort(kv_midi::midi_out& midi) {
    for (uint32_t i = 0; i < midi.device_count(); ++i) {
        kv_midi::midi_out_caps caps;
        if (midi.device_caps(i, &caps) && caps.name == "JACK kvdump:input") return i;
    }
    return -1;
}

// The output itself when its server is killed outright while it plays: it is lost, refuses to
// send, says why and closes without hanging; the same output then finds the next server and
// plays there.
TEST_F(JackServer, AnOutputWhoseServerIsKilledIsLostAndFindsTheNextServer) {
    StartDump();
    auto midi = kv_midi::make_jack_midi_out();
    const int64_t port = DumpPort(*midi);
    ASSERT_GE(port, 0);
    ASSERT_TRUE(midi->open(static_cast<uint32_t>(port))) << midi->last_error();
    EXPECT_TRUE(midi->short_message(0x403C90));
    server_.stop(SIGKILL);
    EXPECT_TRUE(wait_until([&] { return midi->lost(); }));
    EXPECT_NE(midi->last_error().find("the JACK server went away"), std::string::npos)
        << midi->last_error();
    EXPECT_FALSE(midi->short_message(0x003C80));
    EXPECT_FALSE(midi->reset());
    EXPECT_TRUE(midi->close());
    EXPECT_FALSE(midi->is_open());
    EXPECT_FALSE(midi->lost());
    end_program(&dump_, SIGKILL);

    // A new server (under a name of its own: the killed one's files may linger).
    std::string why;
    ASSERT_TRUE(server_.start_another(&why)) << why;
    StartDump();
    const int64_t again = DumpPort(*midi);
    ASSERT_GE(again, 0);
    ASSERT_TRUE(midi->open(static_cast<uint32_t>(again))) << midi->last_error();
    EXPECT_TRUE(midi->short_message(0x503E91));
    EXPECT_TRUE(midi->close());  // writes what is waiting first
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    end_program(&dump_, SIGINT);
    const std::vector<Heard> heard = ParseDump(read_text(dir_ + "/dump.txt"));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].status, 0x91);
    EXPECT_EQ(heard[0].data1, 0x3E);
    EXPECT_EQ(heard[0].data2, 0x50);
}

// The synthesizer's JACK port: it plays as a client of the server with its two outputs
// connected to the playback ports, its clock runs with the server's periods, and it leaves
// the server when closed.
TEST_F(JackServer, TheSynthesizerPlaysThroughJackAudio) {
    if (!kv_synth::synth_available()) GTEST_SKIP() << "built without FluidSynth";
    if (kv_synth::find_soundfont().empty()) GTEST_SKIP() << "no General MIDI sound font";
    // The small sound font when it is there: it loads in a fraction of the time.
    const std::string small = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    auto synth = kv_synth::make_fluidsynth_port(
        std::filesystem::exists(small) ? small : std::string(), false);
    kv_synth::port_id jack{};
    bool offered = false;
    for (const kv_synth::port_info& p : synth->ports()) {
        if (p.name == "FluidSynth (jack)") {
            jack = p.id;
            offered = true;
        }
    }
    if (!offered) GTEST_SKIP() << "this FluidSynth has no JACK audio driver";
    ASSERT_TRUE(synth->open(jack));
    std::string ports;
    kv_test::run_capture("jack_lsp -c 2>/dev/null", &ports);
    EXPECT_NE(ports.find("korvante-synth:left\n   system:playback_1"), std::string::npos) << ports;
    EXPECT_NE(ports.find("korvante-synth:right\n   system:playback_2"), std::string::npos) << ports;
    ASSERT_TRUE(synth->start_clock());
    const uint8_t on[3] = {0x90, 60, 100};
    EXPECT_TRUE(synth->send(0, on, 3));
    EXPECT_TRUE(wait_until([&] {
        int64_t now = 0;
        return synth->music_time(&now) && now > 0;
    })) << "the server does not pull the synthesizer's audio";
    synth->close();
    EXPECT_TRUE(wait_until([] {
        std::string after;
        kv_test::run_capture("jack_lsp 2>/dev/null", &after);
        return after.find("korvante-synth") == std::string::npos;
    }));
}

}  // namespace jack_server_test
