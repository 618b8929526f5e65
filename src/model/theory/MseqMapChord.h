#pragma once

#include <array>
#include <cstdint>

#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockScale.h"
#include "model/core/MseqEntity.h"

class MseqMapScale;

// A chord map leaf: the keys and the scale of a piece and a palette of 36 chords, slot s holding
// the chord of degree s mod 12 in octave s / 12 − 1. Shared by every node that links its file,
// so it is created without an owner node. User-interface thread; a player may read it while it
// holds a reference.
class MseqMapChord : public MseqEntity {
public:
    static constexpr int32_t kSlots = 36;

    // A chord map in its reset state.
    MseqMapChord();

    MSEQ_TYPE type() const override { return MTYPE_LEAF_CHORD; }
    MseqEntity* cast(MSEQ_TYPE type) override { return type == MTYPE_LEAF_CHORD ? this : nullptr; }
    // Keys 0, the Ionian scale, a palette of triads with the slots of degrees 4 to 11 of the low
    // octave and 0 to 5 of the middle one switched on. Returns 1.
    int reset() override;
    // Clamps the keys, normalises the scale and every palette chord, derives the scale's
    // m_ToneTune from the keys and renumbers the palette chords by slot. Returns 1.
    int validate() override;
    // A new chord map editor attached to this map, or nullptr when no memory could be had. Defined
    // by the editing layer. User-interface thread.
    MgenRef* create_editor_model() override;

    // Makes the preset scale at `position` (1 to 32) the map's scale and moves the scale and tone
    // keys to follow the chord key. False, with nothing changed, for an empty position.
    bool select_preset(int32_t position);

    // Makes a copy of scale `index` of `scales` the map's scale and moves the keys as
    // select_preset does. False, with nothing changed, when there is no such scale.
    bool select_scale(const MseqMapScale& scales, int32_t index);

    // Sets m_CDegKey (clamped to -12 to 12) and moves the scale and tone keys to follow it.
    // Never fails.
    void set_chord_key(int32_t key);

    // Rebuilds the palette from the map's scale: every degree of the scale gets, in each of the
    // three octaves, a chord of `tones` (at most 5) notes stacked in thirds of the scale, as far
    // as steps mode `steps` allows (0 the root alone, 1 up to the third, 2 the fifth, 3 the
    // seventh, 4 and above the ninth). Degrees beyond the scale get empty chords. Each slot keeps
    // its own flags (switched off, root relative to the chord key). Never fails.
    void build_palette(int32_t steps, int32_t tones);

    // Copies `chord` into palette slot `slot` (0 to 35), numbered by the slot; a chord without
    // keys is switched off. False, with nothing changed, for a slot outside the palette.
    bool set_palette_slot(int32_t slot, const MseqBlockChord& chord);

    int32_t m_ToneKey = 0;   // key of tone notes, -12 to 12 semitones above C
    int32_t m_SDegKey = 0;   // key of scale-degree notes
    int32_t m_CDegKey = 0;   // key of chord-degree notes and of relative chord roots
    MseqBlockScale m_Scale;  // the scale of scale-degree notes
    std::array<MseqBlockChord, kSlots> m_Blocks;  // the palette

private:
    void reset_fields();
    // After a new scale or chord key: the scale and tone keys follow the chord key.
    void follow_chord_key();
};

// The chord a chord-track block puts in effect: the block itself when it is a chord of its own
// (MCHORD_NO_KEY set on the block), otherwise the palette chord of `map` that the block's
// degree selects. nullptr without a map, for a degree outside the palette and for a slot that
// is switched off. Any thread that may read the map.
const MseqBlockChord* mseq_chord_in_effect(const MseqBlockChord& block, const MseqMapChord* map);
