#pragma once

// The building blocks of the data generator: texts, files on disk, tracks and a small notation
// for writing notes. Everything is built through the model's own operations and written by the
// program's own writer. A mistake in the data (a bar that does not add up, an unknown symbol)
// stops the generator with a message: the data must never be written half right.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "model/block/MseqBlockNote.h"
#include "model/block/MseqBlockWord.h"
#include "model/core/CkvString.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackNote.h"
#include "text/MrecCompiler.h"
#include "text/MrecFileStore.h"

namespace kv_data {

// Stops the generator: prints `what` and exits with status 1.
[[noreturn]] void fail(const std::string& what);

// A text written in the source as UTF-8, as the program keeps it (CP932). Fails on a character
// that CP932 cannot hold.
CkvString jp(std::string_view utf8);

// The name of the language the generator writes in now: the Japanese files are written first,
// the English templates after them with the program's language set to English (so that the
// words taken from the dictionary are English too).
const char* say(const char* ja, const char* en);

// The folder the generator writes into. It stands for the application folder: the "<prog>"
// macro resolves to it while the generator runs.
class Output {
public:
    // Takes the host path of the folder, makes the desk read and write through the record
    // compiler and points the program file into the folder.
    explicit Output(const std::string& host_folder);
    ~Output();

    // The Windows-form absolute path of `relative` (backslashes) inside the folder.
    MseqFullPath path(std::string_view relative) const;

    // Writes the entity to `relative` (which becomes its full path) through the record
    // compiler; fails the generator when it cannot.
    void save(MseqEntity* entity, std::string_view relative) const;
    // Writes an entity that already has its full path.
    void save(MseqEntity* entity) const;

private:
    std::string windows_;
    MrecFileStore store_;
};

// The dictionary's word for a program (kind 1), drum kit (kind 2) or drum sound (kind 18), with
// its dictionary name.
MseqBlockWord program_word(uint32_t program);
MseqBlockWord drum_kit_word(uint32_t kit);
MseqBlockWord drum_sound_word(uint32_t note);

// Creates a track of `type` named `name` (UTF-8) as the last child of `parent` and returns its
// content cast to T; fails the generator when the music refuses it.
template <class T>
T* add_track(MseqMusic& music, MSEQ_ID parent, MSEQ_TYPE type, std::string_view name) {
    MseqObject* node = music.create_track(parent, MPLACE_LAST_CHILD, type, jp(name));
    if (!node) fail("cannot create the track " + std::string(name));
    ref_ptr<MseqEntity> e = mseq_open(node);
    T* track = e->cast_to<T>(type);
    if (!track) fail("the track " + std::string(name) + " has no content");
    return track;
}

// A note track of the music's part with the grid `beat`, channel, octave and sounding length
// rate; the other settings keep their defaults.
MseqTrackNote* add_note_track(MseqMusic& music, std::string_view name, int32_t beat,
                              int32_t channel, int32_t octave, int32_t length_rate = 100);

// A note track sounding one drum sound with rhythm notes.
MseqTrackNote* add_drum_track(MseqMusic& music, std::string_view name, uint32_t drum_note,
                              int32_t beat, int32_t channel = 9);

// Puts one block through the track's set-block operation in its own grid; fails on refusal.
void put(MseqTrack* track, int32_t index, const MseqBlock& block);

// The section names of a phrase or a music on its marker track (fixed identifier
// 0x100106, grid of one bar): bar number and name (UTF-8).
struct Section {
    int32_t bar;
    const char* name;
};
MseqTrackMarker* add_markers(MseqMusic& music, const std::vector<Section>& sections,
                             std::string_view track_name);

// How one step character of a rhythm grid sounds; velocity 0 makes it a rest on this track.
struct Hit {
    uint8_t velocity = 96;
    uint32_t flags = 0;  // MNBF_OWN_STIME, MNBF_OWN_ETIME
    int32_t start = 0;   // the block's own start offset, ticks (with MNBF_OWN_STIME)
    int32_t extra = 0;   // the block's own length offset, ticks (with MNBF_OWN_ETIME)
};
using HitTable = std::map<char, Hit>;

// The usual hits: 'X' accent, 'x' normal, 'o' soft, 'g' ghost.
const HitTable& plain_hits();

// A pitch as a note block holds it: type, octave, letter or degree, accidental.
struct Pitch {
    uint32_t type = MNBT_CDEG;
    int8_t octave = 0;
    int8_t whole = 0;
    int8_t semi = 0;
};
inline Pitch chord_degree(int degree, int octave = 0, int semi = 0) {
    return {MNBT_CDEG, static_cast<int8_t>(octave), static_cast<int8_t>(degree),
            static_cast<int8_t>(semi)};
}
inline Pitch scale_degree(int degree, int octave = 0, int semi = 0) {
    return {MNBT_SDEG, static_cast<int8_t>(octave), static_cast<int8_t>(degree),
            static_cast<int8_t>(semi)};
}
inline Pitch rhythm_note() {
    return {MNBT_RHYTHM, 0, 0, 0};
}

// Writes a rhythm grid onto the track from step `start`: one character per step of the track's
// grid; '.' is a rest, '-' holds the previous note one step longer, '|' marks a bar line (it
// must fall on a bar) and blanks only group the steps. Every other character is looked up in
// `hits` and sounds `pitch`. Returns the step after the grid.
int32_t grid(MseqTrackNote* track, int32_t start, std::string_view pattern, const Pitch& pitch,
             const HitTable& hits = plain_hits());

// Writes a line of notes onto the track from step `start`. Tokens are separated by blanks; '|'
// marks a bar line. A token is a pitch followed by an optional velocity mark ('!' accent, '?'
// soft, '~' ghost) and an optional length "*N" in steps (1 by default); "r" is a rest and "_"
// holds the previous note one step longer. Pitches by note type:
//   chord and scale degrees: a signed number, then octave marks (' up, , down) and an
//     accidental (# or b), e.g. "0", "-1", "3'", "2b";
//   tones: a letter c-b, an accidental, then octave marks, e.g. "e", "f#'", "bb,";
//   pure pitches: a letter, an accidental and the octave number, e.g. "c6", "g#5";
//   rhythm notes: "x".
// Returns the step after the line.
int32_t line(MseqTrackNote* track, uint32_t type, int32_t start, std::string_view text,
             uint8_t velocity = 96);

// Reads one pitch written as in `line` (no length or velocity mark) for the note type; fails
// the generator on anything else.
Pitch pitch_of(uint32_t type, std::string_view text);

// Gives the tone and pure notes starting in [from, to) (a phrase) velocities between `low` and
// `high` by their height: the phrase's highest note gets `high`, its lowest `low`, the others
// their share in between, so that a line swells towards its peak as a player would play it.
// Fails the generator when the range holds no such note.
void shape_phrase(MseqTrackNote* track, int32_t from, int32_t to, uint8_t low, uint8_t high);

// The indices at which `line` would start its notes (for lyrics that follow a melody).
std::vector<int32_t> note_starts(const MseqTrackNote* track, int32_t from, int32_t to);

}  // namespace kv_data
