#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edit/press/MedtBlockPress.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "platform/TextCodec.h"
#include "text/MrecEntityWriter.h"

namespace block_press_test {

// Applies every set-block straight to the track, as the set-block command would, and counts
// the calls.
class DirectSetter : public MedtBlockSetter {
public:
    explicit DirectSetter(MseqTrack* track) : track(track) {}
    bool set_block(int32_t pos, const MseqBlock* block) override {
        ++calls;
        return track->set_block(track->m_Beat, pos, block);
    }
    MseqTrack* track;
    int calls = 0;
};

class ScriptedPort : public MedtPressPort {
public:
    bool edit_number(int32_t value, CkvString* text) override {
        shown.push_back(value);
        if (!confirm) return false;
        *text = reply;
        return true;
    }
    int32_t choose_marker(const std::vector<CkvString>& items) override {
        for (const CkvString& i : items)
            menu.push_back(kv_codec::utf8_from_cp932(i));
        return choice;
    }
    void select_phrase(MSEQ_ID id) override { selected = id; }
    bool confirm = true;
    CkvString reply;
    std::vector<int32_t> shown;
    std::vector<std::string> menu;
    int32_t choice = -1;
    MSEQ_ID selected = 0;
};

template <class Track>
Track* add_track(MseqMusic& music, MSEQ_TYPE type, const char* name) {
    MseqObject* node =
        music.create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, type, CkvString(name));
    EXPECT_NE(node, nullptr);
    ref_ptr<MseqEntity> e = mseq_open(node);
    return e->cast_to<Track>(type);
}

// The saved block lines of the music's tracks ("  {  5; ...").
std::vector<std::string> block_lines(MseqMusic& music) {
    std::string text;
    EXPECT_TRUE(mrec_write_entity(&music, &text));
    std::vector<std::string> out;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        if (line.find("@array") == std::string::npos && line.rfind("     {", 0) == 0)
            out.push_back(line.substr(line.find('{')));
        at = end + 2;
    }
    return out;
}

struct NoteFixture : ::testing::Test {
    void SetUp() override {
        saved_click = mseq_config().m_LClickDelete;
        notes = add_track<MseqTrackNote>(music, MTYPE_TRACK_NOTE, "Melody");
        notes->m_Beat = 16;
        notes->m_NoteType = MNBT_TONE;
        ctx.music = &music;
        ctx.port = &port;
        ctx.setter = &setter;
    }
    void TearDown() override { mseq_config().m_LClickDelete = saved_click; }

    bool press(MedtPressArea area, int32_t pos, bool right = false, bool move = false,
               double height = 0) {
        return MedtNotePress::press(*notes, MedtPress{area, pos, right, move, height}, ctx);
    }
    MseqBlockNote note(int32_t length, int8_t octave, int8_t whole, int8_t semi) {
        MseqBlockNote n;
        n.m_Type = MNBT_TONE;
        n.m_Length = length;
        n.m_Octave = octave;
        n.m_Whole = whole;
        n.m_Semi = semi;
        return n;
    }

    int32_t saved_click = 1;
    MseqMusic music{nullptr};
    MseqTrackNote* notes = nullptr;
    ScriptedPort port;
    DirectSetter setter{nullptr};
    MedtPressContext ctx;
};

TEST_F(NoteFixture, PlacingTakesThePreviousPitchAndSplitsInsideABlock) {
    setter.track = notes;
    notes->put_block(4, note(4, 1, 4, 1));  // G sharp, octave 1, four units
    const auto before = block_lines(music);
    ASSERT_EQ(before.size(), 1u);
    EXPECT_TRUE(press(MedtPressArea::Anchor, 6));
    // The four-unit note keeps two units; a new two-unit note of the same pitch follows.
    const auto after = block_lines(music);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0], "{  4; 0x00; MNBT_TONE; 2; 0; 0; 1; 4; 1; 100; }");
    EXPECT_EQ(after[1], "{  6; 0x00; MNBT_TONE; 2; 0; 0; 1; 4; 1; 100; }");
    EXPECT_EQ(setter.calls, 2);

    // After the note, on an empty place: a one-unit note of the same pitch.
    EXPECT_TRUE(press(MedtPressArea::Anchor, 10));
    EXPECT_EQ(block_lines(music).back(), "{ 10; 0x00; MNBT_TONE; 1; 0; 0; 1; 4; 1; 100; }");
    // Moving with the left button places on every position entered.
    EXPECT_TRUE(press(MedtPressArea::Anchor, 11, false, true));
    EXPECT_EQ(block_lines(music).size(), 4u);
}

TEST_F(NoteFixture, PositionsAtTheEndOfTheGridStayWellDefined) {
    setter.track = notes;
    notes->put_block(INT32_MAX - 2, note(2, 0, 0, 0));
    // Every area at the last positions: whatever the track accepts, nothing overflows.
    for (MedtPressArea area : {MedtPressArea::Anchor, MedtPressArea::Pitch, MedtPressArea::Third,
                               MedtPressArea::Fourth, MedtPressArea::StartLag})
        for (int32_t pos : {INT32_MAX - 1, INT32_MAX})
            for (bool right : {false, true})
                press(area, pos, right);
    EXPECT_FALSE(press(MedtPressArea::Anchor, -1));
    EXPECT_LE(notes->own_end(), int64_t{INT32_MAX} + 1);
}

TEST_F(NoteFixture, NewNotesTakeTheTracksKindOrTheEditors) {
    setter.track = notes;
    notes->m_NoteType = 0x8000;
    music.m_NoteState = MNBT_CDEG;
    notes->put_block(0, note(1, 1, 2, 0));  // a tone note: kinds differ, defaults apply
    EXPECT_TRUE(press(MedtPressArea::Anchor, 3));
    EXPECT_EQ(block_lines(music).back(), "{  3; 0x00; MNBT_CDEG; 1; 0; 0; 0; 0; 0; 100; }");
    notes->m_NoteType = MNBT_PURE;
    EXPECT_TRUE(press(MedtPressArea::Anchor, 5));
    EXPECT_EQ(block_lines(music).back(), "{  5; 0x00; MNBT_PURE; 1; 0; 0; 5; 0; 0; 100; }");
}

TEST_F(NoteFixture, LeftPressJoinsOrErasesOnlyWithTheSetting) {
    setter.track = notes;
    struct Case {
        int32_t setting;
        int32_t second;  // where the second note starts (the first covers 0 to 4)
        std::vector<std::string> lines;
    } cases[] = {
        {1, 4, {"{  0; 0x00; MNBT_TONE; 6; 0; 0; 0; 0; 0; 100; }"}},  // touching: joined
        {1, 5, {"{  0; 0x00; MNBT_TONE; 4; 0; 0; 0; 0; 0; 100; }"}},  // gap: erased
        {0,
         4,
         {"{  0; 0x00; MNBT_TONE; 4; 0; 0; 0; 0; 0; 100; }",
          "{  4; 0x00; MNBT_TONE; 2; 0; 0; 0; 2; 0; 100; }"}},  // off: nothing
    };
    for (const Case& c : cases) {
        notes->erase(16, 0, 100, 0);
        notes->put_block(0, note(4, 0, 0, 0));
        notes->put_block(c.second, note(2, 0, 2, 0));
        mseq_config().m_LClickDelete = c.setting;
        EXPECT_EQ(press(MedtPressArea::Anchor, c.second), c.setting != 0);
        EXPECT_EQ(block_lines(music), c.lines) << c.setting << " " << c.second;
        // Moving onto a note never joins or erases.
        EXPECT_FALSE(press(MedtPressArea::Anchor, 0, false, true));
    }
    // The right button erases the note under the pointer, also while moving.
    notes->put_block(8, note(4, 0, 0, 0));
    EXPECT_TRUE(press(MedtPressArea::Anchor, 10, true, true));
    EXPECT_TRUE(press(MedtPressArea::Anchor, 1, true));
    EXPECT_TRUE(press(MedtPressArea::Anchor, 5, true));
    EXPECT_TRUE(block_lines(music).empty());
    EXPECT_FALSE(press(MedtPressArea::Anchor, 1, true));
}

TEST_F(NoteFixture, PitchAreaStepsLettersAndStretchesThePreviousNote) {
    setter.track = notes;
    notes->put_block(2, note(2, 0, 2, 1));  // E sharp written as letter 2 with a sharp
    EXPECT_TRUE(press(MedtPressArea::Pitch, 2));
    EXPECT_EQ(block_lines(music)[0], "{  2; 0x00; MNBT_TONE; 2; 0; 0; 0; 3; 0; 100; }");  // F
    notes->put_block(2, note(2, 0, 0, 0));
    EXPECT_TRUE(press(MedtPressArea::Pitch, 2, true));  // C down a letter: B an octave lower
    EXPECT_EQ(block_lines(music)[0], "{  2; 0x00; MNBT_TONE; 2; 0; 0; -1; 6; 0; 100; }");
    struct Case {
        int32_t pos;
        bool changed;
        int32_t length;
    } cases[] = {
        {9, true, 8},  // after it: ends with position 9
        {5, true, 3},  // inside it: ends before position 5
        {2 + 4096, true, 4097},
        {2 + 4097, false, 4097},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(press(MedtPressArea::Pitch, c.pos), c.changed) << c.pos;
        EXPECT_EQ(notes->block_at(2)->m_Length, c.length) << c.pos;
    }
    EXPECT_FALSE(press(MedtPressArea::Pitch, 0));  // no previous note
}

TEST_F(NoteFixture, OctaveAndSemitoneSteps) {
    setter.track = notes;
    struct Case {
        MedtPressArea area;
        bool right;
        bool flat;
        MseqBlockNote before;
        const char* line;
    } cases[] = {
        {MedtPressArea::Third, false, false, note(1, 2, 0, 0),
         "{  0; 0x00; MNBT_TONE; 1; 0; 0; -2; 0; 0; 100; }"},  // octave 3 wraps to -2
        {MedtPressArea::Third, true, false, note(1, 0, 4, 0),
         "{  0; 0x00; MNBT_TONE; 1; 0; 0; -1; 4; 0; 100; }"},
        {MedtPressArea::Fourth, true, false, note(1, 0, 2, 0),
         "{  0; 0x00; MNBT_TONE; 1; 0; 0; 0; 1; 1; 100; }"},  // E down: D sharp
        {MedtPressArea::Fourth, true, true, note(1, 0, 2, 0),
         "{  0; 0x00; MNBT_TONE; 1; 0; 0; 0; 2; -1; 100; }"},  // or E flat
        {MedtPressArea::Fourth, false, false, note(1, 0, 6, 0),
         "{  0; 0x00; MNBT_TONE; 1; 0; 0; 1; 0; 0; 100; }"},  // B up: C of the next octave
    };
    const int32_t flat = mseq_config().m_DownSemiFlat;
    for (const Case& c : cases) {
        mseq_config().m_DownSemiFlat = c.flat;
        notes->put_block(0, c.before);
        EXPECT_TRUE(press(c.area, 0, c.right));
        EXPECT_EQ(block_lines(music)[0], c.line);
    }
    mseq_config().m_DownSemiFlat = flat;
    EXPECT_FALSE(press(MedtPressArea::Third, 5));  // no note there
}

TEST_F(NoteFixture, StartLagEditorClampsAndTheRightPressClears) {
    setter.track = notes;
    notes->m_STime = 12;
    notes->put_block(0, note(4, 0, 0, 0));
    port.reply = CkvString("300");
    EXPECT_TRUE(press(MedtPressArea::StartLag, 2));
    EXPECT_EQ(port.shown, std::vector<int32_t>{12});  // the track's lag is in force
    EXPECT_EQ(block_lines(music)[0], "{  0; 0x10; MNBT_TONE; 4; 240; 0; 0; 0; 0; 100; }");
    EXPECT_TRUE(press(MedtPressArea::StartLag, 0, true));
    EXPECT_EQ(block_lines(music)[0], "{  0; 0x00; MNBT_TONE; 4; 0; 0; 0; 0; 0; 100; }");
    EXPECT_FALSE(press(MedtPressArea::StartLag, 0, true));  // nothing left to clear

    struct Case {
        bool end;
        const char* text;
        bool changed;
        const char* line;
    } cases[] = {
        {false, "-500", true, "{  0; 0x10; MNBT_TONE; 4; -240; 0; 0; 0; 0; 100; }"},
        {false, " 7 ", true, "{  0; 0x10; MNBT_TONE; 4; 7; 0; 0; 0; 0; 100; }"},
        {false, "abc", false, "{  0; 0x10; MNBT_TONE; 4; 7; 0; 0; 0; 0; 100; }"},
        {false, "", true, "{  0; 0x00; MNBT_TONE; 4; 7; 0; 0; 0; 0; 100; }"},
        {true, "30", true, "{  0; 0x20; MNBT_TONE; 4; 7; 30; 0; 0; 0; 100; }"},
        {true, "30", false, "{  0; 0x20; MNBT_TONE; 4; 7; 30; 0; 0; 0; 100; }"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MedtNotePress::apply_lag_text(*notes, 1, c.end, c.text, ctx), c.changed)
            << c.text;
        EXPECT_EQ(block_lines(music)[0], c.line) << c.text;
    }
    port.confirm = false;
    EXPECT_FALSE(press(MedtPressArea::EndLag, 0));
}

TEST_F(NoteFixture, EndLagInForceFollowsTheRateAndTheTrack) {
    notes->m_LRate = 80;
    notes->m_ETime = -10;
    notes->put_block(0, note(4, 0, 0, 0));  // 4 of 16 steps: 480 ticks
    int32_t value = 0;
    ASSERT_TRUE(MedtNotePress::lag_in_force(*notes, 3, true, &value));
    EXPECT_EQ(value, 480 * 80 / 100 - 10 - 480);
    MseqBlockNote own = note(4, 0, 0, 0);
    own.m_Flags = MNBF_OWN_ETIME;
    own.m_ETime = 55;
    notes->put_block(0, own);
    ASSERT_TRUE(MedtNotePress::lag_in_force(*notes, 0, true, &value));
    EXPECT_EQ(value, 55);
    EXPECT_FALSE(MedtNotePress::lag_in_force(*notes, 4, true, &value));
}

TEST_F(NoteFixture, VelocityFromThePointersHeight) {
    setter.track = notes;
    notes->put_block(0, note(4, 0, 0, 0));
    struct Case {
        MedtPressArea area;
        double height;
        bool move;
        int velocity;
    } cases[] = {
        {MedtPressArea::Velocity, 1.0, false, 127}, {MedtPressArea::Velocity, 0.0, true, 0},
        {MedtPressArea::Velocity, 0.5, true, 64},   {MedtPressArea::Velocity, 7.0, false, 127},
        {MedtPressArea::Velocity, -1.0, false, 0},  {MedtPressArea::VelocityMax, 0, false, 127},
        {MedtPressArea::VelocityMin, 0, false, 0},
    };
    for (const Case& c : cases) {
        press(c.area, 2, false, c.move, c.height);
        EXPECT_EQ(notes->block_at(0)->m_Velocity, c.velocity) << c.height;
    }
    EXPECT_FALSE(press(MedtPressArea::Velocity, 2, false, false, 0.0));  // already 0
    EXPECT_TRUE(press(MedtPressArea::Velocity, 2, true));
    EXPECT_EQ(notes->block_at(0)->m_Velocity, 100);
}

struct ReferFixture : ::testing::Test {
    void SetUp() override {
        refer = add_track<MseqTrackRefer>(music, MTYPE_TRACK_REFER, "Phrases");
        refer->m_Beat = 4;
        setter.track = refer;
        ctx.music = &music;
        ctx.port = &port;
        ctx.setter = &setter;
    }
    bool press(MedtPressArea area, int32_t pos, bool right = false) {
        return MedtReferPress::press(*refer, MedtPress{area, pos, right, false, 0}, ctx);
    }
    MseqBlockRefer block(int32_t rotation, uint32_t mode) {
        MseqBlockRefer b;
        b.m_Length = 4;
        b.m_PhraseID = 0x200010;
        b.m_Rotation = rotation;
        b.m_Mode = mode;
        return b;
    }

    MseqMusic music{nullptr};
    MseqTrackRefer* refer = nullptr;
    ScriptedPort port;
    DirectSetter setter{nullptr};
    MedtPressContext ctx;
};

TEST_F(ReferFixture, DegreeShiftAndModeCycle) {
    struct Case {
        MedtPressArea area;
        bool right;
        int32_t rotation;
        uint32_t mode;
        const char* line;
    } cases[] = {
        {MedtPressArea::Third, true, -8, MRBM_BLOCK_CUT,
         "{  0; 4; 0x00000010; \"\"; 8; MRBM_BLOCK_CUT; }"},
        {MedtPressArea::Third, false, 8, MRBM_BLOCK_CUT,
         "{  0; 4; 0x00000010; \"\"; -8; MRBM_BLOCK_CUT; }"},
        {MedtPressArea::Third, false, 0, MRBM_BLOCK_CUT,
         "{  0; 4; 0x00000010; \"\"; 1; MRBM_BLOCK_CUT; }"},
        {MedtPressArea::Fourth, false, 0, MRBM_STRETCH,
         "{  0; 4; 0x00000010; \"\"; 0; MRBM_BLOCK_KEEP; }"},
        {MedtPressArea::Fourth, true, 0, MRBM_BLOCK_KEEP,
         "{  0; 4; 0x00000010; \"\"; 0; MRBM_STRETCH; }"},
        {MedtPressArea::Fourth, false, 0, MRBM_BLOCK_CUT,
         "{  0; 4; 0x00000010; \"\"; 0; MRBM_SOUND_CUT; }"},
    };
    for (const Case& c : cases) {
        refer->put_block(0, block(c.rotation, c.mode));
        EXPECT_TRUE(press(c.area, 3, c.right));
        EXPECT_EQ(block_lines(music)[0], c.line);
    }
}

TEST_F(ReferFixture, NothingIsPlacedWithoutAPhraseOfTheOwnBook) {
    EXPECT_FALSE(press(MedtPressArea::Anchor, 0));
    MseqObject stray(0x10020, MTYPE_LEAF_PHRASE, CkvString("elsewhere"), MseqDescPath("x.kvnl"));
    ctx.selected_leaf = &stray;  // not found through the music's book
    EXPECT_EQ(MedtReferPress::selected_phrase(ctx), 0u);
    EXPECT_FALSE(press(MedtPressArea::Anchor, 0));
    EXPECT_TRUE(block_lines(music).empty());
    EXPECT_EQ(setter.calls, 0);
}

TEST_F(ReferFixture, PitchAreaMarkersAndLibrarySelection) {
    refer->put_block(0, block(0, MRBM_BLOCK_CUT));
    EXPECT_FALSE(press(MedtPressArea::Pitch, 0, true));
    EXPECT_EQ(port.selected, 0x200010u);
    // A phrase that cannot be found offers no menu.
    EXPECT_FALSE(press(MedtPressArea::Pitch, 0));
    EXPECT_TRUE(port.menu.empty());
    // The menu's choice goes to the block, "<ホーム>" meaning the phrase's beginning.
    EXPECT_TRUE(MedtReferPress::apply_start_marker(*refer, 2, CkvString("Verse"), ctx));
    EXPECT_EQ(block_lines(music)[0], "{  0; 4; 0x00000010; \"Verse\"; 0; MRBM_BLOCK_CUT; }");
    EXPECT_TRUE(MedtReferPress::apply_start_marker(
        *refer, 0, CkvString(kv_codec::cp932_from_utf8("<ホーム>")), ctx));
    EXPECT_EQ(block_lines(music)[0], "{  0; 4; 0x00000010; \"\"; 0; MRBM_BLOCK_CUT; }");
    EXPECT_FALSE(MedtReferPress::apply_start_marker(*refer, 7, CkvString("x"), ctx));
    // Stretching the previous reference works as on note tracks.
    EXPECT_TRUE(press(MedtPressArea::Pitch, 6));
    EXPECT_EQ(refer->block_at(0)->m_Length, 7);
}

TEST(PressArea, Names) {
    const char* names[] = {"anchor",  "pitch",    "third",        "fourth",      "start-lag",
                           "end-lag", "velocity", "velocity-max", "velocity-min"};
    for (const char* n : names) {
        MedtPressArea area;
        EXPECT_TRUE(medt_press_area(n, &area)) << n;
    }
    MedtPressArea area;
    EXPECT_FALSE(medt_press_area("octave", &area));
}

}  // namespace block_press_test
