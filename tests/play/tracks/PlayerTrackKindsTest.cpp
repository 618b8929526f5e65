#include <gtest/gtest.h>

#include <memory>

#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/track/MseqTrack.h"
#include "play/PlayFixture.h"
#include "play/engine/MplyRunSet.h"
#include "play/tracks/MplyTrack.h"

namespace player_track_kinds_test {

TEST(PlyTrackKinds, EveryStoredTrackMakesItsPlayerTrack) {
    struct Case {
        MSEQ_TYPE stored;
        MSEQ_TYPE player;
        bool has_source;
    };
    const Case cases[] = {
        {MTYPE_TRACK_NOTE, MPLY_TRACK_NOTE, true},
        {MTYPE_TRACK_REFER, MPLY_TRACK_REFER, true},
        {MTYPE_TRACK_CHORD, MPLY_TRACK_CHORD, true},
        {MTYPE_TRACK_CHORD_MAP, MPLY_TRACK_CHORD_MAP, true},
        {MTYPE_TRACK_GROUP, MPLY_TRACK, false},
        {MTYPE_TRACK_LYRIC, MPLY_TRACK_LABEL, true},
        {MTYPE_TRACK_MARKER, MPLY_TRACK_LABEL, true},
        {MTYPE_TRACK_MEMO, MPLY_TRACK_LABEL, true},
        {MTYPE_TRACK_MSG, MPLY_TRACK_MSG, true},
        {MTYPE_TRACK_TEMPO, MPLY_TRACK_TEMPO, true},
        {MTYPE_TRACK_TEXT, MPLY_TRACK, false},
        {MTYPE_TRACK_HEADER, MPLY_TRACK, false},
        {MTYPE_TRACK_DETAIL, MPLY_TRACK, false},
        {MTYPE_TRACK_ROOT_MUSIC, MPLY_TRACK, false},
    };
    kv_test::Library lib;
    MplyMusic music(lib.music, MplyRunSet::collect(lib.music));
    for (const Case& c : cases) {
        MseqObject node(0x110001, c.stored, CkvString("t"), MseqDescPath(kPathWith));
        ASSERT_TRUE(mseq_factory(&node)) << std::hex << c.stored;
        auto* track = node.entity()->cast_to<MseqTrack>(MTYPE_TRACK);
        std::unique_ptr<MplyTrack> player(track->create_player_track(&music));
        ASSERT_NE(player, nullptr);
        EXPECT_EQ(player->GetType(), c.player) << std::hex << c.stored;
        EXPECT_TRUE(player->IsKindOf(c.player));
        EXPECT_TRUE(player->IsKindOf(MPLY_TRACK));
        EXPECT_EQ(player->IsKindOf(MPLY_TRACK_NOTE), c.player == MPLY_TRACK_NOTE);
        EXPECT_EQ(player->GetSource(), c.has_source ? track : nullptr);
        EXPECT_EQ(player->music(), &music);
        // The player track holds the stored track while it lives (a group too, though it does
        // not name it as its source); plain tracks hold nothing.
        const bool holds = c.has_source || c.stored == MTYPE_TRACK_GROUP;
        EXPECT_EQ(track->ref_count(), holds ? 2 : 1);
        player.reset();
        EXPECT_EQ(track->ref_count(), 1);
    }
    EXPECT_EQ(music.GetType(), MPLY_MUSIC);
    EXPECT_EQ(music.IsKindOf(MPLY_MUSIC), &music);
    EXPECT_EQ(music.IsKindOf(MPLY_TRACK), nullptr);
    EXPECT_EQ(music.GetSource(), lib.music);
}

}  // namespace player_track_kinds_test
