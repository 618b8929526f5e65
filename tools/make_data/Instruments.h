#pragma once

// The instruments of the pattern book and the templates, set up the same way everywhere: a
// keyboard plays its chord with one track per voice (a track sounds one note at a time), a
// 4-string bass and a 6-string guitar have one track per string, a drum kit one track per drum
// sound.
#include <cstdint>
#include <string_view>
#include <vector>

#include "DataKit.h"
#include "model/library/MseqMusic.h"

namespace kv_data {

// General MIDI programs used by the data.
enum : uint32_t {
    GM_GRAND_PIANO = 0,
    GM_EPIANO = 4,
    GM_CELESTA = 8,
    GM_GLOCKENSPIEL = 9,
    GM_DRAWBAR_ORGAN = 16,
    GM_NYLON_GUITAR = 24,
    GM_STEEL_GUITAR = 25,
    GM_CLEAN_GUITAR = 27,
    GM_OVERDRIVE_GUITAR = 29,
    GM_ACOUSTIC_BASS = 32,
    GM_FINGER_BASS = 33,
    GM_PICK_BASS = 34,
    GM_SLAP_BASS = 36,
    GM_STRINGS = 48,
    GM_FLUTE = 73,
    GM_STANDARD_KIT = 0,
};

// General MIDI drum notes used by the data.
enum : uint32_t {
    DR_KICK = 36,
    DR_SIDE_STICK = 37,
    DR_SNARE = 38,
    DR_CLAP = 39,
    DR_FLOOR_TOM = 41,
    DR_CLOSED_HAT = 42,
    DR_LOW_TOM = 45,
    DR_PEDAL_HAT = 44,
    DR_OPEN_HAT = 46,
    DR_MID_TOM = 47,
    DR_HIGH_TOM = 50,
    DR_CRASH = 49,
    DR_RIDE = 51,
    DR_RIDE_BELL = 53,
    DR_TAMBOURINE = 54,
};

// Names, program and tempo of a phrase (its tempo is what it plays at on its own).
void setup_phrase(MseqMusic& phrase, std::string_view name, const MseqBlockWord& program,
                  int32_t tempo);

// One voice of a part: its track and the pitch it sounds.
struct Voice {
    MseqTrackNote* track;
    Pitch pitch;
};

// One track per voice: `names` and `pitches` pair up; grid, channel, octave and length rate are
// shared.
std::vector<Voice> voices(MseqMusic& music, const std::vector<std::string_view>& names,
                          const std::vector<Pitch>& pitches, int32_t beat, int32_t channel,
                          int32_t octave, int32_t length_rate = 100);

// Writes the same rhythm grid on every voice, each with its own pitch. Returns the step after
// the grid.
int32_t comp(const std::vector<Voice>& parts, int32_t start, std::string_view rhythm,
             const HitTable& hits = plain_hits());

// The six strings of a guitar, 6th string first, tuned to an open chord shape over the chord:
// the fifth below the root, root, third, fifth, root and third above (chord degrees -1 to 4 in
// octave 4). A down-stroke reaches string k (6 to 1) `spread` × (6 − k) ticks after the 6th.
std::vector<Voice> six_strings(MseqMusic& music, int32_t beat, int32_t channel, int32_t spread,
                               int32_t length_rate = 100);

// Strums a rhythm on the strings. Steps: 'D' accented and 'd' plain down-strokes, 'U' and 'u'
// up-strokes (strings 4 to 1, the 1st first), 'C' and 'c' short chords down, 'm' and 'n' muted
// scratches down and up; '.', '-', '|' and blanks as in grid().
int32_t strum(const std::vector<Voice>& strings, int32_t start, std::string_view rhythm,
              int32_t spread);

// The four strings of a bass, 4th string first: root and fifth in octave 3, the octave and the
// tenth above (chord degrees 0 and 1 in octave 4).
std::vector<Voice> four_strings(MseqMusic& music, int32_t beat, int32_t channel);

// One drum sound of a kit and its grid over the whole phrase.
struct DrumPart {
    std::string_view name;
    uint32_t note;
    std::string_view pattern;
};

// A track per drum sound on the drum channel, each with its grid written from step 0.
void drum_kit(MseqMusic& music, int32_t beat, const std::vector<DrumPart>& parts);

}  // namespace kv_data
