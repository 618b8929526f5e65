#pragma once

#include "model/core/ref_ptr.h"
#include "model/track/MseqTrackGroup.h"
#include "play/tracks/MplyTrack.h"

// The player of a group track: produces nothing and hands its channel and chord track down,
// through the context, to the tracks prepared after it (its members first of all). The engine's
// thread only.
class MplyTrackGroup final : public MplyTrack {
public:
    MplyTrackGroup(MplyMusic* music, MseqTrackGroup* source) : MplyTrack(music), m_Group(source) {}

    // Sets the context's channel to -1 and its chord source to none, or, when the group has
    // members, to the group's channel and chord track. Always false.
    bool Prepare(MplyContext& context) override;

private:
    ref_ptr<MseqTrackGroup> m_Group;  // the stored group
};
