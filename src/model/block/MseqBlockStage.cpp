#include "model/block/MseqBlockStage.h"

#include "model/theory/MseqMapWord.h"

namespace {

void clamp_field(int32_t& v, MseqRange range) {
    v = range.clamp(v);
}

}  // namespace

MseqBlockStage::MseqBlockStage() : m_Program(MseqMapWord::builtin().find(MWORD_PROGRAM, 0, 0)) {}

void MseqBlockStage::normalize() {
    if (m_Program.m_Attrib != MWORD_PROGRAM && m_Program.m_Attrib != MWORD_DRUM_KIT)
        m_Program.m_Attrib = MWORD_PROGRAM;
    m_Program.normalize();
    clamp_field(m_Volume, kVolumeRange);
    clamp_field(m_Pan, kPanRange);
    clamp_field(m_Reverb, kControllerRange);
    clamp_field(m_Chorus, kControllerRange);
    clamp_field(m_Bend, kBendRange);
    clamp_field(m_Hold, kControllerRange);
    clamp_field(m_Modulation, kControllerRange);
    clamp_field(m_Expression, kControllerRange);
    clamp_field(m_BendRange, kBendRangeRange);
}

bool MseqBlockStage::operator==(const MseqBlockStage& o) const {
    return m_Flags == o.m_Flags && m_Program == o.m_Program && m_Volume == o.m_Volume &&
           m_Pan == o.m_Pan && m_Reverb == o.m_Reverb && m_Chorus == o.m_Chorus &&
           m_Bend == o.m_Bend && m_Hold == o.m_Hold && m_Modulation == o.m_Modulation &&
           m_Expression == o.m_Expression && m_BendRange == o.m_BendRange;
}
