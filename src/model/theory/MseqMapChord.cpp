#include "model/theory/MseqMapChord.h"

#include <algorithm>

#include "model/core/floor_math.h"
#include "model/theory/MseqMapScale.h"

namespace {

constexpr int32_t kMaxTones = 5;

// The number of scale steps stacked for steps mode `steps`: every second degree from the root,
// one more for each mode up to the ninth.
int32_t stacked_steps(int32_t steps) {
    return static_cast<int32_t>(clamp_range(int64_t{steps} + 1, 1, kMaxTones));
}

void clamp_key(int32_t& key) {
    key = static_cast<int32_t>(clamp_range(key, -12, 12));
}

}  // namespace

MseqMapChord::MseqMapChord() {
    reset_fields();
}

int MseqMapChord::reset() {
    reset_fields();
    return 1;
}

void MseqMapChord::reset_fields() {
    m_ToneKey = m_SDegKey = m_CDegKey = 0;
    m_Scale.select_preset(1);
    m_Blocks.fill(MseqBlockChord());
    build_palette(2, 3);
    // A new map offers the degrees of one octave around the middle, from the fifth below up to
    // the sixth above; the user switches on the others as needed.
    for (int32_t s = 0; s < kSlots; ++s) {
        uint32_t& flags = m_Blocks[s].m_Flags;
        flags = (s >= 4 && s <= 17) ? (flags & ~MCHORD_NO_KEY) : (flags | MCHORD_NO_KEY);
    }
}

int MseqMapChord::validate() {
    clamp_key(m_ToneKey);
    clamp_key(m_SDegKey);
    clamp_key(m_CDegKey);
    m_Scale.normalize();
    // The scale is written as if its tonic sat where the tone key is, seen from the chord key,
    // taken as the nearest such distance (-5 to 6).
    m_Scale.m_ToneTune = static_cast<int32_t>(wrap_range(int64_t{m_ToneKey} - m_CDegKey, -5, 6));
    for (int32_t s = 0; s < kSlots; ++s) {
        MseqBlockChord& chord = m_Blocks[s];
        chord.normalize();
        chord.m_DescOctave = s / 12 - 1;
        chord.m_DescDegree = s % 12;
    }
    return 1;
}

bool MseqMapChord::select_preset(int32_t position) {
    if (!m_Scale.select_preset(position)) return false;
    follow_chord_key();
    return true;
}

bool MseqMapChord::select_scale(const MseqMapScale& scales, int32_t index) {
    const MseqBlockScale* scale = scales.get(index);
    if (!scale) return false;
    m_Scale = *scale;
    follow_chord_key();
    return true;
}

void MseqMapChord::set_chord_key(int32_t key) {
    m_CDegKey = key;
    clamp_key(m_CDegKey);
    follow_chord_key();
}

void MseqMapChord::follow_chord_key() {
    const int32_t tune = m_Scale.m_ToneTune;
    if (tune < -12 || tune > 12) return;
    m_SDegKey = m_CDegKey;
    int64_t tone = int64_t{m_CDegKey} + tune;
    if (tone > 12) tone -= 12;
    if (tone < -12) tone += 12;
    m_ToneKey = static_cast<int32_t>(tone);
}

void MseqMapChord::build_palette(int32_t steps, int32_t tones) {
    m_Scale.normalize();
    const int32_t n = m_Scale.key_count;
    const int32_t used = std::min<int32_t>(stacked_steps(steps), std::max<int32_t>(tones, 0));
    auto semitone = [this](int32_t degree) { return m_Scale.keys[degree].m_Key; };
    for (int32_t degree = 0; degree < 12; ++degree) {
        for (int32_t octave = -1; octave <= 1; ++octave) {
            MseqBlockChord& chord = m_Blocks[degree + 12 * (octave + 1)];
            if (degree >= n) {
                chord.clear();
            } else {
                // The slot keeps its flags (whether it is switched on, whether its root follows
                // the chord key); the chord itself, name included, is built anew.
                const uint32_t flags = chord.m_Flags;
                chord.clear();
                chord.m_Flags = flags;
                chord.m_Octave = octave;
                chord.m_Root = semitone(degree);
                for (int32_t k = 0; k < used; ++k) {
                    const int32_t step = degree + 2 * k;
                    chord.keys[k].m_Key = 12 * (step / n) + semitone(step % n) - semitone(degree);
                }
                chord.key_count = used;
            }
            if (chord.key_count == 0) chord.m_Flags |= MCHORD_NO_KEY;
            if (!(chord.m_Flags & MCHORD_RELATIVE_ROOT)) {
                chord.m_Root += m_CDegKey;
                chord.normalize();
            }
            chord.lookup_type();
            chord.m_DescOctave = octave;
            chord.m_DescDegree = degree;
        }
    }
}

bool MseqMapChord::set_palette_slot(int32_t slot, const MseqBlockChord& chord) {
    if (slot < 0 || slot >= kSlots) return false;
    MseqBlockChord& target = m_Blocks[slot];
    target = chord;
    target.m_DescOctave = slot / 12 - 1;
    target.m_DescDegree = slot % 12;
    if (target.key_count == 0) target.m_Flags |= MCHORD_NO_KEY;
    return true;
}

const MseqBlockChord* mseq_chord_in_effect(const MseqBlockChord& block, const MseqMapChord* map) {
    if (block.m_Flags & MCHORD_NO_KEY) return &block;
    const int32_t slot = block.desc_pitch();
    if (!map || slot < 0 || slot >= MseqMapChord::kSlots) return nullptr;
    const MseqBlockChord& chord = map->m_Blocks[static_cast<size_t>(slot)];
    return chord.m_Flags & MCHORD_NO_KEY ? nullptr : &chord;
}
