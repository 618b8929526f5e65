#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockLabel.h"
#include "model/block/MseqBlockNote.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapChord.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackInherit.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackTree.h"
#include "model/track/MseqTrackValue.h"

namespace track_query_test {

MseqBlockNote note(int32_t length) {
    MseqBlockNote n;
    n.m_Length = length;
    return n;
}

// Fills in notes at 2+3, 8+1 and 12+4 (a gap at 5-7, one step at 8, touching at 9-11).
void fill_notes(MseqTrackNote& t) {
    t.put_block(2, note(3));
    t.put_block(8, note(1));
    t.put_block(12, note(4));
}

// Where a query found a block: "start" or "-" for none.
template <class Block>
std::string found(const Block* block, int32_t start) {
    return block ? std::to_string(start) : "-";
}

TEST(BlockQueries, BlocksWithLengthCoverTheirRangeOnly) {
    MseqTrackNote t;
    fill_notes(t);
    struct Case {
        int64_t index;
        const char* in_effect;
        const char* covering;
    };
    const Case cases[] = {
        {-1, "-", "-"},   {1, "-", "-"},    {2, "2", "2"},   {4, "2", "2"},
        {5, "2", "-"},    {7, "2", "-"},    {8, "8", "8"},   {9, "8", "-"},
        {12, "12", "12"}, {15, "12", "12"}, {16, "12", "-"}, {int64_t{INT32_MAX} + 1, "-", "-"},
    };
    for (const Case& c : cases) {
        int32_t start = -99;
        const MseqBlockNote* in_effect = t.block_in_effect(c.index, &start);
        EXPECT_EQ(found(in_effect, start), c.in_effect) << c.index;
        start = -99;
        const MseqBlockNote* covering = t.block_covering(c.index, &start);
        EXPECT_EQ(found(covering, start), c.covering) << c.index;
    }
    // The start is optional, and the block is the stored one.
    EXPECT_EQ(t.block_covering(13), t.block_at(12));
}

TEST(BlockQueries, PointBlocksHoldUntilTheNextOne) {
    MseqTrackLabel t;
    t.put_block(4, MseqBlockLabel());
    t.put_block(10, MseqBlockLabel());
    for (int64_t index : {4, 9, 10, 1000000}) {
        int32_t start = -1;
        const MseqBlockLabel* b = t.block_covering(index, &start);
        ASSERT_NE(b, nullptr) << index;
        EXPECT_EQ(start, index < 10 ? 4 : 10);
        EXPECT_EQ(t.block_in_effect(index), b);
    }
    EXPECT_EQ(t.block_covering(3), nullptr);
    EXPECT_EQ(MseqTrackLabel().block_in_effect(0), nullptr);
}

// The visits of for_blocks_meeting as "start-end" words.
template <class Track>
std::string meeting(const Track& t, int32_t first, int32_t last) {
    std::string out;
    t.for_blocks_meeting(first, last, [&](int32_t start, int64_t end, const auto&) {
        out += (out.empty() ? "" : " ") + std::to_string(start) + "-" + std::to_string(end);
    });
    return out;
}

TEST(BlockQueries, BlocksMeetingARange) {
    MseqTrackNote t;
    fill_notes(t);
    EXPECT_EQ(meeting(t, 0, 100), "2-5 8-9 12-16");
    // A block reaching into the range from before is visited; one that ended before is not.
    EXPECT_EQ(meeting(t, 4, 8), "2-5 8-9");
    EXPECT_EQ(meeting(t, 5, 11), "8-9");
    EXPECT_EQ(meeting(t, 9, 11), "");
    EXPECT_EQ(meeting(t, 16, 20), "");
    // Overlapping blocks (a damaged file): the one reaching over the start is still visited.
    MseqTrackNote damaged;
    damaged.put_block(0, note(10));
    damaged.put_block(6, note(1));
    EXPECT_EQ(meeting(damaged, 6, 6), "0-10 6-7");

    MseqTrackLabel labels;
    labels.put_block(4, MseqBlockLabel());
    labels.put_block(10, MseqBlockLabel());
    // The block in effect at the start comes first; the last one ends one step after it.
    EXPECT_EQ(meeting(labels, 6, 20), "4-10 10-11");
    EXPECT_EQ(meeting(labels, 0, 3), "");
    EXPECT_EQ(meeting(labels, 0, 4), "4-10");
}

TEST(BlockQueries, PositionsMoveBetweenGrids) {
    EXPECT_EQ(mseq_regrid(3, 4, 16), 12);
    EXPECT_EQ(mseq_regrid(7, 16, 4), 1);  // rounded towards zero
    EXPECT_EQ(mseq_regrid(-7, 16, 4), -1);
    EXPECT_EQ(mseq_regrid(960, MseqTrack::kTicksPerBar, 4), 2);
    EXPECT_EQ(mseq_regrid(5, 0, 4), 0);
    EXPECT_EQ(mseq_regrid(int64_t{INT32_MAX} * 64, 1, 64), int64_t{INT32_MAX} * 64 * 64);
}

// Makes the palette one with a chord of keys in slot 13 and switched-off slot 14.
void fill_palette(MseqMapChord& map) {
    for (MseqBlockChord& slot : map.m_Blocks)
        slot.m_Flags |= MCHORD_NO_KEY;
    map.m_Blocks[13].set_type(0);
    map.m_Blocks[13].m_Flags = MCHORD_RELATIVE_ROOT;
    map.m_Blocks[13].m_Root = 2;
}

MseqBlockChord degree(int32_t deg, int32_t octave) {
    MseqBlockChord b;
    b.m_Flags = MCHORD_RELATIVE_ROOT;
    b.m_DescDegree = deg;
    b.m_DescOctave = octave;
    return b;
}

TEST(ChordQueries, ABlockSelectsItsPaletteChordOrIsItsOwn) {
    MseqMapChord map;
    fill_palette(map);
    // Degree 1 in octave 0 is slot 13.
    EXPECT_EQ(mseq_chord_in_effect(degree(1, 0), &map), &map.m_Blocks[13]);
    EXPECT_EQ(mseq_chord_in_effect(degree(2, 0), &map), nullptr);  // switched off
    EXPECT_EQ(mseq_chord_in_effect(degree(1, 0), nullptr), nullptr);
    EXPECT_EQ(mseq_chord_in_effect(degree(0, -2), &map), nullptr);  // slot -12
    EXPECT_EQ(mseq_chord_in_effect(degree(0, 2), &map), nullptr);   // slot 36
    MseqBlockChord own;
    own.set_type(3);
    own.m_Flags = MCHORD_NO_KEY;
    EXPECT_EQ(mseq_chord_in_effect(own, &map), &own);
    EXPECT_EQ(mseq_chord_in_effect(own, nullptr), &own);
}

// A music with a group holding a note, a phrase and a message track, and the same three
// outside the group.
struct Song {
    Song() {
        chords = add(MID_TRACK_DETAIL, MTYPE_TRACK_CHORD);
        group = add(MID_TRACK_DETAIL, MTYPE_TRACK_GROUP);
        auto* g = track<MseqTrackGroup>(group);
        g->m_Channel = 9;
        g->m_TrackChordID = chords->id;
        for (MSEQ_TYPE type : {MTYPE_TRACK_NOTE, MTYPE_TRACK_REFER, MTYPE_TRACK_MSG}) {
            members.push_back(add(group->id, type));
            others.push_back(add(MID_TRACK_DETAIL, type));
            mseq_track_of(others.back())->set_channel(3);
        }
        auto* n = track<MseqTrackNote>(others[0]);
        n->m_TrackChordID = 0x100777;
        track<MseqTrackRefer>(others[1])->m_TrackChordID = 0x100778;
    }
    MseqObject* add(MSEQ_ID anchor, MSEQ_TYPE type) {
        MseqObject* node = music.create_track(anchor, MPLACE_LAST_CHILD, type, CkvString("t"));
        EXPECT_NE(node, nullptr) << std::hex << type;
        return node;
    }
    template <class T>
    static T* track(MseqObject* node) {
        return dynamic_cast<T*>(mseq_track_of(node));
    }
    MseqMusic music{nullptr};
    MseqObject* chords = nullptr;
    MseqObject* group = nullptr;
    std::vector<MseqObject*> members, others;
};

TEST(TrackInheritance, MembersTakeTheGroupsChannelAndChordTrack) {
    Song song;
    const auto* g = Song::track<MseqTrackGroup>(song.group);
    for (MseqObject* member : song.members) {
        const MseqTrack* t = mseq_track_of(member);
        EXPECT_EQ(mseq_group_of(t), g);
        EXPECT_EQ(mseq_effective_channel(t), 9);
        EXPECT_EQ(mseq_effective_chord_track(t), song.chords->id);
    }
    const MSEQ_ID own_chords[] = {0x100777, 0x100778, 0};
    for (size_t i = 0; i < song.others.size(); ++i) {
        const MseqTrack* t = mseq_track_of(song.others[i]);
        EXPECT_EQ(mseq_group_of(t), nullptr);
        EXPECT_EQ(mseq_effective_channel(t), 3);
        EXPECT_EQ(mseq_effective_chord_track(t), own_chords[i]);
    }
    // The group itself is no member of anything, and a chord track has no channel.
    EXPECT_EQ(mseq_group_of(g), nullptr);
    EXPECT_EQ(mseq_effective_channel(g), 9);
    EXPECT_EQ(mseq_effective_channel(mseq_track_of(song.chords)), -1);
    EXPECT_EQ(mseq_effective_chord_track(mseq_track_of(song.chords)), 0u);
}

TEST(TrackInheritance, TracksWithoutATreePlayOnTheirOwn) {
    MseqTrackNote loose;
    loose.m_Channel = 5;
    loose.m_TrackChordID = 0x100123;
    EXPECT_EQ(mseq_group_of(&loose), nullptr);
    EXPECT_EQ(mseq_effective_channel(&loose), 5);
    EXPECT_EQ(mseq_effective_chord_track(&loose), 0x100123u);
    EXPECT_EQ(mseq_effective_channel(nullptr), -1);
    EXPECT_EQ(mseq_effective_chord_track(nullptr), 0u);
}

TEST(TrackInheritance, ChordTracksAreFoundByIdentifier) {
    Song song;
    EXPECT_EQ(mseq_find_chord_track(&song.music, song.chords->id),
              Song::track<MseqTrackChord>(song.chords));
    // The same serial in the music's book names a leaf, not the track.
    EXPECT_EQ(
        mseq_find_chord_track(&song.music, mseq_with_file_number(song.chords->id, MFILE_OWN_BOOK)),
        nullptr);
    EXPECT_EQ(mseq_find_chord_track(&song.music, song.group->id), nullptr);
    EXPECT_EQ(mseq_find_chord_track(&song.music, 0), nullptr);
    EXPECT_EQ(mseq_find_chord_track(nullptr, song.chords->id), nullptr);
}

}  // namespace track_query_test
