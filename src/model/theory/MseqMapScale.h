#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/block/MseqBlockScale.h"
#include "model/core/MseqEntity.h"

// The scale map: the user's own list of scales, offered beside the presets. One instance is
// loaded at start-up from the scale-map file; it has no node. User-interface thread.
class MseqMapScale : public MseqEntity {
public:
    MSEQ_TYPE type() const override { return MTYPE_LEAF_SCALE; }
    MseqEntity* cast(MSEQ_TYPE type) override { return type == MTYPE_LEAF_SCALE ? this : nullptr; }
    // Empties the list; returns 1.
    int reset() override;
    // Normalises every scale (a scale that cannot be held becomes the Ionian preset); returns 1.
    int validate() override;

    // Appends a copy of `scale`; returns its index (the new count − 1).
    int32_t add(const MseqBlockScale& scale);
    // Removes the scale at `index`; false when there is none.
    bool remove(int32_t index);
    // The scale at `index`, or nullptr.
    const MseqBlockScale* get(int32_t index) const;
    MseqBlockScale* get(int32_t index);
    // The number of scales.
    int32_t count() const { return static_cast<int32_t>(m_Blocks.size()); }

    std::vector<MseqBlockScale> m_Blocks;  // the scales, in list order
};
