#pragma once

#include <cstdint>

class MedtTrack;
class MseqBlockNote;

// A played key turned into the note of a note track's type that sounds it at a position: the
// inverse of the player's note resolution, asked of the player itself (the track prepared as
// for a run from the start, then its notes resolved at the position's tick).
// - pure: the key itself (letter with a sharp, octave 5 holding key 60);
// - tone: letter and accidental above the key in effect, octave relative to the track's;
// - scale degree: the degree of the scale in effect at or below the key, the rest as a sharp;
// - chord degree: the nearest degree of the chord in effect, the difference as an accidental;
// - rhythm: a hit, when the key is the track's drum sound.
// False, `note` unchanged, when no note of the type sounds the key there (no chord where one is
// needed, a rhythm track of another sound, a track that does not play). User-interface thread.
bool medt_note_for_key(const MedtTrack& track, int32_t pos, int32_t key, MseqBlockNote* note);
