#pragma once

#include <cstdint>

// The drawing metrics the editor computes its pixel quantities with, shared by every music
// editor of the process: the width of one display beat, the height of a track row and the
// step of the view's page-wise cursor moves. Read-only after creation; any thread.
struct MedtMetrics {
    int32_t beat_width;  // pixels of one display beat
    int32_t row_height;  // pixels of one track row
    int32_t step_width;  // pixels of one view step (cursor actions 31-34)

    // The process-wide metrics, created on first use: 12-pixel beats (16 beats make a 192-pixel
    // bar), 24-pixel rows, a 48-pixel step (a quarter note at the default 16 display beats).
    static const MedtMetrics& shared();
};

// The scale one music view draws its music at: the width of a display beat (the horizontal
// zoom) and the height of a track's block row. Each music editor keeps its own while the music
// is open; the music's file stores no zoom, so zooming changes no byte of it. Any thread.
//
// A beat's width counts in steps of 1/kBeatFraction pixel, so that a long music fits a window
// with many beats to a pixel while the zoom levels from one pixel up stay whole pixels. Every
// position of the view (ticks, track units, bars) goes to pixels and back through the two
// rational mappings below, so hit testing, the cursor, the ruler and painting agree at any scale.
struct MedtViewScale {
    static constexpr int32_t kBeatFraction = 4096;
    static constexpr int32_t kMinBeatUnits = 1;
    static constexpr int32_t kMaxBeatUnits = 96 * kBeatFraction;
    static constexpr int32_t kMinRowHeight = 12;
    static constexpr int32_t kMaxRowHeight = 96;

    int32_t beat_units = 12 * kBeatFraction;  // a display beat's width in 1/kBeatFraction px
    int32_t row_height = 24;

    bool operator==(const MedtViewScale&) const = default;
    // `px` whole pixels in beat units.
    static constexpr int32_t pixels(int32_t px) { return px * kBeatFraction; }
    // The width of a display beat in pixels, fractions included.
    double beat_pixels() const { return double(beat_units) / kBeatFraction; }
    // The scale of the shared metrics (the view before any zoom).
    static MedtViewScale standard();
    // Both values brought into their ranges.
    MedtViewScale clamped() const;

    // The pixel that step `count` starts in, steps being `num`/`den` pixels wide: rounded down.
    static int64_t x_of(int64_t count, int64_t num, int64_t den);
    // The step at pixel `x`: the first step that starts inside the pixel, so a step narrower
    // than a pixel is found by a click on it; the step covering the pixel when none starts there.
    static int64_t at_x(int64_t x, int64_t num, int64_t den);
    // Ticks to pixels and back at `display_beats` display beats a 4/4 bar.
    int64_t tick_x(int64_t tick, int32_t display_beats) const;
    int64_t x_tick(int64_t x, int32_t display_beats) const;

    // `units` moved `steps` zoom levels up (positive: wider beats) or down along the levels
    // 1/4096, 1/2048, ... 1/2 and then 1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64, 96 pixels; a
    // width between levels goes to the next one in the direction of the steps. Kept at the ends.
    static int32_t zoom_beat_width(int32_t units, int steps);
    // `height` moved `steps` levels along 12, 16, 20, 24, 32, 40, 48, 64, 80, 96.
    static int32_t zoom_row_height(int32_t height, int steps);
    // The widest beat, in beat units, that shows `ticks` of music at `display_beats` display
    // beats per 4/4 bar within `pixels`; kMaxBeatUnits when everything fits at it, kMinBeatUnits
    // when not even that fits.
    static int32_t fit_beat_width(int64_t ticks, int32_t display_beats, int32_t pixels);
};
