// The MIDI input without a server: the decoder of the bytes a port sends (whatever they are),
// the queue between the port's thread and the reader, the test double and the joined port
// list; and the ALSA sequencer input where the system has a sequencer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "platform/MidiIn.h"

#ifdef KV_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

namespace midi_in_test {

using kv_midi::midi_in_message;

std::vector<midi_in_message> Decode(const std::vector<uint8_t>& bytes) {
    kv_midi::midi_in_decoder d;
    std::vector<midi_in_message> out;
    kv_midi::midi_in_decode(d, bytes.data(), bytes.size(), 7, &out);
    return out;
}

bool Is(const midi_in_message& m, int status, int d1, int d2) {
    return m.status == status && m.data1 == d1 && m.data2 == d2 && m.at_us == 7;
}

TEST(MidiInDecoder, FollowsRunningStatusAndSkipsSystemMessages) {
    const auto got =
        Decode({0x90, 60,   100,  64,   90,          // running status
                0x91, 0xF8, 62,   0xFE, 80,          // real-time bytes inside a message
                0xC2, 5,    6,                       // two-byte messages, running
                0xF0, 1,    2,    3,    0xF7, 4, 5,  // system exclusive, then stray data
                0xF3, 9,    0xB0, 64,   127});
    ASSERT_EQ(got.size(), 6u);
    EXPECT_TRUE(Is(got[0], 0x90, 60, 100));
    EXPECT_TRUE(Is(got[1], 0x90, 64, 90));
    EXPECT_TRUE(Is(got[2], 0x91, 62, 80));
    EXPECT_TRUE(Is(got[3], 0xC2, 5, 0));
    EXPECT_TRUE(Is(got[4], 0xC2, 6, 0));
    EXPECT_TRUE(Is(got[5], 0xB0, 64, 127));
}

TEST(MidiInDecoder, AnyBytesGiveOnlyWholeChannelMessages) {
    // Data without a status, a status cut short by the next one, every byte value.
    EXPECT_TRUE(Decode({1, 2, 3, 0x7F}).empty());
    const auto cut = Decode({0x90, 60, 0x80, 60, 0});
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_TRUE(Is(cut[0], 0x80, 60, 0));
    std::vector<uint8_t> all;
    for (int round = 0; round < 3; ++round) {
        for (int b = 0; b < 256; ++b)
            all.push_back(static_cast<uint8_t>((b * 37 + round * 11) & 0xFF));
    }
    for (const midi_in_message& m : Decode(all)) {
        EXPECT_GE(m.status, 0x80);
        EXPECT_LT(m.status, 0xF0);
        EXPECT_LT(m.data1, 0x80);
        EXPECT_LT(m.data2, 0x80);
    }
}

TEST(MidiInQueue, KeepsOrderAndCountsWhatAFullQueueDrops) {
    auto q = std::make_unique<kv_midi::midi_in_queue>();
    for (size_t i = 0; i < kv_midi::midi_in_queue::kSlots + 3; ++i)
        q->push({i, 0x90, static_cast<uint8_t>(i & 0x7F), 1});
    EXPECT_EQ(q->dropped(), 3u);
    std::vector<midi_in_message> out;
    EXPECT_EQ(q->drain(&out), kv_midi::midi_in_queue::kSlots);
    for (size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(out[i].at_us, i);
    EXPECT_EQ(q->drain(&out), 0u);
    // A producer thread and the reader at once.
    std::thread producer([&q] {
        for (uint64_t i = 0; i < 20000; ++i) {
            while (!q->push({i, 0x90, 0, 0}))
                std::this_thread::yield();
        }
    });
    std::vector<midi_in_message> got;
    while (got.size() < 20000)
        q->drain(&got);
    producer.join();
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i].at_us, i);
}

TEST(MidiInFake, DeliversWhatWasPlayedUntilThePortGoesAway) {
    kv_midi::midi_in_fake fake({"A", "B"});
    std::vector<midi_in_message> out;
    fake.key(60, 100, 5);
    EXPECT_EQ(fake.read(&out), 0u) << "nothing arrives while closed";
    ASSERT_TRUE(fake.open(1));
    EXPECT_FALSE(fake.open(0));
    fake.key(60, 100, 5);
    fake.key(60, 0, 6);
    fake.lose_port();
    fake.key(62, 100, 7);
    EXPECT_TRUE(fake.lost());
    EXPECT_EQ(fake.last_error(), "the port went away");
    ASSERT_EQ(fake.read(&out), 2u);
    EXPECT_EQ(out[0].status, 0x90);
    EXPECT_EQ(out[1].status, 0x80);
    EXPECT_EQ(out[1].at_us, 6u);
    EXPECT_TRUE(fake.close());
    EXPECT_FALSE(fake.lost());
}

TEST(MidiInJoin, NumbersThePortsOfEachInputOnAndFindsThemByName) {
    auto a = std::make_unique<kv_midi::midi_in_fake>(std::vector<std::string>{"A1"});
    auto b = std::make_unique<kv_midi::midi_in_fake>(std::vector<std::string>{"B1", "B2"});
    kv_midi::midi_in_fake* second = b.get();
    std::vector<std::unique_ptr<kv_midi::midi_in>> parts;
    parts.push_back(std::move(a));
    parts.push_back(std::move(b));
    kv_midi::midi_in_join join(std::move(parts));
    EXPECT_EQ(join.device_count(), 3u);
    EXPECT_EQ(kv_midi::midi_in_find(join, "B2"), 2);
    EXPECT_EQ(kv_midi::midi_in_find(join, "C"), -1);
    EXPECT_FALSE(join.open(3));
    EXPECT_EQ(join.last_error(), "no such input port");
    ASSERT_TRUE(join.open(2));
    EXPECT_EQ(second->open_port(), 1);
    second->key(64, 70);
    std::vector<midi_in_message> out;
    EXPECT_EQ(join.read(&out), 1u);
    second->lose_port();
    EXPECT_TRUE(join.lost());
    EXPECT_EQ(join.last_error(), "the port went away");
    EXPECT_TRUE(join.close());
    EXPECT_FALSE(join.is_open());
}

// A client of the test's own on the sequencer sends into the input's port.
TEST(MidiInAlsa, ReceivesWhatASequencerClientSends) {
#ifndef KV_HAVE_ALSA
    GTEST_SKIP() << "the program was built without ALSA";
#else
    if (::access("/dev/snd/seq", R_OK | W_OK) != 0)
        GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq is missing or not ours)";
    snd_seq_t* seq = nullptr;
    ASSERT_GE(snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0), 0);
    snd_seq_set_client_name(seq, "kvtest-keys");
    const int port = snd_seq_create_simple_port(
        seq, "kvtest keys", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    ASSERT_GE(port, 0);
    auto in = kv_midi::make_alsa_midi_in();
    const int64_t id = kv_midi::midi_in_find(*in, "kvtest keys");
    ASSERT_GE(id, 0) << "the sending port is not listed";
    ASSERT_TRUE(in->open(static_cast<uint32_t>(id))) << in->last_error();
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_source(&ev, port);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    snd_seq_ev_set_noteon(&ev, 0, 61, 99);
    snd_seq_event_output_direct(seq, &ev);
    std::vector<midi_in_message> got;
    for (int i = 0; i < 200 && got.empty(); ++i) {
        in->read(&got);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].status, 0x90);
    EXPECT_EQ(got[0].data1, 61);
    EXPECT_EQ(got[0].data2, 99);
    // The sender goes away: the input says so.
    snd_seq_close(seq);
    bool lost = false;
    for (int i = 0; i < 200 && !lost; ++i) {
        lost = in->lost();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(lost);
    EXPECT_TRUE(in->close());
#endif
}

}  // namespace midi_in_test
