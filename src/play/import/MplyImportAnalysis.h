#pragma once

#include <cstdint>

#include "model/core/MseqId.h"

class MseqMapChord;
class MseqMusic;

// The harmony analysis of a music brought in from a MIDI file: it finds the key and the chords
// the notes make, writes them as a chord map and a chord track, and turns pure notes into notes
// that follow the chords or the key, each one only where the player, resolving the new note,
// sounds exactly the key the pure note sounded. What plays never changes.

// What the pure notes become, in order of preference.
enum class MplyAnalysisTarget : uint8_t {
    chord_degrees,  // chord tones as chord degrees, other scale tones as scale degrees, the rest
                    // as tones in the key
    scale_degrees,  // scale tones as scale degrees, the rest as tones
    tones,          // every note as a tone in the key
};

// What the analysis found and did.
struct MplyAnalysisReport {
    int32_t tonic = 0;           // pitch class of the key's tonic (0 C to 11 B)
    bool minor = false;          // a minor key (the natural minor scale)
    uint32_t chords = 0;         // chord blocks on the chord track (equal neighbours merged)
    uint32_t chords_added = 0;   // chords the key's palette lacked, added to the chord map
    uint32_t chords_own = 0;     // chord blocks holding their chord themselves (palette full)
    uint32_t chord_degrees = 0;  // notes that became chord degrees
    uint32_t scale_degrees = 0;  // notes that became scale degrees
    uint32_t tones = 0;          // notes that became tones in the key
    uint32_t kept_pure = 0;      // pitched notes that no other type sounds at their own key
};

// Why an analysis was refused; the music is then unchanged.
enum class MplyAnalysisFault : uint8_t {
    none,
    follows_chords,  // the music already has a chord or transposition track, phrase references,
                     // or notes that follow a key
    music_full,      // the music has no room for a chord track
    cannot_play,     // the player cannot build the music's tracks
};

// The half bar over which chords are found: the grid of the chord track (two steps a bar).
inline constexpr int32_t kMplyAnalysisChordBeat = 2;

// Analyses `music` (its pure notes; rhythm notes take no part) and writes the result: `map`
// gets the key, the key's scale and triads, and every chord found that the palette lacks; a
// chord track named for chords is added at the end of the header, linked to the map by
// `map_ref` (the reference by which the music names the map's leaf, so the map must be a leaf
// of the music's book); the music, its groups and its note tracks follow that chord track; each
// note track's octave moves to the middle of its notes; and every pure note is converted as
// `target` prefers where the player sounds the same key. False with the reason in `fault`, and
// `music` and `map` unchanged. `report` receives what was found. User-interface thread.
bool mply_analyse_music(MseqMusic& music, MseqMapChord& map, MSEQ_ID map_ref,
                        MplyAnalysisTarget target, MplyAnalysisReport* report,
                        MplyAnalysisFault* fault);

// The name of the key as "C major", "F# minor". Never fails; any thread.
const char* mply_analysis_key_name(int32_t tonic, bool minor);
