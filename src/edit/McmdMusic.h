#pragma once

#include <cstdint>
#include <memory>

#include "edit/McmdKind.h"
#include "model/core/CkvString.h"
#include "model/core/MgenRef.h"
#include "model/core/MseqId.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqType.h"

class MedtMusic;
class MseqMusic;

// Base of the leaf commands: changes of a music's track tree (create, insert, delete, move,
// replace). Its cast accepts only its own kind. User-interface thread.
class McmdMusic : public MgenCommand {
public:
    uint32_t kind() const override { return MKIND_CMD_MUSIC; }
    // Carries the command out on the music (the music's apply calls it), recording the inverse
    // in `undo` when MCMD_RECORD_UNDO is set and changing nothing with MCMD_TEST_ONLY. Non-zero
    // on success; a failure changes nothing.
    virtual int run(MseqMusic* music) = 0;
    // After a successful run, brings the editor's track tree and rows up to date; 0 when the
    // editor cannot follow (the run is then taken back and the command fails).
    virtual int refresh(MedtMusic* editor) = 0;

    int32_t result = 0;
    // Set by the editor that dispatches the command, for the commands that change its tracks.
    MedtMusic* editor = nullptr;
};

// The cast rule of a member of the leaf family: its own kind and the family base's.
template <uint32_t Kind>
class McmdMusicOf : public McmdMusic {
public:
    uint32_t kind() const override { return Kind; }
    MgenRef* cast(uint32_t k) override {
        return k == Kind || k == MKIND_CMD_MUSIC ? this : nullptr;
    }
};

// Replaces the content (settings and blocks, not the child tracks) of one track by a copy of the
// content of a source track node; the inverse holds a snapshot of the old content. The beats
// change records one of these, so that its undo restores the blocks exactly.
class McmdReplaceLeafs final : public McmdMusicOf<MKIND_CMD_REPLACE_LEAFS> {
public:
    // A command owning `source`, a detached node (file number 14) holding the new content.
    McmdReplaceLeafs(MSEQ_ID target, std::unique_ptr<MseqObject> source);
    int run(MseqMusic* music) override;
    int refresh(MedtMusic* editor) override;
    // Drops the owned snapshot.
    void release_payload() override { owned.reset(); }

    MSEQ_ID track;
    std::unique_ptr<MseqObject> owned;
};

// Creates one track node at the anchor with the placement code (4: last child), a forced
// identifier (0: allocated) and a type and name; the inverse deletes it. The new node is
// `made`.
class McmdCreateLeaf final : public McmdMusicOf<MKIND_CMD_CREATE_LEAF> {
public:
    McmdCreateLeaf(MSEQ_ID anchor_id, int placement, MSEQ_ID forced_id, MSEQ_TYPE track_type,
                   const CkvString& track_name)
        : anchor(anchor_id),
          place(placement),
          forced(forced_id),
          type(track_type),
          name(track_name) {}
    int run(MseqMusic* music) override;
    int refresh(MedtMusic* editor) override;
    MSEQ_ID anchor;
    int place;
    MSEQ_ID forced;
    MSEQ_TYPE type;
    CkvString name;
    MseqObject* made = nullptr;

private:
    MseqMusic* music_ = nullptr;
};

// Inserts copies of a detached track tree (none: the editor's leaf clipboard) at the anchor,
// keeping the source's identifiers when asked; the inverse deletes the copies. Made with its
// own source (the undo of a deletion), it owns that node.
class McmdInsertLeafs final : public McmdMusicOf<MKIND_CMD_INSERT_LEAFS> {
public:
    McmdInsertLeafs(MSEQ_ID anchor_id, int placement, MseqObject* from, bool keep)
        : anchor(anchor_id), place(placement), source(from), keep_ids(keep) {}
    McmdInsertLeafs(MSEQ_ID anchor_id, int placement, std::unique_ptr<MseqObject> snapshot)
        : anchor(anchor_id),
          place(placement),
          source(snapshot.get()),
          keep_ids(true),
          owned(std::move(snapshot)) {}
    int run(MseqMusic* music) override;
    int refresh(MedtMusic* editor) override;
    void release_payload() override {
        if (source == owned.get()) source = nullptr;
        owned.reset();
    }
    MSEQ_ID anchor;
    int place;
    MseqObject* source;
    bool keep_ids;
    MseqObject* made = nullptr;
    std::unique_ptr<MseqObject> owned;

private:
    MseqMusic* music_ = nullptr;
};

// Deletes a track and its subtree (never the root, header or part, nor tracks in use); the
// inverse inserts a snapshot back at the old place with the old identifiers.
class McmdDeleteLeafs final : public McmdMusicOf<MKIND_CMD_DELETE_LEAFS> {
public:
    explicit McmdDeleteLeafs(MSEQ_ID target) : track(target) {}
    int run(MseqMusic* music) override;
    int refresh(MedtMusic* editor) override;
    MSEQ_ID track;
};

// Moves a track (with its subtree) to the anchor with the placement code; the inverse moves it
// back.
class McmdMoveLeafs final : public McmdMusicOf<MKIND_CMD_MOVE_LEAFS> {
public:
    McmdMoveLeafs(MSEQ_ID moved, MSEQ_ID anchor_id, int placement)
        : track(moved), anchor(anchor_id), place(placement) {}
    int run(MseqMusic* music) override;
    int refresh(MedtMusic* editor) override;
    MSEQ_ID track;
    MSEQ_ID anchor;
    int place;
};

// Sets the music's standard chord map (a leaf of its book, file number 2) and standard chord
// track (0 for none); the inverse sets the old ones back together with the music's track
// identifier counter as it was, so that a gesture that begins with this command and then adds
// tracks leaves, undone, the music's bytes as they were.
class McmdSetChordLinks final : public McmdMusicOf<MKIND_CMD_CHORD_LINKS> {
public:
    McmdSetChordLinks(MSEQ_ID chord_map, MSEQ_ID chord_track, uint32_t next_id = 0)
        : map(chord_map), track(chord_track), counter(next_id) {}
    int run(MseqMusic* music) override;
    // The root track's rows show the new links.
    int refresh(MedtMusic* editor) override;
    MSEQ_ID map;
    MSEQ_ID track;
    uint32_t counter;  // the identifier counter to leave behind; 0: as it is
};

// Copies a track's subtree (0: the editor's current track) into the leaf clipboard. Stands
// alone (its cast answers only its own kind); never recorded, never changes the music.
class McmdStoreLeafs final : public McmdMusic {
public:
    explicit McmdStoreLeafs(MSEQ_ID target = 0) : track(target) {}
    uint32_t kind() const override { return MKIND_CMD_STORE_LEAFS; }
    int run(MseqMusic* music) override;
    int refresh(MedtMusic*) override { return 1; }
    MSEQ_ID track;
};
