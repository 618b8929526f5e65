#pragma once

#include <array>

#include "model/core/CkvString.h"

class MplyEntity;

// What a MIDI file of several tracks says about a music beyond its events: the name of each
// channel's track and the key signature of the conductor track.
struct MplyExportParts {
    static constexpr int kChannels = 16;

    // Track name of each channel (CP932): the program or drum kit the stage map gives it (the
    // phrase's own for a phrase); "Channel N" (1-based) when there is none.
    std::array<CkvString, kChannels> names;
    // The key of the chord map the music starts with, as sharps (positive) or flats (negative)
    // of its major key signature, -6 to 6; 0 (C major) without a chord map.
    int key_fifths = 0;
};

// The key signature, in sharps or flats, of a major key on the pitch class `semitones` above C
// (any integer; taken modulo 12). F#, not Gb, for 6. Any thread.
int mply_key_fifths(int semitones);

// Describes the music or phrase that `music` will play: part names from its stage map (or the
// phrase's program) and the key of its chord map. Opens those maps, so it is called on the
// user-interface thread before the run starts. A music without maps gets the fallbacks above.
MplyExportParts mply_describe_parts(MplyEntity& music);
