#include "model/block/MseqBlockWord.h"

uint32_t MseqBlockWord::index_mask(uint16_t kind) {
    switch (kind) {
        case MWORD_PROGRAM:
        case MWORD_DRUM_KIT:
            return 0x7F7F7F;
        case MWORD_DRUM_SOUND:
            return 0x7F7F7F7F;
        case MWORD_MSG_FORM:
            return 0x7F;
        default:
            return 0;
    }
}

bool MseqBlockWord::normalize() {
    const uint32_t mask = index_mask(m_Attrib);
    if (!mask) return false;
    m_Group = 0;
    m_Index &= mask;
    return true;
}
