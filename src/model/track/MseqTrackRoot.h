#pragma once

#include "model/track/MseqTrack.h"

// The top of a music's track tree; points back to the music that owns the tree.
class MseqTrackRootMusic : public MseqTrack {
public:
    explicit MseqTrackRootMusic(MseqMusic* owning = nullptr) : music(owning) {}
    MSEQ_TYPE type() const override { return MTYPE_TRACK_ROOT_MUSIC; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_ROOT_MUSIC ? this : MseqTrack::cast(type);
    }
    bool accepts_children() const override { return true; }

    MseqMusic* music;  // the owning music; none for a phrase
};

// The top of a phrase's track tree.
class MseqTrackRootPhrase : public MseqTrackRootMusic {
public:
    explicit MseqTrackRootPhrase(MseqMusic* owning = nullptr) : MseqTrackRootMusic(owning) {}
    MSEQ_TYPE type() const override { return MTYPE_TRACK_ROOT_PHRASE; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_ROOT_PHRASE ? this : MseqTrackRootMusic::cast(type);
    }
};

// The header under the root: the music-wide tracks (markers, lyrics, chords, tempo).
class MseqTrackHeader : public MseqTrack {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_HEADER; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_HEADER ? this : MseqTrack::cast(type);
    }
    bool accepts_children() const override { return true; }
};

// The part under the root: the sounding tracks.
class MseqTrackDetail : public MseqTrack {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_DETAIL; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_DETAIL ? this : MseqTrack::cast(type);
    }
    bool accepts_children() const override { return true; }
};
