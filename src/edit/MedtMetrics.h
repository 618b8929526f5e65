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
struct MedtViewScale {
    static constexpr int32_t kMinBeatWidth = 1;
    static constexpr int32_t kMaxBeatWidth = 96;
    static constexpr int32_t kMinRowHeight = 12;
    static constexpr int32_t kMaxRowHeight = 96;

    int32_t beat_width = 12;
    int32_t row_height = 24;

    bool operator==(const MedtViewScale&) const = default;
    // The scale of the shared metrics (the view before any zoom).
    static MedtViewScale standard();
    // Both values brought into their ranges.
    MedtViewScale clamped() const;
    // `width` moved `steps` zoom levels up (positive: wider beats) or down along the levels
    // 1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64, 96; a width between levels goes to the next one
    // in the direction of the steps. Kept at the ends.
    static int32_t zoom_beat_width(int32_t width, int steps);
    // `height` moved `steps` levels along 12, 16, 20, 24, 32, 40, 48, 64, 80, 96.
    static int32_t zoom_row_height(int32_t height, int steps);
    // The widest beat (at least kMinBeatWidth) that shows `ticks` of music at `display_beats`
    // display beats per 4/4 bar within `pixels`; kMaxBeatWidth when everything fits at it.
    static int32_t fit_beat_width(int64_t ticks, int32_t display_beats, int32_t pixels);
};
