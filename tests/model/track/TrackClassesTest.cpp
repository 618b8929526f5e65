#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "model/block/MseqBlockLabel.h"
#include "model/block/MseqBlockLink.h"
#include "model/block/MseqBlockNote.h"
#include "model/block/MseqBlockRefer.h"
#include "model/block/MseqBlockValue.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackRoot.h"
#include "model/track/MseqTrackText.h"
#include "model/track/MseqTrackValue.h"

namespace track_classes_test {

const CkvString kName("t");

TEST(Blocks, TypesCastAndCloneKeepEveryField) {
    MseqBlockNote note;
    note.m_Length = 9;
    note.m_Semi = -1;
    note.m_Velocity = 200;
    MseqBlockRefer refer;
    refer.m_StartMarker = "intro";
    refer.m_PhraseID = 0x200005;
    MseqBlockLabel label;
    label.m_Label = "la";
    MseqBlockValue value(-7);
    MseqBlockLink link(0x200009);
    struct Case {
        MseqBlock* block;
        MSEQ_TYPE type;
    };
    const Case cases[] = {
        {&note, 0x81082}, {&refer, 0x81081}, {&label, 0x81180}, {&value, 0x81200}, {&link, 0x81300},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.block->type(), c.type);
        EXPECT_EQ(c.block->cast(c.type), c.block);
        for (const Case& other : cases) {
            if (other.type != c.type) {
                EXPECT_EQ(c.block->cast(other.type), nullptr);
            }
        }
        MseqBlock* copy = c.block->clone();
        EXPECT_EQ(copy->type(), c.type);
        copy->delete_self();
    }
    std::unique_ptr<MseqBlock> n(note.clone());
    EXPECT_EQ(*n->cast_to<MseqBlockNote>(), note);
    std::unique_ptr<MseqBlock> r(refer.clone());
    EXPECT_EQ(*r->cast_to<MseqBlockRefer>(), refer);
    std::unique_ptr<MseqBlock> l(label.clone());
    EXPECT_EQ(*l->cast_to<MseqBlockLabel>(), label);
}

TEST(Blocks, SettingANoteTypeStartsThePitchOver) {
    struct Case {
        uint32_t type;
        uint32_t stored;
        int8_t octave;
    };
    const Case cases[] = {
        {MNBT_PURE, MNBT_PURE, 5}, {MNBT_TONE, MNBT_TONE, 0},     {MNBT_SDEG, MNBT_SDEG, 0},
        {MNBT_CDEG, MNBT_CDEG, 0}, {MNBT_RHYTHM, MNBT_RHYTHM, 0}, {0, MNBT_TONE, 0},
        {6, MNBT_TONE, 0},         {0xFFFFFFFF, MNBT_TONE, 0},
    };
    for (const Case& c : cases) {
        MseqBlockNote note;
        note.m_Octave = -2;
        note.m_Whole = 4;
        note.m_Semi = 1;
        note.m_Velocity = 10;
        note.m_Length = 3;
        note.set_type(c.type);
        EXPECT_EQ(note.m_Type, c.stored) << c.type;
        EXPECT_EQ(note.m_Octave, c.octave) << c.type;
        EXPECT_EQ(note.m_Whole, 0);
        EXPECT_EQ(note.m_Semi, 0);
        EXPECT_EQ(note.m_Velocity, 100);
        EXPECT_EQ(note.m_Length, 3);  // timing is not pitch
    }
}

TEST(Tracks, FactoryMakesEveryTrackClassWithItsBases) {
    struct Case {
        MSEQ_TYPE type;
        std::vector<MSEQ_TYPE> bases;
        bool sequence;
        bool container;
        int32_t channel;
    };
    const Case cases[] = {
        {MTYPE_TRACK_GROUP, {MTYPE_TRACK}, false, true, 0},
        {MTYPE_TRACK_TEXT, {MTYPE_TRACK}, false, false, -1},
        {MTYPE_TRACK_CHORD, {MTYPE_TRACK}, true, false, -1},
        {MTYPE_TRACK_REFER, {MTYPE_TRACK}, true, false, 0},
        {MTYPE_TRACK_NOTE, {MTYPE_TRACK}, true, false, 0},
        {MTYPE_TRACK_LYRIC, {MTYPE_TRACK_LABEL, MTYPE_TRACK}, true, false, -1},
        {MTYPE_TRACK_MARKER, {MTYPE_TRACK_LABEL, MTYPE_TRACK}, true, false, -1},
        {MTYPE_TRACK_MEMO, {MTYPE_TRACK_LABEL, MTYPE_TRACK}, true, false, -1},
        {MTYPE_TRACK_TEMPO, {MTYPE_TRACK_VALUE, MTYPE_TRACK}, true, false, -1},
        {MTYPE_TRACK_MSG, {MTYPE_TRACK_VALUE, MTYPE_TRACK}, true, false, 0},
        {MTYPE_TRACK_CHORD_MAP, {MTYPE_TRACK_LINK, MTYPE_TRACK}, true, false, -1},
        {MTYPE_TRACK_HEADER, {MTYPE_TRACK}, false, true, -1},
        {MTYPE_TRACK_DETAIL, {MTYPE_TRACK}, false, true, -1},
        {MTYPE_TRACK_ROOT_MUSIC, {MTYPE_TRACK}, false, true, -1},
    };
    const MSEQ_TYPE others[] = {MTYPE_TRACK_NOTE, MTYPE_TRACK_LABEL, MTYPE_TRACK_VALUE,
                                MTYPE_TRACK_LINK, MTYPE_TRACK_TEMPO, MTYPE_LEAF_MUSIC};
    for (const Case& c : cases) {
        MseqObject node(0x110001, c.type, kName, MseqDescPath(kPathWith));
        ASSERT_TRUE(mseq_factory(&node)) << std::hex << c.type;
        auto* track = node.entity()->cast_to<MseqTrack>(MTYPE_TRACK);
        ASSERT_NE(track, nullptr);
        EXPECT_EQ(track->type(), c.type);
        EXPECT_EQ(track->owner, &node);
        EXPECT_EQ(track->cast(c.type), track);
        for (MSEQ_TYPE base : c.bases)
            EXPECT_EQ(track->cast(base), track) << std::hex << c.type << " " << base;
        for (MSEQ_TYPE other : others) {
            const bool is_base = other == c.type ||
                                 std::find(c.bases.begin(), c.bases.end(), other) != c.bases.end();
            if (!is_base) {
                EXPECT_EQ(track->cast(other), nullptr) << std::hex << c.type;
            }
        }
        EXPECT_EQ(track->is_sequence(), c.sequence);
        EXPECT_EQ(track->accepts_children(), c.container);
        EXPECT_EQ(track->get_channel(), c.channel);
        EXPECT_EQ(track->m_Beat, 1);
        EXPECT_EQ(track->m_Flags, MTF_OUTPUT);
        // Channels exist only where a track has one, and only 0-15.
        EXPECT_EQ(track->set_channel(15), c.channel >= 0);
        EXPECT_FALSE(track->set_channel(16));
        EXPECT_FALSE(track->set_channel(-1));
        if (c.channel >= 0) {
            EXPECT_EQ(track->get_channel(), 15);
        }
        // Not built yet: the editor layer supplies it. (The player tracks are tested with the
        // player.)
        EXPECT_EQ(track->create_editor_track(nullptr), nullptr);
    }
    // The bare bases are never nodes of their own.
    for (MSEQ_TYPE base : {MTYPE_TRACK_LABEL, MTYPE_TRACK_VALUE, MTYPE_TRACK_LINK}) {
        MseqObject node(0x110001, base, kName, MseqDescPath(kPathWith));
        EXPECT_FALSE(mseq_factory(&node));
    }
}

TEST(Tracks, ChordFollowingTracksTakeTheMusicsChordTrack) {
    MseqMusic music(nullptr);
    music.m_TrackChordID = 0x100777;
    for (MSEQ_TYPE type : {MTYPE_TRACK_NOTE, MTYPE_TRACK_REFER, MTYPE_TRACK_GROUP}) {
        MseqObject* node = music.create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, type, kName);
        ASSERT_NE(node, nullptr);
        ref_ptr<MseqEntity> e = mseq_open(node);
        MSEQ_ID id = 0;
        if (auto* n = e->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE)) id = n->m_TrackChordID;
        if (auto* r = e->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER)) id = r->m_TrackChordID;
        if (auto* g = e->cast_to<MseqTrackGroup>(MTYPE_TRACK_GROUP)) id = g->m_TrackChordID;
        EXPECT_EQ(id, 0x100777u) << std::hex << type;
    }
    // Outside a music there is nothing to follow.
    MseqPhrase phrase;
    MseqObject* note =
        phrase.create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, kName);
    ASSERT_NE(note, nullptr);
    ref_ptr<MseqEntity> e = mseq_open(note);
    EXPECT_EQ(e->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE)->m_TrackChordID, 0u);
}

TEST(Tracks, ValidationClampsEveryFieldAndNeverRejects) {
    MseqTrackMsg msg;
    msg.m_Beat = 0;
    msg.m_Channel = 99;
    msg.m_Power = 300;
    msg.m_STime = -1000;
    msg.put_block(0, MseqBlockValue(500));
    EXPECT_EQ(msg.validate(), 1);
    EXPECT_EQ(msg.m_Beat, 1);
    EXPECT_EQ(msg.m_Channel, 15);
    EXPECT_EQ(msg.m_Power, 200);
    EXPECT_EQ(msg.m_STime, -240);
    EXPECT_EQ(msg.block_at(0)->m_Value, 127);
    msg.m_Power = -3;
    msg.m_STime = 241;
    msg.m_Beat = 65;
    msg.m_Channel = -2;
    msg.validate();
    EXPECT_EQ(msg.m_Power, 0);
    EXPECT_EQ(msg.m_STime, 240);
    EXPECT_EQ(msg.m_Beat, 64);
    EXPECT_EQ(msg.m_Channel, 0);

    MseqTrackTempo tempo;
    tempo.put_block(0, MseqBlockValue(2000));
    tempo.validate();
    EXPECT_EQ(tempo.block_at(0)->m_Value, 1024);

    MseqTrackNote note;
    note.m_Channel = 16;
    note.m_Beat = INT32_MIN;
    MseqBlockNote bad;
    bad.m_Length = -5;
    note.put_block(3, bad);
    EXPECT_EQ(note.validate(), 1);
    EXPECT_EQ(note.m_Channel, 15);
    EXPECT_EQ(note.m_Beat, 1);
    EXPECT_EQ(note.block_at(3)->m_Length, 1);

    MseqTrackGroup group;
    group.m_Channel = 1000;
    group.validate();
    EXPECT_EQ(group.m_Channel, 15);
    MseqTrackRefer refer;
    refer.m_Channel = -1;
    refer.validate();
    EXPECT_EQ(refer.m_Channel, 0);
}

TEST(Tracks, RhythmWordStaysADrumSound) {
    struct Case {
        uint16_t kind;
        uint16_t group;
        uint32_t index;
        uint16_t kind_after;
        uint16_t group_after;
        uint32_t index_after;
    };
    const Case cases[] = {
        {MWORD_DRUM_SOUND, 3, 0xFF, MWORD_DRUM_SOUND, 0, 0x7F},
        {MWORD_PROGRAM, 3, 0x24, MWORD_NONE, 3, 0x24},
        {77, 0, 0x24, MWORD_NONE, 0, 0x24},
    };
    for (const Case& c : cases) {
        MseqTrackNote note;
        note.m_Rhythm = MseqBlockWord(c.kind, c.group, c.index);
        note.validate();
        EXPECT_EQ(note.m_Rhythm.m_Attrib, c.kind_after) << c.kind;
        EXPECT_EQ(note.m_Rhythm.m_Group, c.group_after) << c.kind;
        EXPECT_EQ(note.m_Rhythm.m_Index, c.index_after) << c.kind;
    }
}

TEST(Tracks, ChordMapReferencePointsIntoTheOwnBook) {
    struct Case {
        MSEQ_ID before;
        MSEQ_ID after;
    };
    const Case cases[] = {
        {0x00000005, 0x00200005}, {0x01000005, 0x00200005}, {0x00100005, 0x00100005},
        {0x00200005, 0x00200005}, {0x80E00005, 0x80200005},
    };
    for (const Case& c : cases) {
        MseqTrackChord chord;
        chord.m_MapID = c.before;
        chord.validate();
        EXPECT_EQ(chord.m_MapID, c.after) << std::hex << c.before;
    }
}

TEST(Tracks, LengthRateInTwoHundredFiftySixths) {
    struct Case {
        int32_t rate;
        int64_t expected;
    };
    const Case cases[] = {{100, 256},
                          {50, 128},
                          {33, 85},
                          {1, 3},
                          {0, 0},
                          {-33, -84},
                          {INT32_MAX, (int64_t(INT32_MAX) * 256 + 99) / 100}};
    for (const Case& c : cases) {
        MseqTrackNote note;
        note.m_LRate = c.rate;
        EXPECT_EQ(note.length_rate_256(), c.expected) << c.rate;
    }
}

TEST(Tracks, CopyToCopiesSettingsAndBlocksOfTheSameClassOnly) {
    MseqTrackNote a;
    a.m_Beat = 16;
    a.m_Flags = 0;
    a.m_Channel = 9;
    a.m_TrackChordID = 0x100042;
    a.m_Rhythm = MseqBlockWord(MWORD_DRUM_SOUND, 0, 36);
    a.m_Octave = 3;
    a.m_LRate = 80;
    a.m_VRate = 90;
    a.m_STime = -10;
    a.m_ETime = 12;
    a.m_NoteType = 7;
    a.stored_length = 33;
    MseqBlockNote n;
    n.m_Length = 4;
    a.put_block(2, n);
    MseqTrackNote b;
    b.put_block(100, MseqBlockNote());
    ASSERT_TRUE(a.copy_to(&b));
    EXPECT_EQ(b.m_Beat, 16);
    EXPECT_EQ(b.m_Flags, 0u);
    EXPECT_EQ(b.m_Channel, 9);
    EXPECT_EQ(b.m_TrackChordID, 0x100042u);
    EXPECT_EQ(b.m_Rhythm, a.m_Rhythm);
    EXPECT_EQ(b.m_Octave, 3);
    EXPECT_EQ(b.m_LRate, 80);
    EXPECT_EQ(b.m_VRate, 90);
    EXPECT_EQ(b.m_STime, -10);
    EXPECT_EQ(b.m_ETime, 12);
    EXPECT_EQ(b.m_NoteType, 7u);
    EXPECT_EQ(b.stored_length, 0);  // a range length belongs to detached copies only
    ASSERT_EQ(b.block_count(), 1u);
    EXPECT_EQ(*b.block_at(2), n);
    EXPECT_FALSE(a.copy_to(&a));
    EXPECT_FALSE(a.copy_to(nullptr));

    MseqTrackRefer refer;
    EXPECT_FALSE(a.copy_to(&refer));
    MseqTrackLyric lyric;
    MseqTrackMarker marker;
    EXPECT_FALSE(lyric.copy_to(&marker));  // both label tracks, different kinds
    MseqTrackChordMap chord_map;
    MseqTrackChordMap other_map;
    chord_map.put_block(4, MseqBlockLink(0x200003));
    ASSERT_TRUE(chord_map.copy_to(&other_map));
    EXPECT_EQ(other_map.block_at(4)->m_LinkID, 0x200003u);

    MseqTrackText text;
    text.m_Text = "words";
    MseqTrackText text2;
    ASSERT_TRUE(text.copy_to(&text2));
    EXPECT_EQ(text2.m_Text, "words");
    MseqTrackMsg msg;
    msg.m_Form.m_Vars.push_back({2, 0, 64, 0, 127, 64, 0});
    msg.m_Power = 150;
    MseqTrackMsg msg2;
    ASSERT_TRUE(msg.copy_to(&msg2));
    EXPECT_EQ(msg2.m_Form, msg.m_Form);
    EXPECT_EQ(msg2.m_Power, 150);
    MseqTrackChord chord;
    chord.m_MapID = 0x200011;
    MseqTrackChord chord2;
    ASSERT_TRUE(chord.copy_to(&chord2));
    EXPECT_EQ(chord2.m_MapID, 0x200011u);
}

TEST(Tracks, SetGridOnlyWhileEmpty) {
    MseqTrackNote note;
    EXPECT_TRUE(note.set_grid_when_empty(16));
    EXPECT_EQ(note.m_Beat, 16);
    EXPECT_FALSE(note.set_grid_when_empty(0));
    EXPECT_FALSE(note.set_grid_when_empty(65));
    note.put_block(0, MseqBlockNote());
    EXPECT_FALSE(note.set_grid_when_empty(4));
    EXPECT_EQ(note.m_Beat, 16);
    MseqTrackGroup group;
    EXPECT_FALSE(group.set_grid_when_empty(4));
    EXPECT_EQ(group.m_Beat, 1);
    MseqGridCounts counts;
    EXPECT_FALSE(group.change_grid(4, false, &counts));
}

}  // namespace track_classes_test
