#pragma once

#include "model/core/MseqType.h"

// Block type codes (category 0x08).
enum : MSEQ_TYPE {
    MTYPE_BLOCK_WORD = 0x80101,
    MTYPE_BLOCK_STAGE = 0x80122,
    MTYPE_BLOCK_SCALE = 0x80131,
    MTYPE_BLOCK_CHORD = 0x81041,
    MTYPE_BLOCK_REFER = 0x81081,
    MTYPE_BLOCK_NOTE = 0x81082,
    MTYPE_BLOCK_LABEL = 0x81180,
    MTYPE_BLOCK_VALUE = 0x81200,
    MTYPE_BLOCK_LINK = 0x81300,
};

// One item placed on a track (note, chord, label, ...) or held in a map (word, scale, stage
// set-up). Blocks are values: tracks own them and copy them by clone. Any thread may read a
// block; only the user-interface thread changes one.
class MseqBlock {
public:
    virtual ~MseqBlock() = default;
    // The block's type code.
    virtual MSEQ_TYPE type() const = 0;
    // The block itself when `type` is its own type, else nullptr.
    virtual MseqBlock* cast(MSEQ_TYPE type) { return type == this->type() ? this : nullptr; }
    // Deletes the block.
    virtual void delete_self() { delete this; }
    // A new block with the same field values; never nullptr.
    virtual MseqBlock* clone() const = 0;

    template <class T>
    T* cast_to() {
        return static_cast<T*>(cast(T::kType));
    }

protected:
    MseqBlock() = default;
    MseqBlock(const MseqBlock&) = default;
    MseqBlock& operator=(const MseqBlock&) = default;
};

// The clone and type of a block class `Derived` with type code `Derived::kType`.
template <class Derived>
class MseqBlockOf : public MseqBlock {
public:
    MSEQ_TYPE type() const override { return Derived::kType; }
    MseqBlock* clone() const override { return new Derived(static_cast<const Derived&>(*this)); }
};
