#pragma once

#include <cstdint>
#include <memory>

#include "edit/McmdTrack.h"
#include "model/core/MseqObject.h"
#include "model/track/MseqReplace.h"

// The sequence commands: they act on the target track and every track below it (a group or the
// part carries its members along), in the target's beats, and record their inverse when asked.
// Ranges are kept with start <= end. A failed check changes nothing and records nothing.
// User-interface thread only.

// Opens `count` empty units at `position`; a block crossing it is stretched.
class McmdSpaceSeqs final : public McmdTrackOf<MKIND_CMD_SPACE_SEQS> {
public:
    McmdSpaceSeqs(MSEQ_ID target, int32_t at, int32_t n = 1)
        : McmdTrackOf(target), position(at), count(n) {}
    int run(MseqObject* target, MedtMusic* editor) override;
    int32_t position;
    int32_t count;
};

// Erases the blocks of [start, end), leaving empty space; nothing moves.
class McmdEraseSeqs final : public McmdTrackOf<MKIND_CMD_ERASE_SEQS> {
public:
    McmdEraseSeqs(MSEQ_ID target, int32_t a, int32_t b);
    int run(MseqObject* target, MedtMusic* editor) override;
    int32_t start, end;
};

// Removes [start, end); later blocks move back.
class McmdCutSeqs final : public McmdTrackOf<MKIND_CMD_CUT_SEQS> {
public:
    McmdCutSeqs(MSEQ_ID target, int32_t a, int32_t b);
    int run(MseqObject* target, MedtMusic* editor) override;
    int32_t start, end;
};

// Replaces [start, end) by the blocks stored in `source` (a detached tree of the target's
// shape; none means the editor's sequence clipboard), clipped to the stored range with `clip`.
// Made with its own source (the undo records), it owns that node.
class McmdInsertSeqs final : public McmdTrackOf<MKIND_CMD_INSERT_SEQS> {
public:
    McmdInsertSeqs(MSEQ_ID target, int32_t a, int32_t b, MseqObject* from, bool clip_flag);
    // A command owning `stored`, a detached tree made by a store.
    McmdInsertSeqs(MSEQ_ID target, int32_t a, int32_t b, std::unique_ptr<MseqObject> stored);
    int run(MseqObject* target, MedtMusic* editor) override;
    void release_payload() override {
        if (source == owned.get()) source = nullptr;
        owned.reset();
    }
    int32_t start, end;
    MseqObject* source;
    bool clip;
    std::unique_ptr<MseqObject> owned;
};

// Overwrites from start with the stored blocks, limited to [start, end) when that is not empty;
// nothing moves.
class McmdCoverSeqs final : public McmdTrackOf<MKIND_CMD_COVER_SEQS> {
public:
    McmdCoverSeqs(MSEQ_ID target, int32_t a, int32_t b, MseqObject* from);
    int run(MseqObject* target, MedtMusic* editor) override;
    int32_t start, end;
    MseqObject* source;
};

// A find-and-replace over the phrase references of a range (owns its copy of the
// replacement).
class McmdReplaceSeqs final : public McmdTrackOf<MKIND_CMD_REPLACE_SEQS> {
public:
    McmdReplaceSeqs(MSEQ_ID target, const MseqReplace& wanted)
        : McmdTrackOf(target), replacement(wanted.clone()) {}
    int run(MseqObject* target, MedtMusic* editor) override;
    std::unique_ptr<MseqReplace> replacement;
};

// Copies [start, end) into the sequence clipboard; never recorded, never changes the music.
class McmdStoreSeqs final : public McmdTrackOf<MKIND_CMD_STORE_SEQS> {
public:
    McmdStoreSeqs(MSEQ_ID target, int32_t a, int32_t b);
    int run(MseqObject* target, MedtMusic* editor) override;
    int32_t start, end;
};

// Copies [start, end) into the sequence clipboard, then posts a cut of it (which records its
// own undo entry).
class McmdStoreCutSeqs final : public McmdTrackOf<MKIND_CMD_STORE_CUT_SEQS> {
public:
    McmdStoreCutSeqs(MSEQ_ID target, int32_t a, int32_t b);
    int run(MseqObject* target, MedtMusic* editor) override;
    int32_t start, end;
};
