#include "platform/SynthPort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>

#include "platform/SharedLibrary.h"

namespace synth_port_test {

using kv_synth::port_id;

// Below this peak a rendering counts as silent: dither and the last of the reverb.
constexpr int kQuiet = 64;

TEST(SynthPortId, StableDistinctAndNeverZero) {
    EXPECT_EQ(kv_synth::port_id_of("FluidSynth (alsa)"), kv_synth::port_id_of("FluidSynth (alsa)"));
    std::set<port_id> seen;
    for (const char* n : {"", "FluidSynth (alsa)", "FluidSynth (pulseaudio)", "FluidSynth (jack)",
                          "FluidSynth (offline)"}) {
        const port_id id = kv_synth::port_id_of(n);
        EXPECT_NE(id, port_id{}) << n;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 5u);
}

TEST(SynthPortRecorder, OpensByIdentifierOrTheFirstPort) {
    kv_synth::synth_port_recorder port;
    const auto ports = port.ports();
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_FALSE(port.open(kv_synth::port_id_of("nothing like it")));
    ASSERT_TRUE(port.open(ports[1].id));
    EXPECT_EQ(port.open_port(), ports[1].id);
    EXPECT_FALSE(port.open(ports[0].id));  // already open
    port.close();
    EXPECT_EQ(port.open_port(), port_id{});
    ASSERT_TRUE(port.open(port_id{}));
    EXPECT_EQ(port.open_port(), ports[0].id);
}

TEST(SynthPortRecorder, TheClockRunsOnlyOnceStarted) {
    kv_synth::synth_port_recorder port;
    int64_t now = -1;
    EXPECT_FALSE(port.start_clock());
    ASSERT_TRUE(port.open({}));
    port.set_time(1000);
    EXPECT_FALSE(port.music_time(&now));
    ASSERT_TRUE(port.start_clock());
    ASSERT_TRUE(port.music_time(&now));
    EXPECT_EQ(now, 1000);
    port.fail_clock(true);
    EXPECT_FALSE(port.music_time(&now));
    port.close();
    EXPECT_FALSE(port.clock_running());
}

// The FluidSynth port without audio driver: what is stamped for later is heard later, and the
// clock runs with the rendered audio (a second of audio is 1536 clock units).
class FluidPort : public ::testing::Test {
protected:
    void SetUp() override {
        if (!kv_synth::synth_available())
            GTEST_SKIP() << "built without FluidSynth (libfluidsynth-dev)";
        if (kv_synth::find_soundfont().empty())
            GTEST_SKIP() << "no GM sound font installed (timgm6mb-soundfont)";
        port_ = kv_synth::make_fluidsynth_port("", true);
    }

    // The loudest sample of the next `frames` frames, in 16-bit steps.
    int Peak(size_t frames) {
        std::vector<float> buf(frames * 2);
        EXPECT_TRUE(port_->render(buf.data(), frames));
        float peak = 0;
        for (float v : buf)
            peak = std::max(peak, std::fabs(v));
        return static_cast<int>(peak * 32768);
    }

    // The summed loudness of the left and of the right channel over the next `frames` frames.
    std::pair<double, double> Balance(size_t frames) {
        std::vector<float> buf(frames * 2);
        EXPECT_TRUE(port_->render(buf.data(), frames));
        double left = 0, right = 0;
        for (size_t i = 0; i < buf.size(); i += 2) {
            left += std::abs(static_cast<double>(buf[i]));
            right += std::abs(static_cast<double>(buf[i + 1]));
        }
        return {left, right};
    }

    std::unique_ptr<kv_synth::synth_port> port_;
};

TEST_F(FluidPort, StampedNotesSoundWhenTheirTimeComes) {
    const auto ports = port_->ports();
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].name, "FluidSynth (offline)");
    ASSERT_TRUE(port_->open(port_id{}));
    EXPECT_EQ(port_->open_port(), ports[0].id);
    ASSERT_TRUE(port_->start_clock());
    int64_t now = -1;
    ASSERT_TRUE(port_->music_time(&now));
    EXPECT_EQ(now, 0);
    EXPECT_TRUE(port_->load_instrument(0));
    const uint8_t program[] = {0xC0, 0x00}, note_on[] = {0x90, 60, 110};
    const uint8_t gm_on[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    EXPECT_TRUE(port_->send(now, gm_on, sizeof gm_on));
    EXPECT_TRUE(port_->send(now, program, 2));
    EXPECT_TRUE(port_->send(now + 384, note_on, 3));  // a quarter of a second ahead
    EXPECT_FALSE(port_->send(now, note_on, 2));       // malformed
    EXPECT_LT(Peak(44100 / 5), kQuiet);               // 0.2 s: still silent (dither only)
    EXPECT_GT(Peak(44100 / 5), 1000);                 // 0.4 s: the note sounds
    ASSERT_TRUE(port_->music_time(&now));
    // The synthesizer works in blocks of 64 frames, which the clock follows.
    EXPECT_NEAR(static_cast<double>(now), 0.4 * 1536, 64.0 * 1536 / 44100 + 1);
    const uint8_t note_off[] = {0x80, 60, 0}, sound_off[] = {0xB0, 120, 0};
    EXPECT_TRUE(port_->send(now, note_off, 3));
    EXPECT_TRUE(port_->send(now, sound_off, 3));
    Peak(44100 / 2);  // the reverb dies away
    EXPECT_LT(Peak(4410), kQuiet);
    port_->close();
    EXPECT_FALSE(port_->is_open());
    EXPECT_FALSE(port_->send(0, note_on, 3));
}

// The stage set-up follows a GM reset at the same instant: it must be heard in that order, or
// the reset wipes the set-up (here: a pan hard left), whether the instant is now or ahead.
TEST_F(FluidPort, MessagesOfOneInstantApplyInTheOrderSent) {
    for (int64_t ahead : {0, 384}) {
        SCOPED_TRACE(ahead);
        ASSERT_TRUE(port_->open(port_id{}));
        ASSERT_TRUE(port_->start_clock());
        const uint8_t gm_on[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
        const uint8_t program[] = {0xC0, 19}, pan_left[] = {0xB0, 10, 0};
        const uint8_t note_on[] = {0x90, 60, 110};
        EXPECT_TRUE(port_->send(ahead, gm_on, sizeof gm_on));
        EXPECT_TRUE(port_->send(ahead, program, 2));
        EXPECT_TRUE(port_->send(ahead, pan_left, 3));
        EXPECT_TRUE(port_->send(ahead, note_on, 3));
        const auto [left, right] = Balance(44100);
        EXPECT_GT(left, 4 * right) << "the reset undid the pan sent after it";
        port_->close();
    }
}

TEST_F(FluidPort, AMissingSoundFontListsNoPort) {
    auto port = kv_synth::make_fluidsynth_port("/nonexistent/none.sf2", true);
    EXPECT_TRUE(port->ports().empty());
    EXPECT_FALSE(port->open(port_id{}));
    EXPECT_FALSE(port->is_open());
}

// The port opens FluidSynth as a library found by name when it is first needed: the first of
// its names the system has, its functions looked up typed as the header declares them.
TEST(SharedLibrary, OpensTheFirstNameTheSystemHasAndFindsItsFunctions) {
    kv_dl::shared_library libm({"libkorvante-none.so.9", "libm.so.6"});
    ASSERT_TRUE(libm.open());
    EXPECT_TRUE(libm.open());  // opened once, open from then on
    double (*cosine)(double) = nullptr;
    ASSERT_TRUE(libm.resolve("cos", &cosine));
    EXPECT_EQ(cosine(0.5), std::cos(0.5));
    double (*none)(double) = cosine;
    EXPECT_FALSE(libm.resolve("kv_no_such_function", &none));
    EXPECT_EQ(none, nullptr);
}

TEST(SharedLibrary, AMissingLibraryHasNoFunctions) {
    kv_dl::shared_library missing({"libkorvante-none.so.9", "libkorvante-none.so"});
    EXPECT_FALSE(missing.open());
    EXPECT_EQ(missing.symbol("cos"), nullptr);
}

}  // namespace synth_port_test
