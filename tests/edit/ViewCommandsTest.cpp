// The music view's command table: what the display and note-kind commands do to the view
// settings of a music, and that every command the view offers has its label and status text.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "edit/MedtViewCommands.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqBarBeat.h"
#include "platform/TextCodec.h"

namespace mvc = medt_view_commands;

namespace view_commands_test {

struct ToggleCase {
    int32_t show_before;
    int32_t id;
    int32_t show_after;
};

class ViewCommandsTest : public ::testing::TestWithParam<ToggleCase> {};

TEST_P(ViewCommandsTest, ToggleFlipsItsBitAndKeepsDegreesOrNamesShown) {
    MseqMusic music(nullptr);
    music.m_ShowState = GetParam().show_before;
    EXPECT_TRUE(mvc::run(&music, GetParam().id));
    EXPECT_EQ(music.m_ShowState, GetParam().show_after);
}

INSTANTIATE_TEST_SUITE_P(
    Toggles, ViewCommandsTest,
    ::testing::Values(ToggleCase{0x400, 40231, 0x401},      // anchor on
                      ToggleCase{0x401, 40231, 0x400},      // anchor off
                      ToggleCase{0x400, 40232, 0x404},      // options
                      ToggleCase{0x400, 40233, 0x410},      // velocity
                      ToggleCase{0x400, 40234, 0x440},      // effect levels
                      ToggleCase{0x400, 40239, 0x420},      // guide
                      ToggleCase{0x400, 40212, 0x10400},    // auto-scroll
                      ToggleCase{0x400, 40221, 0x100400},   // chord names always
                      ToggleCase{0x400, 40222, 0x200400},   // mode icons always
                      ToggleCase{0x400, 40223, 0x1000400},  // track information
                      ToggleCase{0xC00, 40236, 0x800},      // degrees off, names stay
                      ToggleCase{0x400, 40236, 0x800},      // the last one off: names shown
                      ToggleCase{0x800, 40237, 0x400},      // names off: degrees shown
                      ToggleCase{0x400, 40237, 0xC00}));    // names on beside degrees

TEST(ViewCommands, NoteKindsSetTheDrawingKindAndCarryTheCheck) {
    MseqMusic music(nullptr);
    for (int32_t id = 40201; id <= 40205; ++id) {
        EXPECT_TRUE(mvc::run(&music, id));
        EXPECT_EQ(music.m_NoteState, id - 40200);
        for (int32_t other = 40201; other <= 40205; ++other)
            EXPECT_EQ(mvc::checked(&music, other), other == id);
    }
}

TEST(ViewCommands, UnknownNumbersAndNoMusicDoNothing) {
    MseqMusic music(nullptr);
    music.m_ShowState = 0x400;
    EXPECT_FALSE(mvc::run(&music, 40261));  // an edit command is not a view setting
    EXPECT_FALSE(mvc::run(&music, 12345));
    EXPECT_FALSE(mvc::run(nullptr, 40231));
    EXPECT_EQ(music.m_ShowState, 0x400);
    EXPECT_EQ(mvc::toggle_bit(40261), 0u);
    EXPECT_TRUE(mvc::label(12345).empty());
}

TEST(ViewCommands, EveryCommandHasItsLabelAndStatusTextOnce) {
    std::set<int32_t> seen;
    for (const auto* table : {&mvc::note_kinds(), &mvc::display_toggles(), &mvc::edit_commands(),
                              &mvc::track_commands(), &mvc::add_track_commands()}) {
        for (const MedtViewCommand& c : *table) {
            EXPECT_TRUE(seen.insert(c.id).second) << c.id;
            EXPECT_FALSE(mvc::label(c.id).empty()) << c.id;
            EXPECT_FALSE(mvc::status_text(c.id).empty()) << c.id;
        }
    }
    // The edit commands 40261-40269, the track commands and the whole add-track menu.
    for (int32_t id = 40261; id <= 40269; ++id)
        EXPECT_TRUE(seen.count(id)) << id;
    for (int32_t id : {40272, 40273, 40274, 40275, 40281, 40290, 40291, 40292, 40301, 40310})
        EXPECT_TRUE(seen.count(id)) << id;
    EXPECT_EQ(kv_codec::utf8_from_cp932(mvc::status_text(40261)),
              "選択範囲を記憶(コピー)して、切り取ります。[Ctrl]+[X]");
    EXPECT_EQ(kv_codec::utf8_from_cp932(mvc::status_text(40212)), "再生オートスクロール [F8]");
}

// Each key names one command, the menu label shows it after a tab, and the keys are the ones
// the view has always answered to.
TEST(ViewCommands, EachKeyRunsOneCommandAndShowsInItsLabel) {
    const std::pair<const char*, int32_t> keys[] = {
        {"E", MVC_DRAW_PURE},
        {"R", MVC_DRAW_RHYTHM},
        {"1", MVC_SHOW_DEGREE},
        {"2", MVC_SHOW_CHORD},
        {"7", MVC_SHOW_GUIDE},
        {"F7", MVC_SHOW_PLAY_POSITION},
        {"F8", MVC_AUTOSCROLL},
        {"Ctrl+X", MVC_CUT},
        {"Ctrl+B", MVC_OVERWRITE},
        {"Del", MVC_DELETE},
        {"Backspace", MVC_DELETE_BEFORE},
        {"Ins", MVC_SPACE},
        {"Ctrl+Z", MVC_UNDO},
        {"Ctrl+Shift+Z", MVC_REDO},
    };
    for (const auto& [key, id] : keys) {
        const MedtViewCommand* c = mvc::find_key(key);
        ASSERT_NE(c, nullptr) << key;
        EXPECT_EQ(c->id, id) << key;
        const std::string label = kv_codec::utf8_from_cp932(mvc::label(id));
        EXPECT_EQ(label.substr(label.size() - std::strlen(key) - 1), std::string("\t") + key);
    }
    // Space plays and stops wherever the focus is: no command of the view takes it.
    EXPECT_EQ(mvc::find_key("Space"), nullptr);
    std::set<std::string> seen;
    for (const auto* table : {&mvc::note_kinds(), &mvc::display_toggles(), &mvc::edit_commands(),
                              &mvc::track_commands(), &mvc::add_track_commands()}) {
        for (const MedtViewCommand& c : *table) {
            if (*c.key) {
                EXPECT_TRUE(seen.insert(c.key).second) << c.key;
            }
        }
    }
    ASSERT_NE(mvc::find_key("Ctrl+Shift+Z"), nullptr);
    EXPECT_EQ(mvc::find_key("Ctrl+Shift+Z")->id, MVC_REDO);  // a redo, not a second undo
    EXPECT_EQ(mvc::find_key(""), nullptr);
    EXPECT_EQ(kv_codec::utf8_from_cp932(mvc::label(MVC_ADD_TRACK)), "トラックの追加");
    EXPECT_EQ(kv_codec::utf8_from_cp932(mvc::label(MVC_DRAW_PURE)), "ピュア音符で描く\tE");
    EXPECT_TRUE(mvc::is_view_setting(MVC_SHOW_PLAY_POSITION));
    EXPECT_TRUE(mvc::is_view_setting(MVC_DRAW_CHORD));
    EXPECT_FALSE(mvc::is_view_setting(MVC_UNDO));
}

TEST(BarBeat, PositionsCountBarsAndBeatsFromOne) {
    const std::pair<int32_t, std::array<int32_t, 3>> cases[] = {
        {0, {1, 1, 0}},      {479, {1, 1, 479}}, {480, {1, 2, 0}},
        {1919, {1, 4, 479}}, {1920, {2, 1, 0}},  {-5, {1, 1, 0}},
    };
    for (const auto& [tick, want] : cases) {
        const MseqBarBeat p = mseq_bar_beat(tick);
        EXPECT_EQ((std::array<int32_t, 3>{p.bar, p.beat, p.tick}), want) << tick;
    }
}

}  // namespace view_commands_test
