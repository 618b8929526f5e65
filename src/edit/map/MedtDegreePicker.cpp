#include "edit/map/MedtDegreePicker.h"

#include <cstdio>
#include <string>

#include "edit/MedtText.h"
#include "edit/map/MedtChordMapView.h"
#include "model/core/CkvText.h"
#include "model/theory/MseqMapChord.h"

namespace {

bool offered(const MseqBlockChord& chord) {
    return chord.key_count > 0 && !(chord.m_Flags & MCHORD_NO_KEY);
}

}  // namespace

MedtDegreePicker::MedtDegreePicker(const MseqMapChord* map, int32_t selected, bool by_name)
    : map_(map) {
    if (!map_) return;
    for (int32_t s = 0; s < MseqMapChord::kSlots; ++s) {
        const MseqBlockChord& chord = map_->m_Blocks[s];
        if (!offered(chord)) continue;
        if (s == selected) preselected_ = static_cast<int32_t>(items_.size());
        items_.push_back(
            {s, by_name ? MedtChordMapView::chord_name(chord, map_->m_CDegKey) : degree_label(s)});
    }
}

CkvString MedtDegreePicker::empty_text() const {
    if (!items_.empty()) return {};
    return medt_text(medt_msg::NO_CHORD_TO_PICK);
}

bool MedtDegreePicker::pick(int32_t slot, MseqBlockChord* block) const {
    if (!map_ || slot < 0 || slot >= MseqMapChord::kSlots || !offered(map_->m_Blocks[slot]))
        return false;
    *block = map_->m_Blocks[slot];
    block->m_Flags &= ~MCHORD_NO_KEY;
    block->m_DescOctave = slot / 12 - 1;
    block->m_DescDegree = slot % 12;
    return true;
}

CkvString MedtDegreePicker::degree_label(int32_t slot) {
    const int32_t octave = slot / 12 - 1;
    const char* sign = octave < 0 ? "-" : (octave > 0 ? "+" : " ");
    // Formatted in one go: GCC 12 warns falsely (-Wrestrict) about prefixing a short string.
    char label[16];
    std::snprintf(label, sizeof label, "%s%d", sign, slot % 12 + 1);
    return CkvString(label);
}
