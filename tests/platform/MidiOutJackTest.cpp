// The parts of the JACK output that need no server (placing messages in a period, the ring
// between the sender and the process callback) and the joined device list of the system
// output. The output against a real server is tested in JackServerTest.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "platform/MidiOut.h"
#include "platform/MidiOutJack.h"
#include "platform/MidiOutJoin.h"

namespace midi_out_jack_test {

using kv_midi::jack_frame_offset;
using kv_midi::jack_midi_ring;

// A period of 256 frames from 1 000 000 µs to 1 005 333 µs (48 kHz).
TEST(JackFrameOffset, PlacesTimesInThePeriodThatHoldsThem) {
    const uint64_t start = 1000000, next = 1005333;
    EXPECT_EQ(jack_frame_offset(start, start, next, 256), 0);
    EXPECT_EQ(jack_frame_offset(start + 2666, start, next, 256), 127);  // the middle
    EXPECT_EQ(jack_frame_offset(next - 1, start, next, 256), 255);
    // Late messages go at the start of the period, not lost.
    EXPECT_EQ(jack_frame_offset(start - 40000, start, next, 256), 0);
    // Times from the period's end on wait for a later period.
    EXPECT_EQ(jack_frame_offset(next, start, next, 256), -1);
    EXPECT_EQ(jack_frame_offset(next + 90000, start, next, 256), -1);
}

TEST(JackFrameOffset, LeadCoversTwoPeriodsAndTheWorkersSlack) {
    EXPECT_EQ(kv_midi::jack_midi_lead_us(256, 48000), 2 * 5333u + 5000u);
    EXPECT_EQ(kv_midi::jack_midi_lead_us(1024, 44100), 2 * 23219u + 5000u + 1u);
    EXPECT_GT(kv_midi::jack_midi_lead_us(256, 0), 5000u);  // no rate known: 48 kHz assumed
}

std::vector<uint8_t> Bytes(const jack_midi_ring::slot& s) {
    return {s.bytes.begin(), s.bytes.begin() + s.size};
}

TEST(JackMidiRing, KeepsOrderTimesAndBytes) {
    auto ring = std::make_unique<jack_midi_ring>();
    EXPECT_TRUE(ring->empty());
    EXPECT_EQ(ring->front(), nullptr);
    const uint8_t on[3] = {0x90, 60, 100}, pgm[2] = {0xC1, 5};
    const uint8_t sysex[6] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    ASSERT_TRUE(ring->push(300, on, 3));
    ASSERT_TRUE(ring->push(100, pgm, 2));  // an earlier time after a later one keeps its place
    ASSERT_TRUE(ring->push(500, sysex, 6));
    EXPECT_FALSE(ring->empty());
    const jack_midi_ring::slot* s = ring->front();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->target_us, 300u);
    EXPECT_EQ(Bytes(*s), (std::vector<uint8_t>{0x90, 60, 100}));
    ring->pop();
    s = ring->front();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->target_us, 100u);
    EXPECT_EQ(Bytes(*s), (std::vector<uint8_t>{0xC1, 5}));
    ring->pop();
    s = ring->front();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Bytes(*s), std::vector<uint8_t>(sysex, sysex + 6));
    ring->pop();
    EXPECT_TRUE(ring->empty());
}

TEST(JackMidiRing, RefusesWhatDoesNotFitAndDropsOnRequest) {
    auto ring = std::make_unique<jack_midi_ring>();
    const uint8_t on[3] = {0x90, 60, 100};
    std::vector<uint8_t> huge(jack_midi_ring::kMaxBytes + 1, 0);
    EXPECT_FALSE(ring->push(0, huge.data(), huge.size()));
    EXPECT_FALSE(ring->push(0, on, 0));
    EXPECT_FALSE(ring->push(0, nullptr, 3));
    for (size_t i = 0; i < jack_midi_ring::kSlots; ++i)
        ASSERT_TRUE(ring->push(i, on, 3)) << i;
    EXPECT_FALSE(ring->push(0, on, 3)) << "a full ring must refuse, not overwrite";
    ring->pop();  // the consumer frees one slot
    EXPECT_TRUE(ring->push(7777, on, 3));
    // Everything pushed before the drop is skipped by the consumer, which so frees the slots
    // (the producer never takes a slot the consumer may still be reading); what comes after
    // the drop is kept.
    ring->drop_pending();
    EXPECT_EQ(ring->front(), nullptr);
    EXPECT_TRUE(ring->empty());
    const uint8_t off[3] = {0xB0, 123, 0};
    ASSERT_TRUE(ring->push(42, off, 3));
    const jack_midi_ring::slot* s = ring->front();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->target_us, 42u);
    EXPECT_EQ(Bytes(*s), (std::vector<uint8_t>{0xB0, 123, 0}));
    ring->pop();
    EXPECT_TRUE(ring->empty());
}

// Two recorders joined: a plain port and a synthesizer, then a synthesizer and a port.
struct Joined {
    kv_midi::midi_out_recorder* first;
    kv_midi::midi_out_recorder* second;
    std::unique_ptr<kv_midi::midi_out_join> join;
};

Joined MakeJoined() {
    auto a = std::make_unique<kv_midi::midi_out_recorder>(
        std::vector<kv_midi::midi_out_caps>{{"A port", false}});
    auto b = std::make_unique<kv_midi::midi_out_recorder>(
        std::vector<kv_midi::midi_out_caps>{{"B synth", true}, {"B port", false}});
    Joined j{a.get(), b.get(), nullptr};
    std::vector<std::unique_ptr<kv_midi::midi_out>> parts;
    parts.push_back(std::move(a));
    parts.push_back(std::move(b));
    j.join = std::make_unique<kv_midi::midi_out_join>(std::move(parts));
    return j;
}

TEST(MidiOutJoin, NumbersTheDevicesOfEachOutputOn) {
    Joined j = MakeJoined();
    EXPECT_EQ(j.join->device_count(), 3u);
    kv_midi::midi_out_caps caps;
    ASSERT_TRUE(j.join->device_caps(0, &caps));
    EXPECT_EQ(caps.name, "A port");
    ASSERT_TRUE(j.join->device_caps(2, &caps));
    EXPECT_EQ(caps.name, "B port");
    EXPECT_FALSE(j.join->device_caps(3, &caps));
    // The mapper is the first output's synthesizer that there is: the second's here.
    ASSERT_TRUE(j.join->device_caps(kv_midi::kMapper, &caps));
    EXPECT_EQ(caps.name, "B synth");
}

TEST(MidiOutJoin, OpensOnTheOwningOutputAndSendsThere) {
    Joined j = MakeJoined();
    EXPECT_FALSE(j.join->open(3));
    EXPECT_EQ(j.join->last_error(), "no such device");
    ASSERT_TRUE(j.join->open(2));
    EXPECT_TRUE(j.join->is_open());
    EXPECT_EQ(j.second->open_device(), 1);
    EXPECT_EQ(j.first->open_device(), -1);
    EXPECT_FALSE(j.join->open(0)) << "one connection at a time";
    ASSERT_TRUE(j.join->short_message_at(0x403C90, 123456));
    ASSERT_TRUE(j.join->short_message(0x003C80));
    const auto log = j.second->log();
    ASSERT_EQ(log.size(), 3u);  // open, the two messages
    EXPECT_TRUE(log[1].timed);
    EXPECT_EQ(log[1].due_us, 123456u);
    EXPECT_FALSE(log[2].timed);
    EXPECT_TRUE(j.first->log().empty());
    // A lost connection shows through, with the output's reason, until closed.
    EXPECT_FALSE(j.join->lost());
    j.second->lose_connection();
    EXPECT_TRUE(j.join->lost());
    EXPECT_EQ(j.join->last_error(), "the server went away");
    EXPECT_FALSE(j.join->short_message(0x003C80));
    ASSERT_TRUE(j.join->close());
    EXPECT_FALSE(j.join->lost());
    EXPECT_FALSE(j.join->is_open());
    ASSERT_TRUE(j.join->open(kv_midi::kMapper));
    EXPECT_EQ(j.second->open_device(), 0);
}

TEST(MidiOutJoin, ARefusedOpenGivesTheOutputsReason) {
    Joined j = MakeJoined();
    j.first->fail_open(true);
    EXPECT_FALSE(j.join->open(0));
    EXPECT_EQ(j.join->last_error(), "the device refused the connection");
    EXPECT_FALSE(j.join->is_open());
    EXPECT_FALSE(j.join->short_message(0x403C90));
}

}  // namespace midi_out_jack_test
