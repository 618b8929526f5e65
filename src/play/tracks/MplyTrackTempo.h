#pragma once

#include "model/track/MseqTrackValue.h"
#include "play/tracks/MplyTrackSeq.h"

// The player of a tempo track: a tempo event at each block. A run that starts in the middle
// sends the tempo in effect there first. The engine's thread only.
class MplyTrackTempo final : public MplyTrackSeq<MseqTrackTempo> {
public:
    MplyTrackTempo(MplyMusic* music, MseqTrackTempo* source) : MplyTrackSeq(music, source) {}

    MSEQ_TYPE GetType() const override { return MPLY_TRACK_TEMPO; }
    // The common steps in its own music, the cursor on the last block before the start.
    bool Prepare(MplyContext& context) override;
    bool Generate(MplyContext& context) override;
};
