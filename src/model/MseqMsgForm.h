#pragma once

#include <cstdint>
#include <vector>

#include "model/MseqBlockWord.h"

// One variable of a message form: where its value goes in the message bytes and its range.
struct MseqMsgVar {
    int32_t m_Lsb = 0;  // position receiving the low 7 bits; 0 for none
    int32_t m_Msb = 0;  // position receiving the high 7 bits; 0 for none
    int32_t m_Def = 0;
    int32_t m_Min = 0;
    int32_t m_Max = 0;
    int32_t m_Base = 0;
    int32_t m_Diff = 0;
    bool operator==(const MseqMsgVar&) const = default;
};

// The shape of the messages a message track sends: a word of kind 32 (name and form number),
// the variables and the message bytes.
struct MseqMsgForm {
    MseqBlockWord m_Name;
    std::vector<MseqMsgVar> m_Vars;
    std::vector<uint8_t> m_Msg;
    bool operator==(const MseqMsgForm&) const = default;
};
