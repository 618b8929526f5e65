#include "platform/MidiOut.h"

#include <gtest/gtest.h>

#ifdef KV_HAVE_ALSA
#include "platform/MidiOutAlsa.h"
#endif

namespace midi_out_test {

using kv_midi::midi_out_recorder;
using Kind = midi_out_recorder::kind;

TEST(MidiOut, ChannelMessageSizes) {
    const struct {
        uint8_t status;
        size_t size;
    } cases[] = {{0x00, 0}, {0x7F, 0}, {0x80, 3}, {0x9F, 3}, {0xA5, 3}, {0xB0, 3}, {0xC0, 2},
                 {0xCF, 2}, {0xD3, 2}, {0xE0, 3}, {0xEF, 3}, {0xF0, 0}, {0xF7, 0}, {0xFF, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(kv_midi::channel_message_size(c.status), c.size) << int(c.status);
}

TEST(MidiOutRecorder, TheMapperIsTheFirstSynthesizer) {
    midi_out_recorder none_synth({{"Port A", false}, {"Port B", false}});
    kv_midi::midi_out_caps caps;
    EXPECT_FALSE(none_synth.device_caps(kv_midi::kMapper, &caps));
    EXPECT_FALSE(none_synth.open(kv_midi::kMapper));

    midi_out_recorder out({{"Port A", false}, {"Synth B", true}, {"Synth C", true}});
    EXPECT_EQ(out.device_count(), 3u);
    ASSERT_TRUE(out.device_caps(kv_midi::kMapper, &caps));
    EXPECT_EQ(caps.name, "Synth B");
    EXPECT_FALSE(out.device_caps(3, &caps));
    ASSERT_TRUE(out.open(kv_midi::kMapper));
    EXPECT_EQ(out.open_device(), 1);
    EXPECT_FALSE(out.open(0));  // one connection at a time
}

TEST(MidiOutRecorder, RecordsWhatAnOpenConnectionSends) {
    midi_out_recorder out;
    EXPECT_FALSE(out.short_message(0x643C90));  // closed
    EXPECT_FALSE(out.reset());
    EXPECT_TRUE(out.close());  // nothing open is not a failure
    ASSERT_TRUE(out.open(0));
    EXPECT_TRUE(out.short_message(0x643C90));
    EXPECT_TRUE(out.short_message(0x05C1));
    EXPECT_FALSE(out.short_message(0x3C));  // no status byte
    const uint8_t sysex[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    EXPECT_TRUE(out.long_message(sysex, sizeof sysex));
    EXPECT_FALSE(out.long_message(sysex, 5));  // no closing F7
    EXPECT_TRUE(out.reset());
    EXPECT_TRUE(out.close());
    const auto log = out.log();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[0].what, Kind::open);
    EXPECT_EQ(log[1].bytes, (std::vector<uint8_t>{0x90, 0x3C, 0x64}));
    EXPECT_EQ(log[2].bytes, (std::vector<uint8_t>{0xC1, 0x05}));
    EXPECT_EQ(log[3].what, Kind::long_message);
    EXPECT_EQ(log[3].bytes, std::vector<uint8_t>(sysex, sysex + 6));
    EXPECT_EQ(log[4].what, Kind::reset);
    EXPECT_EQ(log[5].what, Kind::close);
}

TEST(MidiOutRecorder, FaultsCanBeSwitchedOn) {
    midi_out_recorder out;
    out.fail_open(true);
    EXPECT_FALSE(out.open(0));
    out.fail_open(false);
    ASSERT_TRUE(out.open(0));
    out.fail_short_after(1);
    EXPECT_TRUE(out.short_message(0x643C90));
    EXPECT_FALSE(out.short_message(0x643C90));
    out.fail_close(true);
    EXPECT_FALSE(out.close());
    EXPECT_TRUE(out.is_open());
    out.fail_close(false);
    EXPECT_TRUE(out.close());
    EXPECT_FALSE(out.is_open());
}

// The real system output: without a sequencer (or without ALSA at build time) it lists nothing
// and opens nothing; with one, what it lists can be opened and closed.
TEST(SystemMidiOut, ListsOnlyWhatItCanOpen) {
    auto out = kv_midi::make_system_midi_out();
    ASSERT_NE(out, nullptr);
    const uint32_t n = out->device_count();
    kv_midi::midi_out_caps caps;
    EXPECT_FALSE(out->device_caps(n, &caps));
    EXPECT_FALSE(out->open(n));
    EXPECT_FALSE(out->is_open());
    EXPECT_FALSE(out->short_message(0x643C90));
    if (n == 0) {
        EXPECT_FALSE(out->open(kv_midi::kMapper));
        GTEST_SKIP() << "no MIDI sequencer ports on this machine; only the empty case was checked";
    }
    ASSERT_TRUE(out->device_caps(0, &caps));
    EXPECT_FALSE(caps.name.empty());
    ASSERT_TRUE(out->open(0));
    EXPECT_TRUE(out->short_message(0x0079B0));  // reset all controllers: harmless
    EXPECT_TRUE(out->reset());
    EXPECT_TRUE(out->close());
    EXPECT_FALSE(out->is_open());
}

#ifdef KV_HAVE_ALSA
TEST(AlsaMessages, ShortMessagesBecomeSequencerEvents) {
    snd_seq_event_t ev;
    ASSERT_TRUE(kv_midi::alsa_event_from_short(0x643C93, &ev));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_NOTEON);
    EXPECT_EQ(ev.data.note.channel, 3);
    EXPECT_EQ(ev.data.note.note, 0x3C);
    EXPECT_EQ(ev.data.note.velocity, 0x64);
    ASSERT_TRUE(kv_midi::alsa_event_from_short(0x003C80, &ev));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_NOTEOFF);
    ASSERT_TRUE(kv_midi::alsa_event_from_short(0x7807B9, &ev));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_CONTROLLER);
    EXPECT_EQ(ev.data.control.channel, 9);
    EXPECT_EQ(ev.data.control.param, 7u);
    EXPECT_EQ(ev.data.control.value, 120);
    ASSERT_TRUE(kv_midi::alsa_event_from_short(0x05C1, &ev));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_PGMCHANGE);
    EXPECT_EQ(ev.data.control.value, 5);
    ASSERT_TRUE(kv_midi::alsa_event_from_short(0x2040A2, &ev));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_KEYPRESS);
    ASSERT_TRUE(kv_midi::alsa_event_from_short(0x30D4, &ev));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_CHANPRESS);
    EXPECT_EQ(ev.data.control.value, 0x30);
    // Pitch bends: the 14-bit value less the centre 2000 (hex).
    const struct {
        uint32_t packed;
        int value;
    } bends[] = {{0x4000E0, 0}, {0x0000E0, -8192}, {0x7F7FE0, 8191}, {0x4001E5, 1}};
    for (const auto& b : bends) {
        ASSERT_TRUE(kv_midi::alsa_event_from_short(b.packed, &ev));
        EXPECT_EQ(ev.type, SND_SEQ_EVENT_PITCHBEND);
        EXPECT_EQ(ev.data.control.value, b.value) << std::hex << b.packed;
    }
    EXPECT_FALSE(kv_midi::alsa_event_from_short(0x3C, &ev));
    EXPECT_FALSE(kv_midi::alsa_event_from_short(0xF8, &ev));
}

#endif

}  // namespace midi_out_test
