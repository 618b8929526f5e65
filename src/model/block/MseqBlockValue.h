#pragma once

#include <cstdint>

#include "model/block/MseqBlock.h"

// A number placed at one position of a value track (tempo, message); it holds until the next
// one.
class MseqBlockValue : public MseqBlockOf<MseqBlockValue> {
public:
    static constexpr MSEQ_TYPE kType = MTYPE_BLOCK_VALUE;

    MseqBlockValue() = default;
    explicit MseqBlockValue(int32_t value) : m_Value(value) {}

    bool operator==(const MseqBlockValue& o) const { return m_Value == o.m_Value; }

    int32_t m_Value = 0;
};
