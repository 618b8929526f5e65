#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "model/track/MseqTrackNote.h"
#include "platform/MessageQueue.h"
#include "play/PlayFixture.h"

namespace real_time_test {

using kv_test::add_track;
using kv_test::Library;
using kv_test::note;
using kv_test::RecordingOutput;
using kv_test::StepClock;
using Lines = std::vector<std::string>;

constexpr uint32_t kPosition = 0x9001;

// A real-time run on the worker thread, timed by a step clock, with the position reported
// after every clock step.
struct RealTime {
    Library lib;
    StepClock clock;
    KvMessageQueue window;
    RecordingOutput out;
    MplyPlayer player;

    explicit RealTime(std::vector<uint32_t> steps)
        : clock(std::move(steps)), player(&clock, false) {
        out.offline = false;
        out.player = &player;
        player.SetPositionNotify(&window, kPosition, 10);
        player.SetStartNotify(&window, MPLY_MSG_STARTED);
        player.SetStopNotify(&window, MPLY_MSG_STOPPED);
    }
    ~RealTime() { player.Stop(-1); }

    bool start(int32_t tick = 0) {
        player.SetStartTick(tick);
        std::unique_ptr<MplyEntity> music(lib.music->create_player_model());
        return player.Start(&out, music);
    }
    // The positions of the first `n` position messages (other messages are kept aside).
    std::vector<int32_t> positions(size_t n) {
        std::vector<int32_t> got;
        KvMessage m;
        while (got.size() < n && window.wait(&m, 20000)) {
            if (m.message == kPosition)
                got.push_back(static_cast<int32_t>(m.param2));
            else
                others.push_back(m);
        }
        return got;
    }
    // Waits for the end of the run (the stop message) and returns it.
    KvMessage stopped() {
        KvMessage m;
        while (window.wait(&m, 20000)) {
            if (m.message == MPLY_MSG_STOPPED) return m;
            if (m.message != kPosition) others.push_back(m);
        }
        return KvMessage{};
    }
    std::vector<KvMessage> others;
};

// A note far away keeps a run going until it is stopped.
void keep_running(MseqMusic* music) {
    add_track<MseqTrackNote>(music, MTYPE_TRACK_NOTE, 1)->put_block(1000, note(MNBT_PURE, 0, 5));
}

TEST(PlyEngineClock, OneSecondIsTwoQuarterNotesAt120) {
    RealTime rt({10});
    keep_running(rt.lib.music);
    ASSERT_TRUE(rt.start());
    const std::vector<int32_t> p = rt.positions(100);
    ASSERT_EQ(p.size(), 100u);
    EXPECT_EQ(p[0], 9);     // 10 ms: 9.6 ticks
    EXPECT_EQ(p[99], 960);  // 1000 ms
}

TEST(PlyEngineClock, TempoEventsChangeTheRateOfTheFollowingSteps) {
    RealTime rt({10});
    rt.lib.music->m_Tempo = 60;
    keep_running(rt.lib.music);
    ASSERT_TRUE(rt.start());
    const std::vector<int32_t> p = rt.positions(101);
    ASSERT_EQ(p.size(), 101u);
    // The tempo event of tick 0 is played after the first step (still at 120).
    EXPECT_EQ(p[0], 9);
    EXPECT_EQ(p[100] - p[0], 480);  // the next 1000 ms at 60
}

TEST(PlyEngineClock, LongPauseCountsAs31Milliseconds) {
    // Two readings start the run; then four steps of 10 ms, a pause of 500 ms, and 10 ms again.
    RealTime rt({10, 10, 10, 10, 10, 10, 500, 10});
    keep_running(rt.lib.music);
    ASSERT_TRUE(rt.start());
    const std::vector<int32_t> p = rt.positions(6);
    ASSERT_EQ(p.size(), 6u);
    EXPECT_EQ(p[3], 38);  // 4 × 10 ms × 120 / 125
    EXPECT_EQ(p[4], 68);  // + 31 ms, not 500
    EXPECT_EQ(p[5], 77);
}

TEST(PlyEngineClock, ReportedPositionCountsTheOutputOffsetFromTheStartTick) {
    RealTime rt({10});
    rt.out.offset = -180;
    keep_running(rt.lib.music);
    ASSERT_TRUE(rt.start(1920));
    EXPECT_EQ(rt.player.Position() >= 1920, true);
    const std::vector<int32_t> p = rt.positions(20);
    ASSERT_EQ(p.size(), 20u);
    // The current tick passes 2100 at the 19th step (1920 + 182).
    for (size_t k = 0; k < 18; ++k)
        EXPECT_EQ(p[k], 1920) << k;
    EXPECT_EQ(p[18], 1922);
    ASSERT_TRUE(rt.player.Stop(-1));
    EXPECT_FALSE(rt.player.Running());
    EXPECT_EQ(rt.player.Position(), 1920);  // no run: the start tick
    const KvMessage stop = rt.stopped();
    EXPECT_EQ(stop.message, MPLY_MSG_STOPPED);
    EXPECT_EQ(stop.param1, reinterpret_cast<uintptr_t>(rt.lib.music));
    ASSERT_FALSE(rt.others.empty());
    EXPECT_EQ(rt.others[0].message, MPLY_MSG_STARTED);
    EXPECT_EQ(rt.others[0].param1, reinterpret_cast<uintptr_t>(rt.lib.music));
    EXPECT_EQ(rt.others[0].param2, 1920);
}

// 400 notes of one sixteenth each.
void long_music(MseqMusic* music) {
    auto* t = add_track<MseqTrackNote>(music, MTYPE_TRACK_NOTE, 16);
    for (int i = 0; i < 400; ++i)
        t->put_block(i, note(MNBT_PURE, i % 7, 5));
}

TEST(PlyEngineLookAhead, QueueHoldsOnlyTheWindowInRealTime) {
    RealTime rt({10});
    long_music(rt.lib.music);
    ASSERT_TRUE(rt.start());
    rt.stopped();  // the music runs to its end by itself
    EXPECT_EQ(rt.out.only("note-on").size(), 400u);
    ASSERT_EQ(rt.out.queue_sizes.size(), 400u);
    // 1396 ticks hold about 12 notes and the note-offs of the ones sounding.
    EXPECT_LE(*std::max_element(rt.out.queue_sizes.begin(), rt.out.queue_sizes.end()), 20u);
    ASSERT_GE(rt.out.calls.size(), 2u);
    EXPECT_EQ(rt.out.calls[rt.out.calls.size() - 2], "finish");
    EXPECT_EQ(rt.out.calls.back(), "stop");
}

TEST(PlyEngineLookAhead, BuildModeQueuesEverythingFirst) {
    kv_test::PlayModeScope build(MCPM_BUILD);
    RealTime rt({10});
    long_music(rt.lib.music);
    ASSERT_TRUE(rt.start());
    rt.stopped();
    ASSERT_EQ(rt.out.queue_sizes.size(), 400u);
    EXPECT_EQ(rt.out.queue_sizes[0], 399u);  // every other note waits behind the first
}

TEST(PlyEngineStop, StoppingDiscardsQueuedEventsAndSkipsFinish) {
    RealTime rt({10});
    long_music(rt.lib.music);
    ASSERT_TRUE(rt.start());
    const std::vector<int32_t> p = rt.positions(50);  // about 480 ticks in
    ASSERT_EQ(p.size(), 50u);
    EXPECT_TRUE(rt.player.Stop(-1));
    EXPECT_FALSE(rt.player.Running());
    const size_t played = rt.out.only("note-on").size();
    EXPECT_GT(played, 0u);
    EXPECT_LT(played, 400u);
    EXPECT_EQ(rt.out.calls.back(), "stop");
    EXPECT_EQ(std::count(rt.out.calls.begin(), rt.out.calls.end(), "finish"), 0);
}

TEST(PlyEngineStart, RefusalsLeaveTheMusicWithTheCaller) {
    RealTime rt({10});
    keep_running(rt.lib.music);
    std::unique_ptr<MplyEntity> music(rt.lib.music->create_player_model());
    std::unique_ptr<MplyEntity> none;
    EXPECT_FALSE(rt.player.Start(nullptr, music));
    EXPECT_FALSE(rt.player.Start(&rt.out, none));
    rt.out.open_ok = false;
    EXPECT_FALSE(rt.player.Start(&rt.out, music));
    EXPECT_NE(music, nullptr);
    rt.out.open_ok = true;
    ASSERT_TRUE(rt.player.Start(&rt.out, music));
    EXPECT_EQ(music, nullptr);
    EXPECT_TRUE(rt.player.Running());
    std::unique_ptr<MplyEntity> second(rt.lib.music->create_player_model());
    EXPECT_FALSE(rt.player.Start(&rt.out, second));
    EXPECT_NE(second, nullptr);
    EXPECT_FALSE(rt.player.SetStopNotify(nullptr, 0));
    EXPECT_FALSE(rt.player.SetStartNotify(nullptr, 0));
    EXPECT_FALSE(rt.player.SetStartTick(5));
    EXPECT_TRUE(rt.player.Stop(-1));
    EXPECT_TRUE(rt.player.SetStartTick(5));
}

TEST(PlyEngineStart, MusicThatCannotStartEndsTheRunAtOnce) {
    RealTime rt({10});  // an empty music: no track will sound
    ASSERT_TRUE(rt.start());
    const KvMessage stop = rt.stopped();
    EXPECT_EQ(stop.message, MPLY_MSG_STOPPED);
    EXPECT_EQ(rt.out.calls, Lines{"stop"});  // the start events are discarded unplayed
}

// A front end starts the next song when the stop message of the last one arrives: the worker
// is idle by then, every time.
TEST(PlyEngineStop, TheStopMessageComesWhenTheWorkerIsIdle) {
    RealTime rt({10});
    rt.lib.music->m_Tempo = 1024;
    add_track<MseqTrackNote>(rt.lib.music, MTYPE_TRACK_NOTE, 1)
        ->put_block(0, note(MNBT_PURE, 0, 1));
    ASSERT_TRUE(rt.start());
    for (int run = 0; run < 300; ++run) {
        ASSERT_EQ(rt.stopped().message, MPLY_MSG_STOPPED) << run;
        ASSERT_FALSE(rt.player.Running()) << run;
        ASSERT_TRUE(rt.start()) << run;
    }
    EXPECT_EQ(rt.stopped().message, MPLY_MSG_STOPPED);
}

// A run keeps the play mode it started with, whatever the configuration says meanwhile.
TEST(PlyEngineStart, ARunKeepsThePlayModeItStartedWith) {
    kv_test::PlayModeScope interpret(MCPM_INTERPRET);
    RealTime rt({10});
    long_music(rt.lib.music);
    ASSERT_TRUE(rt.start());
    mseq_config().m_PlayMode = MCPM_BUILD;
    rt.stopped();
    ASSERT_EQ(rt.out.queue_sizes.size(), 400u);
    EXPECT_LT(rt.out.queue_sizes[0], 399u);  // generated with the look-ahead, not all at once
    EXPECT_EQ(rt.player.play_mode(), static_cast<int32_t>(MCPM_INTERPRET));
}

// A music whose generation runs out of memory.
class ExhaustedMusic : public MplyEntity {
public:
    MSEQ_TYPE GetType() const override { return MPLY_MUSIC; }
    MplyEntity* IsKindOf(MSEQ_TYPE) override { return nullptr; }
    MseqEntity* GetSource() const override { return nullptr; }
    bool Start(MplyPlayer*) override { return true; }
    bool Generate(MplyPlayer*) override { throw std::bad_alloc(); }
};

// What the system throws during a run ends the run as a stop does, on the worker and offline:
// the output is stopped, the stop message posted and the player is ready for the next run.
TEST(PlyEngineStop, AnExceptionInTheRunEndsItAsAStop) {
    for (bool offline : {false, true}) {
        StepClock clock({10});
        KvMessageQueue window;
        RecordingOutput out;
        out.offline = offline;
        MplyPlayer player(&clock, false);
        player.SetStopNotify(&window, MPLY_MSG_STOPPED);
        std::unique_ptr<MplyEntity> music = std::make_unique<ExhaustedMusic>();
        ASSERT_TRUE(player.Start(&out, music)) << offline;
        KvMessage m;
        ASSERT_TRUE(window.wait(&m, 20000)) << offline;
        EXPECT_EQ(m.message, MPLY_MSG_STOPPED);
        EXPECT_FALSE(player.Running());
        EXPECT_EQ(out.calls, Lines{"stop"}) << offline;  // stopped, not finished
    }
}

TEST(PlyEngineStart, DestroyingThePlayerStopsTheRun) {
    Library lib;
    StepClock clock({10});
    RecordingOutput out;
    out.offline = false;
    keep_running(lib.music);
    {
        MplyPlayer player(&clock, false);
        std::unique_ptr<MplyEntity> music(lib.music->create_player_model());
        ASSERT_TRUE(player.Start(&out, music));
    }
    EXPECT_EQ(out.calls.back(), "stop");
}

}  // namespace real_time_test
