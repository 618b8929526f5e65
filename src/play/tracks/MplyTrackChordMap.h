#pragma once

#include <cstdint>

#include "model/core/ref_ptr.h"
#include "model/theory/MseqMapChord.h"
#include "model/track/MseqTrackLink.h"
#include "play/tracks/MplyTrackSeq.h"

// The player of a transposition track: produces no events, and answers which chord map is in
// effect at a tick. Holds counted references to the maps it hands out. The engine's thread
// only.
class MplyTrackChordMap final : public MplyTrackSeq<MseqTrackChordMap> {
public:
    MplyTrackChordMap(MplyMusic* music, MseqTrackChordMap* source) : MplyTrackSeq(music, source) {}

    MSEQ_TYPE GetType() const override { return MPLY_TRACK_CHORD_MAP; }
    // The common steps without the output switch; only in a context of its own music.
    bool Prepare(MplyContext& context) override;
    // Takes, for each block before the window end, its chord map as the current one.
    bool Generate(MplyContext& context) override;

    // The chord map in effect at `tick`: the current one within its range, else the one named
    // by the block in effect (loaded if needed). nullptr when none is, or the block names no
    // chord map.
    const MseqMapChord* ChordMapAt(int64_t tick);

private:
    ref_ptr<MseqMapChord> OpenMap(MSEQ_ID id) const;

    ref_ptr<MseqMapChord> m_Current;  // map in effect in the range below
    int64_t m_RangeStart = 0;         // grid steps
    int64_t m_RangeEnd = 0;           // grid steps, excluded
    ref_ptr<MseqMapChord> m_Queried;  // keeps the answer of a query outside the range alive
};
