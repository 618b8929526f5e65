#pragma once

#include <cstdint>
#include <vector>

#include "edit/MedtNoteEntry.h"

class MseqMapChord;

// The palette chord of a chord map nearest to a set of played keys: the one whose pitch
// classes (its root moved by the map's chord key, then its keys) are the played ones, else the
// one with the fewest pitch classes added or missing; among equals the one whose root is the
// lowest key played, then the lowest slot.
struct MedtChordMatch {
    int32_t slot = -1;             // the palette slot, -1 when the map offers no chord
    std::vector<int32_t> extra;    // pitch classes (0-11 above C) played but not in the chord
    std::vector<int32_t> missing;  // pitch classes of the chord not played
    bool exact() const { return slot >= 0 && extra.empty() && missing.empty(); }
};
MedtChordMatch medt_chord_for_keys(const MseqMapChord* map, const std::vector<int32_t>& keys);

// Step entry from a played keyboard on the music editor's current track, at the cursor, with
// the note value of the typed entry it goes with: on a note track a key becomes the note of the
// track's type that sounds it (MedtNoteEntry::enter_key; of a chord of keys, the highest, the
// one a melody is heard by); on a chord track the keys held together become the chord block of
// the palette chord nearest to them (medt_chord_for_keys), and the cursor advances by the note
// value on the chord track's grid. Each entry is one undo group, heard as every placed block is.
// User-interface thread; the editor and the typed entry must outlive it.
class MedtStepEntry {
public:
    explicit MedtStepEntry(MedtNoteEntry& typed) : typed_(typed) {}

    // Enters the keys (0-127, ascending) played together.
    MedtEntryResult enter(const std::vector<int32_t>& keys);
    // How the last chord entered on a chord track matched the keys (slot -1 after a note).
    const MedtChordMatch& last_chord() const { return last_chord_; }

private:
    MedtEntryResult enter_chord(const std::vector<int32_t>& keys);

    MedtNoteEntry& typed_;
    MedtChordMatch last_chord_;
};
