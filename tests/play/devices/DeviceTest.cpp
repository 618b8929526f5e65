#include <gtest/gtest.h>

#include <vector>

#include "model/library/MseqConfig.h"
#include "platform/Clock.h"
#include "platform/MidiOut.h"
#include "platform/SynthPort.h"
#include "play/devices/MplyDeviceDMusic.h"
#include "play/devices/MplyDeviceSystem.h"
#include "play/engine/MplyEvent.h"

namespace device_test {

using Bytes = std::vector<uint8_t>;
using MidiKind = kv_midi::midi_out_recorder::kind;
using SynthKind = kv_synth::synth_port_recorder::kind;

// A clock that only counts the sleeps asked of it.
class SleepCounter final : public KvClock {
public:
    uint32_t now_ms() override { return now; }
    void sleep_ms(uint32_t ms) override { slept.push_back(ms); }
    std::vector<uint32_t> slept;
    uint32_t now = 0;
};

MplyEventNoteOn On(uint8_t ch, uint8_t key, uint8_t vel = 100) {
    return {0, ch, 480, key, vel};
}
MplyEventNoteOff Off(uint8_t ch, uint8_t key) {
    return {0, ch, key};
}

// What reached the system device: the bytes of every short and long message, in order.
std::vector<Bytes> Sent(const kv_midi::midi_out_recorder& midi) {
    std::vector<Bytes> out;
    for (const auto& r : midi.log()) {
        if (r.what == MidiKind::short_message || r.what == MidiKind::long_message)
            out.push_back(r.bytes);
    }
    return out;
}

// What reached the synthesizer port: every message, with its stamp.
std::vector<std::pair<int64_t, Bytes>> Sent(const kv_synth::synth_port_recorder& port) {
    std::vector<std::pair<int64_t, Bytes>> out;
    for (const auto& r : port.log()) {
        if (r.what == SynthKind::send) out.emplace_back(r.at, r.bytes);
    }
    return out;
}

size_t Count(const kv_midi::midi_out_recorder& midi, MidiKind kind) {
    size_t n = 0;
    for (const auto& r : midi.log())
        n += r.what == kind;
    return n;
}

class SystemDevice : public ::testing::Test {
protected:
    SystemDevice() : device_(config_, midi_, &clock_) { config_.m_DeviceID = 1; }

    MseqConfig config_;
    kv_midi::midi_out_recorder midi_{
        {{"Synth Zero", true}, {"Port One", false}, {"Synth Two", true}}};
    SleepCounter clock_;
    MplyDeviceSystem device_;
};

TEST_F(SystemDevice, OverlappingNotesOfOneKeySoundUntilTheLastEnds) {
    ASSERT_EQ(device_.Open(), 1);
    EXPECT_EQ(device_.SendNoteOn(On(0, 60)), 1);
    EXPECT_EQ(device_.SendNoteOn(On(0, 60, 80)), 1);
    EXPECT_EQ(device_.note_count(0, 60), 2);
    EXPECT_EQ(device_.SendNoteOff(Off(0, 60)), 1);  // the first note ends: the key still sounds
    EXPECT_EQ(device_.SendNoteOff(Off(0, 60)), 1);
    EXPECT_EQ(device_.SendNoteOff(Off(0, 60)), 0);  // nothing left to end
    EXPECT_EQ(Sent(midi_), (std::vector<Bytes>{{0x90, 60, 100}, {0x90, 60, 80}, {0x80, 60, 0}}));
}

TEST_F(SystemDevice, TheCounterStopsAt255) {
    ASSERT_EQ(device_.Open(), 1);
    for (int i = 0; i < 255; ++i)
        ASSERT_EQ(device_.SendNoteOn(On(3, 40)), 1);
    EXPECT_EQ(device_.SendNoteOn(On(3, 40)), 0);
    EXPECT_EQ(device_.note_count(3, 40), 255);
    EXPECT_EQ(device_.SendNoteOff(Off(3, 40)), 1);
    EXPECT_EQ(device_.SendNoteOn(On(3, 40)), 1);  // one ended, one more may start
    EXPECT_EQ(Sent(midi_).size(), 256u);
}

TEST_F(SystemDevice, AFailedMessageLeavesTheCounterAlone) {
    ASSERT_EQ(device_.Open(), 1);
    ASSERT_EQ(device_.SendNoteOn(On(0, 60)), 1);
    midi_.fail_short_after(0);
    EXPECT_EQ(device_.SendNoteOn(On(0, 62)), 0);
    EXPECT_EQ(device_.note_count(0, 62), 0);
    EXPECT_EQ(device_.SendNoteOff(Off(0, 60)), 0);
    EXPECT_EQ(device_.note_count(0, 60), 1);
    midi_.fail_short_after(SIZE_MAX);
    EXPECT_EQ(device_.SendNoteOff(Off(0, 60)), 1);
    EXPECT_EQ(device_.note_count(0, 60), 0);
}

TEST_F(SystemDevice, MessagesAreMaskedAndPairsGoLowFirst) {
    ASSERT_EQ(device_.Open(), 1);
    EXPECT_EQ(device_.SendNoteOn(MplyEventNoteOn(0, 0x1A, 480, 0xBC, 0xE4)), 1);
    EXPECT_EQ(device_.SendControl(MplyEventControl(0, 9, 7, 120)), 1);
    EXPECT_EQ(device_.SendControlPair(2, 6, 38, 0x1F85), 1);
    EXPECT_EQ(device_.SendExclusive(MplyEventExclusive(0, {0x7E, 0x7F, 0x09, 0x01})), 1);
    EXPECT_EQ(Sent(midi_), (std::vector<Bytes>{{0x9A, 0x3C, 0x64},
                                               {0xB9, 7, 120},
                                               {0xB2, 38, 0x05},
                                               {0xB2, 6, 0x3F},
                                               {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}}));
    midi_.fail_short_after(1);
    EXPECT_EQ(device_.SendControlPair(2, 6, 38, 0), 0);  // the second half failed
}

TEST(DeviceRawMessages, WhatEachDeviceAccepts) {
    // Note messages never pass as raw messages: they would bypass the counters and leave keys
    // sounding. The synthesizer takes no system messages at all.
    const struct {
        Bytes message;
        bool system;
        bool synth;
    } cases[] = {
        {{0x90, 0x3C, 0x64}, false, false}, {{0x80, 0x3C, 0x00}, false, false},
        {{0xA1, 0x3C, 0x20}, true, true},   {{0xB1, 0x07, 0x64}, true, true},
        {{0xB1, 0x07}, false, false},       {{0xC1, 0x05}, true, true},
        {{0xC1, 0x05, 0x00}, false, false}, {{0xD1, 0x10}, true, true},
        {{0xE1, 0x00, 0x40}, true, true},   {{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, true, false},
        {{0xF0, 0x43, 0xF7}, false, false}, {{0xF0, 0x43, 0x10, 0x4C}, false, false},
        {{0xFF, 0x00, 0x00}, false, false}, {{}, false, false},
    };
    for (const auto& c : cases) {
        MseqConfig config;
        config.m_DeviceID = 0;
        kv_midi::midi_out_recorder midi;
        kv_synth::synth_port_recorder port;
        SleepCounter clock;
        MplyDeviceSystem system(config, midi, &clock);
        MplyDeviceDMusic synth(config, port, &clock);
        ASSERT_EQ(system.Open(), 1);
        ASSERT_EQ(synth.Open(), 1);
        const MplyEventMsg event(0, 1, c.message);
        const std::string what = c.message.empty() ? "empty" : std::to_string(c.message[0]);
        EXPECT_EQ(system.SendRawMessage(event), c.system ? 1 : 0) << what;
        EXPECT_EQ(synth.SendRawMessage(event), c.synth ? 1 : 0) << what;
        // What is accepted goes out unchanged; what is refused sends nothing.
        EXPECT_EQ(Sent(midi), c.system ? std::vector<Bytes>{c.message} : std::vector<Bytes>{})
            << what;
        EXPECT_EQ(Sent(port).size(), c.synth ? 1u : 0u) << what;
        // A system exclusive goes out as a long message, everything else as a short one.
        if (c.system) {
            EXPECT_EQ(Count(midi, c.message[0] == 0xF0 ? MidiKind::long_message
                                                       : MidiKind::short_message),
                      1u)
                << what;
        }
    }
}

TEST_F(SystemDevice, StopReleasesEachKeyOnceAndResetsOnlyTheChannelsSetUp) {
    ASSERT_EQ(device_.Open(), 1);
    device_.mark_channel_used(0);
    device_.mark_channel_used(5);
    for (uint8_t key : {60, 64, 67})
        device_.SendNoteOn(On(0, key));
    device_.SendNoteOn(On(0, 64));  // a second C-major third on top
    device_.SendNoteOn(On(9, 36));
    midi_.clear_log();
    EXPECT_EQ(device_.Stop(), 1);
    const std::vector<Bytes> want = {{0x80, 60, 0}, {0x80, 64, 0},  {0x80, 67, 0},
                                     {0x89, 36, 0}, {0xB0, 121, 0}, {0xB5, 121, 0}};
    EXPECT_EQ(Sent(midi_), want);
    EXPECT_EQ(Count(midi_, MidiKind::reset), 1u);
    EXPECT_EQ(device_.note_count(0, 64), 0);
    EXPECT_FALSE(device_.channel_used(5));
    EXPECT_TRUE(device_.IsDeviceOpen());  // m_StopClose is off
    midi_.clear_log();
    EXPECT_EQ(device_.Stop(), 1);  // nothing sounds and no channel is set up any more
    EXPECT_TRUE(Sent(midi_).empty());
}

TEST_F(SystemDevice, StopFollowsTheResetAndCloseSettings) {
    config_.m_StopResetMsg = 0;
    config_.m_StopClose = 1;
    ASSERT_EQ(device_.Open(), 1);
    device_.mark_channel_used(2);
    device_.SendNoteOn(On(2, 50));
    EXPECT_EQ(device_.Stop(), 1);
    EXPECT_EQ(Sent(midi_), (std::vector<Bytes>{{0x90 | 2, 50, 100}, {0x82, 50, 0}}));
    EXPECT_FALSE(device_.IsDeviceOpen());
    EXPECT_EQ(Count(midi_, MidiKind::close), 1u);
}

// Stop follows the settings the run started with (taken at Open), not later changes.
TEST_F(SystemDevice, StopUsesTheSettingsOfTheRunsStart) {
    config_.m_StopResetMsg = 1;
    config_.m_StopClose = 0;
    ASSERT_EQ(device_.Open(), 1);
    device_.mark_channel_used(3);
    config_.m_StopResetMsg = 0;
    config_.m_StopClose = 1;
    EXPECT_EQ(device_.Stop(), 1);
    EXPECT_EQ(Sent(midi_), (std::vector<Bytes>{{0xB3, 121, 0}}));
    EXPECT_TRUE(device_.IsDeviceOpen());
    ASSERT_EQ(device_.Open(), 1);  // the next run takes the new settings
    EXPECT_EQ(device_.Stop(), 1);
    EXPECT_FALSE(device_.IsDeviceOpen());
}

TEST_F(SystemDevice, OpensLazilyAndReopensWhenTheConfigurationChanges) {
    EXPECT_FALSE(device_.IsDeviceOpen());
    ASSERT_EQ(device_.Open(), 1);
    EXPECT_EQ(midi_.open_device(), 1);
    ASSERT_EQ(device_.Open(), 1);  // the same device: stays open
    EXPECT_EQ(Count(midi_, MidiKind::open), 1u);
    config_.m_DeviceID = MDEV_MAPPER;
    ASSERT_EQ(device_.Open(), 1);
    EXPECT_EQ(midi_.open_device(), 0);  // the mapper: the first synthesizer
    EXPECT_EQ(device_.open_id(), MDEV_MAPPER);
    const auto log = midi_.log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].what, MidiKind::close);
    EXPECT_EQ(log[2].what, MidiKind::open);
    config_.m_DeviceID = MDEV_NONE;
    EXPECT_EQ(device_.Open(), 0);
    EXPECT_FALSE(device_.IsDeviceOpen());
    EXPECT_EQ(device_.open_id(), MplyDeviceSystem::kClosed);
}

TEST_F(SystemDevice, CloseDeviceKeepsADeviceThatRefusesToClose) {
    ASSERT_EQ(device_.Open(), 1);
    device_.SendNoteOn(On(0, 60));
    midi_.fail_close(true);
    EXPECT_EQ(device_.CloseDevice(), 0);
    EXPECT_TRUE(device_.IsDeviceOpen());
    EXPECT_EQ(device_.note_count(0, 60), 0);  // the counters are cleared all the same
    midi_.fail_close(false);
    EXPECT_EQ(device_.CloseDevice(), 1);
    EXPECT_FALSE(device_.IsDeviceOpen());
    EXPECT_EQ(device_.CloseDevice(), 1);  // closing a closed device succeeds
}

TEST(DeviceFinish, WaitsForTheLastNotes) {
    MseqConfig config;
    kv_midi::midi_out_recorder midi;
    kv_synth::synth_port_recorder port;
    SleepCounter clock;
    MplyDeviceSystem system(config, midi, &clock);
    MplyDeviceDMusic synth(config, port, &clock);
    EXPECT_EQ(system.Finish(), 1);
    EXPECT_EQ(synth.Finish(), 1);
    EXPECT_EQ(clock.slept, (std::vector<uint32_t>{100, 300}));
    EXPECT_EQ(system.GetPositionOffset(), 0);
    EXPECT_EQ(synth.GetPositionOffset(), -24);
    EXPECT_FALSE(system.IsOffline());
    EXPECT_FALSE(synth.IsOffline());
}

class SynthDevice : public ::testing::Test {
protected:
    SynthDevice() : device_(config_, port_, &clock_) {}

    MseqConfig config_;
    kv_synth::synth_port_recorder port_;
    SleepCounter clock_;
    MplyDeviceDMusic device_;
};

TEST_F(SynthDevice, MessagesAreStampedAheadOfThePerformanceClock) {
    ASSERT_EQ(device_.Open(), 1);
    port_.set_time(1000);
    EXPECT_EQ(device_.SendNoteOn(On(4, 60)), 1);
    port_.set_time(1500);
    EXPECT_EQ(device_.SendControlPair(4, 6, 38, 0x1F85), 1);
    EXPECT_EQ(device_.SendExclusive(MplyEventExclusive(0, {0x7E, 0x7F, 0x09, 0x01})), 1);
    const std::vector<std::pair<int64_t, Bytes>> want = {
        {1024, {0x94, 60, 100}},
        {1524, {0xB4, 38, 0x05}},
        {1524, {0xB4, 6, 0x3F}},
        {1524, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}}};
    EXPECT_EQ(Sent(port_), want);
}

// The engine says when each event was due; the device takes its lateness off the lead, so the
// note sounds a fixed lead after it was due, not after the engine woke up.
TEST_F(SynthDevice, LateDeliveriesAreTakenOffTheLead) {
    ASSERT_EQ(device_.Open(), 1);
    port_.set_time(1000);
    clock_.now = 5000;
    device_.set_due_us(5000000 - 5000);  // 5 ms late: 7.68 units
    EXPECT_EQ(device_.SendNoteOn(On(0, 60)), 1);
    device_.set_due_us(5000000 - 100000);  // later than the lead: it sounds at once
    EXPECT_EQ(device_.SendNoteOn(On(0, 62)), 1);
    device_.set_due_us(5000000 + 3000);  // not yet due: it keeps the lead
    EXPECT_EQ(device_.SendNoteOn(On(0, 64)), 1);
    device_.clear_due();  // what the device sends on its own keeps the lead
    EXPECT_EQ(device_.SendNoteOn(On(0, 65)), 1);
    // Across the wrap of the program clock's 32-bit milliseconds: due 2 ms before the wrap,
    // now 5 ms after it, so 7 ms late (10.75 units).
    clock_.now = 5;
    device_.set_due_us((uint64_t{1} << 32) * 1000 - 2000);
    EXPECT_EQ(device_.SendNoteOn(On(0, 67)), 1);
    const std::vector<std::pair<int64_t, Bytes>> want = {{1017, {0x90, 60, 100}},
                                                         {1000, {0x90, 62, 100}},
                                                         {1024, {0x90, 64, 100}},
                                                         {1024, {0x90, 65, 100}},
                                                         {1014, {0x90, 67, 100}}};
    EXPECT_EQ(Sent(port_), want);
}

TEST_F(SynthDevice, AnUnreadableClockRefusesTheNoteAndCountsNothing) {
    ASSERT_EQ(device_.Open(), 1);
    port_.fail_clock(true);
    EXPECT_EQ(device_.SendNoteOn(On(0, 60)), 0);
    EXPECT_EQ(device_.note_count(0, 60), 0);
    EXPECT_EQ(device_.SendControl(MplyEventControl(0, 0, 7, 100)), 0);
    port_.fail_clock(false);
    port_.fail_send(true);
    EXPECT_EQ(device_.SendNoteOn(On(0, 60)), 0);
    EXPECT_EQ(device_.note_count(0, 60), 0);
}

TEST_F(SynthDevice, ProgramChangesLoadTheirInstrumentsUntilStop) {
    ASSERT_EQ(device_.Open(), 1);
    EXPECT_EQ(device_.SendRawMessage(MplyEventMsg(0, 3, {0xC3, 25})), 1);
    EXPECT_EQ(device_.SendRawMessage(MplyEventMsg(0, 4, {0xC4, 25})), 1);
    EXPECT_EQ(device_.SendRawMessage(MplyEventMsg(0, 5, {0xC5, 0x80 | 40})), 1);
    EXPECT_EQ(device_.loaded_instruments(), (std::vector<uint8_t>{25, 40}));
    device_.SendNoteOn(On(3, 60));
    device_.SendNoteOn(On(3, 60));
    device_.SendNoteOn(On(3, 64));
    port_.clear_log();
    EXPECT_EQ(device_.Stop(), 1);
    std::vector<Bytes> sent;
    std::vector<uint8_t> unloaded;
    for (const auto& r : port_.log()) {
        if (r.what == SynthKind::send) sent.push_back(r.bytes);
        if (r.what == SynthKind::unload) unloaded.push_back(r.bytes[0]);
    }
    EXPECT_EQ(sent, (std::vector<Bytes>{{0x83, 60, 0}, {0x83, 64, 0}}));
    EXPECT_EQ(unloaded, (std::vector<uint8_t>{25, 40}));
    EXPECT_TRUE(device_.loaded_instruments().empty());
    EXPECT_TRUE(device_.IsDeviceOpen());
}

TEST_F(SynthDevice, RawMessagesTakeTheEventsChannel) {
    ASSERT_EQ(device_.Open(), 1);
    EXPECT_EQ(device_.SendRawMessage(MplyEventMsg(0, 7, {0xE0, 0x00, 0x40})), 1);
    EXPECT_EQ(Sent(port_)[0].second, (Bytes{0xE7, 0x00, 0x40}));
}

TEST_F(SynthDevice, StopGivesUpKeysThePortNoLongerTakes) {
    ASSERT_EQ(device_.Open(), 1);
    device_.SendNoteOn(On(0, 60));
    device_.SendNoteOn(On(0, 60));
    port_.fail_send(true);
    EXPECT_EQ(device_.Stop(), 0);
    EXPECT_EQ(device_.note_count(0, 60), 0);
}

TEST_F(SynthDevice, ReopensWhenTheConfiguredPortChanges) {
    const auto ports = port_.ports();
    ASSERT_EQ(device_.Open(), 1);  // all zero: the first port
    EXPECT_EQ(port_.open_port(), ports[0].id);
    ASSERT_EQ(device_.Open(), 1);
    config_.m_DmPortGUID = ports[1].id;
    ASSERT_EQ(device_.Open(), 1);
    EXPECT_EQ(port_.open_port(), ports[1].id);
    size_t opens = 0, closes = 0, clocks = 0;
    for (const auto& r : port_.log()) {
        opens += r.what == SynthKind::open;
        closes += r.what == SynthKind::close;
        clocks += r.what == SynthKind::start_clock;
    }
    EXPECT_EQ(opens, 2u);
    EXPECT_EQ(closes, 1u);
    EXPECT_EQ(clocks, 2u);  // the clock starts again on the new port only
    config_.m_DmPortGUID = kv_synth::port_id_of("no such port");
    EXPECT_EQ(device_.Open(), 0);
    EXPECT_FALSE(device_.IsDeviceOpen());
}

TEST_F(SynthDevice, StopClosesWhenAsked) {
    config_.m_StopClose = 1;
    ASSERT_EQ(device_.Open(), 1);
    device_.SendRawMessage(MplyEventMsg(0, 0, {0xC0, 1}));
    EXPECT_EQ(device_.Stop(), 1);
    EXPECT_FALSE(device_.IsDeviceOpen());
    EXPECT_FALSE(port_.is_open());
}

}  // namespace device_test
