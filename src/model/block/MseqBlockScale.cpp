#include "model/block/MseqBlockScale.h"

#include <algorithm>
#include <initializer_list>
#include <memory>

#include "model/core/floor_math.h"
#include "model/lang/MseqTexts.h"
#include "platform/TextCodec.h"

namespace {

struct PresetRow {
    int32_t position;  // 0-based place in the table
    mseq_msg name;
    uint32_t show_tune;
    int32_t tone_tune;
    std::initializer_list<int32_t> semitones;
};

// The positions the table leaves empty (7 to 9, 18, 19, 22 to 29) hold no preset.
const PresetRow kPresetRows[] = {
    {0, mseq_msg::SCALE_IONIAN, 1, 0, {0, 2, 4, 5, 7, 9, 11}},
    {1, mseq_msg::SCALE_DORIAN, 0, -2, {0, 2, 3, 5, 7, 9, 10}},
    {2, mseq_msg::SCALE_PHRYGIAN, 0, -4, {0, 1, 3, 5, 7, 8, 10}},
    {3, mseq_msg::SCALE_LYDIAN, 0, -5, {0, 2, 4, 6, 7, 9, 11}},
    {4, mseq_msg::SCALE_MIXOLYDIAN, 0, 5, {0, 2, 4, 5, 7, 9, 10}},
    {5, mseq_msg::SCALE_AEOLIAN, 2, 3, {0, 2, 3, 5, 7, 8, 10}},
    {6, mseq_msg::SCALE_LOCRIAN, 0, 1, {0, 1, 3, 5, 6, 8, 10}},
    {10, mseq_msg::SCALE_HARMONIC_MINOR, 2, 3, {0, 2, 3, 5, 7, 8, 11}},
    {11, mseq_msg::SCALE_MELODIC_MINOR, 2, 3, {0, 2, 3, 5, 7, 9, 11}},
    {12, mseq_msg::SCALE_LYDIAN_FLAT_7, 0, -5, {0, 2, 4, 6, 7, 9, 10}},
    {13, mseq_msg::SCALE_MIXOLYDIAN_FLAT_6, 0, 5, {0, 2, 4, 5, 7, 8, 10}},
    {14, mseq_msg::SCALE_LOCRIAN_NATURAL_2, 0, 1, {0, 2, 3, 5, 6, 8, 10}},
    {15, mseq_msg::SCALE_SUPER_LOCRIAN, 0, 1, {0, 1, 3, 4, 6, 8, 10}},
    {16, mseq_msg::SCALE_PHRYGIAN_NATURAL_6, 0, -4, {0, 1, 3, 5, 7, 9, 10}},
    {17, mseq_msg::SCALE_LYDIAN_SHARP_5, 0, -5, {0, 2, 4, 6, 8, 9, 11}},
    {20, mseq_msg::SCALE_PENTATONIC_MAJOR, 0, 0, {0, 2, 4, 7, 9}},
    // The third key is 4, as the table has always held it.
    {21, mseq_msg::SCALE_PENTATONIC_MINOR, 0, 0, {0, 3, 4, 7, 10}},
    {30, mseq_msg::SCALE_DIMINISHED_COMBINATION, 0, -4, {0, 1, 3, 4, 6, 7, 9, 10}},
    {31, mseq_msg::SCALE_DIMINISHED, 0, 3, {0, 2, 3, 5, 6, 8, 9, 11}},
};

using PresetTable = std::array<std::unique_ptr<MseqBlockScale>, MseqBlockScale::kPresetCount>;

PresetTable build_presets(kv_language language) {
    PresetTable table;
    for (const PresetRow& row : kPresetRows) {
        auto scale = std::make_unique<MseqBlockScale>();
        const char* name = kv_pick(mseq_text_entries()[static_cast<size_t>(row.name)], language);
        scale->m_Name = kv_codec::cp932_from_utf8(name);
        scale->m_ShowTune = row.show_tune;
        scale->m_ToneTune = row.tone_tune;
        for (int32_t semitone : row.semitones)
            scale->keys[scale->key_count++].m_Key = semitone;
        table[row.position] = std::move(scale);
    }
    return table;
}

}  // namespace

const MseqBlockScale* MseqBlockScale::preset(int32_t position) {
    // A preset is copied with its name into the chord map that selects it: a new selection is
    // named in the language shown, a map read from a file keeps the name it holds.
    static const PresetTable japanese = build_presets(kv_language::japanese);
    static const PresetTable english = build_presets(kv_language::english);
    if (position < 1 || position > kPresetCount) return nullptr;
    const PresetTable& table = kv_current_language() == kv_language::english ? english : japanese;
    return table[position - 1].get();
}

bool MseqBlockScale::select_preset(int32_t position) {
    const MseqBlockScale* p = preset(position);
    if (!p) return false;
    *this = *p;
    return true;
}

bool MseqBlockScale::toggle_key(int32_t semitone, uint32_t flags) {
    return mseq_toggle_key(keys.data(), key_count, kKeyLimits, semitone, flags);
}

void MseqBlockScale::normalize() {
    m_ShowTune = std::min<uint32_t>(m_ShowTune, 2);
    m_ToneTune = static_cast<int32_t>(clamp_range(m_ToneTune, -12, 12));
    bool held = key_count >= kMinKeys && key_count <= kMaxKeys;
    for (int32_t i = 0; held && i < key_count; ++i)
        held = keys[i].m_Key >= kKeyLimits.lo && keys[i].m_Key <= kKeyLimits.hi;
    if (!held) {
        select_preset(1);
        return;
    }
    mseq_sort_keys(keys.data(), key_count);
}

bool MseqBlockScale::operator==(const MseqBlockScale& o) const {
    if (m_Name != o.m_Name || m_ShowTune != o.m_ShowTune || m_ToneTune != o.m_ToneTune ||
        key_count != o.key_count)
        return false;
    const int32_t n = std::clamp(key_count, 0, kMaxKeys);
    return std::equal(keys.begin(), keys.begin() + n, o.keys.begin());
}
