#pragma once

#include "model/block/MseqBlockLabel.h"
#include "model/track/MseqTrackSequence.h"

// A track of texts placed at positions; each holds until the next one. Lyric, marker and memo
// tracks are its kinds. Threads as for MseqTrack.
class MseqTrackLabel : public MseqTrackSequence<MseqBlockLabel> {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_LABEL; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_LABEL ? this : MseqTrackSequence::cast(type);
    }
    // Lyric and marker tracks send their texts; plain labels and memos stay silent.
    MplyTrack* create_player_track(MplyMusic* player) override;
};

// The lyrics of a music, sent as lyric events when it plays.
class MseqTrackLyric : public MseqTrackLabel {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_LYRIC; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_LYRIC ? this : MseqTrackLabel::cast(type);
    }
};

// Named places in a music or phrase; a phrase reference may start at one of them.
class MseqTrackMarker : public MseqTrackLabel {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_MARKER; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_MARKER ? this : MseqTrackLabel::cast(type);
    }
};

// Notes to self placed along a music; never played.
class MseqTrackMemo : public MseqTrackLabel {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_MEMO; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_MEMO ? this : MseqTrackLabel::cast(type);
    }
};
