#pragma once

#include <cstdint>
#include <memory>

#include "edit/McmdKind.h"
#include "model/block/MseqBlock.h"
#include "model/block/MseqBlockWord.h"
#include "model/core/MgenRef.h"
#include "model/core/MseqId.h"

class MedtMusic;
class MseqObject;

// Base of the track commands: each names its target track by identifier and runs on that
// track (and, for the sequence commands, every track below it). Its cast accepts only its own
// kind. Commands are made, posted and released on the user-interface thread.
class McmdTrack : public MgenCommand {
public:
    explicit McmdTrack(MSEQ_ID target) : track(target) {}
    uint32_t kind() const override { return MKIND_CMD_TRACK; }

    // Carries the command out on the target's node (the track's apply calls it): runs the
    // checks, records the inverse command in `undo` when MCMD_RECORD_UNDO is set, and changes
    // the music unless MCMD_TEST_ONLY is set. `editor` (may be null) is the editor running it,
    // for the commands that ask the user or read the editor's state. Non-zero on success; a
    // failure changes nothing and records nothing.
    virtual int run(MseqObject* target, MedtMusic* editor) = 0;

    MSEQ_ID track;       // the target track's identifier
    int32_t result = 0;  // written by the execution, read by the poster
    // Set by the editor that dispatches the command, so that the track's apply can hand it on.
    MedtMusic* editor = nullptr;
};

// The cast rule of a member of the track family: its own kind and the family base's.
template <uint32_t Kind>
class McmdTrackOf : public McmdTrack {
public:
    using McmdTrack::McmdTrack;
    uint32_t kind() const override { return Kind; }
    MgenRef* cast(uint32_t k) override {
        return k == Kind || k == MKIND_CMD_TRACK ? this : nullptr;
    }
};

// Puts one block at a position of one track (none erases the block there); its inverse is a set
// block holding what was there before. Owns a copy of its block.
class McmdSetBlock final : public McmdTrackOf<MKIND_CMD_SET_BLOCK> {
public:
    // `block` is copied; nullptr erases. Never fails.
    McmdSetBlock(MSEQ_ID target, int32_t position, const MseqBlock* block);
    // Takes over a block made by the caller (nullptr erases).
    McmdSetBlock(MSEQ_ID target, int32_t position, std::unique_ptr<MseqBlock> block);
    int run(MseqObject* target, MedtMusic* editor) override;

    int32_t position;
    std::unique_ptr<MseqBlock> block;
};

// Changes one property of a track (the row numbers MROW_* of the property list). Only the beats
// (MROW_BEATS) record an inverse, a snapshot of the track; every other property is not undoable.
class McmdSetProperty final : public McmdTrackOf<MKIND_CMD_SET_PROPERTY> {
public:
    McmdSetProperty(MSEQ_ID target, int32_t number, const MseqBlockWord& new_value)
        : McmdTrackOf(target), property(number), value(new_value) {}
    // Needs the editor: without one the command fails.
    int run(MseqObject* target, MedtMusic* editor) override;

    int32_t property;
    MseqBlockWord value;  // a number in m_Index (32-bit two's complement), a text in m_Name
};

// Shorthand for a fresh command with its creator's reference. UI thread.
template <class Command, class... Args>
ref_ptr<Command> mcmd_make(Args&&... args) {
    return ref_ptr<Command>::adopt(new Command(std::forward<Args>(args)...));
}
