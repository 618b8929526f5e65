#pragma once

#include <cstdint>

#include "model/block/MseqBlockChord.h"
#include "model/core/ref_ptr.h"
#include "model/theory/MseqMapChord.h"

class MseqMusic;
class MseqTrackChord;
struct MedtPressContext;

// The two rows of a chord track.
enum class MedtChordRowKind {
    Degree,  // the chord-degree row: the degree picker
    Chord,   // the chord row: the chord editor
};

// The presses on the rows of a chord track, and the chord lookup they need: which chord map and
// which chord are in effect at a position, as playing finds them. User-interface thread.
class MedtChordPress {
public:
    // A left press opens the row's picker (through the context's port) and sets its result at
    // `pos`; a right press erases the chord in effect there. True when a block was set.
    static bool press(const MseqTrackChord& track, MedtChordRowKind row, int32_t pos, bool right,
                      MedtPressContext& ctx);
    // The degree picker's result: a copy of palette slot `slot` of the map in effect, which
    // selects the slot. False when the slot is not offered or nothing changed.
    static bool set_degree(const MseqTrackChord& track, int32_t pos, int32_t slot,
                           MedtPressContext& ctx);
    // The chord editor's result: the chord, as a chord of its own (bit 0x01 set), or, without
    // keys, the erasure of the block at `pos`. False when nothing changed.
    static bool set_chord(const MseqTrackChord& track, int32_t pos, const MseqBlockChord& chord,
                          MedtPressContext& ctx);
    // The chord map in effect at `pos` of the track's grid: the map the track links, or the one
    // its transposition track has in effect there. Null when there is none.
    static ref_ptr<MseqMapChord> map_at(const MseqTrackChord& track, int32_t pos,
                                        const MseqMusic* music);
    // The chord in effect at `pos`: the block's own chord, or the palette chord it selects. False
    // when there is none (no block yet, no map, a slot switched off).
    static bool chord_at(const MseqTrackChord& track, int32_t pos, const MseqMusic* music,
                         MseqBlockChord* chord);
    // The name of the chord in effect at `pos` ("Dm7"), its root named where it sounds: a root
    // counted from the key is moved into the key of the chord map in effect. Empty when there is
    // no chord or it has no keys.
    static CkvString name_at(const MseqTrackChord& track, int32_t pos, const MseqMusic* music);
};
