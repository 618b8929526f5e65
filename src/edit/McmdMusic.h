#pragma once

#include <cstdint>
#include <memory>

#include "edit/McmdKind.h"
#include "model/core/MgenRef.h"
#include "model/core/MseqId.h"
#include "model/core/MseqObject.h"

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
    // After a successful run, brings the editor's track tree and rows up to date.
    virtual void refresh(MedtMusic* editor) = 0;

    int32_t result = 0;
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
    void refresh(MedtMusic* editor) override;
    // Drops the owned snapshot.
    void release_payload() override { owned.reset(); }

    MSEQ_ID track;
    std::unique_ptr<MseqObject> owned;
};
