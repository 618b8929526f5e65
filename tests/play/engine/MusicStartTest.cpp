#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/theory/MseqMapStage.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackValue.h"
#include "play/PlayFixture.h"

namespace music_start_test {

using kv_test::add_track;
using kv_test::Library;
using kv_test::note;
using kv_test::RecordingOutput;
using kv_test::run_offline;
using Lines = std::vector<std::string>;

TEST(PlyMusicStart, TitleCopyrightAndTempoComeFirst) {
    struct Case {
        int32_t tempo;
        const char* title;
        Lines expected;
    };
    const Case cases[] = {
        // The engine starts every run at 120: an equal tempo is dropped.
        {120, "%<entity>", {"0 text 3 \"song\"", "0 text 2 \"(c)\"", "finish", "stop"}},
        {140,
         "%<book> - %<entity>",
         {"0 tempo 140", "0 text 3 \"book - song\"", "0 text 2 \"(c)\"", "finish", "stop"}},
        {4,
         "100%% %<none>",
         {"0 tempo 4", "0 text 3 \"100% \"", "0 text 2 \"(c)\"", "finish", "stop"}},
        // Outside 4-1024 the tempo is not accepted.
        {3, "50%", {"0 text 3 \"50%\"", "0 text 2 \"(c)\"", "finish", "stop"}},
        {1025, "", {"0 text 3 \"\"", "0 text 2 \"(c)\"", "finish", "stop"}},
    };
    for (const Case& c : cases) {
        Library lib;
        lib.music->m_Tempo = c.tempo;
        lib.music->m_Title = c.title;
        lib.music->m_Copyright = "(c)";
        // One sounding track keeps the run going (an empty music does not start).
        add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE)->put_block(99, note(MNBT_PURE, 0, 5));
        Lines got = run_offline(lib.music);
        Lines head;
        for (const std::string& s : got) {
            if (s.find("note-") == std::string::npos) head.push_back(s);
        }
        EXPECT_EQ(head, c.expected) << c.title;
    }
}

TEST(PlyMusicStart, StageSetUpFollowsTheFlagOrder) {
    Library lib;
    MseqObject* stage_node = nullptr;
    MseqMapStage* stage = lib.add_stage_map("stage", &stage_node);
    lib.music->m_MapStageID = Library::ref(stage_node);
    stage->m_Setup = MMS_SETUP_GM1 | MMS_SETUP_GM2;
    for (MseqBlockStage& b : stage->m_Blocks)
        b.m_Flags = 0;
    MseqBlockStage& all = stage->m_Blocks[2];
    all.m_Flags = 0x1 | 0x10 | 0x20 | 0x40 | 0x80 | 0x100 | 0x200 | 0x400 | 0x800 | 0x10000 |
                  0x20000 | 0x40000 | 0x80000 | 0x1000000;
    all.m_Program.m_Index = 0x010203;  // the program number is the low byte
    all.m_Volume = 100;
    all.m_Pan = 30;
    all.m_Reverb = 40;
    all.m_Chorus = 50;
    all.m_Bend = 0x2001;  // 14 bits: low 7 bits 01, high 7 bits 40
    all.m_Hold = 127;
    all.m_Modulation = 5;
    all.m_Expression = 90;
    all.m_BendRange = 12;
    stage->m_Blocks[0].m_Flags = 0x1 | 0x100;  // in use: volume only
    stage->m_Blocks[5].m_Flags = 0xF80;        // not in use: nothing is sent
    add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE)->put_block(4, note(MNBT_PURE, 0, 5));

    RecordingOutput out;
    const Lines got = run_offline(lib.music, 0, &out);
    const Lines expected = {
        "0 text 3 \"song\"",
        "0 text 2 \"\"",
        "0 exclusive 7E 7F 09 01",
        "0 exclusive 7E 7F 09 03",
        "0 control 0 7 120",
        "0 control 0 39 0",
        "0 control 2 120 0",
        "0 control 2 123 0",
        "0 control 2 121 0",
        "0 control 2 101 0",
        "0 control 2 100 0",
        "0 control 2 6 12",
        "0 control 2 38 0",
        "0 message C2 03",
        "0 control 2 7 100",
        "0 control 2 39 0",
        "0 control 2 10 30",
        "0 control 2 42 0",
        "0 control 2 91 40",
        "0 control 2 93 50",
        "0 message E2 01 40",
        "0 control 2 64 127",
        "0 control 2 1 5",
        "0 control 2 33 0",
        "0 control 2 11 90",
        "0 control 2 43 0",
        "1920 note-on 0 60 100 480",
        "2400 note-off 0 60",
        "finish",
        "stop",
    };
    EXPECT_EQ(got, expected);
    // The channels set up are marked for the devices; the output here does not clear them.
    EXPECT_TRUE(out.channel_used(0));
    EXPECT_TRUE(out.channel_used(2));
    EXPECT_FALSE(out.channel_used(5));
    EXPECT_FALSE(out.channel_used(1));
}

TEST(PlyMusicStart, MissingOrWrongStageMapSetsNothingUp) {
    for (int wrong = 0; wrong < 2; ++wrong) {
        Library lib;
        MseqObject* chord_node = nullptr;
        lib.add_chord_map("not a stage", &chord_node);
        lib.music->m_MapStageID = wrong ? Library::ref(chord_node) : mseq_make_id(2, 0x777);
        add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE, 4)
            ->put_block(0, note(MNBT_PURE, 0, 5));
        const Lines got = run_offline(lib.music);
        EXPECT_EQ(got, (Lines{"0 text 3 \"song\"", "0 text 2 \"\"", "0 note-on 0 60 100 480",
                              "480 note-off 0 60", "finish", "stop"}));
    }
}

TEST(PlyMusicStart, PhraseSetsUpItsOwnChannel) {
    struct Case {
        uint16_t kind;
        uint8_t channel;
    };
    for (const Case c : {Case{MWORD_PROGRAM, 0}, Case{MWORD_DRUM_KIT, 9}}) {
        Library lib;
        MseqPhrase* phrase = lib.add_phrase("riff");
        phrase->m_Program = MseqBlockWord(c.kind, 0, 25);
        // The phrase's note track takes the channel of its surroundings, whatever its own.
        auto* notes = add_track<MseqTrackNote>(phrase, MTYPE_TRACK_NOTE, 4);
        notes->m_Channel = 3;
        notes->put_block(1, note(MNBT_PURE, 0, 5));
        RecordingOutput out;
        const Lines got = run_offline(phrase, 0, &out);
        const std::string ch = std::to_string(c.channel);
        const std::string status = c.channel ? "C9" : "C0";
        EXPECT_EQ(got, (Lines{"0 text 3 \"riff\"", "0 text 2 \"\"", "0 message " + status + " 19",
                              "0 control " + ch + " 7 120", "0 control " + ch + " 39 0",
                              "0 control " + ch + " 10 64", "0 control " + ch + " 42 0",
                              "480 note-on " + ch + " 60 100 480", "960 note-off " + ch + " 60",
                              "finish", "stop"}));
        EXPECT_TRUE(out.channel_used(c.channel));
    }
}

TEST(PlyMusicStart, NoteOffPrecedesNoteOnAtOneTick) {
    Library lib;
    auto* a = add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE, 4);
    auto* b = add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE, 4);
    a->put_block(0, note(MNBT_PURE, 0, 5, 0, 2));  // ends at 960
    b->put_block(2, note(MNBT_PURE, 0, 5));        // starts at 960, same channel and key
    b->put_block(4, note(MNBT_PURE, 2, 5));
    const Lines got = run_offline(lib.music);
    EXPECT_EQ(Lines(got.begin() + 2, got.end()),
              (Lines{"0 note-on 0 60 100 960", "960 note-off 0 60", "960 note-on 0 60 100 480",
                     "1440 note-off 0 60", "1920 note-on 0 64 100 480", "2400 note-off 0 64",
                     "finish", "stop"}));
}

TEST(PlyMusicStart, NothingToPlayEndsAfterTheStartEvents) {
    Library lib;
    lib.music->m_Tempo = 90;
    auto* muted = add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE, 4);
    muted->put_block(0, note(MNBT_PURE, 0, 5));
    muted->m_Flags = 0;  // switched off
    // Offline, the start events are still delivered and the run ends by itself.
    EXPECT_EQ(run_offline(lib.music),
              (Lines{"0 tempo 90", "0 text 3 \"song\"", "0 text 2 \"\"", "finish", "stop"}));
}

TEST(PlyMusicStart, SeekSkipsNotesThatBeganBeforeTheStart) {
    Library lib;
    auto* notes = add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE, 4);
    notes->put_block(0, note(MNBT_PURE, 0, 5, 0, 4));  // sounds through the start point
    notes->put_block(3, note(MNBT_PURE, 1, 5));
    notes->put_block(4, note(MNBT_PURE, 2, 5));
    // 1000 lies inside unit 2 (unit 480): the block at 3 is the first played.
    EXPECT_EQ(run_offline(lib.music, 1000),
              (Lines{"0 text 3 \"song\"", "0 text 2 \"\"", "1440 note-on 0 62 100 480",
                     "1920 note-off 0 62", "1920 note-on 0 64 100 480", "2400 note-off 0 64",
                     "finish", "stop"}));
}

TEST(PlyMusicStart, TempoInEffectAtTheStartIsSentAtOnce) {
    Library lib;
    auto* tempo = add_track<MseqTrackTempo>(lib.music, MTYPE_TRACK_TEMPO, 1, MID_TRACK_HEADER);
    tempo->put_block(0, MseqBlockValue(100));
    tempo->put_block(4, MseqBlockValue(150));  // bar 5
    tempo->put_block(8, MseqBlockValue(90));   // bar 9
    tempo->put_block(9, MseqBlockValue(80));   // bar 10
    auto* notes = add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE, 1);
    notes->put_block(8, note(MNBT_PURE, 0, 5));
    // Starting at bar 9: the bar-5 change first, then the one exactly at bar 9; not bar 1.
    const Lines got = run_offline(lib.music, 8 * 1920);
    EXPECT_EQ(Lines(got.begin() + 2, got.end()),
              (Lines{"7680 tempo 150", "15360 tempo 90", "15360 note-on 0 60 100 1920",
                     "17280 tempo 80", "17280 note-off 0 60", "finish", "stop"}));
    // Starting inside bar 5 counts whole steps: the step of the start is bar 5 itself, so the
    // change in effect before it (bar 1) comes first (ahead of the texts of tick 0), then bar 5.
    const Lines later = run_offline(lib.music, 4 * 1920 + 1);
    ASSERT_GE(later.size(), 4u);
    EXPECT_EQ(later[0], "0 tempo 100");
    EXPECT_EQ(later[3], "7680 tempo 150");
}

}  // namespace music_start_test
