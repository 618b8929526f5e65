#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>

#include "model/block/MseqBlockChord.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/track/MseqReplace.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackValue.h"

namespace sequence_test {

// Note tracks are written as "index+length" items separated by spaces: "2+4 7+2".
void fill(MseqTrackNote& track, const std::string& layout) {
    std::istringstream in(layout);
    int32_t index = 0;
    char plus = 0;
    int32_t length = 0;
    while (in >> index >> plus >> length) {
        MseqBlockNote note;
        note.m_Length = length;
        note.m_Velocity = static_cast<uint8_t>(index & 0x7F);  // tells copies apart
        track.put_block(index, note);
    }
}

std::string layout(const MseqTrackNote& track) {
    std::string out;
    for (const auto& [index, note] : track.blocks()) {
        if (!out.empty()) out += ' ';
        out += std::to_string(index) + "+" + std::to_string(note.m_Length);
    }
    return out;
}

MseqTrackNote* make_note(MseqObject& node, int32_t beat, const std::string& blocks) {
    node.set(0x100101, MTYPE_TRACK_NOTE, CkvString("n"), MseqDescPath(kPathWith));
    mseq_factory(&node);
    auto* track = node.entity()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
    track->m_Beat = beat;
    fill(*track, blocks);
    return track;
}

MseqTrackNote* note_of(MseqObject& node) {
    return node.entity() ? node.entity()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE) : nullptr;
}

// Value tracks are written as "index=value" items.
void fill(MseqTrackValue& track, const std::string& layout) {
    std::istringstream in(layout);
    int32_t index = 0;
    char eq = 0;
    int32_t value = 0;
    while (in >> index >> eq >> value)
        track.put_block(index, MseqBlockValue(value));
}

std::string layout(const MseqTrackValue& track) {
    std::string out;
    for (const auto& [index, block] : track.blocks()) {
        if (!out.empty()) out += ' ';
        out += std::to_string(index) + "=" + std::to_string(block.m_Value);
    }
    return out;
}

TEST(Sequence, SpaceStretchesOrSplitsACrossingNote) {
    struct Case {
        const char* before;
        int32_t p, n;
        uint32_t mode;
        const char* after;
    };
    const Case cases[] = {
        {"2+4", 4, 3, 0, "2+7"},                      // the space command stretches
        {"2+4", 4, 3, MSEQ_OP_SPLIT, "2+2 7+2"},      // insert opens the space by splitting
        {"2+4 6+1 9+2", 6, 2, 0, "2+4 8+1 11+2"},     // a note ending at p is not crossed
        {"2+4 6+1", 0, 1, MSEQ_OP_SPLIT, "3+4 7+1"},  // everything moves
        {"2+4", 9, 5, 0, "2+4"},                      // nothing behind the position
        {"", 3, 3, 0, ""},                            // an empty track succeeds unchanged
    };
    for (const Case& c : cases) {
        MseqTrackNote t;
        fill(t, c.before);
        EXPECT_TRUE(t.space(1, c.p, c.n, c.mode)) << c.before;
        EXPECT_EQ(layout(t), c.after) << c.before << " space " << c.p << "," << c.n;
    }
    MseqTrackNote t;
    fill(t, "2+4");
    EXPECT_FALSE(t.space(1, -1, 2, 0));
    EXPECT_FALSE(t.space(1, 2, 0, 0));
    EXPECT_FALSE(t.space(1, 2, -3, 0));
    EXPECT_EQ(layout(t), "2+4");
}

TEST(Sequence, SplitCopiesKeepTheBlockFields) {
    MseqTrackNote t;
    MseqBlockNote note;
    note.set_type(MNBT_PURE);
    note.m_Length = 6;
    note.m_Whole = 3;
    note.m_Velocity = 77;
    note.m_Flags = MNBF_OWN_STIME;
    t.put_block(2, note);
    ASSERT_TRUE(t.erase(1, 4, 5, MSEQ_OP_SPLIT));
    ASSERT_EQ(layout(t), "2+2 5+3");
    MseqBlockNote expected = note;
    expected.m_Length = 3;
    EXPECT_EQ(*t.block_at(5), expected);
}

TEST(Sequence, EraseWithAndWithoutSplitAndCut) {
    struct Case {
        const char* before;
        int32_t from, to;
        const char* split;     // erase, the command's way
        const char* no_split;  // erase as cut uses it
        const char* cut;
    };
    const Case cases[] = {
        {"2+6", 3, 5, "2+1 5+3", "2+4", "2+4"},
        {"2+6", 5, 3, "2+1 5+3", "2+4", "2+4"},  // reversed bounds
        {"0+2 3+2 6+4 12+1", 1, 8, "0+1 8+2 12+1", "0+1 8+2 12+1", "0+1 1+2 5+1"},
        {"0+2 4+2", 2, 4, "0+2 4+2", "0+2 4+2", "0+2 2+2"},  // touching ends are not crossed
        {"0+4", 4, 4, "0+4", "0+4", "0+4"},                  // an empty range
        {"1+1 2+1 3+1", 0, 10, "", "", ""},
    };
    for (const Case& c : cases) {
        MseqTrackNote split;
        fill(split, c.before);
        EXPECT_TRUE(split.erase(1, c.from, c.to, MSEQ_OP_SPLIT));
        EXPECT_EQ(layout(split), c.split) << c.before << " [" << c.from << "," << c.to << ")";
        MseqTrackNote whole;
        fill(whole, c.before);
        EXPECT_TRUE(whole.erase(1, c.from, c.to, 0));
        EXPECT_EQ(layout(whole), c.no_split) << c.before;
        MseqTrackNote cut;
        fill(cut, c.before);
        EXPECT_TRUE(cut.cut(1, c.from, c.to, 0));
        EXPECT_EQ(layout(cut), c.cut) << c.before;
    }
}

TEST(Sequence, PointBlocksMoveAndVanishByIndexOnly) {
    MseqTrackValue t;
    fill(t, "0=1 3=2 5=3 9=4");
    ASSERT_TRUE(t.space(1, 3, 2, MSEQ_OP_SPLIT));
    EXPECT_EQ(layout(t), "0=1 5=2 7=3 11=4");
    ASSERT_TRUE(t.erase(1, 5, 8, MSEQ_OP_SPLIT));
    EXPECT_EQ(layout(t), "0=1 11=4");
    ASSERT_TRUE(t.cut(1, 1, 6, 0));
    EXPECT_EQ(layout(t), "0=1 6=4");
    EXPECT_EQ(t.end_index(1), 7);
}

TEST(Sequence, CallerGridMustDivideTheTrackGrid) {
    MseqTrackNote t;
    t.m_Beat = 16;
    fill(t, "8+4");
    // Grid 4: positions are multiplied by 4.
    EXPECT_NE(t.get_block(4, 2), nullptr);
    EXPECT_EQ(t.get_block(4, 1), nullptr);
    EXPECT_EQ(t.end_index(4), 3);
    EXPECT_EQ(t.end_index(16), 12);
    ASSERT_TRUE(t.space(4, 1, 1, 0));
    EXPECT_EQ(layout(t), "12+4");
    // Grid 3 does not divide 16: every operation refuses and nothing changes.
    MseqBlockNote note;
    EXPECT_FALSE(t.set_block(3, 0, &note));
    EXPECT_FALSE(t.space(3, 0, 1, 0));
    EXPECT_FALSE(t.erase(3, 0, 3, MSEQ_OP_SPLIT));
    EXPECT_FALSE(t.cut(3, 0, 3, 0));
    EXPECT_EQ(t.get_block(3, 4), nullptr);
    EXPECT_EQ(t.end_index(3), 0);
    EXPECT_FALSE(t.space(0, 0, 1, 0));
    EXPECT_FALSE(t.space(-4, 0, 1, 0));
    EXPECT_EQ(layout(t), "12+4");
    // A track whose grid was never validated refuses too.
    MseqTrackNote broken;
    broken.m_Beat = 0;
    EXPECT_FALSE(broken.set_block(1, 0, &note));
}

TEST(Sequence, EndIndexAndTicks) {
    MseqTrackChord chords;
    chords.put_block(0, MseqBlockChord());
    chords.put_block(7, MseqBlockChord());
    EXPECT_EQ(chords.end_index(1), 8);
    EXPECT_EQ(chords.length_ticks(), 8 * 1920);

    MseqTrackNote notes;
    notes.m_Beat = 16;
    // The last-starting note decides, even when an earlier one reaches further.
    fill(notes, "0+40 8+2");
    EXPECT_EQ(notes.end_index(16), 10);
    EXPECT_EQ(notes.length_ticks(), 10 * 120);
    notes.m_Beat = 3;
    EXPECT_EQ(notes.length_ticks(), 10 * 1920 / 3);
    EXPECT_EQ(MseqTrackNote().end_index(1), 0);
}

TEST(Sequence, SetBlockTypesDefaultsAndErasure) {
    MseqTrackNote t;
    t.m_Beat = 4;
    MseqBlockNote note;
    note.m_Length = 3;
    note.m_Semi = -1;
    ASSERT_TRUE(t.set_block(2, 1, &note));
    ASSERT_NE(t.block_at(2), nullptr);
    EXPECT_EQ(*t.block_at(2), note);
    MseqBlockValue value(5);
    EXPECT_FALSE(t.set_block(4, 3, &value));  // not a note
    EXPECT_EQ(t.block_at(3), nullptr);
    note.m_Length = 0;  // lengths are at least 1
    ASSERT_TRUE(t.set_block(4, 2, &note));
    EXPECT_EQ(t.block_at(2)->m_Length, 1);
    EXPECT_TRUE(t.set_block(4, 2, nullptr));
    EXPECT_EQ(t.block_at(2), nullptr);
    EXPECT_TRUE(t.set_block(4, 9, nullptr));  // nothing there: still fine
}

TEST(Sequence, ChangeGridCountsAndDryRun) {
    MseqTrackNote t;
    t.m_Beat = 16;
    fill(t, "0+1 1+1 2+1 3+1 5+1 6+1 8+8");
    MseqGridCounts counts;
    ASSERT_TRUE(t.change_grid(4, true, &counts));
    // 1, 2 and 3 land on 0 where a block already is; 6 lands on 1 after 5 did.
    EXPECT_EQ(counts, (MseqGridCounts{4, 1, 2}));
    EXPECT_EQ(t.m_Beat, 16);
    EXPECT_EQ(layout(t), "0+1 1+1 2+1 3+1 5+1 6+1 8+8");  // the dry run changed nothing
    MseqGridCounts done;
    ASSERT_TRUE(t.change_grid(4, false, &done));
    EXPECT_EQ(done, counts);
    EXPECT_EQ(t.m_Beat, 4);
    EXPECT_EQ(layout(t), "0+1 1+1 2+2");
    EXPECT_EQ(t.block_at(1)->m_Velocity, 5);  // the first block to land on an index stays

    ASSERT_TRUE(t.change_grid(12, false, &done));
    EXPECT_EQ(done, (MseqGridCounts{0, 0, 0}));
    EXPECT_EQ(layout(t), "0+3 3+3 6+6");
    for (int32_t beat : {7, 0, -4, 9, 128}) {
        EXPECT_FALSE(t.change_grid(beat, false, &done)) << beat;
    }
    EXPECT_EQ(t.m_Beat, 12);
}

TEST(Sequence, StoreRangeKeepsOverhangingNotesWhole) {
    MseqObject source;
    MseqTrackNote* t = make_note(source, 1, "2+4 7+3");
    MseqObject clip;
    ASSERT_TRUE(t->store_range(1, 4, 8, &clip));
    EXPECT_EQ(clip.id, 0xE00101u);
    EXPECT_EQ(clip.type, MTYPE_TRACK_NOTE);
    EXPECT_EQ(clip.name, "n");
    EXPECT_TRUE(clip.is_with());
    MseqTrackNote* copy = note_of(clip);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->stored_length, 4);
    EXPECT_EQ(layout(*copy), "-2+4 3+3");
    EXPECT_EQ(layout(*t), "2+4 7+3");  // the source is not touched

    // Reversed bounds store the same range; a negative start cannot be stored.
    ASSERT_TRUE(t->store_range(1, 8, 4, &clip));
    ASSERT_NE(note_of(clip), nullptr);
    EXPECT_EQ(layout(*note_of(clip)), "-2+4 3+3");
    EXPECT_FALSE(t->store_range(1, -1, 3, &clip));
    // Only an empty or detached node takes a store.
    MseqObject owned(0x100200, MTYPE_TRACK_NOTE, CkvString("x"), MseqDescPath(kPathWith));
    EXPECT_FALSE(t->store_range(1, 0, 4, &owned));
    EXPECT_EQ(owned.id, 0x100200u);
    EXPECT_FALSE(t->store_range(1, 0, 4, nullptr));
}

TEST(Sequence, CoverWritesTheStoredRangeClipped) {
    MseqObject source;
    MseqTrackNote* s = make_note(source, 1, "2+4 7+3");
    MseqObject clip;
    ASSERT_TRUE(s->store_range(1, 4, 8, &clip));
    struct Case {
        const char* before;
        int32_t from, to;
        const char* after;
        int64_t end;
    };
    const Case cases[] = {
        // Only the part from 4 on of the overhanging note arrives; the tail is cut at 8.
        {"", 10, 10, "10+2 13+1", 14},
        {"8+10", 10, 10, "8+2 10+2 13+1 14+4", 14},
        // A shorter selection limits what is written.
        {"8+10", 10, 12, "8+2 10+2 12+6", 12},
        // A longer selection is limited to the stored length.
        {"", 10, 30, "10+2 13+1", 14},
    };
    for (const Case& c : cases) {
        MseqObject target;
        MseqTrackNote* t = make_note(target, 1, c.before);
        int64_t end = -1;
        ASSERT_TRUE(t->cover(1, c.from, c.to, &clip, 0, &end));
        EXPECT_EQ(layout(*t), c.after) << c.before << " cover " << c.from << "," << c.to;
        EXPECT_EQ(end, c.end);
    }
}

TEST(Sequence, InsertReplacesTheSelection) {
    MseqObject source;
    MseqTrackNote* s = make_note(source, 1, "2+4 7+3");
    MseqObject clip;
    ASSERT_TRUE(s->store_range(1, 4, 8, &clip));  // -2+4 3+3, length 4
    struct Case {
        const char* before;
        int32_t from, to;
        uint32_t mode;
        const char* after;
    };
    const Case cases[] = {
        {"0+1 20+2", 10, 10, MSEQ_OP_CLIP, "0+1 10+2 13+1 24+2"},
        // Without clip the overhanging notes arrive whole, reaching outside the range.
        {"0+1 20+2", 10, 10, 0, "0+1 8+4 13+3 24+2"},
        // The selection [10, 16) is replaced by the four stored steps: later notes move back 2.
        {"0+1 11+2 20+2", 10, 16, MSEQ_OP_CLIP, "0+1 10+2 13+1 18+2"},
        // A note crossing the insertion point is split around the inserted steps.
        {"8+6", 10, 10, MSEQ_OP_CLIP, "8+2 10+2 13+1 14+4"},
    };
    for (const Case& c : cases) {
        MseqObject target;
        MseqTrackNote* t = make_note(target, 1, c.before);
        int64_t end = -1;
        ASSERT_TRUE(t->insert(1, c.from, c.to, &clip, c.mode, &end)) << c.before;
        EXPECT_EQ(layout(*t), c.after) << c.before << " insert " << c.from << "," << c.to;
        EXPECT_EQ(end, std::min(c.from, c.to) + 4);
    }
}

TEST(Sequence, InsertOfAnEmptyStoreOpensSpaceLikeASplit) {
    // The insertion of a stored range without blocks splits the crossing note, where the
    // space command stretches it.
    MseqObject source;
    MseqTrackNote* s = make_note(source, 1, "");
    MseqObject clip;
    ASSERT_TRUE(s->store_range(1, 10, 13, &clip));
    MseqObject target;
    MseqTrackNote* t = make_note(target, 1, "2+4");
    int64_t end = 0;
    ASSERT_TRUE(t->insert(1, 4, 4, &clip, MSEQ_OP_CLIP, &end));
    EXPECT_EQ(layout(*t), "2+2 7+2");
    EXPECT_EQ(end, 7);
}

TEST(Sequence, InsertAndCoverRefuseUnfitSources) {
    MseqObject source;
    MseqTrackNote* s = make_note(source, 16, "0+4 4+4");
    MseqObject clip;
    ASSERT_TRUE(s->store_range(4, 0, 2, &clip));  // grid 4: [0, 8) of the track
    ASSERT_EQ(note_of(clip)->stored_length, 8);

    // A track on a coarser grid cannot hold the stored positions: refused, unchanged.
    MseqObject coarse_node;
    MseqTrackNote* coarse = make_note(coarse_node, 4, "1+1");
    EXPECT_FALSE(coarse->insert(4, 0, 0, &clip, MSEQ_OP_CLIP, nullptr));
    EXPECT_FALSE(coarse->cover(4, 0, 0, &clip, 0, nullptr));
    EXPECT_EQ(layout(*coarse), "1+1");
    // A finer grid takes them scaled.
    MseqObject fine_node;
    MseqTrackNote* fine = make_note(fine_node, 32, "");
    int64_t end = 0;
    ASSERT_TRUE(fine->insert(32, 0, 0, &clip, MSEQ_OP_CLIP, &end));
    EXPECT_EQ(layout(*fine), "0+8 8+8");
    EXPECT_EQ(end, 16);

    // Sources that are not stored sequences of notes.
    MseqTrackTempo values;
    MseqObject value_clip;
    ASSERT_TRUE(values.store_range(1, 0, 4, &value_clip));
    // A bare value track is never a node of its own, so it has nothing to store into.
    MseqTrackValue bare;
    MseqObject bare_clip;
    EXPECT_FALSE(bare.store_range(1, 0, 4, &bare_clip));
    EXPECT_EQ(bare_clip.type, 0u);
    MseqObject empty;
    EXPECT_FALSE(fine->insert(32, 0, 0, &value_clip, 0, nullptr));
    EXPECT_FALSE(fine->insert(32, 0, 0, &empty, 0, nullptr));
    EXPECT_FALSE(fine->insert(32, 0, 0, nullptr, 0, nullptr));
    EXPECT_FALSE(fine->insert(32, 0, 0, &fine_node, 0, nullptr));  // itself
    EXPECT_FALSE(fine->insert(32, -1, 0, &clip, 0, nullptr));
    EXPECT_FALSE(fine->cover(32, -1, 0, &clip, 0, nullptr));
    EXPECT_EQ(layout(*fine), "0+8 8+8");
}

TEST(Sequence, TestOnlyModeChangesNothing) {
    MseqObject source;
    MseqTrackNote* s = make_note(source, 1, "0+2");
    MseqObject clip;
    ASSERT_TRUE(s->store_range(1, 0, 2, &clip));
    MseqObject node;
    MseqTrackNote* t = make_note(node, 1, "1+4 9+1");
    int64_t end = 0;
    EXPECT_TRUE(t->space(1, 2, 3, MSEQ_OP_TEST_ONLY));
    EXPECT_TRUE(t->erase(1, 2, 3, MSEQ_OP_TEST_ONLY | MSEQ_OP_SPLIT));
    EXPECT_TRUE(t->cut(1, 2, 3, MSEQ_OP_TEST_ONLY));
    EXPECT_TRUE(t->insert(1, 2, 3, &clip, MSEQ_OP_TEST_ONLY, &end));
    EXPECT_EQ(end, 4);
    EXPECT_TRUE(t->cover(1, 2, 3, &clip, MSEQ_OP_TEST_ONLY, &end));
    EXPECT_EQ(end, 3);
    EXPECT_EQ(layout(*t), "1+4 9+1");
}

TEST(Sequence, PositionsNearThe32BitLimitFailCleanly) {
    MseqTrackNote t;
    fill(t, "5+1");
    t.put_block(INT32_MAX - 2, MseqBlockNote());
    const std::string before = layout(t);
    EXPECT_FALSE(t.space(1, 0, 5, 0));  // the last note would move past the limit
    EXPECT_EQ(layout(t), before);
    EXPECT_TRUE(t.space(1, 0, 2, 0));
    EXPECT_EQ(t.end_index(1), int64_t(INT32_MAX) + 1);  // ends are wide
    EXPECT_TRUE(t.cut(1, 0, 2, 0));
    EXPECT_EQ(layout(t), before);

    // A note as long as it can be cannot stretch further.
    MseqTrackNote longest;
    MseqBlockNote note;
    note.m_Length = INT32_MAX;
    longest.put_block(0, note);
    EXPECT_FALSE(longest.space(1, 1, 1, 0));
    EXPECT_TRUE(longest.space(1, 1, 1, MSEQ_OP_SPLIT));

    // Grid conversion of large positions.
    MseqTrackNote fine;
    fine.m_Beat = 64;
    EXPECT_FALSE(fine.set_block(1, INT32_MAX / 32, &note));
    EXPECT_FALSE(fine.space(1, INT32_MAX / 32, 1, 0));
    EXPECT_EQ(fine.get_block(1, INT32_MIN), nullptr);
    // A change of grid that would push an index out of range is refused.
    MseqTrackNote wide;
    wide.m_Beat = 1;
    wide.put_block(1 << 30, MseqBlockNote());
    MseqGridCounts counts;
    EXPECT_FALSE(wide.change_grid(64, false, &counts));
    EXPECT_EQ(wide.m_Beat, 1);
    EXPECT_TRUE(wide.change_grid(1, false, &counts));
    EXPECT_EQ(wide.block_at(1 << 30)->m_Length, 1);
}

TEST(Sequence, NegativeIndicesOfDetachedCopiesChangeGridByTruncation) {
    MseqTrackNote t;
    t.m_Beat = 4;
    fill(t, "-3+2 -1+1 0+4");
    MseqGridCounts counts;
    ASSERT_TRUE(t.change_grid(2, false, &counts));
    // -3 goes to -1 and -1 to 0 (division truncates towards 0), so the block at 0 is dropped.
    EXPECT_EQ(layout(t), "-1+1 0+1");
    EXPECT_EQ(t.block_at(0)->m_Velocity, 127);
    EXPECT_EQ(counts, (MseqGridCounts{1, 2, 1}));
}

// An edit followed by the insertion that undoes it restores the track exactly: the property
// the undo history depends on. Random tracks of non-overlapping notes.
TEST(Sequence, EditsAreUndoneByInsertingTheStoredRange) {
    std::mt19937 rng(4711);
    for (int round = 0; round < 400; ++round) {
        std::string blocks;
        for (int32_t pos = static_cast<int32_t>(rng() % 3); pos < 40;) {
            const int32_t length = 1 + static_cast<int32_t>(rng() % 5);
            blocks += std::to_string(pos) + "+" + std::to_string(length) + " ";
            pos += length + static_cast<int32_t>(rng() % 3);
        }
        int32_t a = static_cast<int32_t>(rng() % 40);
        int32_t b = static_cast<int32_t>(rng() % 40);
        if (a > b) std::swap(a, b);
        if (a == b) ++b;
        MseqObject original_node;
        MseqTrackNote* original = make_note(original_node, 1, blocks);
        const std::string expected = layout(*original);
        MseqObject snapshot;
        ASSERT_TRUE(original->store_range(1, a, b, &snapshot));
        const std::string where = expected + " [" + std::to_string(a) + "," + std::to_string(b);

        MseqObject n1;
        MseqTrackNote* erased = make_note(n1, 1, blocks);
        ASSERT_TRUE(erased->erase(1, a, b, MSEQ_OP_SPLIT));
        ASSERT_TRUE(erased->insert(1, a, b, &snapshot, 0, nullptr));
        EXPECT_EQ(layout(*erased), expected) << "erase " << where;

        MseqObject n2;
        MseqTrackNote* cut = make_note(n2, 1, blocks);
        ASSERT_TRUE(cut->cut(1, a, b, 0));
        ASSERT_TRUE(cut->insert(1, a, a, &snapshot, 0, nullptr));
        EXPECT_EQ(layout(*cut), expected) << "cut " << where;

        MseqObject n3;
        MseqTrackNote* spaced = make_note(n3, 1, blocks);
        ASSERT_TRUE(spaced->space(1, a, b - a, 0));
        ASSERT_TRUE(spaced->cut(1, a, b, 0));
        EXPECT_EQ(layout(*spaced), expected) << "space " << where;

        // Paste of another track's range, then the undo: insert the old [a, b) over the
        // pasted range.
        MseqObject other_node;
        MseqTrackNote* other = make_note(other_node, 1, "0+3 4+2 7+9");
        MseqObject pasted;
        ASSERT_TRUE(other->store_range(1, 1, 1 + static_cast<int32_t>(rng() % 12), &pasted));
        MseqObject n4;
        MseqTrackNote* paste = make_note(n4, 1, blocks);
        int64_t end = 0;
        ASSERT_TRUE(paste->insert(1, a, b, &pasted, MSEQ_OP_CLIP, &end));
        ASSERT_TRUE(paste->insert(1, a, static_cast<int32_t>(end), &snapshot, 0, nullptr));
        EXPECT_EQ(layout(*paste), expected) << "paste " << where;

        MseqObject n5;
        MseqTrackNote* cover = make_note(n5, 1, blocks);
        MseqObject covered;
        const int32_t stored = note_of(pasted)->stored_length;
        const int32_t d = std::min(a + stored, b);
        ASSERT_TRUE(cover->store_range(1, a, d, &covered));
        ASSERT_TRUE(cover->cover(1, a, b, &pasted, 0, &end));
        EXPECT_EQ(end, d);
        ASSERT_TRUE(cover->insert(1, a, d, &covered, 0, nullptr));
        EXPECT_EQ(layout(*cover), expected) << "cover " << where;
    }
}

TEST(Sequence, ValueTracksClampEveryValueThatEnters) {
    MseqTrackTempo tempo;
    MseqBlockValue v(2000);
    ASSERT_TRUE(tempo.set_block(1, 0, &v));
    EXPECT_EQ(tempo.block_at(0)->m_Value, 1024);
    v.m_Value = 1;
    ASSERT_TRUE(tempo.set_block(1, 1, &v));
    EXPECT_EQ(tempo.block_at(1)->m_Value, 4);
    EXPECT_EQ(tempo.value_default(), 120);

    // Copied values meet the receiving track's range: a plain value track into a tempo track.
    MseqTrackValue plain;
    fill(plain, "0=-5 2=500 3=99999");
    EXPECT_EQ(plain.value_min(), INT32_MIN);
    ASSERT_TRUE(plain.copy_to(&tempo));
    EXPECT_EQ(layout(tempo), "0=4 2=500 3=1024");
    EXPECT_FALSE(tempo.copy_to(&plain));  // a value track is not a tempo track

    // Message tracks take their range from the form's first variable.
    MseqTrackMsg msg;
    EXPECT_EQ(msg.value_min(), 0);
    EXPECT_EQ(msg.value_max(), 127);
    EXPECT_EQ(msg.value_default(), 100);
    msg.m_Form.m_Vars.push_back({1, 2, 50, 200, 100, 0, 0});  // bounds given reversed
    fill(msg, "0=0 1=150 2=1000");
    EXPECT_EQ(layout(msg), "0=100 1=150 2=200");
    EXPECT_EQ(msg.value_default(), 100);
}

TEST(Sequence, ReplaceChangesMatchingPhraseReferences) {
    MseqTrackRefer t;
    auto put = [&](int32_t index, MSEQ_ID phrase, const char* marker) {
        MseqBlockRefer block;
        block.m_PhraseID = phrase;
        block.m_StartMarker = marker;
        t.put_block(index, block);
    };
    put(0, 0x200010, "A");
    put(4, 0x200010, "B");
    put(8, 0x200020, "A");
    put(12, 0x200010, "A");
    MseqReplaceRefer r;
    r.m_From = 0;
    r.m_To = 12;
    r.m_Match = MREPLACE_PHRASE | MREPLACE_MARKER;
    r.m_MatchBlock.m_PhraseID = 0x200010;
    r.m_MatchBlock.m_StartMarker = "A";
    r.m_Set = MREPLACE_MARKER;
    r.m_NewBlock.m_StartMarker = "Z";
    r.m_NewBlock.m_PhraseID = 0x200099;  // not asked for: stays
    ASSERT_TRUE(t.replace(&r));
    EXPECT_EQ(r.m_Count, 1);
    EXPECT_EQ(t.block_at(0)->m_StartMarker, "Z");
    EXPECT_EQ(t.block_at(0)->m_PhraseID, 0x200010u);
    EXPECT_EQ(t.block_at(4)->m_StartMarker, "B");
    EXPECT_EQ(t.block_at(8)->m_StartMarker, "A");
    EXPECT_EQ(t.block_at(12)->m_StartMarker, "A");  // outside the range

    r.m_Match = 0;
    r.m_Set = MREPLACE_PHRASE;
    r.m_To = 100;
    ASSERT_TRUE(t.replace(&r));
    EXPECT_EQ(r.m_Count, 4);
    EXPECT_EQ(t.block_at(12)->m_PhraseID, 0x200099u);

    r.m_Set = 0;
    EXPECT_FALSE(t.replace(&r));
    r.m_Set = MREPLACE_PHRASE;
    r.m_To = r.m_From;
    EXPECT_FALSE(t.replace(&r));
    MseqTrackRefer empty;
    r.m_To = 100;
    EXPECT_FALSE(empty.replace(&r));
    MseqTrackNote notes;
    EXPECT_FALSE(notes.replace(&r));  // phrase tracks only
    auto copy = r.clone();
    EXPECT_EQ(copy->kind(), 0xF20081u);
    EXPECT_NE(copy->cast(0xF20040), nullptr);
}

}  // namespace sequence_test
