#pragma once

#include <bitset>
#include <cstdint>
#include <vector>

// The keys of a played keyboard gathered into chords: the keys whose note-ons arrive before the
// first of them is released are one chord, complete at that first release. A note-off of a key
// that is not held (its note-on came before we listened, or never) and a second note-on of a
// held key are ignored. User-interface thread.
class MedtHeldKeys {
public:
    // A note-on (velocity above 0) or a note-off (velocity 0) of `key` (0-127; others are
    // ignored). True when it completed a chord: its keys, ascending, are in `chord`.
    bool note(int32_t key, int32_t velocity, std::vector<int32_t>* chord);
    // Forgets every key held and the chord begun.
    void clear();
    // True while keys of a chord not yet complete are held.
    bool gathering() const { return !chord_.empty(); }

private:
    std::bitset<128> down_;
    std::vector<int32_t> chord_;
};
