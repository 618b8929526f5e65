#pragma once

#include "model/block/MseqBlock.h"
#include "model/core/MseqId.h"

// A reference to a leaf placed at one position of a link track; on a transposition track it
// names the chord map in effect from there on.
class MseqBlockLink : public MseqBlockOf<MseqBlockLink> {
public:
    static constexpr MSEQ_TYPE kType = MTYPE_BLOCK_LINK;

    MseqBlockLink() = default;
    explicit MseqBlockLink(MSEQ_ID id) : m_LinkID(id) {}

    bool operator==(const MseqBlockLink& o) const { return m_LinkID == o.m_LinkID; }

    MSEQ_ID m_LinkID = 0;  // a leaf of the music's own book (file number 2)
};
