// The resolved-pitch lanes of an open music: which tracks show one, the keys kept for a window
// around what the view shows, the lane band they add to a row and the bars laid out in it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edit/EditFixture.h"
#include "edit/MedtLaneSet.h"
#include "edit/MedtTimelineLayout.h"
#include "edit/MedtViewCommands.h"
#include "model/track/MseqTrack.h"
#include "play/engine/MplyKeyLane.h"

namespace lane_set_test {

constexpr int32_t kBar = MseqTrack::kTicksPerBar;

class LaneSet : public EditFixture {
protected:
    // A note track of quarters with `wholes` (tone notes in C) from bar 0, one a beat.
    MseqObject* melody(const std::vector<int32_t>& wholes, int32_t octave_shift = 0) {
        MseqObject* node = add_note(4, "melody");
        for (size_t i = 0; i < wholes.size(); ++i) {
            MseqBlockNote n = note(wholes[i]);
            n.m_Octave = static_cast<int8_t>(octave_shift);
            note_track(node)->put_block(static_cast<int32_t>(i), n);
        }
        return node;
    }
    MedtTrack* track(MseqObject* node) { return editor->find_track(node->id); }
    // "TICK KEY" of every lane note.
    static std::string keys_text(const MplyResolvedKeys& keys) {
        std::string out;
        for (const MplyLaneNote& n : keys.notes)
            out += std::to_string(n.tick) + " " + std::to_string(n.key) + ";";
        return out;
    }
};

// Lanes are shown only on note and phrase tracks, per track and all at once, from the view's
// commands (the current track's lane toggles).
TEST_F(LaneSet, OnlyNoteAndPhraseTracksShowLanes) {
    MseqObject* n = add_note(4, "n");
    MseqObject* r = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 4, "r");
    MseqObject* c = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_CHORD, 4, "c");
    open();
    MedtLaneSet& lanes = editor->lanes;
    EXPECT_FALSE(lanes.any());
    lanes.set_shown(*editor, c->id, true);
    EXPECT_FALSE(lanes.shown(c->id));
    EXPECT_EQ(lanes.height(c->id), 0);
    EXPECT_EQ(lanes.keys(n->id), nullptr);

    editor->set_cursor(track(n), 0, 0);
    EXPECT_TRUE(medt_view_commands::run_lane(*editor, MVC_LANE));
    EXPECT_TRUE(lanes.shown(n->id));
    // Before any keys: one octave and the padding.
    EXPECT_EQ(lanes.height(n->id), 12 * MedtLaneAxis::kKeyHeight + 2 * MedtLaneSet::kPad);
    EXPECT_TRUE(medt_view_commands::run_lane(*editor, MVC_LANE));
    EXPECT_FALSE(lanes.shown(n->id));
    editor->set_cursor(track(c), 0, 0);
    EXPECT_FALSE(medt_view_commands::run_lane(*editor, MVC_LANE));

    EXPECT_TRUE(medt_view_commands::run_lane(*editor, MVC_LANES_SHOW_ALL));
    EXPECT_TRUE(lanes.shown(n->id) && lanes.shown(r->id));
    EXPECT_FALSE(lanes.shown(c->id));
    EXPECT_TRUE(medt_view_commands::run_lane(*editor, MVC_LANES_HIDE_ALL));
    EXPECT_FALSE(lanes.any());
    EXPECT_TRUE(medt_view_commands::is_view_setting(MVC_LANES_SHOW_ALL));
}

// The keys come from the player's resolution over a window wider than asked for; asking again
// inside the window resolves nothing, an invalidation resolves anew, and the band under the
// row holds the bars of exactly those keys.
TEST_F(LaneSet, KeysAreThePlayersAndKeptForTheirWindow) {
    MseqObject* m = melody({0, 2, 4, 7, 9, 11, 14, 16});
    open();
    MedtLaneSet& lanes = editor->lanes;
    lanes.set_shown(*editor, m->id, true);
    const int32_t from = kBar / 2;
    const int32_t to = kBar + kBar / 2;
    EXPECT_TRUE(lanes.cover(*music, from, to));
    EXPECT_LE(lanes.window_from(), from);
    EXPECT_GE(lanes.window_to(), to + (to - from));
    EXPECT_FALSE(lanes.cover(*music, from + 10, to - 10));
    const MplyResolvedKeys expected =
        MplyKeyLane::resolve_track(*music, m->id, lanes.window_from(), lanes.window_to());
    ASSERT_FALSE(expected.notes.empty());
    ASSERT_NE(lanes.keys(m->id), nullptr);
    EXPECT_EQ(keys_text(*lanes.keys(m->id)), keys_text(expected));
    EXPECT_EQ(lanes.axis(m->id).low, MedtLaneAxis::of(expected).low);
    EXPECT_EQ(lanes.axis(m->id).high, MedtLaneAxis::of(expected).high);

    MedtTimelineLayout layout;
    layout.build(editor.get());
    const MedtRow* row = layout.row_of(track(m));
    ASSERT_NE(row, nullptr);
    ASSERT_FALSE(row->bands.empty());
    const MedtRow::Band& last = row->bands.back();
    EXPECT_EQ(last.kind, MedtBand::Lane);
    EXPECT_EQ(last.height, lanes.height(m->id));
    EXPECT_EQ(row->height, last.top + last.height);
    const auto bars = layout.lane_bars(*row, 0, layout.tick_x(to));
    const auto direct = layout.lane_bars(expected, lanes.axis(m->id),
                                         MedtTimelineLayout::lane_top(*row), 0, layout.tick_x(to));
    ASSERT_EQ(bars.size(), direct.size());
    for (size_t i = 0; i < bars.size(); ++i) {
        EXPECT_EQ(bars[i].box, direct[i].box);
        EXPECT_EQ(bars[i].key, direct[i].key);
    }
    EXPECT_GE(bars.front().box.top, row->top + last.top);
    EXPECT_LE(bars.front().box.bottom, row->top + last.top + last.height);

    // An edit of the music: the kept keys are stale until the next cover.
    note_track(m)->put_block(0, note(1));
    lanes.invalidate();
    EXPECT_TRUE(lanes.cover(*music, from, to));
    EXPECT_EQ(keys_text(*lanes.keys(m->id)),
              keys_text(MplyKeyLane::resolve_track(*music, m->id, lanes.window_from(),
                                                   lanes.window_to())));
    EXPECT_NE(keys_text(*lanes.keys(m->id)), keys_text(expected));

    lanes.set_shown(*editor, m->id, false);
    layout.build(editor.get());
    EXPECT_NE(layout.row_of(track(m))->bands.back().kind, MedtBand::Lane);
}

// Scrolling from high notes to low ones widens the axis and never narrows it, so that rows keep
// their place; hiding and showing the lane starts it afresh.
TEST_F(LaneSet, TheAxisOnlyGrowsWhileTheLaneIsShown) {
    MseqObject* m = add_note(4, "m");
    for (int32_t i = 0; i < 4; ++i) {
        MseqBlockNote high = note(0);
        high.m_Octave = 2;
        note_track(m)->put_block(i, high);
        note_track(m)->put_block(40 + i, note(0));
    }
    open();
    MedtLaneSet& lanes = editor->lanes;
    lanes.set_shown(*editor, m->id, true);
    ASSERT_TRUE(lanes.cover(*music, 0, kBar / 4));
    const MedtLaneAxis high = lanes.axis(m->id);
    ASSERT_TRUE(lanes.cover(*music, 10 * kBar, 10 * kBar + kBar / 4));
    const MedtLaneAxis both = lanes.axis(m->id);
    EXPECT_EQ(both.high, high.high);
    EXPECT_EQ(both.low, high.low - 24);
    ASSERT_TRUE(lanes.cover(*music, 0, kBar / 4));
    EXPECT_EQ(lanes.axis(m->id).low, both.low);
    lanes.set_shown(*editor, m->id, false);
    lanes.set_shown(*editor, m->id, true);
    ASSERT_TRUE(lanes.cover(*music, 0, kBar / 4));
    EXPECT_EQ(lanes.axis(m->id).low, high.low);
}

// Keys are named as pitches are written, with their octave: key 60 is C5; the tip of a note
// says what it is and a lane without its chord map says so.
TEST_F(LaneSet, KeyNamesAndTips) {
    EXPECT_EQ(MedtLaneSet::key_name(60).str(), "C5");
    EXPECT_EQ(MedtLaneSet::key_name(0).str(), "C0");
    EXPECT_EQ(MedtLaneSet::key_name(73).str(), "C#6");
    EXPECT_EQ(MedtLaneSet::key_name(127).str(), "G10");
    MplyLaneNote n;
    n.key = 64;
    n.velocity = 90;
    n.length = 480;
    const std::string plain = MedtLaneSet::tip(n, false).str();
    EXPECT_EQ(plain.rfind("E5 (64)", 0), 0u);
    EXPECT_NE(plain.find(" 90 "), std::string::npos);
    EXPECT_NE(plain.find(" 480 "), std::string::npos);
    const std::string missing = sjis("コードマップが見つからない");
    EXPECT_EQ(plain.find(missing), std::string::npos);
    EXPECT_NE(MedtLaneSet::tip(n, true).str().find(missing), std::string::npos);
    EXPECT_NE(MedtLaneSet::tip(true).str().find(missing), std::string::npos);
}

}  // namespace lane_set_test
