// Sound files of a render and the stems of its parts: the encoders read back, the stems of a
// music add up to its full render.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/AudioFile.h"
#include "platform/MidiRender.h"
#include "platform/SynthPort.h"

namespace audio_file_test {

using kv_synth::audio_format;
using kv_synth::timed_message;

TEST(AudioFile, FormatsAreChosenByExtension) {
    const struct {
        const char* name;
        bool known;
        audio_format format;
    } cases[] = {{"a.wav", true, audio_format::wav}, {"dir/B.FLAC", true, audio_format::flac},
                 {"c.Ogg", true, audio_format::ogg}, {"d.mp3", false, audio_format::wav},
                 {"flac", false, audio_format::wav}, {"e.wav.txt", false, audio_format::wav}};
    for (const auto& c : cases) {
        audio_format f = audio_format::wav;
        EXPECT_EQ(kv_synth::audio_format_of(c.name, &f), c.known) << c.name;
        if (c.known) {
            EXPECT_EQ(f, c.format) << c.name;
        }
    }
}

TEST(AudioFile, EncodedFilesReadBack) {
    // A second of a chirp-like pattern, left and right differing.
    std::vector<int16_t> frames;
    for (int i = 0; i < kv_synth::kRenderRate; ++i) {
        frames.push_back(static_cast<int16_t>((i * 37 % 2000 - 1000) * 8));
        frames.push_back(static_cast<int16_t>(-(i * 53 % 1500 - 750) * 8));
    }
    for (audio_format f : {audio_format::wav, audio_format::flac, audio_format::ogg}) {
        if (!kv_synth::audio_format_available(f)) continue;
        std::vector<uint8_t> file;
        ASSERT_TRUE(kv_synth::encode_audio(frames, f, &file)) << int(f);
        std::vector<int16_t> back;
        ASSERT_TRUE(kv_synth::decode_audio(file, &back)) << int(f);
        if (f == audio_format::ogg) {
            // Lossy: the same length, and smaller than the WAV.
            EXPECT_EQ(back.size(), frames.size());
            EXPECT_LT(file.size(), frames.size() * 2);
        } else {
            EXPECT_EQ(back, frames) << int(f);  // lossless
        }
        if (f == audio_format::flac) {
            EXPECT_LT(file.size(), frames.size() * 2);
        }
    }
}

TEST(AudioFile, StemsKeepTheirChannelAndEverySystemMessage) {
    const std::vector<timed_message> all = {{0, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
                                            {0, {0xC0, 5}},
                                            {0, {0xC3, 40}},
                                            {0.5, {0x90, 60, 100}},
                                            {0.5, {0x93, 64, 90}},
                                            {1.0, {0x80, 60, 0}},
                                            {1.0, {0xB3, 91, 40}},
                                            {1.5, {0x83, 64, 0}}};
    EXPECT_EQ(kv_synth::sounding_channels(all), (std::vector<int>{0, 3}));
    const std::vector<timed_message> three = kv_synth::channel_messages(all, 3);
    ASSERT_EQ(three.size(), 5u);
    EXPECT_EQ(three[0].bytes[0], 0xF0);
    for (size_t i = 1; i < three.size(); ++i)
        EXPECT_EQ(three[i].bytes[0] & 0x0F, 3) << i;
    EXPECT_EQ(kv_synth::channel_messages(all, 7).size(), 1u);
}

TEST(AudioFile, TheStemsOfTwoPartsAddUpToTheFullRender) {
    if (!kv_synth::synth_available()) GTEST_SKIP() << "built without FluidSynth";
    if (kv_synth::find_soundfont().empty()) GTEST_SKIP() << "no GM sound font installed";
    // A piano and strings with reverb and chorus, overlapping.
    std::vector<timed_message> all = {{0, {0xC0, 0}},      {0, {0xC1, 48}},
                                      {0, {0xB0, 91, 60}}, {0, {0xB1, 91, 90}},
                                      {0, {0xB0, 93, 40}}, {0, {0xB1, 93, 70}}};
    for (int i = 0; i < 6; ++i) {
        const double at = 0.25 * i;
        all.push_back({at, {0x90, static_cast<uint8_t>(60 + 2 * i), 100}});
        all.push_back({at + 0.2, {0x80, static_cast<uint8_t>(60 + 2 * i), 0}});
    }
    all.push_back({0.1, {0x91, 48, 90}});
    all.push_back({1.4, {0x81, 48, 0}});
    std::stable_sort(all.begin(), all.end(), [](const timed_message& a, const timed_message& b) {
        return a.seconds < b.seconds;
    });
    auto render = [](const std::vector<timed_message>& m, std::vector<int16_t>* out) {
        auto port = kv_synth::make_fluidsynth_port("", true);
        return kv_synth::render_messages(m, 1.5, 1.0, *port, out);
    };
    std::vector<int16_t> full, piano, strings;
    ASSERT_TRUE(render(all, &full));
    ASSERT_TRUE(render(kv_synth::channel_messages(all, 0), &piano));
    ASSERT_TRUE(render(kv_synth::channel_messages(all, 1), &strings));
    ASSERT_EQ(piano.size(), full.size());
    ASSERT_EQ(strings.size(), full.size());
    int worst = 0;
    long loud = 0;
    for (size_t i = 0; i < full.size(); ++i) {
        worst = std::max(worst, std::abs(piano[i] + strings[i] - full[i]));
        loud = std::max<long>(loud, std::abs(full[i]));
    }
    EXPECT_GT(loud, 1000);  // it does sound
    // Each file is rounded (and dithered) to 16 bits on its own.
    EXPECT_LE(worst, 4);
}

}  // namespace audio_file_test
