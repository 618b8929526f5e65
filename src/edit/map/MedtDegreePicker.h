#pragma once

#include <cstdint>
#include <vector>

#include "model/block/MseqBlockChord.h"
#include "model/core/CkvString.h"

class MseqMapChord;

// One entry of the degree picker: a palette slot and how the picker shows it (CP932).
struct MedtDegreeItem {
    int32_t slot;
    CkvString label;
};

// The degree picker of chord tracks: the palette slots of a chord map that have keys and are
// switched on, in slot order, each shown by its degree or, in the chord-name display, by its
// chord's name. User-interface thread.
class MedtDegreePicker {
public:
    // A picker over `map` (null: no entries) with `selected` (a slot, -1 for none) preselected.
    MedtDegreePicker(const MseqMapChord* map, int32_t selected, bool by_name);

    // The entries in slot order; empty when nothing can be picked.
    const std::vector<MedtDegreeItem>& items() const { return items_; }
    // The index in items() of the preselected slot, -1 when it is not offered.
    int32_t preselected() const { return preselected_; }
    // "コードマップに有効なコードがない" when nothing can be picked, else empty (CP932).
    CkvString empty_text() const;
    // The block that picking `slot` places: a copy of the palette chord that selects the slot by
    // its description pitch (bit 0x01 clear). False for a slot the picker does not offer.
    bool pick(int32_t slot, MseqBlockChord* block) const;
    // The label of a slot by its degree: the octave's sign (-, blank, +) before the degree
    // counted from 1, "-5" for slot 4.
    static CkvString degree_label(int32_t slot);

private:
    const MseqMapChord* map_;
    std::vector<MedtDegreeItem> items_;
    int32_t preselected_ = -1;
};
