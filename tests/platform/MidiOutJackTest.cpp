// The parts of the JACK output that need no server (the frames messages are placed at, the
// ring between the sender and the process callback) and the joined device list of the system
// output. The output against a real server is tested in JackServerTest.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "platform/JackTimeline.h"
#include "platform/MidiOut.h"
#include "platform/MidiOutJack.h"
#include "platform/MidiOutJoin.h"

namespace midi_out_jack_test {

using kv_midi::jack_frame_clock;
using kv_midi::jack_midi_ring;
using kv_midi::jack_period_offset;
using kv_midi::jack_timeline;

// A period of 256 frames from frame 1000.
TEST(JackPeriodOffset, PlacesFramesInThePeriodThatHoldsThem) {
    EXPECT_EQ(jack_period_offset(1000, 1000, 256), 0);
    EXPECT_EQ(jack_period_offset(1127, 1000, 256), 127);
    EXPECT_EQ(jack_period_offset(1255, 1000, 256), 255);
    // Late messages go at the start of the period, not lost.
    EXPECT_EQ(jack_period_offset(999, 1000, 256), 0);
    EXPECT_EQ(jack_period_offset(0, 1000, 256), 0);
    // Frames from the period's end on wait for a later period.
    EXPECT_EQ(jack_period_offset(1256, 1000, 256), -1);
    EXPECT_EQ(jack_period_offset(90000, 1000, 256), -1);
    // Across the wrap of the 32-bit counter.
    EXPECT_EQ(jack_period_offset(0x10, 0xFFFFFF80u, 256), 0x90);
    EXPECT_EQ(jack_period_offset(0xFFFFFF70u, 0x10, 256), 0);
    EXPECT_EQ(jack_period_offset(0x200, 0xFFFFFF80u, 256), -1);
}

TEST(JackPeriodOffset, LeadCoversTwoPeriodsAndTheWorkersSlack) {
    EXPECT_EQ(kv_midi::jack_midi_lead_us(256, 48000), 2 * 5333u + 5000u);
    EXPECT_EQ(kv_midi::jack_midi_lead_us(1024, 44100), 2 * 23219u + 5000u + 1u);
    EXPECT_GT(kv_midi::jack_midi_lead_us(256, 0), 5000u);  // no rate known: 48 kHz assumed
}

// The periods of a server at 48 kHz, 256 frames, whose frame 0 was at steady time
// `origin_us`; each callback woken `late_us[i % size]` after its period began.
void Observe(jack_frame_clock& clock, uint32_t first_period, uint32_t count, double origin_us,
             const std::vector<double>& late_us) {
    for (uint32_t i = first_period; i < first_period + count; ++i) {
        const uint32_t frame = i * 256;
        const double at = origin_us + frame * 1e6 / 48000 + late_us[i % late_us.size()];
        clock.observe(frame, static_cast<int64_t>(at));
    }
}

TEST(JackFrameClock, TakesTheEarliestWakeUpAndFollowsLostTime) {
    jack_frame_clock clock(48000);
    EXPECT_FALSE(clock.ready());
    // Woken between 40 µs and 3 ms late: the base is the earliest, 40 µs after the truth.
    Observe(clock, 0, 200, 5000000, {900, 3000, 40, 700, 1500});
    ASSERT_TRUE(clock.ready());
    EXPECT_NEAR(clock.base_us(), 5000040, 1.0);
    // The driver started its periods over 10 ms late: the frames now lie 10 ms later. The
    // base moves once the earlier periods have left the window.
    Observe(clock, 200, 10, 5010000, {900, 3000, 40, 700, 1500});
    EXPECT_NEAR(clock.base_us(), 5000040, 1.0);
    Observe(clock, 210, jack_frame_clock::kWindow, 5010000, {900, 3000, 40, 700, 1500});
    EXPECT_NEAR(clock.base_us(), 5010040, 1.0);
}

// 48 kHz: 125 ms is 6000 frames; the lead of 256-frame periods is 15 666 µs.
constexpr uint64_t kLead = 2 * 5333 + 5000;

TEST(JackTimeline, KeepsTheDistancesBetweenTimesWhateverTheServersPeriodsDo) {
    jack_timeline line(48000, kLead);
    const double base = 1000000;
    const int64_t start = 2000000;
    const uint32_t first = line.frame_of(start, start - 1000, base);
    // The lead, in frames, after the steady time of the message.
    EXPECT_EQ(first, static_cast<uint32_t>(std::llround((start + kLead - base) * 0.048)));
    for (int i = 1; i < 64; ++i) {
        // The server lost 10 ms at the 20th note and its wake-ups come late: the line stays.
        const double server = i >= 20 ? base + 10000 : base + (i % 3) * 400;
        const int64_t due = start + i * 125000;
        EXPECT_EQ(line.frame_of(due, due - 1000 - (i % 5) * 3000, server) - first, i * 6000u)
            << "note " << i;
    }
}

TEST(JackTimeline, FollowsAFasterServerSlowlyAndALostOneSlower) {
    jack_timeline line(48000, kLead);
    line.frame_of(0, 0, 1000000);
    // The server's frames run 5 ms ahead of the line: it moves towards them at 500 µs a
    // second and stops 2 ms short.
    for (int ms = 1; ms <= 1000; ++ms)
        line.frame_of(ms * 1000, ms * 1000, 995000);
    EXPECT_NEAR(line.base_us(), 1000000 - 500, 1.0);
    for (int ms = 1001; ms <= 20000; ++ms)
        line.frame_of(ms * 1000, ms * 1000, 995000);
    EXPECT_NEAR(line.base_us(), 995000 + jack_timeline::kLateSlackUs, 1.0);
    // The server lost 50 ms: the line lets go at 20 µs a second, down to 20 ms behind.
    for (int ms = 20001; ms <= 21000; ++ms)
        line.frame_of(ms * 1000, ms * 1000, 1045000);
    EXPECT_NEAR(line.base_us(), 997000 + 20, 1.0);
    // A server that stood still for seconds: the line starts over from it.
    line.frame_of(22000000, 22000000, 3045000);
    EXPECT_EQ(line.base_us(), 3045000);
    // So does a restarted line, at once.
    line.restart();
    line.frame_of(22001000, 22001000, 3046000);
    EXPECT_EQ(line.base_us(), 3046000);
}

// The whole path without a server: a run of sixteenths sent a little late by the worker, its
// periods woken late and once started over; every note lands at its frame.
TEST(JackTimeline, NotesLandAtTheirFramesThroughLateWakeUpsAndLostTime) {
    jack_frame_clock clock(48000);
    jack_timeline line(48000, kLead);
    const double origin = 3000000;
    Observe(clock, 0, 100, origin, {60, 2500, 300});
    std::vector<uint32_t> frames;
    for (uint32_t period = 100, note = 0; note < 64; ++period) {
        const double lost = period >= 700 ? 12000 : 0;  // the driver started over 12 ms late
        Observe(clock, period, 1, origin + lost, {60, 2500, 300});
        const int64_t now = static_cast<int64_t>(origin + period * 256 * 1e6 / 48000 + 500);
        const int64_t due = static_cast<int64_t>(origin) + 600000 + note * 125000;
        if (due <= now) {
            frames.push_back(line.frame_of(due, now, clock.base_us()));
            ++note;
        }
    }
    for (size_t i = 1; i < frames.size(); ++i)
        EXPECT_EQ(frames[i] - frames[0], i * 6000u) << "note " << i;
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
    EXPECT_EQ(s->frame, 300u);
    EXPECT_EQ(Bytes(*s), (std::vector<uint8_t>{0x90, 60, 100}));
    ring->pop();
    s = ring->front();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->frame, 100u);
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
        ASSERT_TRUE(ring->push(static_cast<uint32_t>(i), on, 3)) << i;
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
    EXPECT_EQ(s->frame, 42u);
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

TEST(MidiOutJoin, AMapperWithoutASynthesizerSaysSo) {
    std::vector<std::unique_ptr<kv_midi::midi_out>> parts;
    parts.push_back(std::make_unique<kv_midi::midi_out_recorder>(
        std::vector<kv_midi::midi_out_caps>{{"A port", false}}));
    kv_midi::midi_out_join join(std::move(parts));
    EXPECT_FALSE(join.open(kv_midi::kMapper));
    EXPECT_EQ(join.last_error(), kv_midi::kNoSynthesizerForTheMapper);
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
