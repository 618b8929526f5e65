#include "model/block/MseqBlockStage.h"

#include "model/core/floor_math.h"
#include "model/theory/MseqMapWord.h"

namespace {

void clamp_field(int32_t& v, int32_t lo, int32_t hi) {
    v = static_cast<int32_t>(clamp_range(v, lo, hi));
}

}  // namespace

MseqBlockStage::MseqBlockStage() : m_Program(MseqMapWord::builtin().find(MWORD_PROGRAM, 0, 0)) {}

void MseqBlockStage::normalize() {
    if (m_Program.m_Attrib != MWORD_PROGRAM && m_Program.m_Attrib != MWORD_DRUM_KIT)
        m_Program.m_Attrib = MWORD_PROGRAM;
    m_Program.normalize();
    clamp_field(m_Volume, 0, 127);
    clamp_field(m_Pan, 0, 127);
    clamp_field(m_Reverb, 0, 127);
    clamp_field(m_Chorus, 0, 127);
    clamp_field(m_Bend, 0, 16383);
    clamp_field(m_Hold, 0, 127);
    clamp_field(m_Modulation, 0, 127);
    clamp_field(m_Expression, 0, 127);
    clamp_field(m_BendRange, 0, 24);
}

bool MseqBlockStage::operator==(const MseqBlockStage& o) const {
    return m_Flags == o.m_Flags && m_Program == o.m_Program && m_Volume == o.m_Volume &&
           m_Pan == o.m_Pan && m_Reverb == o.m_Reverb && m_Chorus == o.m_Chorus &&
           m_Bend == o.m_Bend && m_Hold == o.m_Hold && m_Modulation == o.m_Modulation &&
           m_Expression == o.m_Expression && m_BendRange == o.m_BendRange;
}
