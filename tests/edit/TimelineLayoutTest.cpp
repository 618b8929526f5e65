#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edit/EditFixture.h"
#include "edit/MedtMetrics.h"
#include "edit/MedtTimelineLayout.h"
#include "edit/MedtViewCommands.h"
#include "model/block/MseqBlockNote.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrack.h"

namespace timeline_layout_test {

constexpr int64_t kBar = MseqTrack::kTicksPerBar;

class TimelineLayout : public EditFixture {
protected:
    // "KIND:TOP:HEIGHT ..." of a row's bands, kinds as letters in MedtBand's order.
    static std::string bands(const MedtRow* row) {
        if (!row) return "no row";
        std::string out;
        for (const MedtRow::Band& b : row->bands) {
            if (!out.empty()) out += ' ';
            out += char('a' + int(b.kind));
            out += ":" + std::to_string(b.top) + ":" + std::to_string(b.height);
        }
        return out;
    }
    const MedtRow* row(MseqObject* node) { return layout.row_of(editor->find_track(node->id)); }
    void lay_out(uint32_t show) {
        music->m_ShowState = static_cast<int32_t>(show);
        layout.build(editor.get());
    }

    MedtTimelineLayout layout;
};

TEST_F(TimelineLayout, EachTrackKindHasTheBandsTheShowFlagsAskFor) {
    MseqObject* n = add_note(16);
    MseqObject* r = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 16, "r");
    MseqObject* c = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_CHORD, 4, "c");
    MseqObject* l = add(music->header(), MPLACE_LAST_CHILD, MTYPE_TRACK_MARKER, 16, "l");
    MseqObject* odd = add_note(3, "odd");  // not drawn at 16 display beats
    open();
    // a Anchor, b Main, c Third, d Fourth, e StartLag, f EndLag, g Velocity, h ChordDegree,
    // i ChordName.
    struct Case {
        uint32_t show;
        MseqObject* node;
        const char* want;
    };
    const uint32_t all =
        MSHOW_ANCHOR | MSHOW_OPTION | MSHOW_EFFECT | MSHOW_VELOCITY | MSHOW_DEGREE | MSHOW_CHORD;
    const Case cases[] = {
        {all, n, "a:0:16 b:16:24 c:40:16 d:56:16 e:72:16 f:88:16 g:104:28"},
        {all, r, "a:0:16 b:16:24 c:40:16 d:56:16"},
        {all, c, "h:0:24 i:24:24"},
        {all, l, "b:0:24"},
        {all, odd, "b:0:24"},
        {MSHOW_CHORD, n, "b:0:24"},
        {MSHOW_CHORD, c, "i:0:24"},
        {MSHOW_DEGREE | MSHOW_VELOCITY, n, "b:0:24 g:24:28"},
        {MSHOW_DEGREE | MSHOW_VELOCITY, r, "b:0:24"},
    };
    for (const Case& k : cases) {
        lay_out(k.show);
        EXPECT_EQ(bands(row(k.node)), k.want) << std::hex << k.show << " " << k.node->name.str();
    }
}

TEST_F(TimelineLayout, RowTopsAndTheCursorBoxAreTheEditorsOwn) {
    MseqObject* a = add_note(16, "a");
    MseqObject* chord = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_CHORD, 4, "c");
    MseqObject* b = add_note(8, "b");
    open();
    for (uint32_t show :
         {uint32_t(MSHOW_DEGREE),
          uint32_t(MSHOW_ANCHOR | MSHOW_OPTION | MSHOW_VELOCITY | MSHOW_DEGREE | MSHOW_CHORD)}) {
        lay_out(show);
        int32_t top = 0;
        for (const MedtRow& r : layout.rows()) {
            // The rows follow each other without gaps, at the editor's row tops.
            EXPECT_EQ(r.top, top);
            EXPECT_EQ(editor->row_top(r.track), r.top) << r.track->name().str();
            top += r.height;
        }
        EXPECT_EQ(layout.content_height(), top);
        for (MseqObject* node : {a, chord, b}) {
            MedtTrack* t = editor->find_track(node->id);
            ASSERT_TRUE(editor->set_cursor(t, 3, 5));
            const MedtRect box = editor->cursor_rect();
            const MedtRow* r = layout.row_of(t);
            ASSERT_NE(r, nullptr);
            EXPECT_EQ(box.top, r->top);
            EXPECT_EQ(box.bottom, r->top + r->height);
            EXPECT_EQ(box.left, t->pos_x(3));
            EXPECT_EQ(box.right, t->pos_x(5));
        }
    }
}

TEST_F(TimelineLayout, HitsFindRowBandPositionAndPressArea) {
    add_note(16, "a");
    MseqObject* b = add_note(4, "b");
    open();
    lay_out(MSHOW_ANCHOR | MSHOW_VELOCITY | MSHOW_DEGREE);
    const MedtRow* r = row(b);
    ASSERT_NE(r, nullptr);
    const int32_t uw = editor->find_track(b->id)->pos_x(1);
    const MedtRow::Band* vel = r->band(MedtBand::Velocity);
    ASSERT_NE(vel, nullptr);
    const int32_t vel_top = r->top + vel->top;
    struct Case {
        int32_t x, y;
        int32_t pos;
        MedtPressArea area;
    };
    const Case cases[] = {
        {0, r->top, 0, MedtPressArea::Anchor},
        {uw * 2 + 1, r->top + 20, 2, MedtPressArea::Pitch},
        {uw - 1, r->top + 20, 0, MedtPressArea::Pitch},
        {uw, vel_top + 1, 1, MedtPressArea::VelocityMax},
        {uw, vel_top + vel->height / 2, 1, MedtPressArea::Velocity},
        {uw, vel_top + vel->height - 1, 1, MedtPressArea::VelocityMin},
        {-1, r->top + 20, -1, MedtPressArea::Pitch},  // the track list
    };
    for (const Case& c : cases) {
        const MedtTimelineHit h = layout.hit(c.x, c.y);
        ASSERT_EQ(h.row, r) << c.x << "," << c.y;
        EXPECT_EQ(h.pos, c.pos) << c.x << "," << c.y;
        EXPECT_EQ(MedtTimelineLayout::area_of(h), c.area) << c.x << "," << c.y;
    }
    // Height inside a band: 1 at its top, 0 at its bottom.
    EXPECT_DOUBLE_EQ(layout.hit(0, vel_top).height, 1.0);
    EXPECT_DOUBLE_EQ(layout.hit(0, vel_top + vel->height - 1).height, 0.0);
    EXPECT_EQ(layout.hit(0, layout.content_height()).row, nullptr);
    EXPECT_EQ(layout.hit(0, -1).row, nullptr);
}

TEST_F(TimelineLayout, BarsCountFromTheFirstPhraseLine) {
    add_note(16);
    music->m_BlankBar = 1;
    open();
    editor->bar_grid = 12;  // a 3/4 bar of 12 display beats
    lay_out(MSHOW_DEGREE);
    const int32_t bw = MedtMetrics::shared().beat_width;
    EXPECT_EQ(layout.blank_width(), 16 * bw);
    EXPECT_EQ(layout.bar_width(), 12 * bw);
    EXPECT_EQ(layout.bar_x(1), 16 * bw);
    EXPECT_EQ(layout.bar_x(3), 40 * bw);
    EXPECT_EQ(layout.bar_x(0), 4 * bw);
    EXPECT_EQ(layout.bar_at(16 * bw - 1), 0);
    EXPECT_EQ(layout.bar_at(16 * bw), 1);
    EXPECT_EQ(layout.bar_at(0), -1);
    EXPECT_TRUE(layout.starts_bar(16));
    EXPECT_TRUE(layout.starts_bar(28));
    EXPECT_TRUE(layout.starts_bar(4));
    EXPECT_FALSE(layout.starts_bar(24));
    EXPECT_EQ(layout.tick_x(480), 4 * bw);
}

TEST_F(TimelineLayout, ZoomScalesTheGeometryAndNeitherTheCursorStepNorTheFile) {
    MseqObject* n = add_note(16);
    note_track(n)->put_block(60, note(1, 4));  // the music is 4 bars long
    open();
    lay_out(MSHOW_DEGREE);
    MedtTrack* t = editor->find_track(n->id);
    ASSERT_TRUE(editor->set_cursor(t, 8, 8));
    const std::string before = bytes();
    const int32_t width = layout.music_width();
    const MedtRect box = editor->cursor_rect();
    EXPECT_EQ(width, 4 * 16 * MedtMetrics::shared().beat_width);

    editor->set_view_scale(MedtViewScale{MedtViewScale::pixels(24), 48});
    lay_out(MSHOW_DEGREE);
    EXPECT_EQ(layout.music_width(), 2 * width);
    EXPECT_EQ(t->unit_width(), MedtViewScale::pixels(24));
    EXPECT_EQ(editor->cursor_rect().left, 2 * box.left);
    EXPECT_EQ(bands(row(n)), "b:0:48");
    EXPECT_EQ(editor->cursor_rect().bottom - editor->cursor_rect().top, 48);
    // A page step is the same stretch of music at any zoom.
    EXPECT_EQ(editor->action(MACT_STEP_RIGHT), 1);
    EXPECT_EQ(editor->cursor(), 12);
    editor->set_view_scale(MedtViewScale{MedtViewScale::pixels(1), 12});
    EXPECT_EQ(editor->action(MACT_STEP_RIGHT), 1);
    EXPECT_EQ(editor->cursor(), 16);
    // Out of range values are held at the ends.
    editor->set_view_scale(MedtViewScale{0, 1000});
    EXPECT_EQ(editor->view_scale(), (MedtViewScale{MedtViewScale::kMinBeatUnits, 96}));
    // The zoom is the view's: the music's bytes stay and it is not marked modified.
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(music->flags & MEF_MODIFIED, 0u);
}

// The scale of `units` a beat at the standard row height.
MedtViewScale scale_of(int32_t units) {
    return MedtViewScale{units, 24};
}

TEST(ViewScale, ZoomLevelsAndFitting) {
    constexpr auto px = MedtViewScale::pixels;
    struct Step {
        int32_t from;
        int steps;
        int32_t want;
    };
    const Step beats[] = {
        {px(12), 1, px(16)}, {px(12), -1, px(8)},   {px(12), 3, px(32)},
        {px(12), -6, px(1)}, {px(96), 1, px(96)},   {px(1), -1, px(1) / 2},
        {px(5), 1, px(6)},   {px(5), -1, px(4)},    {px(200), -1, px(96)},
        {0, 1, 1},           {px(12), 100, px(96)}, {px(12), -100, 1},
        {3000, 1, px(1)},    {3000, -1, 2048},      {1, -1, 1},
    };
    for (const Step& s : beats)
        EXPECT_EQ(MedtViewScale::zoom_beat_width(s.from, s.steps), s.want) << s.from << s.steps;
    EXPECT_EQ(MedtViewScale::zoom_row_height(24, 1), 32);
    EXPECT_EQ(MedtViewScale::zoom_row_height(24, -3), 12);
    EXPECT_EQ(MedtViewScale::zoom_row_height(96, 1), 96);
    EXPECT_EQ(MedtViewScale::standard(), (MedtViewScale{px(MedtMetrics::shared().beat_width),
                                                        MedtMetrics::shared().row_height}));
    // 4 bars of 16 beats in 1400 pixels: 21.875 pixels a beat, the music's end on the last pixel.
    const int32_t short_fit = MedtViewScale::fit_beat_width(4 * kBar, 16, 1400);
    EXPECT_EQ(short_fit, 1400 * px(1) / 64);
    EXPECT_EQ(scale_of(short_fit).tick_x(4 * kBar, 16), 1400);
    // One tick longer and the beat narrows by a step so that it still fits.
    const int32_t longer = MedtViewScale::fit_beat_width(4 * kBar + 1, 16, 1400);
    EXPECT_LT(longer, short_fit);
    EXPECT_LE(scale_of(longer).tick_x(4 * kBar + 1, 16), 1400);
    // A step wider and the music would pass the 1400 pixels, counted in the steps.
    EXPECT_GT((4 * kBar + 1) * 16 * int64_t{longer + 1}, 1400 * int64_t{px(1)} * kBar);
    // 1000 bars of 64 beats in 1400 pixels: far less than a pixel a beat, and still inside.
    const int32_t long_fit = MedtViewScale::fit_beat_width(1000 * kBar, 64, 1400);
    EXPECT_LT(long_fit, px(1) / 32);
    // Within the width of one step of the beat's width over the 64000 beats.
    EXPECT_GE(scale_of(long_fit).tick_x(1000 * kBar, 64), 1400 - 64000 / px(1) - 1);
    EXPECT_LE(scale_of(long_fit).tick_x(1000 * kBar, 64), 1400);
    EXPECT_EQ(MedtViewScale::fit_beat_width(kBar, 16, 4000), MedtViewScale::kMaxBeatUnits);
    EXPECT_EQ(MedtViewScale::fit_beat_width(0, 16, 0), MedtViewScale::kMinBeatUnits);
}

TEST(ViewScale, TicksGoToPixelsAndBackAtEveryScale) {
    // Whole, fractional above a pixel, and many ticks (and beats) to a pixel.
    for (const int32_t units : {MedtViewScale::pixels(12), 5 * MedtViewScale::kBeatFraction / 3,
                                MedtViewScale::kBeatFraction / 7, 37}) {
        const MedtViewScale scale{units, 24};
        for (int64_t tick = 0; tick < 40 * kBar; tick += 97) {
            const int64_t x = scale.tick_x(tick, 16);
            // Back to the first tick drawn in that pixel: at or before the tick, on the same pixel.
            const int64_t back = scale.x_tick(x, 16);
            EXPECT_LE(back, tick) << units;
            EXPECT_EQ(scale.tick_x(back, 16), x) << units << " " << tick;
            EXPECT_TRUE(back == 0 || scale.tick_x(back - 1, 16) < x) << units << " " << tick;
            // And the pixel found back from its first tick.
            EXPECT_EQ(scale.tick_x(scale.x_tick(x, 16), 16), x);
        }
    }
    // Zoomed in, a pixel inside a tick's width finds that tick.
    const MedtViewScale wide{MedtViewScale::pixels(96), 24};
    EXPECT_EQ(wide.x_tick(wide.tick_x(7, 16) + 0, 16), 7);
    EXPECT_EQ(wide.x_tick(wide.tick_x(8, 16) - 1, 16), 7);
}

TEST_F(TimelineLayout, UnitsNarrowerThanAPixelAreDrawnAndHit) {
    MseqObject* n = add_note(16);
    for (int32_t at = 0; at < 800 * 16; at += 64)
        note_track(n)->put_block(at, note(1, 1));  // one unit long, every 4 bars
    constexpr int32_t kLast = 1000 * 16 - 1;       // the last unit of bar 1000, alone in its pixel
    note_track(n)->put_block(kLast, note(1, 1));
    open();
    // A 64th of a pixel a beat: 4 bars to the pixel, the 1000 bars in 250 pixels.
    editor->set_view_scale(MedtViewScale{MedtViewScale::kBeatFraction / 64, 24});
    lay_out(MSHOW_DEGREE);
    MedtTrack* t = editor->find_track(n->id);
    EXPECT_EQ(layout.music_width(), 250);
    const MedtRow* r = row(n);
    ASSERT_NE(r, nullptr);
    for (const int32_t at : {0, 64, 640, 64 * 199, kLast}) {
        const MedtRect box = layout.block_rect(*r, MedtBand::Main, at, 1);
        EXPECT_EQ(box.left, at / 64) << at;
        EXPECT_EQ(box.right, box.left + 1);
        // A click on that pixel lands on the block's unit, the first one of the pixel.
        const MedtTimelineHit h = layout.hit(box.left, r->top + 4);
        EXPECT_EQ(h.pos, at);
        ASSERT_TRUE(editor->set_cursor(t, h.pos, h.pos));
        const MedtRect cursor = editor->cursor_rect();
        EXPECT_EQ(cursor.left, box.left);
        EXPECT_EQ(cursor.right, box.left + 1);
    }
    // Bars at a quarter of a pixel: bar 5 starts at pixel 1, and pixel 1 is in bar 5's reach.
    EXPECT_EQ(layout.bar_x(5), 1);
    EXPECT_EQ(layout.bar_at(1), 8);
    EXPECT_EQ(layout.bar_width(), 0);
    EXPECT_EQ(layout.x_tick(1), 4 * kBar);
    EXPECT_EQ(layout.last_bar_end(), 1000 * kBar);
    // A pixel without a block start finds its first unit.
    EXPECT_EQ(layout.hit(230, row(n)->top + 4).pos, 230 * 64);
}

// A resolved-pitch lane: the axis runs from the C below the lowest key to the C above the
// highest, each note a bar from its start to its end on its key's line, the notes outside the
// pixels asked for left out.
TEST_F(TimelineLayout, LaneBarsSpanTheirNotesOnTheirKeys) {
    lay_out(0);
    MplyResolvedKeys keys;
    auto add = [&](int32_t tick, int32_t length, uint8_t key, uint8_t type, bool tone) {
        MplyLaneNote n;
        n.tick = tick;
        n.length = length;
        n.key = key;
        n.block_type = type;
        n.chord_tone = tone;
        keys.notes.push_back(n);
    };
    add(0, 480, 62, MNBT_TONE, false);
    add(480, 960, 76, MNBT_CDEG, true);
    add(4 * kBar, 1, 60, MNBT_PURE, true);
    const MedtLaneAxis axis = MedtLaneAxis::of(keys);
    EXPECT_EQ(axis.low, 60);
    EXPECT_EQ(axis.high, 84);
    EXPECT_EQ(axis.c_keys(), (std::vector<int32_t>{60, 72}));
    EXPECT_EQ(axis.height(), 24 * MedtLaneAxis::kKeyHeight);
    EXPECT_EQ(MedtLaneAxis::of(MplyResolvedKeys{}).c_keys(), (std::vector<int32_t>{60}));

    const int32_t top = 100;
    const auto bars = layout.lane_bars(keys, axis, top, 0, layout.tick_x(2 * kBar));
    ASSERT_EQ(bars.size(), 2u);
    EXPECT_EQ(bars[0].box, (MedtRect{0, top + 21 * MedtLaneAxis::kKeyHeight, layout.tick_x(480),
                                     top + 22 * MedtLaneAxis::kKeyHeight}));
    EXPECT_EQ(bars[1].box.left, layout.tick_x(480));
    EXPECT_EQ(bars[1].box.right, layout.tick_x(1440));
    EXPECT_EQ(bars[1].box.top, top + 7 * MedtLaneAxis::kKeyHeight);
    EXPECT_EQ(bars[1].block_type, MNBT_CDEG);
    EXPECT_TRUE(bars[1].chord_tone);
    EXPECT_LT(bars[1].box.top, bars[0].box.top);  // higher keys higher up

    // Only the one-tick note at bar 4 meets a window there, at least a pixel wide.
    const int32_t x4 = layout.tick_x(4 * kBar);
    const auto late = layout.lane_bars(keys, axis, 0, x4, x4 + 10);
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].box.right - late[0].box.left, 1);
    EXPECT_EQ(late[0].box.bottom, axis.height());  // the lowest line of the lane
}

}  // namespace timeline_layout_test
