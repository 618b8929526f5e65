// Real-time runs of the engine against the system device with a recording MIDI output, timed by
// a clock the test controls.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "platform/Clock.h"
#include "platform/MidiOut.h"
#include "play/devices/MplyDeviceSystem.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"

namespace device_run_test {

using Bytes = std::vector<uint8_t>;

// Runs 31 ms ahead at every reading until it reaches `limit`, where time stands still.
class SteppingClock final : public KvClock {
public:
    explicit SteppingClock(uint32_t limit) : limit_(limit) {}
    uint32_t now_ms() override {
        uint32_t t = now_.load();
        if (t < limit_) now_.store(t = std::min(limit_, t + 31));
        return t;
    }
    void sleep_ms(uint32_t) override { std::this_thread::yield(); }

private:
    std::atomic<uint32_t> now_{0};
    uint32_t limit_;
};

// Quarter-note grid; notes are {index, length, letter} of pure pitches in one octave.
void AddNotes(MseqMusic& music, std::vector<std::array<int, 3>> notes) {
    MseqObject* node = music.create_track(music.detail()->id, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE,
                                          CkvString("notes"));
    ASSERT_NE(node, nullptr);
    ASSERT_TRUE(mseq_factory(node));
    auto* track = node->entity()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
    track->m_Beat = 4;
    for (const auto& [index, length, letter] : notes) {
        MseqBlockNote note;
        note.set_type(MNBT_PURE);
        note.m_Length = length;
        note.m_Whole = static_cast<int8_t>(letter);
        track->put_block(index, note);
    }
}

std::vector<Bytes> Messages(const kv_midi::midi_out_recorder& midi) {
    std::vector<Bytes> out;
    for (const auto& r : midi.log()) {
        if (r.what == kv_midi::midi_out_recorder::kind::short_message) out.push_back(r.bytes);
    }
    return out;
}

size_t Resets(const kv_midi::midi_out_recorder& midi) {
    size_t n = 0;
    for (const auto& r : midi.log())
        n += r.what == kv_midi::midi_out_recorder::kind::reset;
    return n;
}

// Waits (a bounded while) until the recorder holds `n` short messages.
bool WaitForMessages(const kv_midi::midi_out_recorder& midi, size_t n) {
    for (int i = 0; i < 10000; ++i) {
        if (Messages(midi).size() >= n) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

TEST(DeviceRun, OverlappingNotesSoundUntilTheLaterEnds) {
    auto music = ref_ptr<MseqMusic>::adopt(new MseqMusic(nullptr));
    music->m_Title = "";
    AddNotes(*music, {{0, 2, 0}, {1, 2, 0}});  // C on at 0 for 960 ticks and at 480 for 960
    MseqConfig config;
    config.m_DeviceID = 0;
    kv_midi::midi_out_recorder midi;
    SteppingClock clock(UINT32_MAX);
    MplyDeviceSystem device(config, midi, &clock);
    MplyPlayer player(&clock, false);
    std::unique_ptr<MplyEntity> run(music->create_player_model());
    ASSERT_TRUE(player.Start(&device, run));
    for (int i = 0; i < 10000 && player.Running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(player.Running());
    const std::vector<Bytes> sent = Messages(midi);
    ASSERT_EQ(sent.size(), 3u);
    const uint8_t key = sent[0][1];
    EXPECT_EQ(sent, (std::vector<Bytes>{{0x90, key, 100}, {0x90, key, 100}, {0x80, key, 0}}));
    EXPECT_EQ(Resets(midi), 1u);  // the device is reset when the run ends
}

TEST(DeviceRun, StoppingInAChordReleasesEachKeyOnce) {
    auto music = ref_ptr<MseqMusic>::adopt(new MseqMusic(nullptr));
    music->m_Title = "";
    // A long C major chord from the first beat, its C struck again on the second (a track
    // holds one block at a place, so each voice has a track of its own).
    AddNotes(*music, {{0, 16, 0}});
    AddNotes(*music, {{0, 16, 2}});
    AddNotes(*music, {{0, 16, 4}});
    AddNotes(*music, {{1, 16, 0}});
    MseqConfig config;
    config.m_DeviceID = 0;
    kv_midi::midi_out_recorder midi;
    SteppingClock clock(1200);  // time stands still in the second beat
    MplyDeviceSystem device(config, midi, &clock);
    MplyPlayer player(&clock, false);
    std::unique_ptr<MplyEntity> run(music->create_player_model());
    ASSERT_TRUE(player.Start(&device, run));
    ASSERT_TRUE(WaitForMessages(midi, 4));
    ASSERT_TRUE(player.Stop(3000));
    const std::vector<Bytes> sent = Messages(midi);
    ASSERT_EQ(sent.size(), 7u);
    std::vector<Bytes> offs(sent.begin() + 4, sent.end());
    std::vector<Bytes> want;
    for (int i = 0; i < 3; ++i)
        want.push_back({0x80, sent[i][1], 0});
    std::sort(want.begin(), want.end());
    EXPECT_EQ(offs, want);
    EXPECT_EQ(Resets(midi), 1u);
    EXPECT_EQ(device.note_count(0, sent[0][1]), 0);
}

// The note messages of a run carry the time their events were due on the musical clock, not
// the time the worker found them: with a clock that jumps 31 ms a reading, quarter notes at
// 120 beats a minute are still exactly 500 ms apart, and so are a note's on and off.
TEST(DeviceRun, NoteMessagesCarryTheTimeTheyWereDue) {
    auto music = ref_ptr<MseqMusic>::adopt(new MseqMusic(nullptr));
    music->m_Title = "";
    AddNotes(*music, {{0, 1, 0}, {1, 1, 2}, {2, 1, 4}});
    MseqConfig config;
    config.m_DeviceID = 0;
    kv_midi::midi_out_recorder midi;
    SteppingClock clock(UINT32_MAX);
    MplyDeviceSystem device(config, midi, &clock);
    MplyPlayer player(&clock, false);
    std::unique_ptr<MplyEntity> run(music->create_player_model());
    ASSERT_TRUE(player.Start(&device, run));
    for (int i = 0; i < 10000 && player.Running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(player.Running());
    std::vector<uint64_t> on, off;
    for (const auto& r : midi.log()) {
        if (r.what != kv_midi::midi_out_recorder::kind::short_message) continue;
        const uint8_t high = r.bytes[0] & 0xF0;
        if (high != 0x90 && high != 0x80) continue;
        EXPECT_TRUE(r.timed) << "a note went out without its time";
        (high == 0x90 ? on : off).push_back(r.due_us);
    }
    ASSERT_EQ(on.size(), 3u);
    ASSERT_EQ(off.size(), 3u);
    EXPECT_EQ(on[1] - on[0], 500000u);
    EXPECT_EQ(on[2] - on[1], 500000u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(off[i] - on[i], 500000u) << "note " << i;
}

// An output the system takes away ends the run as a stop does, and the player says why it
// ended; the next run starts with that cleared.
TEST(DeviceRun, ALostOutputEndsTheRun) {
    auto music = ref_ptr<MseqMusic>::adopt(new MseqMusic(nullptr));
    music->m_Title = "";
    AddNotes(*music, {{0, 16, 0}, {1, 16, 2}});
    MseqConfig config;
    config.m_DeviceID = 0;
    kv_midi::midi_out_recorder midi;
    SteppingClock clock(1200);  // time stands still in the second beat: no end by itself
    MplyDeviceSystem device(config, midi, &clock);
    MplyPlayer player(&clock, false);
    std::unique_ptr<MplyEntity> run(music->create_player_model());
    ASSERT_TRUE(player.Start(&device, run));
    ASSERT_TRUE(WaitForMessages(midi, 2));
    EXPECT_TRUE(player.Running());
    midi.lose_connection();
    for (int i = 0; i < 10000 && player.Running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(player.Running());
    EXPECT_TRUE(player.OutputLost());
    EXPECT_TRUE(device.IsLost());
    // Closing ends the lost connection; a new run plays again and is not reported lost.
    ASSERT_TRUE(device.CloseDevice());
    run.reset(music->create_player_model());
    ASSERT_TRUE(player.Start(&device, run));
    EXPECT_FALSE(player.OutputLost());
    player.Stop(3000);
}

}  // namespace device_run_test
