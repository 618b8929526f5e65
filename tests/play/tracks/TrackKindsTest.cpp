#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackValue.h"
#include "play/PlayFixture.h"

namespace track_kinds_test {

using kv_test::add_track;
using kv_test::Library;
using kv_test::note;
using kv_test::RecordingOutput;
using kv_test::run_offline;
using Lines = std::vector<std::string>;

TEST(PlyLabelTrack, LyricsAndMarkersAreSentMemosAreNot) {
    struct Case {
        MSEQ_TYPE type;
        MSEQ_ID id;
        const char* expected;  // nullptr: silent
    };
    const Case cases[] = {
        {MTYPE_TRACK_LYRIC, 0, "text 5"},
        {MTYPE_TRACK_MARKER, 0, "text 6"},
        {MTYPE_TRACK_MEMO, 0, nullptr},
    };
    for (const Case& c : cases) {
        Library lib;
        auto* labels = add_track<MseqTrackLabel>(lib.music, c.type, 4, MID_TRACK_HEADER);
        ASSERT_NE(labels, nullptr);
        MseqBlockLabel l;
        l.m_Label = "la";
        labels->put_block(2, l);
        l.m_Label = "lo";
        labels->put_block(5, l);
        add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE)->put_block(0, note(MNBT_PURE, 0, 5));
        RecordingOutput out;
        run_offline(lib.music, 1500, &out);  // from step 3: the label of step 2 is not sent
        Lines texts;
        for (const std::string& s : out.only("text")) {
            if (s.rfind("0 text", 0) != 0) texts.push_back(s);
        }
        if (c.expected) {
            EXPECT_EQ(texts, Lines{"2400 " + std::string(c.expected) + " \"lo\""});
        } else {
            EXPECT_TRUE(texts.empty());
        }
    }
}

TEST(PlyLabelTrack, SwitchedOffLyricsAreSilent) {
    Library lib;
    auto* lyric = add_track<MseqTrackLabel>(lib.music, MTYPE_TRACK_LYRIC, 4, MID_TRACK_HEADER);
    MseqBlockLabel l;
    l.m_Label = "la";
    lyric->put_block(1, l);
    lyric->m_Flags = 0;
    add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE)->put_block(0, note(MNBT_PURE, 0, 5));
    RecordingOutput out;
    run_offline(lib.music, 0, &out);
    EXPECT_EQ(out.only("text").size(), 2u);  // title and copyright only
}

// A message track of form B0 07 00 with its variable at position 2.
MseqTrackMsg* volume_track(MseqMusic* music, int32_t channel, int32_t power) {
    auto* t = add_track<MseqTrackMsg>(music, MTYPE_TRACK_MSG, 4);
    t->m_Channel = channel;
    t->m_Power = power;
    t->m_Form.m_Msg = {0xB0, 0x07, 0x00};
    t->m_Form.m_Vars = {MseqMsgVar{2, 0, 100, 0, 127, 0, 0}};
    return t;
}

TEST(PlyMessageTrack, ValueWrittenIntoTheFormOnTheChannel) {
    struct Case {
        int32_t power;
        int32_t value;
        const char* expected;
    };
    for (const Case c :
         {Case{100, 100, "0 message B3 07 64"}, Case{50, 100, "0 message B3 07 32"},
          Case{100, 200, "0 message B3 07 7F"}, Case{0, 90, "0 message B3 07 00"},
          Case{33, 100, "0 message B3 07 21"}, Case{200, 100, "0 message B3 07 7F"}}) {
        Library lib;
        auto* t = volume_track(lib.music, 3, c.power);
        // The track keeps values within the form's range; widen it to put a larger value in,
        // then narrow it again so that the player's own bound is what limits it.
        t->m_Form.m_Vars[0].m_Max = 300;
        t->put_block(0, MseqBlockValue(c.value));
        t->m_Form.m_Vars[0].m_Max = 127;
        RecordingOutput out;
        run_offline(lib.music, 0, &out);
        EXPECT_EQ(out.only("message"), Lines{c.expected}) << c.power << " " << c.value;
    }
}

TEST(PlyMessageTrack, FourteenBitValuesAroundABase) {
    struct Case {
        int32_t value;
        const char* expected;
    };
    for (const Case c : {Case{16383, "0 message E3 7F 5F"}, Case{0, "0 message E3 00 20"},
                         Case{8192, "0 message E3 00 40"}}) {
        Library lib;
        auto* t = add_track<MseqTrackMsg>(lib.music, MTYPE_TRACK_MSG, 4);
        t->m_Channel = 3;
        t->m_Power = 50;
        t->m_Form.m_Msg = {0xE0, 0x00, 0x00};
        t->m_Form.m_Vars = {MseqMsgVar{1, 2, 8192, 0, 16383, 8192, -8192}};
        t->put_block(0, MseqBlockValue(c.value));
        RecordingOutput out;
        run_offline(lib.music, 0, &out);
        EXPECT_EQ(out.only("message"), Lines{c.expected}) << c.value;
    }
}

TEST(PlyMessageTrack, LagSystemMessagesAndTheValueInEffectAtTheStart) {
    Library lib;
    auto* vol = volume_track(lib.music, 2, 100);
    vol->m_STime = -20;
    vol->put_block(0, MseqBlockValue(10));
    vol->put_block(2, MseqBlockValue(20));
    vol->put_block(4, MseqBlockValue(30));
    auto* sys = add_track<MseqTrackMsg>(lib.music, MTYPE_TRACK_MSG, 4);
    sys->m_Channel = 5;
    sys->m_Form.m_Msg = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    sys->m_Form.m_Vars = {MseqMsgVar{0, 0, 0, 0, 127, 0, 0}};
    sys->put_block(0, MseqBlockValue(1));
    // From the start: a negative lag puts the first message before tick 0.
    RecordingOutput all;
    run_offline(lib.music, 0, &all);
    EXPECT_EQ(all.only("message"), (Lines{"-20 message B2 07 0A", "0 message F0 7E 7F 09 01 F7",
                                          "940 message B2 07 14", "1900 message B2 07 1E"}));
    // From inside the third step: the value in effect there is sent first.
    RecordingOutput mid;
    run_offline(lib.music, 1500, &mid);
    EXPECT_EQ(mid.only("message"), (Lines{"0 message F0 7E 7F 09 01 F7", "940 message B2 07 14",
                                          "1900 message B2 07 1E"}));
}

TEST(PlyMessageTrack, EmptyFormIsSilent) {
    Library lib;
    auto* t = volume_track(lib.music, 0, 100);
    t->put_block(0, MseqBlockValue(5));
    t->m_Form.m_Msg.clear();
    add_track<MseqTrackNote>(lib.music, MTYPE_TRACK_NOTE)->put_block(0, note(MNBT_PURE, 0, 5));
    RecordingOutput out;
    run_offline(lib.music, 0, &out);
    EXPECT_TRUE(out.only("message").empty());
}

}  // namespace track_kinds_test
