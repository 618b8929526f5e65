#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "model/block/MseqBlockRefer.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "play/PlayFixture.h"

namespace refer_track_test {

using kv_test::add_track;
using kv_test::Library;
using kv_test::note;
using kv_test::note_ons;
using kv_test::RecordingOutput;
using kv_test::run_offline;
using Lines = std::vector<std::string>;

// A music with one phrase track (grid `beat`) and one phrase whose notes are C5, D5, ... on a
// grid of 4 (unit 480), with named markers.
struct Referring {
    Library lib;
    MseqObject* phrase_node = nullptr;
    MseqPhrase* phrase = nullptr;
    MseqTrackNote* phrase_notes = nullptr;
    MseqTrackRefer* refer = nullptr;

    explicit Referring(int32_t beat = 4) {
        phrase = lib.add_phrase("riff", &phrase_node);
        phrase_notes = add_track<MseqTrackNote>(phrase, MTYPE_TRACK_NOTE, 4);
        refer = add_track<MseqTrackRefer>(lib.music, MTYPE_TRACK_REFER, beat);
    }
    // Notes of one unit at the given phrase steps, letters C, D, E, ... in order.
    void notes_at(std::initializer_list<int> steps, int length = 1) {
        int letter = 0;
        for (int s : steps)
            phrase_notes->put_block(s, note(MNBT_PURE, letter++ % 7, 5, 0, length));
    }
    void markers(std::initializer_list<std::pair<int, const char*>> at) {
        auto* m = add_track<MseqTrackLabel>(phrase, MTYPE_TRACK_MARKER, 4, MID_TRACK_HEADER);
        ASSERT_EQ(m->owner->id, static_cast<MSEQ_ID>(MID_TRACK_MARKER));
        for (const auto& [index, name] : at) {
            MseqBlockLabel l;
            l.m_Label = name;
            m->put_block(index, l);
        }
    }
    void block(int index, int length, uint32_t mode, const char* marker = "",
               MSEQ_ID phrase_id = 0) {
        MseqBlockRefer b;
        b.m_Length = length;
        b.m_PhraseID = phrase_id ? phrase_id : Library::ref(phrase_node);
        b.m_StartMarker = marker;
        b.m_Mode = mode;
        refer->put_block(index, b);
    }
};

TEST(PlyReferTrack, StretchFillsTheBlockWithTheMarkerSection) {
    Referring r(8);                   // unit 240: a block of 8 units lasts 1920 ticks
    r.markers({{0, "A"}, {2, "B"}});  // section A: 960 ticks
    r.notes_at({0, 1, 2});
    r.block(4, 8, MRBM_STRETCH, "A");
    // Factor 61440: twice as slow. The note at 480 after the marker sounds 960 after the block
    // start (960), twice as long; the note at the next marker lies at the block end.
    EXPECT_EQ(note_ons(r.lib.music),
              (Lines{"960 note-on 0 60 100 960", "1920 note-on 0 62 100 960"}));
}

TEST(PlyReferTrack, StretchWithoutNextMarkerUsesThePhraseLengthAndScalesLags) {
    Referring r(4);
    r.notes_at({0, 1});  // phrase length 960
    r.phrase_notes->m_STime = 10;
    r.block(0, 1, MRBM_STRETCH);  // 480 ticks for 960: factor 15360, half speed
    EXPECT_EQ(note_ons(r.lib.music), (Lines{"5 note-on 0 60 100 240", "245 note-on 0 62 100 240"}));
}

TEST(PlyReferTrack, CutModes) {
    struct Case {
        uint32_t mode;
        const char* expected;
    };
    // A phrase note that starts one unit before the block end and lasts four units, at a length
    // rate of 50%.
    for (const Case c : {Case{MRBM_BLOCK_KEEP, "1440 note-on 0 60 100 960"},
                         Case{MRBM_BLOCK_CUT, "1440 note-on 0 60 100 240"},
                         Case{MRBM_SOUND_CUT, "1440 note-on 0 60 100 480"}}) {
        Referring r(4);
        r.phrase_notes->m_LRate = 50;
        r.notes_at({3}, 4);
        r.phrase_notes->put_block(4, note(MNBT_PURE, 1, 5));  // at the block end: never played
        r.block(0, 4, c.mode);
        EXPECT_EQ(note_ons(r.lib.music), Lines{c.expected}) << c.mode;
    }
}

TEST(PlyReferTrack, UnresolvableBlocksAreSkippedAlone) {
    Referring r(4);
    MseqObject* map_node = nullptr;
    r.lib.add_chord_map("not a phrase", &map_node);
    r.markers({{0, "A"}, {1, "B"}});
    r.notes_at({0, 1});
    r.block(0, 1, MRBM_BLOCK_CUT, "A");
    r.block(2, 1, MRBM_BLOCK_CUT, "missing");                    // no such marker
    r.block(4, 1, MRBM_BLOCK_CUT, "B");                          // from the second note
    r.block(6, 1, MRBM_BLOCK_CUT, "", Library::ref(map_node));   // not a phrase
    r.block(8, 1, MRBM_BLOCK_CUT, "", mseq_make_id(2, 0x9999));  // nothing
    r.block(10, 2, MRBM_STRETCH, "B");  // the section from the last marker to the end: 480
    r.block(12, 2, MRBM_STRETCH, "late");
    r.block(14, 2, MRBM_BLOCK_KEEP);
    EXPECT_EQ(
        note_ons(r.lib.music),
        (Lines{"0 note-on 0 60 100 480", "1920 note-on 0 62 100 480", "4800 note-on 0 62 100 960",
               "6720 note-on 0 60 100 480", "7200 note-on 0 62 100 480"}));
}

TEST(PlyReferTrack, StretchOfAnEmptySectionSkipsTheBlock) {
    Referring r(4);
    r.markers({{0, "A"}, {2, "End"}});
    r.notes_at({0, 1});                  // the phrase ends at 960, where "End" stands
    r.block(0, 4, MRBM_STRETCH, "End");  // nothing from there on: no factor can be had
    r.block(4, 1, MRBM_BLOCK_CUT, "A");
    EXPECT_EQ(note_ons(r.lib.music), (Lines{"1920 note-on 0 60 100 480"}));

    // A factor that 32 bits cannot hold (65536 bars for 960 ticks) skips the block as well.
    Referring wide(1);
    wide.notes_at({0, 1});
    wide.block(0, 65536, MRBM_STRETCH);
    wide.block(65536, 1, MRBM_BLOCK_CUT);
    EXPECT_EQ(note_ons(wide.lib.music),
              (Lines{"125829120 note-on 0 60 100 480", "125829600 note-on 0 62 100 480"}));
}

TEST(PlyReferTrack, ShortPhraseLeavesTheRestOfTheBlockSilent) {
    Referring r(4);
    r.notes_at({0, 1});
    r.block(0, 8, MRBM_BLOCK_KEEP);
    r.block(8, 8, MRBM_BLOCK_KEEP);
    EXPECT_EQ(note_ons(r.lib.music),
              (Lines{"0 note-on 0 60 100 480", "480 note-on 0 62 100 480",
                     "3840 note-on 0 60 100 480", "4320 note-on 0 62 100 480"}));
}

TEST(PlyReferTrack, SeekingIntoABlockStartsThePhraseThere) {
    struct Case {
        uint32_t mode;
        int32_t start;
        Lines expected;
    };
    const Case cases[] = {
        // Block [960, 4800): from 1440 the phrase starts at its own tick 480.
        {MRBM_BLOCK_CUT,
         1440,
         {"1440 note-on 0 62 100 480", "1920 note-on 0 64 100 480", "2400 note-on 0 65 100 480"}},
        // Before the block: everything.
        {MRBM_BLOCK_CUT,
         0,
         {"960 note-on 0 60 100 480", "1440 note-on 0 62 100 480", "1920 note-on 0 64 100 480",
          "2400 note-on 0 65 100 480"}},
        // Stretched twice as slow: 960 ticks into the block are 480 of the phrase.
        {MRBM_STRETCH,
         1920,
         {"1920 note-on 0 62 100 960", "2880 note-on 0 64 100 960", "3840 note-on 0 65 100 960"}},
    };
    for (const Case& c : cases) {
        Referring r(4);
        r.notes_at({0, 1, 2, 3});  // phrase length 1920
        r.block(2, 8, c.mode);
        EXPECT_EQ(note_ons(r.lib.music, c.start), c.expected) << c.mode << " " << c.start;
    }
}

TEST(PlyReferTrack, ReferenceSettingsChannelAndChordsApplyToThePhrase) {
    Referring r(4);
    MseqObject* map_node = nullptr;
    MseqMapChord* map = r.lib.add_chord_map("key", &map_node);
    map->m_ToneKey = 2;
    map->m_SDegKey = 0;
    auto* chords = add_track<MseqTrackChord>(r.lib.music, MTYPE_TRACK_CHORD, 1, MID_TRACK_HEADER);
    chords->m_MapID = Library::ref(map_node);
    r.refer->m_Channel = 4;
    r.refer->m_TrackChordID = chords->owner->id;
    r.refer->m_Octave = 1;
    r.refer->m_VRate = 50;
    r.refer->m_STime = 10;
    r.lib.music->m_Transpose = -1;
    r.phrase_notes->put_block(0, note(MNBT_SDEG, 0));
    r.phrase_notes->put_block(1, note(MNBT_TONE, 0));
    MseqBlockRefer b;
    b.m_Length = 4;
    b.m_PhraseID = Library::ref(r.phrase_node);
    b.m_Rotation = 2;  // degree shift
    r.refer->put_block(0, b);
    // Degree 0 + 2 = E, one octave up, transposed down; tone C in key D, one octave up.
    EXPECT_EQ(note_ons(r.lib.music), (Lines{"10 note-on 4 75 50 480", "490 note-on 4 73 50 480"}));
}

TEST(PlyReferTrack, UnderAGroupThePhraseTakesTheGroupChannel) {
    Referring r(4);
    MseqObject* group_node = r.lib.music->create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD,
                                                       MTYPE_TRACK_GROUP, CkvString());
    mseq_open(group_node)->cast_to<MseqTrackGroup>(MTYPE_TRACK_GROUP)->m_Channel = 7;
    auto* inner = add_track<MseqTrackRefer>(r.lib.music, MTYPE_TRACK_REFER, 4, group_node->id);
    inner->m_Channel = 2;
    r.notes_at({0});
    MseqBlockRefer b;
    b.m_PhraseID = Library::ref(r.phrase_node);
    inner->put_block(0, b);
    EXPECT_EQ(note_ons(r.lib.music), (Lines{"0 note-on 7 60 100 480"}));
}

// The files belong to the user-interface thread: in every mode the phrases a run places are
// loaded before the run starts (with its run set), never when the worker reaches them.
TEST(PlyReferTrack, EveryModeLoadsThePlacedPhrasesBeforeTheRunStarts) {
    for (int32_t mode : {MCPM_BUILD, MCPM_PRELOAD, MCPM_INTERPRET}) {
        kv_test::PlayModeScope scope(mode);
        Library lib;
        MseqObject* later = lib.add_leaf(MTYPE_LEAF_PHRASE, "later");  // never opened yet
        MseqObject* unplaced = lib.add_leaf(MTYPE_LEAF_PHRASE, "unplaced");
        auto* refer = add_track<MseqTrackRefer>(lib.music, MTYPE_TRACK_REFER, 4);
        MseqBlockRefer b;
        b.m_PhraseID = Library::ref(later);
        refer->put_block(100, b);
        std::unique_ptr<MplyEntity> music(lib.music->create_player_model());
        ASSERT_NE(music, nullptr);
        EXPECT_NE(later->entity(), nullptr) << mode;
        EXPECT_EQ(unplaced->entity(), nullptr) << mode;
        MplyPlayer player;
        EXPECT_TRUE(music->Start(&player));
    }
}

TEST(PlyExtremes, HugePositionsLengthsAndShiftsNeitherOverflowNorHang) {
    Referring r(1);  // unit 1920: indices near the 32-bit limit lie far beyond the open end
    r.notes_at({0});
    MseqBlockNote far = note(MNBT_PURE, 0, 5, 0, INT32_MAX);
    r.phrase_notes->put_block(INT32_MAX, far);
    auto* notes = add_track<MseqTrackNote>(r.lib.music, MTYPE_TRACK_NOTE, 1);
    MseqBlockNote late = note(MNBT_PURE, 0, 5);
    late.m_Flags = MNBF_OWN_STIME;
    late.m_STime = INT32_MAX;  // its lag carries it to the open end: never sounds
    notes->put_block(0, late);
    notes->put_block(1, note(MNBT_PURE, 2, 5, 0, INT32_MAX));  // lasts until the open end
    notes->put_block(INT32_MAX - 1, note(MNBT_PURE, 0, 5));    // beyond the open end
    MseqBlockNote shifted = note(MNBT_SDEG, 127);
    notes->put_block(2, shifted);
    notes->m_Octave = INT32_MAX;          // far beyond any key
    r.block(0, INT32_MAX, MRBM_STRETCH);  // stretched over a phrase that reaches the open end
    r.block(5, 1, MRBM_BLOCK_CUT);
    MseqBlockRefer turned;
    turned.m_PhraseID = Library::ref(r.phrase_node);
    turned.m_Rotation = INT32_MIN;
    r.refer->put_block(6, turned);
    r.lib.music->m_Transpose = INT32_MAX;
    RecordingOutput out;
    const Lines got = run_offline(r.lib.music, 0, &out);
    // Every key lies outside 0-127 with these settings, except the rhythm-free pure notes of
    // the plain reference at step 5, which the transposition pushes out too: nothing sounds,
    // and the run still ends by itself.
    EXPECT_TRUE(out.only("note-on").empty());
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(got[got.size() - 2], "finish");

    // Without the transposition the long note sounds, its end kept before the open end.
    r.lib.music->m_Transpose = 0;
    notes->m_Octave = 5;
    RecordingOutput plain;
    run_offline(r.lib.music, 0, &plain);
    const Lines ons = plain.only("note-on");
    EXPECT_NE(std::find(ons.begin(), ons.end(), "1920 note-on 0 64 100 2147483647"), ons.end());
    EXPECT_NE(std::find(plain.calls.begin(), plain.calls.end(), "2147483646 note-off 0 64"),
              plain.calls.end());
    EXPECT_EQ(plain.calls.back(), "stop");
}

}  // namespace refer_track_test
