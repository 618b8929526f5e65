#include <gtest/gtest.h>

#include <string>

#include "edit/InMemoryLibrary.h"
#include "edit/MedtMusic.h"
#include "edit/MedtNoteNames.h"
#include "edit/press/MedtChordPress.h"
#include "model/block/MseqBlockLink.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackNote.h"
#include "platform/TextCodec.h"

namespace note_names_test {

MseqBlockNote note(uint32_t type, int whole, int semi, int octave) {
    MseqBlockNote n;
    n.m_Type = type;
    n.m_Whole = static_cast<int8_t>(whole);
    n.m_Semi = static_cast<int8_t>(semi);
    n.m_Octave = static_cast<int8_t>(octave);
    return n;
}

std::string named(const MseqBlockNote& n, int32_t mode) {
    return kv_codec::utf8_from_cp932(MedtNoteNames::name(n, mode));
}

TEST(NoteNames, PitchesFollowTheKeyNameDisplay) {
    const MseqBlockNote c_sharp = note(MNBT_PURE, 0, 1, 5);
    EXPECT_EQ(named(c_sharp, 0), "C#5");
    EXPECT_EQ(named(c_sharp, 1), "変ニ5");  // a major key spells it flat
    EXPECT_EQ(named(c_sharp, 2), "嬰ハ5");  // a minor key sharp
    // The table's two forms of F major and F minor are kept as they are written there.
    EXPECT_EQ(named(note(MNBT_PURE, 3, 0, 4), 1), "へ4");
    EXPECT_EQ(named(note(MNBT_PURE, 3, 0, 4), 2), "ヘ4");
    // Where the table gives two spellings (flat first in major, sharp first in minor), the
    // note's own accidental chooses.
    EXPECT_EQ(named(note(MNBT_PURE, 3, 1, 4), 1), "嬰ヘ4");
    EXPECT_EQ(named(note(MNBT_PURE, 4, -1, 4), 1), "変ト4");
    EXPECT_EQ(named(note(MNBT_PURE, 1, 1, 4), 2), "嬰ニ4");
    EXPECT_EQ(named(note(MNBT_PURE, 2, -1, 4), 2), "変ホ4");
    // Letters keep the spelling as written, flats and double accidentals included.
    EXPECT_EQ(named(note(MNBT_PURE, 2, -1, 4), 0), "Eb4");
    EXPECT_EQ(named(note(MNBT_PURE, 0, 2, 3), 0), "C##3");
    EXPECT_EQ(named(note(MNBT_PURE, 0, 2, 3), 1), "ニ3");
    // An unknown display mode names by letters.
    EXPECT_EQ(named(c_sharp, 7), "C#5");
}

TEST(NoteNames, KeyTonesShowTheirShiftAndDegreesTheirNumber) {
    EXPECT_EQ(named(note(MNBT_TONE, 2, 0, 0), 0), "E");
    EXPECT_EQ(named(note(MNBT_TONE, 2, 0, 1), 1), "ホ+1");
    EXPECT_EQ(named(note(MNBT_TONE, 6, -1, -2), 2), "変ロ-2");
    for (int32_t mode = 0; mode < 3; ++mode) {
        EXPECT_EQ(named(note(MNBT_SDEG, 2, 0, 0), mode), "S3");
        EXPECT_EQ(named(note(MNBT_CDEG, 0, 1, -1), mode), "C1#(-1)");
        // Below the chord's first note the count goes on downwards, without a zero.
        EXPECT_EQ(named(note(MNBT_CDEG, -1, 0, 0), mode), "C-1");
        EXPECT_EQ(named(note(MNBT_CDEG, -12, -1, 2), mode), "C-12b(+2)");
        EXPECT_EQ(named(note(MNBT_CDEG, 12, 0, 0), mode), "C13");
        EXPECT_EQ(named(note(MNBT_RHYTHM, 0, 0, 0), mode), "●");
    }
}

// A music of the in-memory library with an editor over it: chord tracks linking chord maps and
// note tracks using them, as the music view names their notes.
class NoteNamesInMusic : public ::testing::Test {
protected:
    void TearDown() override { editor = nullptr; }

    template <class Track>
    Track* add(MSEQ_ID parent, MSEQ_TYPE type, int32_t beat, MSEQ_ID* id = nullptr) {
        MseqObject* node = lib.song->create_track(parent, MPLACE_LAST_CHILD, type, CkvString("t"));
        EXPECT_NE(node, nullptr);
        ref_ptr<MseqEntity> e = mseq_open(node);
        auto* track = e->cast_to<Track>(type);
        track->m_Beat = beat;
        if (id) *id = node->id;
        return track;
    }
    MseqTrackChord* chord_track(MSEQ_ID map, MSEQ_ID* id) {
        auto* t = add<MseqTrackChord>(MID_TRACK_HEADER, MTYPE_TRACK_CHORD, 4, id);
        t->m_MapID = map;
        return t;
    }
    MseqTrackNote* note_track(MSEQ_ID parent, MSEQ_ID chords, MSEQ_ID* id) {
        auto* t = add<MseqTrackNote>(parent, MTYPE_TRACK_NOTE, 16, id);
        t->m_TrackChordID = chords;
        return t;
    }
    MedtTrack& edited(MSEQ_ID id) {
        if (!editor)
            editor = ref_ptr<MedtMusicInvoker>::adopt(
                new MedtMusicInvoker(lib.song, &seq_clip, &leaf_clip));
        MedtTrack* t = editor->find_track(id);
        EXPECT_NE(t, nullptr);
        return *t;
    }

    InMemoryLibrary lib;
    MseqObject seq_clip;
    MseqObject leaf_clip;
    ref_ptr<MedtMusicInvoker> editor;
};

TEST_F(NoteNamesInMusic, TheChordMapOfTheTracksChordTrackDecides) {
    lib.map->m_Scale.m_ShowTune = 2;
    MSEQ_ID chords = 0, melody = 0, plain = 0;
    chord_track(InMemoryLibrary::ref(lib.map_node), &chords);
    note_track(lib.song->detail()->id, chords, &melody);
    note_track(lib.song->detail()->id, 0, &plain);
    const MseqBlockNote c_sharp = note(MNBT_PURE, 0, 1, 5);
    EXPECT_EQ(kv_codec::utf8_from_cp932(MedtNoteNames(edited(melody)).name_at(c_sharp, 9)),
              "嬰ハ5");
    // Without a chord track there is no key-name display: letters.
    EXPECT_EQ(MedtNoteNames(edited(plain)).mode_at(9), 0);
}

TEST_F(NoteNamesInMusic, AGroupHandsItsChordTrackToItsMembers) {
    lib.map->m_Scale.m_ShowTune = 1;
    MSEQ_ID chords = 0, group_id = 0, member = 0;
    chord_track(InMemoryLibrary::ref(lib.map_node), &chords);
    auto* group = add<MseqTrackGroup>(lib.song->detail()->id, MTYPE_TRACK_GROUP, 1, &group_id);
    group->m_TrackChordID = chords;
    note_track(group_id, 0, &member);  // its own link is not what plays
    EXPECT_EQ(MedtNoteNames(edited(member)).mode_at(0), 1);
}

TEST_F(NoteNamesInMusic, ATranspositionTrackChangesTheMapAndItsDisplayOverTime) {
    MseqObject* minor_node = lib.leaf(MTYPE_LEAF_CHORD, "minor keys");
    ref_ptr<MseqEntity> minor_ref = mseq_open(minor_node);
    auto* minor = minor_ref->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD);
    lib.map->m_Scale.m_ShowTune = 1;
    minor->m_Scale.m_ShowTune = 2;
    // The transposition track counts one unit per beat: the minor map from beat 8.
    MSEQ_ID keys_id = 0, chords = 0, melody = 0;
    auto* keys = add<MseqTrackChordMap>(MID_TRACK_HEADER, MTYPE_TRACK_CHORD_MAP, 1, &keys_id);
    MseqBlockLink major_link(InMemoryLibrary::ref(lib.map_node));
    MseqBlockLink minor_link(InMemoryLibrary::ref(minor_node));
    ASSERT_TRUE(keys->set_block(1, 0, &major_link));
    ASSERT_TRUE(keys->set_block(1, 8, &minor_link));
    chord_track(keys_id, &chords);
    note_track(lib.song->detail()->id, chords, &melody);
    const MedtNoteNames names(edited(melody));
    // The note track has 16 units per beat: beat 8 is unit 128.
    EXPECT_EQ(names.mode_at(0), 1);
    EXPECT_EQ(names.mode_at(127), 1);
    EXPECT_EQ(names.mode_at(128), 2);
    EXPECT_EQ(kv_codec::utf8_from_cp932(names.name_at(note(MNBT_TONE, 4, -1, 0), 200)), "嬰ヘ");
}

TEST_F(NoteNamesInMusic, ChordNamesSoundInTheKeyOfTheirMap) {
    // A palette chord whose root counts from the key: in a map whose chord key is D (2), a
    // degree is named from D, not from C.
    lib.map->m_CDegKey = 2;
    MseqBlockChord& first = lib.map->m_Blocks[16];
    ASSERT_TRUE(first.m_Flags & MCHORD_RELATIVE_ROOT);
    MSEQ_ID chords = 0;
    MseqTrackChord* track = chord_track(InMemoryLibrary::ref(lib.map_node), &chords);
    MseqBlockChord pick = first;
    ASSERT_TRUE(track->set_block(track->m_Beat, 0, &pick));
    ASSERT_EQ(first.m_Root, 7);  // the fifth degree, G from C
    ASSERT_EQ(first.m_Type, "maj");
    EXPECT_EQ(kv_codec::utf8_from_cp932(MedtChordPress::name_at(*track, 3, lib.song)), "Amaj");
    EXPECT_TRUE(MedtChordPress::name_at(*track, -1, lib.song).empty());
}

}  // namespace note_names_test
