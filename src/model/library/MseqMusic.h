#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "model/block/MseqBlockWord.h"
#include "model/core/MseqEntity.h"
#include "model/core/MseqId.h"
#include "model/core/MseqRange.h"

class MseqObject;

// Where a track node sits, as the undo records keep it: the identifier of the anchor and the
// placement code (after the previous sibling, else first child of the parent).
struct MseqTrackPlace {
    MSEQ_ID anchor = 0;
    int place = 0;
    bool operator==(const MseqTrackPlace&) const = default;
};

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
    // A new music editor (MedtMusicInvoker) attached to this music, or nullptr when no memory
    // could be had. Defined by the editing layer. User-interface thread.
    MgenRef* create_editor_model() override;
    // Offers the command to the editor observing the music; when it does not carry it out, a
    // track command goes to the track it names and a leaf command runs on the track tree. 0 when
    // nothing carried it out. Defined by the editing layer. User-interface thread.
    int apply_command(MgenCommand* command) override;

    // Every field to its default; the tracks other than root, header and part are destroyed,
    // header and part get fresh empty contents. Returns 1.
    int reset() override;
    // Normalises the program word and clamps tempo, transposition and blank bars, then
    // validates every track in pre-order; 0 when a track rejects its content.
    int validate() override;

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
    // The largest end of a track's blocks in ticks: how long the music or phrase is (0 when
    // it holds no block).
    int64_t length_ticks() const;

    // Deletes a track subtree; false for the root, header and part, for unknown identifiers and
    // while a content in the subtree is in use.
    bool remove_track(MSEQ_ID id);

    // The track-tree operations that the track commands apply. Each runs every check first;
    // with `test_only` it then reports success without changing anything. A failure changes
    // nothing.

    // Inserts copies of the detached tree `source` at the anchor track with the placement code:
    // every source node, in pre-order, becomes a new track node of the same type and name (with
    // the source's serial when `keep_ids`, else a newly allocated one) holding a copy of the
    // source track's content, in the source tree's shape. When any copy fails, the copies made
    // so far are deleted again and false is returned. `first` receives the first copy (the
    // top of the inserted subtree); nullptr in a test.
    bool insert_tracks(MSEQ_ID anchor, int place, MseqObject* source, bool keep_ids, bool test_only,
                       MseqObject** first);

    // Deletes the track subtree with this identifier (as remove_track). When `snapshot` is
    // given it first receives a detached copy of the whole subtree (serials kept) and
    // `old_place` the node's position, so that inserting the snapshot there undoes the
    // deletion; a snapshot that cannot be made fails the deletion.
    bool delete_tracks(MSEQ_ID id, bool test_only, MseqObject* snapshot, MseqTrackPlace* old_place);

    // Moves the track `id` (with its subtree) to the anchor track with the placement code.
    // False when either is missing, the code is not 1-4, the new parent refuses the type or is
    // the node or lies inside it, or the anchor is the node itself. `old_place` receives the
    // position before the move.
    bool move_track(MSEQ_ID id, MSEQ_ID anchor, int place, bool test_only,
                    MseqTrackPlace* old_place);

    // Replaces the content (settings and blocks; not the children) of the track `id` by a copy
    // of the content of the track node `source`. False when either is not a track or the
    // target is not of the source's class. When `snapshot` is given it first receives a
    // detached copy of the old content.
    bool replace_track(MSEQ_ID id, MseqObject* source, bool test_only, MseqObject* snapshot);

    // Switches the sounding tracks (phrase, note, lyric, marker, tempo and message tracks) all
    // off when all of them have MTF_OUTPUT, else all on. Returns true when they are now on.
    bool toggle_output();

    // The ranges of m_Tempo (beats per minute), m_Transpose (semitones) and m_BlankBar (bars),
    // held when the music is read and when it is edited.
    static constexpr MseqRange kTempoRange = {4, 1024};
    static constexpr MseqRange kTransposeRange = {-12, 12};
    static constexpr MseqRange kBlankBarRange = {0, 4};

    std::map<MSEQ_ID, MseqObject*> tracks;         // track identifier to node
    uint32_t m_NextID = 0x10001;                   // serial counter of new track identifiers
    MSEQ_ID m_MapStageID = 0;                      // stage map leaf (file number 2), 0 for none
    MSEQ_ID m_MapChordID = 0;                      // chord map leaf (file number 2), 0 for none
    MSEQ_ID m_TrackChordID = 0;                    // the chord track (file number 1), 0 for none
    int32_t m_Tempo = 120;                         // beats per minute, 4-1024
    int32_t m_Transpose = 0;                       // semitones, -12 to 12
    MseqBlockWord m_Program{MWORD_PROGRAM, 0, 0};  // kind 1 or 2; sent when a phrase plays alone
    CkvString m_Title = "%<entity>";               // with title macros
    CkvString m_Copyright;                         // with title macros
    int32_t m_BlankBar = 0;   // lead-in bars, 0-4: shift the shown bar numbers only
    int32_t m_GpM = 0;        // editor view: grid lines per bar
    int32_t m_GxB = 0;        // editor view: display beats per bar
    int32_t m_ShowState = 0;  // editor view: display flags
    int32_t m_NoteState = 2;  // editor view: MNBT_* kind new notes get

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
