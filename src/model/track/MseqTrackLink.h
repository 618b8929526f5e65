#pragma once

#include "model/block/MseqBlockLink.h"
#include "model/track/MseqTrackSequence.h"

// A track of references to leaves placed at positions; each holds until the next one.
// Threads as for MseqTrack.
class MseqTrackLink : public MseqTrackSequence<MseqBlockLink> {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_LINK; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_LINK ? this : MseqTrackSequence::cast(type);
    }
    void linked_leaves(std::vector<MSEQ_ID>* ids) const override {
        for (const auto& [index, block] : blocks())
            ids->push_back(block.m_LinkID);
    }
};

// The transposition track: from each block's index on, the chord map its m_LinkID names is in
// effect.
class MseqTrackChordMap : public MseqTrackLink {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_CHORD_MAP; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_CHORD_MAP ? this : MseqTrackLink::cast(type);
    }
    MplyTrack* create_player_track(MplyMusic* player) override;
};
