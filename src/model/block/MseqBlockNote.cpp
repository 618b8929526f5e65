#include "model/block/MseqBlockNote.h"

void MseqBlockNote::set_type(uint32_t type) {
    m_Type = (type >= MNBT_PURE && type <= MNBT_RHYTHM) ? type : MNBT_TONE;
    // A pure pitch starts on middle C's octave; the relative types start on the reference.
    m_Octave = m_Type == MNBT_PURE ? 5 : 0;
    m_Whole = 0;
    m_Semi = 0;
    m_Velocity = 100;
}
