#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "edit/MedtLaneAxis.h"
#include "edit/MedtMusic.h"
#include "edit/press/MedtBlockPress.h"
#include "play/engine/MplyKeyLane.h"

class MedtTrack;

// The bands of a track's row in the music view, laid out top to bottom in this order.
enum class MedtBand {
    Anchor,       // note and phrase tracks, while the anchor is shown
    Main,         // the blocks themselves (the pitch area of note and phrase tracks)
    Third,        // octave / degree shift (option display)
    Fourth,       // accidental / fitting mode (option display)
    StartLag,     // note tracks, effect display
    EndLag,       // note tracks, effect display
    Velocity,     // note tracks, velocity display
    ChordDegree,  // chord tracks: the degree row
    ChordName,    // chord tracks: the chord row
    Lane,         // note and phrase tracks whose resolved-pitch lane is shown (MedtLaneSet)
};

// One laid-out row of the music view: the editor track, its top and height in pixels, its depth
// in the track tree and its bands (kind, offset from the row's top, height).
struct MedtRow {
    struct Band {
        MedtBand kind;
        int32_t top;
        int32_t height;
    };
    MedtTrack* track = nullptr;
    int32_t top = 0;
    int32_t height = 0;
    int32_t depth = 0;
    std::vector<Band> bands;

    // The band of `kind`; nullptr when the row has none.
    const Band* band(MedtBand kind) const;
};

// What a point of the music view lands on: the row, the band inside it, the grid position of the
// row's track (-1 in the track list) and the height inside the band (1 at its top, 0 at its
// bottom). An empty hit has no row.
struct MedtTimelineHit {
    const MedtRow* row = nullptr;
    const MedtRow::Band* band = nullptr;
    int32_t pos = -1;
    double height = 0.0;
};

// One sounding note of a lane: its bar from start to end, and what it is drawn by.
struct MedtLaneBar {
    MedtRect box;
    uint8_t key = 0;
    uint8_t block_type = 0;  // MNBT_* of the block that made it
    bool chord_tone = false;
};

// The geometry of the music view without a window toolkit: the rows of the visible tracks with
// their bands, the width of the music, bar and beat positions and hit testing, all in the
// pixels of the editor's view scale (MedtMusic::view_scale). Coordinates are those of the
// content: x counts from tick 0, y from the top of the first row; the front end adds its own
// margins (the track list, the ruler) and scroll offsets. The editor's cursor rectangle and row
// tops are computed by the same rules. User-interface thread.
class MedtTimelineLayout {
public:
    static constexpr int32_t kBandSmall = 16;     // anchor, option and lag bands: a line of text
    static constexpr int32_t kBandVelocity = 28;  // the velocity band
    static constexpr int32_t kVelocityEdge = 4;   // the 127 and 0 strips of the velocity band
    static constexpr int32_t kRoomBars = 8;       // bars of room after the longest track

    // The bands of `track`'s row under the show flags `show` (m_ShowState), appended to `out`
    // from the top, the resolved-pitch lane last when its editor shows it; returns the row's
    // height. 0, nothing appended, for a hidden row.
    static int32_t bands_of(const MedtTrack& track, uint32_t show, std::vector<MedtRow::Band>* out);
    // The height of `track`'s row under `show`; 0 for a hidden row.
    static int32_t height_of(const MedtTrack& track, uint32_t show);
    // The press area a hit stands for: the band's area, the velocity band's top and bottom
    // strips giving 127 and 0. Pitch for a hit without a band (the lane takes no presses).
    static MedtPressArea area_of(const MedtTimelineHit& hit);

    // Lays out the rows of `editor` (nullptr or an editor without tracks: no rows).
    void build(const MedtMusic* editor);

    const std::vector<MedtRow>& rows() const { return rows_; }
    // The row of `track`; nullptr when it has none.
    const MedtRow* row_of(const MedtTrack* track) const;
    // The index of the first row that reaches below `y` (rows().size() when none does).
    size_t first_row_below(int32_t y) const;
    // The point `x`, `y`: x < 0 stands for the track list (no position). Where several units
    // share the pixel, the first of them that starts a block, so that a block narrower than a
    // pixel (drawn one pixel wide) is found by a click on it.
    MedtTimelineHit hit(int32_t x, int32_t y) const;
    // The box of `len` units of `row`'s track from `pos` in band `kind`, one pixel inside the
    // band at top and bottom; an empty box (all zero) when the row has no such band or its
    // track is not drawn.
    MedtRect block_rect(const MedtRow& row, MedtBand kind, int32_t pos, int32_t len) const;

    // The longest track in pixels, the content's width (the music, or the blank bars when
    // longer, and kRoomBars bars of room after it) and height.
    int32_t music_width() const { return music_width_; }
    int32_t content_width() const;
    int32_t content_height() const;
    // The length of the longest track in ticks.
    int64_t music_ticks() const { return music_ticks_; }
    // The tick where the bar holding the music's last tick ends: the end of bar 1 at least, so
    // the blank bars and one bar when the music is shorter. What fitting the music shows.
    int64_t last_bar_end() const;

    // A display beat and a bar of the shown time signature (the bar grid) in beat units
    // (MedtViewScale), and the pixels of a bar (0 when narrower than one) and of the blank bars
    // before bar 1 (the first phrase line).
    int64_t beat_units() const { return beat_units_; }
    int64_t bar_units() const { return bar_units_; }
    int32_t bar_width() const;
    int32_t blank_width() const;
    // The x of tick `tick`, of the start of display beat `beat`, and of the start of bar `bar`
    // (bar 1 at the first phrase line, earlier bars at 0 and below).
    int32_t tick_x(int64_t tick) const;
    int32_t beat_x(int64_t beat) const;
    int32_t bar_x(int32_t bar) const;
    // The bar whose start is at or left of `x` (may be 0 or below inside the blank bars).
    int32_t bar_at(int32_t x) const;
    // The bars of the notes of `keys` that meet the pixels [x_from, x_to), in a lane of `axis`
    // whose top is `top`; each bar at least one pixel wide.
    std::vector<MedtLaneBar> lane_bars(const MplyResolvedKeys& keys, const MedtLaneAxis& axis,
                                       int32_t top, int32_t x_from, int32_t x_to) const;
    // The bars of `row`'s lane band that meet the pixels [x_from, x_to), from its editor's lanes;
    // empty when the row has no lane band.
    std::vector<MedtLaneBar> lane_bars(const MedtRow& row, int32_t x_from, int32_t x_to) const;
    // The axis of `row`'s lane, and the top of that axis in content pixels (-1 without a lane).
    static MedtLaneAxis lane_axis(const MedtRow& row);
    static int32_t lane_top(const MedtRow& row);
    // The tick at content x `x`: the first tick drawn in that pixel (MedtViewScale::at_x).
    int64_t x_tick(int32_t x) const;
    // True when display beat `beat` starts a bar.
    bool starts_bar(int32_t beat) const;

private:
    std::vector<MedtRow> rows_;
    int32_t music_width_ = 0;
    int64_t music_ticks_ = 0;
    MedtViewScale scale_;
    int64_t beat_units_ = 1;
    int64_t bar_units_ = 1;
    int64_t blank_units_ = 0;
    int32_t display_beats_ = 16;
    int32_t bar_grid_ = 16;
};
