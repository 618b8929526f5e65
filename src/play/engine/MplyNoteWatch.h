#pragma once

#include <cstdint>

// One note as a note track settled it, handed to a watch while the track generates.
struct MplyNoteSeen {
    int32_t tick = 0;          // the note-on's tick (start lag applied)
    int32_t length = 1;        // ticks, length ratio and end lag applied
    uint8_t key = 0;           // 0-127 when `sounded`
    uint8_t velocity = 0;      // 0-127
    uint8_t block_type = 0;    // the note block's type (MNBT_*)
    bool sounded = false;      // a note-on went into the queue; false when the note was skipped
    bool chord_tone = false;   // the key's pitch class is a tone of the chord in effect
    bool map_missing = false;  // the track follows a chord track that has no chord map there
};

// Told of every note a note track settles, inside phrases too (the watch travels with the
// context into the phrases a reference plays). Offline resolutions of what a track plays use
// it; a run for a device has none. The thread generating the events.
class MplyNoteWatch {
public:
    MplyNoteWatch() = default;
    MplyNoteWatch(const MplyNoteWatch&) = delete;
    MplyNoteWatch& operator=(const MplyNoteWatch&) = delete;
    virtual ~MplyNoteWatch() = default;

    virtual void Seen(const MplyNoteSeen& note) = 0;
};
