// The synthesizer device on real FluidSynth (a port without audio driver, pulled by the test):
// what the device sends is heard the device's short lead later.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "model/library/MseqConfig.h"
#include "platform/Clock.h"
#include "platform/SynthPort.h"
#include "play/devices/MplyDeviceDMusic.h"
#include "play/engine/MplyEvent.h"

namespace device_synth_test {

class NoSleep final : public KvClock {
public:
    uint32_t now_ms() override { return 0; }
    void sleep_ms(uint32_t) override {}
};

int Peak(kv_synth::synth_port& port, double seconds) {
    std::vector<float> buf(static_cast<size_t>(seconds * 44100) * 2);
    if (!port.render(buf.data(), buf.size() / 2)) return -1;
    float peak = 0;
    for (float v : buf)
        peak = std::max(peak, std::fabs(v));
    return static_cast<int>(peak * 32768);
}

TEST(SynthDeviceOnFluidSynth, NotesSoundALeadLaterAndStopSilencesThem) {
    if (!kv_synth::synth_available()) GTEST_SKIP() << "built without FluidSynth";
    if (kv_synth::find_soundfont().empty())
        GTEST_SKIP() << "no GM sound font installed (timgm6mb-soundfont)";
    auto port = kv_synth::make_fluidsynth_port("", true);
    MseqConfig config;
    NoSleep clock;
    MplyDeviceDMusic device(config, *port, &clock);
    ASSERT_EQ(device.Open(), 1);
    ASSERT_EQ(device.Ports().size(), 1u);
    EXPECT_EQ(device.SendRawMessage(MplyEventMsg(0, 0, {0xC0, 0})), 1);
    EXPECT_EQ(device.loaded_instruments(), std::vector<uint8_t>{0});
    EXPECT_EQ(device.SendNoteOn(MplyEventNoteOn(0, 0, 480, 60, 110)), 1);
    EXPECT_EQ(device.SendNoteOn(MplyEventNoteOn(0, 0, 480, 64, 110)), 1);
    // 24 units of a clock running 1536 a second: 15.6 ms.
    EXPECT_LT(Peak(*port, 0.012), 64);
    EXPECT_GT(Peak(*port, 0.2), 1000);
    EXPECT_EQ(device.Stop(), 1);
    EXPECT_GT(Peak(*port, 0.2), 1000);  // the note-offs are stamped ahead as well
    Peak(*port, 1.5);                   // release and reverb die away
    EXPECT_LT(Peak(*port, 0.1), 64);
    EXPECT_TRUE(device.loaded_instruments().empty());
    EXPECT_EQ(device.CloseDevice(), 1);
    EXPECT_FALSE(port->is_open());
}

}  // namespace device_synth_test
