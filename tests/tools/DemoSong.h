#pragma once

// What the demo song "はじまりの朝" is meant to play, written down independently of the data
// generator, for the tests that check the generated song against it.
#include <set>
#include <vector>

namespace kv_test {

// A chord of the song: root pitch class and the semitones of its tones above the root.
struct Chord {
    int root;
    std::set<int> tones;
};

// The chord on each half bar of the song (80 halves), across the key change to D major.
std::vector<Chord> song_chords();

}  // namespace kv_test
