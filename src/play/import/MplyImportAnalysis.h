#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/core/MseqId.h"

class MseqMapChord;
class MseqMusic;

// The harmony analysis of a music brought in from a MIDI file: it finds the keys of its sections
// and the chords the notes make, writes them as chord maps (one a key), a chord track and, when
// the key changes, a transposition track that puts each section's map in effect, and turns pure
// notes into notes that follow the chords or the key, each one only where the player, resolving
// the new note, sounds exactly the key the pure note sounded. What plays never changes.

// What the pure notes become, in order of preference.
enum class MplyAnalysisTarget : uint8_t {
    chord_degrees,  // chord tones as chord degrees, other scale tones as scale degrees, the rest
                    // as tones in the key
    scale_degrees,  // scale tones as scale degrees, the rest as tones
    tones,          // every note as a tone in the key
};

// A section of one key: from the start of bar `bar` (0 the first) until the next section.
struct MplyAnalysisSection {
    int32_t bar = 0;
    int32_t tonic = 0;   // pitch class of the key's tonic (0 C to 11 B)
    bool minor = false;  // a minor key (the natural minor scale)
    size_t map = 0;      // the chord map of its key, in the order the maps were asked for
    bool operator==(const MplyAnalysisSection&) const = default;
};

// What the analysis found and did.
struct MplyAnalysisReport {
    int32_t tonic = 0;                          // the key of the first section
    bool minor = false;                         //
    std::vector<MplyAnalysisSection> sections;  // every section, the first at bar 0
    uint32_t maps = 0;                          // chord maps written, one per distinct key
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
    music_full,      // the music has no room for a chord track (and a transposition track)
    no_map,          // no chord map could be had for a key
    cannot_play,     // the player cannot build the music's tracks
};

// The half bar over which chords are found: the grid of the chord track (two steps a bar).
inline constexpr int32_t kMplyAnalysisChordBeat = 2;

// Where the analysis gets the chord map of each key it found: a new leaf of the music's book,
// which the caller keeps (written with the music) or takes out again when the analysis fails.
class MplyAnalysisMaps {
public:
    virtual ~MplyAnalysisMaps() = default;
    // The chord map for the `index`th key (0 first, asked in order), in its reset state, and in
    // `ref` the reference by which the music names its leaf; nullptr when none can be had.
    virtual MseqMapChord* add_map(size_t index, MSEQ_ID* ref) = 0;
};

// Analyses `music` (its pure notes; rhythm notes take no part) and writes the result: each
// section's key is the one whose profile its bars match, a new section starting only where the
// music stays in another key for some bars; every distinct key gets a chord map from `maps` with
// the key, its scale and triads, and every chord found in its sections that the palette lacks.
// A chord track named for chords is added at the end of the header, linked to the one map, or,
// with more keys, to a transposition track before it whose blocks put each section's map in
// effect at the section's first bar. The music's standard chord map (the first section's) and
// chord track are set, its groups and note tracks follow the chord track, each note track's
// octave moves to the middle of its notes, and every pure note is converted as `target` prefers
// where the player sounds the same key. False with the reason in `fault`, and `music` unchanged
// (maps already handed out are the caller's to take back). `report` receives what was found.
// User-interface thread.
bool mply_analyse_music(MseqMusic& music, MplyAnalysisMaps& maps, MplyAnalysisTarget target,
                        MplyAnalysisReport* report, MplyAnalysisFault* fault);

// The sections of one key that notes sounding over `bars` bars make: `bar_weights[b][pc]` is the
// weight of pitch class pc in bar b. Windowed key profiles score every bar for every key, a key
// change costs enough that only a modulation held for several bars splits the music, and each
// section then takes the key its own notes match best. Never empty; maps numbered by first use.
std::vector<MplyAnalysisSection> mply_analysis_sections(
    const std::vector<std::array<double, 12>>& bar_weights);

// The name of the key as "C major", "Eb major", "F# minor". Never fails; any thread.
const char* mply_analysis_key_name(int32_t tonic, bool minor);
