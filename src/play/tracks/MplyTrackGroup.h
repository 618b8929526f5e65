#pragma once

#include "model/core/ref_ptr.h"
#include "model/track/MseqTrackGroup.h"
#include "play/tracks/MplyTrack.h"

// The player of a group track: produces nothing. Its members find the group's channel and
// chord track in the stored tree (mseq_effective_channel). The engine's thread only.
class MplyTrackGroup final : public MplyTrack {
public:
    MplyTrackGroup(MplyMusic* music, MseqTrackGroup* source) : MplyTrack(music), m_Group(source) {}

    // Always false: a group has nothing to play.
    bool Prepare(MplyContext& context) override;

private:
    ref_ptr<MseqTrackGroup> m_Group;  // the stored group
};
