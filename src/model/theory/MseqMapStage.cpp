#include "model/theory/MseqMapStage.h"

#include "model/theory/MseqMapWord.h"

MseqMapStage::MseqMapStage() {
    reset_fields();
}

int MseqMapStage::reset() {
    reset_fields();
    return 1;
}

void MseqMapStage::reset_fields() {
    m_Setup = 0;
    m_Blocks.fill(MseqBlockStage());
    m_Blocks[kDrumChannel].m_Program = MseqMapWord::builtin().find(MWORD_DRUM_KIT, 0, 0);
    m_Blocks[0].m_Flags |= MSTAGE_USED;
    m_Blocks[kDrumChannel].m_Flags |= MSTAGE_USED;
}

int MseqMapStage::validate() {
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        MseqBlockStage& b = m_Blocks[ch];
        b.m_Program.m_Attrib = ch == kDrumChannel ? MWORD_DRUM_KIT : MWORD_PROGRAM;
        b.normalize();
    }
    return 1;
}

MseqBlockStage* MseqMapStage::block(int32_t channel) {
    if (channel < 0 || channel >= kChannels) return nullptr;
    return &m_Blocks[static_cast<std::size_t>(channel)];
}

const MseqBlockStage* MseqMapStage::block(int32_t channel) const {
    if (channel < 0 || channel >= kChannels) return nullptr;
    return &m_Blocks[static_cast<std::size_t>(channel)];
}
