#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "model/block/MseqBlockLink.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackNote.h"
#include "play/PlayFixture.h"

namespace note_track_test {

using kv_test::add_track;
using kv_test::Library;
using kv_test::note;
using kv_test::note_ons;
using Lines = std::vector<std::string>;

// A music whose note track follows a chord track over a chord map: the map's keys are given.
struct Keyed {
    Library lib;
    MseqMapChord* map = nullptr;
    MseqTrackChord* chords = nullptr;
    MseqTrackNote* notes = nullptr;

    explicit Keyed(bool with_chord_track) {
        notes = add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE, 4);
        if (!with_chord_track) return;
        MseqObject* map_node = nullptr;
        map = lib.add_chord_map("key", &map_node);
        chords = add_track<MseqTrackChord>(lib.music, MTYPE_TRACK_CHORD, 1, MID_TRACK_HEADER);
        chords->m_MapID = Library::ref(map_node);
        notes->m_TrackChordID = chords->owner->id;
    }
};

TEST(PlyNoteTrack, KeysOfEveryNoteType) {
    struct Case {
        const char* what;
        MseqBlockNote block;
        int32_t track_octave;
        int32_t transpose;
        bool chord_track;  // a chord track over a map with tone key 3, scale key 1, chord key 2
        int expected;      // -1: no note
    };
    const Case cases[] = {
        {"pure C5", note(MNBT_PURE, 0, 5), 5, 0, false, 60},
        {"pure C5 transposed", note(MNBT_PURE, 0, 5), 5, 2, false, 62},
        {"pure ignores the track octave", note(MNBT_PURE, 0, 5), 2, 0, false, 60},
        {"tone E flat in key 3", note(MNBT_TONE, 2, 0, -1), 5, 0, true, 66},
        {"tone without a map", note(MNBT_TONE, 2, 0, -1), 5, 0, false, 63},
        {"scale degree 7", note(MNBT_SDEG, 7), 5, 0, false, 72},
        {"scale degree -1", note(MNBT_SDEG, -1), 5, 0, false, 59},
        {"scale degree 2 on the map's scale", note(MNBT_SDEG, 2), 5, 0, true, 65},
        {"chord degree 3", note(MNBT_CDEG, 3), 5, 0, false, 72},
        {"chord degree 1", note(MNBT_CDEG, 1), 5, 0, false, 64},
        {"chord degree -1", note(MNBT_CDEG, -1), 5, 0, false, 55},
        {"far below the bias", note(MNBT_SDEG, -120), 5, 0, false, -1},
        {"key 128", note(MNBT_PURE, 4, 10, 1), 5, 0, false, -1},
        {"key 127", note(MNBT_PURE, 4, 10, 0), 5, 0, false, 127},
        {"key -1", note(MNBT_PURE, 0, 0, -1), 5, 0, false, -1},
        {"key 0", note(MNBT_PURE, 0, 0, 0), 5, 0, false, 0},
        {"unknown type", note(9, 0, 5), 5, 0, false, -1},
        {"letter out of range", note(MNBT_PURE, 7, 5), 5, 0, false, -1},
    };
    for (const Case& c : cases) {
        Keyed k(c.chord_track);
        if (k.map) {
            k.map->m_ToneKey = 3;
            k.map->m_SDegKey = 1;
            k.map->m_CDegKey = 2;
        }
        k.notes->m_Octave = c.track_octave;
        k.notes->put_block(0, c.block);
        k.lib.music->m_Transpose = c.transpose;
        const Lines got = note_ons(k.lib.music);
        if (c.expected < 0) {
            EXPECT_TRUE(got.empty()) << c.what;
        } else {
            EXPECT_EQ(got, Lines{"0 note-on 0 " + std::to_string(c.expected) + " 100 480"})
                << c.what;
        }
    }
}

TEST(PlyNoteTrack, RhythmNotesSoundTheTrackDrum) {
    for (uint32_t index : {42u, 0x12Au, 0xFFu}) {
        Keyed k(false);
        k.notes->m_Rhythm = MseqBlockWord(MWORD_DRUM_SOUND, 0, index);
        k.lib.music->m_Transpose = 5;  // does not apply
        k.notes->put_block(0, note(MNBT_RHYTHM, 3, 2, 1));
        const Lines got = note_ons(k.lib.music);
        const uint32_t key = index & 0xFF;
        if (key > 127) {
            EXPECT_TRUE(got.empty());
        } else {
            EXPECT_EQ(got, Lines{"0 note-on 0 " + std::to_string(key) + " 100 480"});
        }
    }
}

TEST(PlyNoteTrack, VelocityFactor) {
    struct Case {
        uint8_t velocity;
        int32_t vrate;
        int expected;
    };
    // Rate 150 makes factor 384: 100 would become 150, which is clamped like 200 is.
    for (const Case c :
         {Case{100, 100, 100}, Case{80, 150, 120}, Case{100, 150, 127}, Case{100, 200, 127},
          Case{255, 100, 127}, Case{90, 0, 0}, Case{64, 50, 32}, Case{1, 33, 0}}) {
        Keyed k(false);
        k.notes->m_VRate = c.vrate;
        MseqBlockNote n = note(MNBT_PURE, 0, 5);
        n.m_Velocity = c.velocity;
        k.notes->put_block(0, n);
        EXPECT_EQ(note_ons(k.lib.music),
                  Lines{"0 note-on 0 60 " + std::to_string(c.expected) + " 480"})
            << int(c.velocity) << " at " << c.vrate;
    }
}

TEST(PlyNoteTrack, LengthFactorAndOffsets) {
    struct Case {
        const char* what;
        int32_t lrate, etime, stime;
        uint32_t flags;
        int32_t block_stime, block_etime;
        int32_t index;
        const char* expected;  // "on duration"
    };
    const Case cases[] = {
        {"half length", 50, 0, 0, 0, 0, 0, 1, "120 60"},
        {"no length, no end lag", 0, 0, 0, 0, 0, 0, 1, "120 1"},
        {"no length, end lag", 0, 25, 0, 0, 0, 0, 1, "120 25"},
        {"a third: factor 84.48 rounds up to 85", 33, 0, 0, 0, 0, 0, 1, "120 39"},
        {"own end lag replaces rate and track lag", 50, 7, 0, 0x20, 0, -20, 1, "120 100"},
        {"start lag", 100, 0, 30, 0, 0, 0, 1, "150 120"},
        {"own start lag", 100, 0, 30, 0x10, -20, 0, 1, "100 120"},
        {"negative start at tick 0 shortens", 100, 0, -30, 0, 0, 0, 0, "0 90"},
        {"negative own start at tick 0", 100, 0, 0, 0x10, -200, 0, 0, "0 1"},
    };
    for (const Case& c : cases) {
        Keyed k(false);
        k.notes->m_Beat = 16;  // unit 120
        k.notes->m_LRate = c.lrate;
        k.notes->m_ETime = c.etime;
        k.notes->m_STime = c.stime;
        MseqBlockNote n = note(MNBT_PURE, 0, 5);
        n.m_Flags = c.flags;
        n.m_STime = c.block_stime;
        n.m_ETime = c.block_etime;
        k.notes->put_block(c.index, n);
        const Lines got = note_ons(k.lib.music);
        ASSERT_EQ(got.size(), 1u) << c.what;
        std::string on_and_length = c.expected;
        const size_t space = on_and_length.find(' ');
        EXPECT_EQ(got[0], on_and_length.substr(0, space) + " note-on 0 60 100" +
                              on_and_length.substr(space))
            << c.what;
    }
}

TEST(PlyNoteTrack, LeftOutChordToneIsSilentItsNeighboursSound) {
    Keyed k(true);
    MseqBlockChord chord;
    chord.set_type(0);            // 0 4 7
    chord.m_Flags = 0x11;         // a chord of its own, root relative to the key
    chord.keys[1].m_Flags = 0x1;  // the third is left out
    k.chords->put_block(0, chord);
    k.map->m_CDegKey = 0;
    for (int d = 0; d < 3; ++d)
        k.notes->put_block(d, note(MNBT_CDEG, d));
    EXPECT_EQ(note_ons(k.lib.music), (Lines{"0 note-on 0 60 100 480", "960 note-on 0 67 100 480"}));
}

TEST(PlyNoteTrack, SwitchedOffPaletteSlotGivesNoChord) {
    for (bool off : {false, true}) {
        Keyed k(true);
        MseqBlockChord pick;  // selects palette slot 12: degree 0 of the middle octave
        pick.m_Flags = MCHORD_RELATIVE_ROOT;
        pick.m_DescDegree = 0;
        pick.m_DescOctave = 0;
        k.chords->put_block(0, pick);
        if (off) k.map->m_Blocks[12].m_Flags |= MCHORD_NO_KEY;
        k.notes->put_block(0, note(MNBT_CDEG, 1));
        k.notes->put_block(1, note(MNBT_PURE, 0, 5));  // other notes still sound
        const Lines got = note_ons(k.lib.music);
        if (off) {
            EXPECT_EQ(got, (Lines{"480 note-on 0 60 100 480"}));
        } else {
            EXPECT_EQ(got, (Lines{"0 note-on 0 64 100 480", "480 note-on 0 60 100 480"}));
        }
    }
}

TEST(PlyNoteTrack, ChordTrackFollowsTheTranspositionTrack) {
    Library lib;
    MseqObject* node_a = nullptr;
    MseqObject* node_b = nullptr;
    MseqMapChord* a = lib.add_chord_map("in C", &node_a);
    MseqMapChord* b = lib.add_chord_map("in D", &node_b);
    a->m_CDegKey = 0;
    a->m_ToneKey = 0;
    b->m_CDegKey = 2;
    b->m_ToneKey = 2;
    auto* keys =
        add_track<MseqTrackChordMap>(lib.music, MTYPE_TRACK_CHORD_MAP, 1, MID_TRACK_HEADER);
    keys->put_block(0, MseqBlockLink(Library::ref(node_a)));
    keys->put_block(2, MseqBlockLink(Library::ref(node_b)));
    auto* chords = add_track<MseqTrackChord>(lib.music, MTYPE_TRACK_CHORD, 1, MID_TRACK_HEADER);
    chords->m_MapID = keys->owner->id;
    MseqBlockChord pick;
    pick.m_Flags = MCHORD_RELATIVE_ROOT;  // palette slot 12 of the map in effect
    chords->put_block(0, pick);
    auto* notes = add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE, 1);
    notes->m_TrackChordID = chords->owner->id;
    for (int bar = 0; bar < 4; ++bar)
        notes->put_block(bar, note(bar % 2 ? MNBT_TONE : MNBT_CDEG, 0));
    // Bars 1 and 2 in C, bars 3 and 4 in D: chord roots and tones move with the map.
    EXPECT_EQ(note_ons(lib.music),
              (Lines{"0 note-on 0 60 100 1920", "1920 note-on 0 60 100 1920",
                     "3840 note-on 0 62 100 1920", "5760 note-on 0 62 100 1920"}));
    // From the middle, the map in effect at the start is found without its block.
    EXPECT_EQ(note_ons(lib.music, 3 * 1920), (Lines{"5760 note-on 0 62 100 1920"}));
}

TEST(PlyNoteTrack, MissingChordTrackOrMapFallsBack) {
    struct Case {
        const char* what;
        std::function<void(Keyed&)> spoil;
        Lines expected;  // scale degree 1, chord degree 1
    };
    const Case cases[] = {
        // A chord track id that names nothing: no chord source, the built-in key is used.
        {"no such chord track",
         [](Keyed& k) { k.notes->m_TrackChordID = mseq_make_id(1, 0x5555); },
         {"0 note-on 0 62 100 480", "480 note-on 0 64 100 480"}},
        // A chord track id that names another kind of track: likewise.
        {"not a chord track",
         [](Keyed& k) { k.notes->m_TrackChordID = k.notes->owner->id; },
         {"0 note-on 0 62 100 480", "480 note-on 0 64 100 480"}},
        // A chord track without a map: degrees that need one are skipped.
        {"chord track without a map",
         [](Keyed& k) { k.chords->m_MapID = mseq_make_id(2, 0x4444); },
         {}},
    };
    for (const Case& c : cases) {
        Keyed k(true);
        MseqBlockChord pick;
        pick.m_Flags = MCHORD_RELATIVE_ROOT;
        k.chords->put_block(0, pick);
        c.spoil(k);
        k.notes->put_block(0, note(MNBT_SDEG, 1));
        k.notes->put_block(1, note(MNBT_CDEG, 1));
        EXPECT_EQ(note_ons(k.lib.music), c.expected) << c.what;
    }
}

TEST(PlyNoteTrack, GroupHandsDownChannelAndChordTrack) {
    Keyed k(true);
    k.map->m_ToneKey = 4;
    MseqObject* group_node = k.lib.music->create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD,
                                                       MTYPE_TRACK_GROUP, CkvString());
    auto* group = mseq_open(group_node)->cast_to<MseqTrackGroup>(MTYPE_TRACK_GROUP);
    group->m_Channel = 5;
    group->m_TrackChordID = k.chords->owner->id;
    auto* member = add_track<MseqTrackNote>(k.lib.music, MTYPE_TRACK_NOTE, 4, group_node->id);
    member->m_Channel = 0;  // the group's channel wins
    member->put_block(1, note(MNBT_TONE, 0));
    k.notes->m_Channel = 1;  // before the group: its own channel, its own chord track (none)
    k.notes->m_TrackChordID = 0;
    k.notes->put_block(0, note(MNBT_TONE, 0));
    EXPECT_EQ(note_ons(k.lib.music), (Lines{"0 note-on 1 60 100 480", "480 note-on 5 64 100 480"}));
}

TEST(PlyNoteTrack, DisabledStagePartSilencesItsTracks) {
    Library lib;
    MseqObject* stage_node = nullptr;
    MseqMapStage* stage = lib.add_stage_map("stage", &stage_node);
    lib.music->m_MapStageID = Library::ref(stage_node);
    for (MseqBlockStage& b : stage->m_Blocks)
        b.m_Flags = 0;
    stage->m_Blocks[0].m_Flags = MSTAGE_USED;
    for (int ch = 0; ch < 2; ++ch) {
        auto* t = add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE, 4);
        t->m_Channel = ch;
        t->put_block(ch, note(MNBT_PURE, 0, 5));
    }
    EXPECT_EQ(note_ons(lib.music), (Lines{"0 note-on 0 60 100 480"}));
}

}  // namespace note_track_test
