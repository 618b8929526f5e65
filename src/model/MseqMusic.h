#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "model/MseqBlockWord.h"
#include "model/MseqEntity.h"
#include "model/MseqId.h"

class MseqObject;

// A music: the entity of a music leaf, owning a private tree of track nodes (root, header and
// part, and the tracks under those). User-interface thread only.
class MseqMusic : public MseqEntity {
public:
    static constexpr uint32_t kMaxTracks = 256;

    // A music whose content is `node` (nullptr for a phrase, which several nodes may share).
    explicit MseqMusic(MseqObject* node);
    ~MseqMusic() override;

    MSEQ_TYPE type() const override { return MTYPE_LEAF_MUSIC; }
    MseqEntity* cast(MSEQ_TYPE type) override { return type == MTYPE_LEAF_MUSIC ? this : nullptr; }
    // A new player music over this music or phrase, owned by the caller; nullptr when no
    // memory could be had. Defined by the player layer.
    MplyMusic* create_player_model() override;

    MseqObject* root() const { return root_.get(); }
    MseqObject* header() const { return header_; }
    MseqObject* detail() const { return detail_; }

    // The identifier a new track of `type` gets: the requested serial, the type's fixed serial,
    // or the next free serial from m_NextID. 0 when allocation is exhausted.
    MSEQ_ID allocate_track_id(MSEQ_TYPE type, MSEQ_ID requested);

    // The checks of track creation without any change: the identifier the new track would get,
    // or 0 when it cannot be created (music full, not a track type, anchor missing, bad
    // placement, type refused, identifier invalid or taken).
    MSEQ_ID check_create_track(MSEQ_ID anchor, int place, MSEQ_TYPE type, MSEQ_ID requested);

    // Creates a track node (path "<with>") placed relative to the track `anchor`; nullptr on any
    // failure of check_create_track.
    MseqObject* create_track(MSEQ_ID anchor, int place, MSEQ_TYPE type, const CkvString& name,
                             MSEQ_ID requested = 0);

    // A track node of this music (file number forced to 1), or nullptr.
    MseqObject* find_track(MSEQ_ID id) const;

    // File number 1: a track of this music; file number 2: a leaf of the book holding the
    // music's node. nullptr otherwise.
    MseqObject* find(MSEQ_ID id) const;

    // Deletes a track subtree; false for the root, header and part, for unknown identifiers and
    // while a content in the subtree is in use.
    bool remove_track(MSEQ_ID id);

    std::map<MSEQ_ID, MseqObject*> tracks;  // track identifier to node
    uint32_t m_NextID = 0x10001;
    MSEQ_ID m_MapStageID = 0;
    MSEQ_ID m_MapChordID = 0;
    MSEQ_ID m_TrackChordID = 0;
    int32_t m_Tempo = 120;
    int32_t m_Transpose = 0;
    MseqBlockWord m_Program{MWORD_PROGRAM, 0, 0};
    CkvString m_Title = "%<entity>";
    CkvString m_Copyright;
    int32_t m_BlankBar = 0;
    int32_t m_GpM = 0;
    int32_t m_GxB = 0;
    int32_t m_ShowState = 0;
    int32_t m_NoteState = 2;

protected:
    // Builds the fixed track tree; `root_type` is the root music or root phrase type.
    MseqMusic(MseqObject* node, MSEQ_TYPE root_type);

private:
    std::unique_ptr<MseqObject> root_;
    MseqObject* header_ = nullptr;
    MseqObject* detail_ = nullptr;
};

// A phrase pattern: a music without its own node, shared by every node that links its file.
class MseqPhrase : public MseqMusic {
public:
    MseqPhrase();
    MSEQ_TYPE type() const override { return MTYPE_LEAF_PHRASE; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_LEAF_PHRASE ? this : MseqMusic::cast(type);
    }
};
