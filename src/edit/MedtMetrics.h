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
