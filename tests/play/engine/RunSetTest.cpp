#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "model/block/MseqBlockRefer.h"
#include "model/core/MseqDesk.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "platform/MessageQueue.h"
#include "play/PlayFixture.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "play/engine/MplyRunSet.h"

namespace run_set_test {

using kv_test::add_track;
using kv_test::Library;
using kv_test::note;
using kv_test::RecordingOutput;
using kv_test::run_offline;
using kv_test::StepClock;
using Lines = std::vector<std::string>;

// A music that places two phrases (one of them twice) on its phrase track, with a chord track
// on a chord map and a stage map; one more phrase of the book is placed nowhere. (Phrases hold
// no phrase tracks of their own, so a phrase reaches only its own tracks.)
struct PlacedPhrases {
    Library lib;
    MseqObject* first_node = nullptr;
    MseqObject* second_node = nullptr;
    MseqObject* unused_node = nullptr;
    MseqObject* chords_node = nullptr;
    MseqObject* stage_node = nullptr;

    PlacedPhrases() {
        MseqPhrase* first = lib.add_phrase("first", &first_node);
        MseqPhrase* second = lib.add_phrase("second", &second_node);
        lib.add_phrase("unused", &unused_node);
        lib.add_chord_map("chords", &chords_node);
        lib.add_stage_map("stage", &stage_node);
        lib.music->m_MapStageID = Library::ref(stage_node);
        add_track<MseqTrackChord>(lib.music, MTYPE_TRACK_CHORD)->m_MapID =
            Library::ref(chords_node);

        add_track<MseqTrackNote>(first, MTYPE_TRACK_NOTE)->put_block(0, note(MNBT_PURE, 0, 5));
        auto* second_notes = add_track<MseqTrackNote>(second, MTYPE_TRACK_NOTE);
        second_notes->put_block(0, note(MNBT_PURE, 2, 5));
        second_notes->put_block(1, note(MNBT_PURE, 4, 5));
        auto* refs = add_track<MseqTrackRefer>(lib.music, MTYPE_TRACK_REFER);
        place(refs, 0, first_node);
        place(refs, 2, second_node);
        place(refs, 8, first_node);
    }
    static void place(MseqTrackRefer* track, int index, MseqObject* phrase) {
        MseqBlockRefer b;
        b.m_Length = 2;
        b.m_PhraseID = Library::ref(phrase);
        track->put_block(index, b);
    }
};

TEST(PlyRunSet, HoldsWhatTheRunReachesAndNothingElse) {
    PlacedPhrases n;
    std::shared_ptr<const MplyRunSet> reach = MplyRunSet::collect(n.lib.music);
    ASSERT_NE(reach, nullptr);
    const MseqMusic* music = n.lib.music;
    ref_ptr<MseqEntity> first = reach->object(music, Library::ref(n.first_node), MTYPE_LEAF_PHRASE);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(reach->object(music, Library::ref(n.second_node), MTYPE_LEAF_PHRASE), nullptr);
    EXPECT_NE(reach->object(music, Library::ref(n.chords_node), MTYPE_LEAF_CHORD), nullptr);
    EXPECT_NE(reach->object(music, Library::ref(n.stage_node), MTYPE_LEAF_STAGE), nullptr);
    // The same leaf asked for as another type, and a leaf placed nowhere, are not there.
    EXPECT_EQ(reach->object(music, Library::ref(n.first_node), MTYPE_LEAF_CHORD), nullptr);
    EXPECT_EQ(reach->object(music, Library::ref(n.unused_node), MTYPE_LEAF_PHRASE), nullptr);
    // A phrase's own tracks are found under the phrase, not under the music.
    const auto* phrase = first->cast_to<MseqMusic>(MTYPE_LEAF_PHRASE);
    ASSERT_NE(phrase, nullptr);
    const MseqObject* track = phrase->tracks.rbegin()->second;
    EXPECT_NE(reach->object(phrase, track->id, track->type), nullptr);
    EXPECT_EQ(MplyRunSet::collect(nullptr), nullptr);
}

// The desk belongs to the user-interface thread: a run on the worker must find everything in
// its run set. The run is the same as the offline one, and the desk is never used off this
// thread while it plays.
TEST(PlyRunSet, TheWorkerNeverUsesTheDesk) {
    PlacedPhrases n;
    const Lines offline = [&] {
        RecordingOutput out;
        run_offline(n.lib.music, 0, &out);
        return out.only("note-on");
    }();
    ASSERT_EQ(offline.size(), 4u);  // both phrases sound, the first one twice

    StepClock clock({40});
    KvMessageQueue window;
    RecordingOutput out;
    out.offline = false;
    MplyPlayer player(&clock, false);
    player.SetStopNotify(&window, MPLY_MSG_STOPPED);
    MseqDesk::watch_thread(std::this_thread::get_id());
    std::unique_ptr<MplyEntity> run(n.lib.music->create_player_model());
    ASSERT_TRUE(player.Start(&out, run));
    KvMessage m;
    bool stopped = false;
    while (!stopped && window.wait(&m, 20000))
        stopped = m.message == MPLY_MSG_STOPPED;
    MseqDesk::stop_watching();
    ASSERT_TRUE(stopped);
    EXPECT_EQ(MseqDesk::foreign_uses(), 0u);
    EXPECT_EQ(out.only("note-on"), offline);
}

}  // namespace run_set_test
