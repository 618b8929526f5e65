#pragma once

#include "model/block/MseqBlock.h"
#include "model/core/CkvString.h"

// A text placed at one position of a lyric, marker or memo track; it holds until the next one.
class MseqBlockLabel : public MseqBlockOf<MseqBlockLabel> {
public:
    static constexpr MSEQ_TYPE kType = MTYPE_BLOCK_LABEL;

    bool operator==(const MseqBlockLabel& o) const { return m_Label == o.m_Label; }

    CkvString m_Label;  // the lyric, marker or memo text
};
