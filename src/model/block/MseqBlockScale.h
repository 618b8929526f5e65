#pragma once

#include <array>
#include <cstdint>

#include "model/block/MseqBlock.h"
#include "model/core/CkvString.h"
#include "model/theory/MseqKey.h"

// A scale: its name, how its key is shown, and the semitones of its degrees above the tonic.
// Held by chord maps and by the scale map. User-interface thread for every change; any thread
// may read.
class MseqBlockScale : public MseqBlockOf<MseqBlockScale> {
public:
    static constexpr MSEQ_TYPE kType = MTYPE_BLOCK_SCALE;
    static constexpr int kMinKeys = 5;
    static constexpr int kMaxKeys = 12;
    static constexpr MseqKeyLimits kKeyLimits{0, 11, kMinKeys, kMaxKeys};
    // Presets are selected by position 1 to kPresetCount.
    static constexpr int32_t kPresetCount = 32;

    // The preset at `position` (1 to 32), named in the current language, or nullptr where the
    // table has none. Any thread.
    static const MseqBlockScale* preset(int32_t position);

    // Replaces every field by the preset at `position` (1 to 32). False, with nothing changed,
    // for an empty position or one outside the table.
    bool select_preset(int32_t position);

    // Toggles the semitone `semitone` (0 to 11) with key flags `flags`: see mseq_toggle_key; the
    // tonic 0 always stays and the scale keeps 5 to 12 keys. False when refused.
    bool toggle_key(int32_t semitone, uint32_t flags);

    // Brings a scale read from a file into range: m_ShowTune to 0 to 2, m_ToneTune to -12 to 12,
    // the keys sorted. A scale with fewer than 5 or more than 12 keys, or a key outside 0 to 11,
    // becomes the Ionian preset. Never fails.
    void normalize();

    bool operator==(const MseqBlockScale& o) const;

    CkvString m_Name;         // shown to the user
    uint32_t m_ShowTune = 0;  // 0 letters, 1 shown as a major key, 2 as a minor key
    int32_t m_ToneTune = 0;   // semitones from the scale's tonic to the tonic of its signature
    int32_t key_count = 0;    // 5 to 12
    std::array<MseqKey, kMaxKeys> keys{};
};
