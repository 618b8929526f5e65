#pragma once

#include <cstdint>

#include "model/block/MseqBlockChord.h"
#include "model/core/ref_ptr.h"
#include "model/theory/MseqMapChord.h"
#include "model/track/MseqTrackChord.h"
#include "play/tracks/MplyTrackSeq.h"

class MplyTrackChordMap;

// The player of a chord track: produces no events, and answers which chord and which chord map
// are in effect at a tick. Its map is fixed (a chord map leaf) or follows a transposition track.
// The engine's thread only.
class MplyTrackChord final : public MplyTrackSeq<MseqTrackChord> {
public:
    MplyTrackChord(MplyMusic* music, MseqTrackChord* source) : MplyTrackSeq(music, source) {}

    MSEQ_TYPE GetType() const override { return MPLY_TRACK_CHORD; }
    // Resolves the map (a chord map leaf, or the player of a transposition track), then the
    // common steps without the output switch; only in a context of its own music.
    bool Prepare(MplyContext& context) override;
    // Caches, for each block before the window end, its chord and the range it holds for.
    bool Generate(MplyContext& context) override;

    // The chord in effect at `tick`, or nullptr (no block yet, no map, a palette slot outside
    // the palette or switched off).
    const MseqBlockChord* ChordAt(int64_t tick);
    // The chord map in effect at `tick`: the fixed map, else the transposition track's; nullptr
    // when there is none.
    const MseqMapChord* ChordMapAt(int64_t tick);

private:
    // The chord a block stands for at `tick`: the block itself when it carries its own keys
    // (flag bit 0), else the palette chord of the map in effect at its description pitch.
    const MseqBlockChord* ChordOf(const MseqBlockChord& block, int64_t tick);

    ref_ptr<MseqMapChord> m_FixedMap;          // the track's own chord map, or null
    MplyTrackChordMap* m_MapSource = nullptr;  // the transposition track, or null
    const MseqBlockChord* m_Cached = nullptr;  // last chord answered, valid in the range below
    int64_t m_CacheStart = 0;                  // grid steps
    int64_t m_CacheEnd = 0;                    // grid steps, excluded
};
