#pragma once

#include <cstdint>

#include "model/track/MseqTrackValue.h"
#include "play/tracks/MplyTrackSeq.h"

// The player of a message track: for each block, the form's message with the block's value
// written into it, sent on the track's channel after the track's lag. A run that starts in the
// middle sends the value in effect there first. Inside a stretched phrase the times and the lag
// are stretched; the cut modes do not shorten messages. The engine's thread only.
class MplyTrackMsg final : public MplyTrackSeq<MseqTrackMsg> {
public:
    MplyTrackMsg(MplyMusic* music, MseqTrackMsg* source) : MplyTrackSeq(music, source) {}

    MSEQ_TYPE GetType() const override { return MPLY_TRACK_MSG; }
    // The common steps (cursor on the last block before the start), the channel, the lag and
    // the power factor; false also for a form without message bytes.
    bool Prepare(MplyContext& context) override;
    bool Generate(MplyContext& context) override;

    int32_t lag() const { return m_Lag; }
    int32_t power_factor() const { return m_Power; }

private:
    int32_t m_Lag = 0;    // ticks
    int32_t m_Power = 0;  // percentage in 1/256 steps
};
