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

// Renders `m` (1.5 s and a second's tail) through an offline FluidSynth port.
bool Render(const std::vector<timed_message>& m, std::vector<float>* out) {
    auto port = kv_synth::make_fluidsynth_port("", true);
    return kv_synth::render_messages(m, 1.5, 1.0, *port, out);
}

void SortByTime(std::vector<timed_message>* m) {
    std::stable_sort(m->begin(), m->end(), [](const timed_message& a, const timed_message& b) {
        return a.seconds < b.seconds;
    });
}

// The largest difference between the 16-bit stems at the full render's gain, summed, and the
// full render at that gain; `loud` receives the full render's loudest 16-bit sample.
int WorstStemSumError(const std::vector<timed_message>& all, const std::vector<int>& channels,
                      int* loud) {
    std::vector<float> full;
    EXPECT_TRUE(Render(all, &full));
    const float gain = kv_synth::clip_free_gain(full);
    const std::vector<int16_t> mix = kv_synth::pcm16(full, gain);
    std::vector<int> sum(mix.size(), 0);
    for (int channel : channels) {
        std::vector<float> part;
        EXPECT_TRUE(Render(kv_synth::channel_messages(all, channel), &part));
        const std::vector<int16_t> stem = kv_synth::pcm16(part, gain);
        EXPECT_EQ(stem.size(), mix.size()) << channel;
        for (size_t i = 0; i < std::min(stem.size(), sum.size()); ++i)
            sum[i] += stem[i];
    }
    int worst = 0;
    *loud = 0;
    for (size_t i = 0; i < mix.size(); ++i) {
        worst = std::max(worst, std::abs(sum[i] - mix[i]));
        *loud = std::max(*loud, std::abs(static_cast<int>(mix[i])));
    }
    return worst;
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
    SortByTime(&all);
    int loud = 0;
    // Each file is rounded to 16 bits on its own: half a step each, and the synthesizer's own
    // float rounding.
    EXPECT_LE(WorstStemSumError(all, {0, 1}, &loud), 3);
    EXPECT_GT(loud, 1000);  // it does sound
}

TEST(AudioFile, ALoudMixIsScaledAndItsStemsStillAddUp) {
    if (!kv_synth::synth_available()) GTEST_SKIP() << "built without FluidSynth";
    if (kv_synth::find_soundfont().empty()) GTEST_SKIP() << "no GM sound font installed";
    // Four parts of full-velocity six-note chords at full volume: far over full scale at the
    // synthesizer's gain, so cutting it off at 16 bits would distort it.
    std::vector<timed_message> all;
    const uint8_t programs[] = {0, 48, 61, 19};
    for (uint8_t ch = 0; ch < 4; ++ch) {
        all.push_back({0, {static_cast<uint8_t>(0xC0 | ch), programs[ch]}});
        all.push_back({0, {static_cast<uint8_t>(0xB0 | ch), 7, 127}});
        for (int n = 0; n < 6; ++n) {
            const uint8_t key = static_cast<uint8_t>(48 + 4 * n + ch);
            all.push_back({0.1, {static_cast<uint8_t>(0x90 | ch), key, 127}});
            all.push_back({1.2, {static_cast<uint8_t>(0x80 | ch), key, 0}});
        }
    }
    SortByTime(&all);
    std::vector<float> full;
    ASSERT_TRUE(Render(all, &full));
    ASSERT_LT(kv_synth::clip_free_gain(full), 0.9f) << "the mix is not louder than full scale";
    int loud = 0;
    EXPECT_LE(WorstStemSumError(all, {0, 1, 2, 3}, &loud), 4);
    // The loudest sample reaches full scale exactly once per peak rather than a run of cut
    // samples: at most a handful sit at the limit.
    EXPECT_EQ(loud, 32767);
    std::vector<int16_t> pcm = kv_synth::pcm16(full, kv_synth::clip_free_gain(full));
    EXPECT_LE(std::count_if(pcm.begin(), pcm.end(), [](int16_t v) { return std::abs(v) >= 32767; }),
              2);
}

}  // namespace audio_file_test
