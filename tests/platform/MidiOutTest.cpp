#include "platform/MidiOut.h"

#include <gtest/gtest.h>

#ifdef KV_HAVE_ALSA
#include <unistd.h>

#include <chrono>
#include <thread>

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
        // Nothing to open: the reason says why the list is empty, not just "no such device".
        EXPECT_FALSE(out->open(kv_midi::kMapper));
        EXPECT_NE(out->last_error(), "no such device");
        EXPECT_FALSE(out->last_error().empty());
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

uint64_t QueueUs(const snd_seq_real_time_t& t) {
    return uint64_t{t.tv_sec} * 1000000 + t.tv_nsec / 1000;
}

TEST(AlsaQueueTime, TheDueTimeSinceTheQueueStartedPlusTheLead) {
    using kv_midi::alsa_queue_time;
    EXPECT_EQ(QueueUs(alsa_queue_time(5000000, 5000000, 5000)), 5000u);
    EXPECT_EQ(QueueUs(alsa_queue_time(7250125, 5000000, 5000)), 2255125u);
    const snd_seq_real_time_t t = alsa_queue_time(7250125, 5000000, 5000);
    EXPECT_EQ(t.tv_sec, 2u);
    EXPECT_EQ(t.tv_nsec, 255125000u);
    // Late by less than the lead: still ahead of the start; before the start: at once.
    EXPECT_EQ(QueueUs(alsa_queue_time(4998000, 5000000, 5000)), 3000u);
    EXPECT_EQ(QueueUs(alsa_queue_time(4000000, 5000000, 5000)), 0u);
    // The program clock wrapped between the start and the message.
    const uint64_t wrap = (uint64_t{1} << 32) * 1000;
    EXPECT_EQ(QueueUs(alsa_queue_time(1500, wrap - 2000, 5000)), 8500u);
    EXPECT_EQ(QueueUs(alsa_queue_time(wrap - 100, wrap - 2000, 0)), 1900u);
}

// The next event the reader receives, waiting a bounded while; null when none came.
snd_seq_event_t* NextEvent(snd_seq_t* reader) {
    for (int i = 0; i < 5000; ++i) {
        snd_seq_event_t* ev = nullptr;
        if (snd_seq_event_input(reader, &ev) >= 0 && ev) return ev;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return nullptr;
}

// A reader of our own on the sequencer: the output schedules timed messages on its queue, with
// their real-time stamps, and a reset takes back what the queue still holds.
TEST(AlsaQueue, TimedMessagesArriveStampedAndResetTakesBackWhatWaits) {
    if (::access("/dev/snd/seq", R_OK | W_OK) != 0)
        GTEST_SKIP() << "no ALSA sequencer on this machine (/dev/snd/seq is missing)";
    snd_seq_t* reader = nullptr;
    ASSERT_EQ(snd_seq_open(&reader, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK), 0);
    snd_seq_set_client_name(reader, "Korvante queue test");
    const int port = snd_seq_create_simple_port(
        reader, "queue test in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    ASSERT_GE(port, 0);
    auto out = kv_midi::make_system_midi_out();
    uint32_t id = kv_midi::kMapper;
    for (uint32_t i = 0; i < out->device_count(); ++i) {
        kv_midi::midi_out_caps caps;
        if (out->device_caps(i, &caps) && caps.name == "queue test in") id = i;
    }
    ASSERT_NE(id, kv_midi::kMapper) << "the test's port is not listed";
    ASSERT_TRUE(out->open(id));
    const uint64_t now = kv_midi::midi_clock_now_us();
    ASSERT_TRUE(out->short_message_at(0x643C90, now + 20000));
    ASSERT_TRUE(out->short_message_at(0x643E90, now + 60000000));  // a minute ahead
    snd_seq_event_t* ev = NextEvent(reader);
    ASSERT_NE(ev, nullptr);
    EXPECT_EQ(ev->type, SND_SEQ_EVENT_NOTEON);
    EXPECT_EQ(ev->data.note.note, 0x3C);
    EXPECT_EQ(ev->flags & SND_SEQ_TIME_STAMP_MASK, SND_SEQ_TIME_STAMP_REAL);
    EXPECT_GE(QueueUs(ev->time.time), 20000u + kv_midi::kAlsaQueueLeadUs - 2000);
    // The note a minute ahead is taken back; the silencing comes at once.
    ASSERT_TRUE(out->reset());
    ev = NextEvent(reader);
    ASSERT_NE(ev, nullptr);
    EXPECT_EQ(ev->type, SND_SEQ_EVENT_CONTROLLER);
    EXPECT_EQ(ev->data.control.param, 64u);
    EXPECT_TRUE(out->close());
    snd_seq_close(reader);
}

#endif

}  // namespace midi_out_test
