#pragma once

#include <cstdint>

#include "play/engine/MplyEvent.h"

class MplyEventQueue;
class MplyMusic;
class MplyNoteWatch;
class MplyTrackChord;
class MseqTrackRefer;

// The stretch factor that leaves time as it is: factors are numerators over this.
inline constexpr int32_t kMplyStretchOne = 30720;

// Where and how the tracks of a player music generate: the window of blocks to generate and the
// placement of a referenced phrase (offset, cut, stretch, degree shift) together with the
// channel and chord track that tracks take from their surroundings. One belongs to each player
// music; a phrase-reference track owns a further one for the phrase it plays. Every tick is a
// 32-bit value; wider results are kept within 32 bits by the code that computes them. The
// engine's thread only.
struct MplyContext {
    MplyEventQueue* queue = nullptr;  // where tracks insert events
    MplyMusic* music = nullptr;       // the player music that owns the context
    int32_t window_start = 0;         // previous window end
    int32_t window_end = 0;           // blocks that start before it are generated
    int32_t seek = 0;                 // where playing starts, in the context's own timeline
    int32_t marker_end = 0;           // end of the start-marker section of a phrase
    int32_t time_offset = 0;          // added to every block time
    int32_t cut_end = kMplyOpenEnd;   // end used by the cut modes
    int32_t stretch_origin = 0;       // origin of stretching
    int32_t stretch_factor = 1;       // stretch numerator over kMplyStretchOne
    int32_t refer_mode = 0;           // mode of the referring block; 0 outside references
    int32_t channel = 0;              // channel for tracks that take it from their surroundings
    int32_t degree_shift = 0;         // added to scale and chord degrees
    int32_t transpose = 0;            // semitones added to every pitched note
    int32_t play_mode = 2;            // the run's MCPM_* mode, as the run started with it
    MplyTrackChord* chord_source = nullptr;        // chord track for tracks that take it from here
    const MseqTrackRefer* refer_source = nullptr;  // the reference track playing the phrase
    // Told of every note the tracks settle; null in runs for a device or a file. Set before
    // the music starts: the music's start leaves it as it is, and references copy it.
    MplyNoteWatch* watch = nullptr;
};
