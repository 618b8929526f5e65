#pragma once

#include <cstdint>

// One key of a chord or scale: a semitone offset (from the chord's root, or above the scale's
// tonic) and its flags. For chords, flag 0x1 keeps the key in the chord but makes chord-degree
// notes skip it; every other flag bit is only stored and copied.
struct MseqKey {
    uint32_t m_Flags = 0;  // 0x1: left out by chord-degree notes
    int32_t m_Key = 0;     // semitones from the root or tonic
    bool operator==(const MseqKey&) const = default;
};

// The limits of a key list: keys must lie in lo to hi, and the list holds min_count to
// max_count entries.
struct MseqKeyLimits {
    int32_t lo;
    int32_t hi;
    int32_t min_count;
    int32_t max_count;
};

// Toggles one key of the list keys[0 .. count): a key present with exactly `flags` is removed
// (never key 0, and never below min_count entries); a key present with other flags takes
// `flags`; an absent key is added with `flags` unless the list is full. The list ends sorted
// ascending with each key once. False, with nothing changed, when the key lies outside lo to hi,
// when count is outside 0 to max_count, or when the removal or addition is refused. The array
// must hold max_count entries. User-interface thread (it changes the caller's block).
bool mseq_toggle_key(MseqKey* keys, int32_t& count, const MseqKeyLimits& limits, int32_t key,
                     uint32_t flags);

// Sorts keys[0 .. count) ascending by key, keeping the order of equal keys. Any thread that owns
// the array.
void mseq_sort_keys(MseqKey* keys, int32_t count);
