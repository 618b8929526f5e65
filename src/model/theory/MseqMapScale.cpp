#include "model/theory/MseqMapScale.h"

int MseqMapScale::reset() {
    m_Blocks.clear();
    return 1;
}

int MseqMapScale::validate() {
    for (MseqBlockScale& scale : m_Blocks)
        scale.normalize();
    return 1;
}

int32_t MseqMapScale::add(const MseqBlockScale& scale) {
    m_Blocks.push_back(scale);
    return count() - 1;
}

bool MseqMapScale::remove(int32_t index) {
    if (index < 0 || index >= count()) return false;
    m_Blocks.erase(m_Blocks.begin() + index);
    return true;
}

const MseqBlockScale* MseqMapScale::get(int32_t index) const {
    if (index < 0 || index >= count()) return nullptr;
    return &m_Blocks[static_cast<std::size_t>(index)];
}

MseqBlockScale* MseqMapScale::get(int32_t index) {
    if (index < 0 || index >= count()) return nullptr;
    return &m_Blocks[static_cast<std::size_t>(index)];
}
