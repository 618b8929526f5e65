#pragma once

#include <cstdint>

#include "model/block/MseqBlock.h"
#include "model/core/CkvString.h"
#include "model/core/MseqId.h"

// How a phrase reference fits its phrase into the block (`MSEQ_REFER_BLOCK_MODE`).
enum : uint32_t {
    MRBM_BLOCK_KEEP = 1,
    MRBM_BLOCK_CUT = 2,
    MRBM_SOUND_CUT = 3,
    MRBM_STRETCH = 4,
};

// A phrase placed on a phrase track by reference. It covers [index, index + m_Length) of the
// track's grid.
class MseqBlockRefer : public MseqBlockOf<MseqBlockRefer> {
public:
    static constexpr MSEQ_TYPE kType = MTYPE_BLOCK_REFER;

    bool operator==(const MseqBlockRefer& o) const {
        return m_Length == o.m_Length && m_PhraseID == o.m_PhraseID &&
               m_StartMarker == o.m_StartMarker && m_Rotation == o.m_Rotation && m_Mode == o.m_Mode;
    }

    int32_t m_Length = 1;              // grid steps, at least 1
    MSEQ_ID m_PhraseID = 0;            // a phrase leaf of the music's own book (file number 2)
    CkvString m_StartMarker;           // where in the phrase playing starts; empty for its start
    int32_t m_Rotation = 0;            // degree shift
    uint32_t m_Mode = MRBM_BLOCK_CUT;  // MRBM_*: how the phrase is fitted
};
