#include "platform/MidiRender.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "ExternalTools.h"

namespace midi_render_test {

using Bytes = std::vector<uint8_t>;

Bytes Header(uint16_t format, uint16_t tracks, uint16_t division) {
    return {'M',
            'T',
            'h',
            'd',
            0,
            0,
            0,
            6,
            0,
            static_cast<uint8_t>(format),
            0,
            static_cast<uint8_t>(tracks),
            static_cast<uint8_t>(division >> 8),
            static_cast<uint8_t>(division)};
}

void AddTrack(Bytes& file, const Bytes& data) {
    const uint32_t n = static_cast<uint32_t>(data.size());
    file.insert(file.end(),
                {'M', 'T', 'r', 'k', static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
                 static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
    file.insert(file.end(), data.begin(), data.end());
}

// 60 bpm at first (a quarter is a second), 120 bpm from tick 480; running status; a lyric.
Bytes TwoSecondSong() {
    Bytes f = Header(0, 1, 480);
    AddTrack(f, {0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,              // 1000000 us
                 0x00, 0xC0, 0x00,                                      // piano
                 0x00, 0x90, 60,   100,                                 // C4 on at 0 s
                 0x83, 0x60, 60,   0,                                   // running status: off
                 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,              // 500000 us
                 0x00, 0xFF, 0x05, 0x02, 'l',  'a',                     // a lyric, left out
                 0x83, 0x60, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,  // at 1.5 s
                 0x00, 0x90, 64,   90,   0x83, 0x60, 0x80, 64,   0,     // E4 1.5 .. 2.0 s
                 0x00, 0xFF, 0x2F, 0x00});
    return f;
}

TEST(MidiFileDecode, FollowsTempoChangesAndRunningStatus) {
    std::vector<kv_synth::timed_message> m;
    double length = 0;
    ASSERT_TRUE(kv_synth::decode_midi_file(TwoSecondSong(), &m, &length));
    EXPECT_DOUBLE_EQ(length, 2.0);
    const struct {
        double seconds;
        Bytes bytes;
    } want[] = {{0.0, {0xC0, 0x00}},   {0.0, {0x90, 60, 100}},
                {1.0, {0x90, 60, 0}},  {1.5, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
                {1.5, {0x90, 64, 90}}, {2.0, {0x80, 64, 0}}};
    ASSERT_EQ(m.size(), std::size(want));
    for (size_t i = 0; i < m.size(); ++i) {
        EXPECT_DOUBLE_EQ(m[i].seconds, want[i].seconds) << i;
        EXPECT_EQ(m[i].bytes, want[i].bytes) << i;
    }
}

TEST(MidiFileDecode, MergesTheTracksOfFormatOne) {
    Bytes f = Header(1, 2, 96);
    AddTrack(f, {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x60, 0xFF, 0x2F, 0x00});
    AddTrack(f, {0x30, 0x91, 50, 60, 0x30, 0x81, 50, 0, 0x00, 0xFF, 0x2F, 0x00});
    std::vector<kv_synth::timed_message> m;
    double length = 0;
    ASSERT_TRUE(kv_synth::decode_midi_file(f, &m, &length));
    ASSERT_EQ(m.size(), 2u);
    EXPECT_DOUBLE_EQ(m[0].seconds, 0.25);
    EXPECT_DOUBLE_EQ(m[1].seconds, 0.5);
    EXPECT_DOUBLE_EQ(length, 0.5);
}

TEST(MidiFileDecode, RefusesWhatItCannotRead) {
    const Bytes good = TwoSecondSong();
    std::vector<kv_synth::timed_message> m;
    double length;
    Bytes truncated(good.begin(), good.end() - 10);
    EXPECT_FALSE(kv_synth::decode_midi_file(truncated, &m, &length));
    Bytes smpte = good;
    smpte[12] = 0xE7;  // -25 frames a second
    EXPECT_FALSE(kv_synth::decode_midi_file(smpte, &m, &length));
    Bytes format2 = good;
    format2[9] = 2;
    EXPECT_FALSE(kv_synth::decode_midi_file(format2, &m, &length));
    Bytes no_status = Header(0, 1, 480);
    AddTrack(no_status, {0x00, 60, 100});  // running status with nothing to run on
    EXPECT_FALSE(kv_synth::decode_midi_file(no_status, &m, &length));
    EXPECT_FALSE(kv_synth::decode_midi_file(Bytes{'M', 'T', 'h', 'd'}, &m, &length));
}

// What the MIDI fuzzer found: status bytes that are no channel message, and data bytes with the
// top bit set, were taken as channel messages. A file holding them is refused.
TEST(MidiFileDecode, RefusesSystemMessagesAndHighDataBytes) {
    std::vector<kv_synth::timed_message> m;
    double length;
    for (uint8_t status : {0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF8, 0xFA, 0xFC, 0xFE}) {
        Bytes f = Header(0, 1, 480);
        AddTrack(f, {0x00, 0x90, 60, 100, 0x00, status, 1, 2, 0x00, 0xFF, 0x2F, 0x00});
        EXPECT_FALSE(kv_synth::decode_midi_file(f, &m, &length)) << int{status};
    }
    const Bytes high_data[] = {
        {0x00, 0x90, 0x80, 100, 0x00, 0xFF, 0x2F, 0x00},       // key
        {0x00, 0x90, 60, 0xC0, 0x00, 0xFF, 0x2F, 0x00},        // velocity
        {0x00, 0xC0, 0x90, 0x00, 0xFF, 0x2F, 0x00},            // program
        {0x00, 0x90, 60, 1, 0x00, 61, 0xFF, 0x00, 0x2F, 0x00}  // under running status
    };
    for (const Bytes& track : high_data) {
        Bytes f = Header(0, 1, 480);
        AddTrack(f, track);
        EXPECT_FALSE(kv_synth::decode_midi_file(f, &m, &length));
    }
    // The fuzzer's own finds, kept in its starting corpus.
    for (const char* name : {"system_status.mid", "high_data.mid"}) {
        std::ifstream in(std::string(KV_FUZZ_CORPUS) + "/midi/" + name, std::ios::binary);
        const Bytes f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(f.empty()) << name;
        EXPECT_FALSE(kv_synth::decode_midi_file(f, &m, &length)) << name;
    }
}

TEST(WavImage, HeaderDescribes16BitStereoAt44100) {
    const int16_t frames[] = {1, -1, 0x1234, -0x1234};
    const Bytes w = kv_synth::wav_image(frames);
    ASSERT_EQ(w.size(), 44u + 8u);
    EXPECT_EQ(std::string(w.begin(), w.begin() + 4), "RIFF");
    EXPECT_EQ(w[4], 44u);  // 36 + 8 data bytes
    EXPECT_EQ(std::string(w.begin() + 8, w.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(w[22], 2u);                                // channels
    EXPECT_EQ(w[24] | w[25] << 8 | w[26] << 16, 44100);  // rate
    EXPECT_EQ(w[34], 16u);                               // bits
    EXPECT_EQ(std::string(w.begin() + 36, w.begin() + 40), "data");
    EXPECT_EQ(Bytes(w.begin() + 44, w.end()),
              (Bytes{0x01, 0x00, 0xFF, 0xFF, 0x34, 0x12, 0xCC, 0xED}));
}

TEST(MidiRender, APortThatCannotBePulledFails) {
    kv_synth::synth_port_recorder port;
    std::vector<kv_synth::timed_message> m{{0.0, {0x90, 60, 100}}};
    std::vector<float> samples;
    EXPECT_FALSE(kv_synth::render_messages(m, 1.0, 0.0, port, &samples));
    EXPECT_FALSE(port.is_open());
}

// Real FluidSynth, checked by sox: the file is as long as the music plus the tail, and loud.
TEST(MidiRender, AMixLouderThanFullScaleIsScaledNotCutOff) {
    // Quiet enough: untouched, rounded to the nearest step.
    const std::vector<float> quiet = {0.0f, 0.5f, -0.25f, 1.0f / 65536 * 3, -0.999f};
    EXPECT_EQ(kv_synth::clip_free_gain(quiet), 1.0f);
    EXPECT_EQ(kv_synth::pcm16(quiet, 1.0f), (std::vector<int16_t>{0, 16384, -8192, 2, -32735}));
    // Twice full scale: halved (just below full scale), so the loudest sample is not cut and
    // the waveform keeps its shape.
    const std::vector<float> loud = {0.0f, 2.0f, -1.0f, -2.0f, 0.5f};
    const float gain = kv_synth::clip_free_gain(loud);
    EXPECT_NEAR(gain, 0.5f, 1e-4);
    const std::vector<int16_t> pcm = kv_synth::pcm16(loud, gain);
    EXPECT_EQ(pcm[1], 32767);
    EXPECT_EQ(pcm[3], -32767);
    EXPECT_EQ(pcm[2], -16384);
    EXPECT_EQ(pcm[4], 8192);
    // A gain above what fits still never wraps around.
    EXPECT_EQ(kv_synth::pcm16(loud, 1.0f), (std::vector<int16_t>{0, 32767, -32768, -32768, 16384}));
}

TEST(MidiRender, RendersASongThatSoxMeasures) {
    if (!kv_synth::synth_available()) GTEST_SKIP() << "built without FluidSynth";
    if (kv_synth::find_soundfont().empty()) GTEST_SKIP() << "no GM sound font installed";
    std::vector<kv_synth::timed_message> m;
    double length = 0;
    ASSERT_TRUE(kv_synth::decode_midi_file(TwoSecondSong(), &m, &length));
    auto port = kv_synth::make_fluidsynth_port("", true);
    std::vector<float> samples;
    ASSERT_TRUE(kv_synth::render_messages(m, length, 0.5, *port, &samples));
    EXPECT_EQ(samples.size(), 2u * 44100 * 5 / 2);
    if (!kv_test::have_program("sox")) GTEST_SKIP() << "sox is not installed (tools/setup.sh)";
    char path[] = "/tmp/kvwav-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const Bytes wav = kv_synth::wav_image(kv_synth::pcm16(samples, 1.0f));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
    std::string out;
    ASSERT_EQ(kv_test::run_capture(std::string("soxi -D ") + path, &out), 0);
    EXPECT_NEAR(std::stod(out), 2.5, 0.001);
    ASSERT_EQ(kv_test::run_capture(std::string("sox ") + path + " -n stat 2>&1", &out), 0);
    const size_t at = out.find("RMS     amplitude:");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_GT(std::stod(out.substr(at + 18)), 0.005) << out;
    std::remove(path);
}

}  // namespace midi_render_test
