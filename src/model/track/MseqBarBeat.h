#pragma once

#include <cstdint>

#include "model/track/MseqTrack.h"

// A position as the composer counts it: bar, beat and tick within the beat, bars and beats
// counted from 1 (four beats a bar, MseqTrack::kTicksPerBar ticks a bar).
struct MseqBarBeat {
    static constexpr int32_t kTicksPerBeat = MseqTrack::kTicksPerBar / 4;
    int32_t bar = 1;
    int32_t beat = 1;
    int32_t tick = 0;
};

// The bar, beat and tick of `tick`; a negative tick counts as the start. Any thread.
inline MseqBarBeat mseq_bar_beat(int32_t tick) {
    if (tick < 0) tick = 0;
    MseqBarBeat p;
    p.bar = tick / MseqTrack::kTicksPerBar + 1;
    p.beat = tick % MseqTrack::kTicksPerBar / MseqBarBeat::kTicksPerBeat + 1;
    p.tick = tick % MseqBarBeat::kTicksPerBeat;
    return p;
}
