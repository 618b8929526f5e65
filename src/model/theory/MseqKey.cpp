#include "model/theory/MseqKey.h"

#include <algorithm>

bool mseq_toggle_key(MseqKey* keys, int32_t& count, const MseqKeyLimits& limits, int32_t key,
                     uint32_t flags) {
    if (key < limits.lo || key > limits.hi) return false;
    if (count < 0 || count > limits.max_count) return false;
    MseqKey* const end = keys + count;
    MseqKey* found = std::find_if(keys, end, [key](const MseqKey& k) { return k.m_Key == key; });
    if (found != end) {
        if (found->m_Flags == flags) {
            // The root (or tonic) anchors every other key, so it always stays.
            if (key == 0 || count - 1 < limits.min_count) return false;
            std::copy(found + 1, end, found);
            keys[--count] = MseqKey{};
        } else {
            found->m_Flags = flags;
        }
    } else {
        if (count >= limits.max_count) return false;
        keys[count++] = MseqKey{flags, key};
    }
    // A list read from a damaged file may repeat a key; keep its first entry only, so that the
    // list is a set again after every edit.
    mseq_sort_keys(keys, count);
    MseqKey* last = std::unique(
        keys, keys + count, [](const MseqKey& a, const MseqKey& b) { return a.m_Key == b.m_Key; });
    const int32_t kept = static_cast<int32_t>(last - keys);
    std::fill(keys + kept, keys + count, MseqKey{});
    count = kept;
    return true;
}

void mseq_sort_keys(MseqKey* keys, int32_t count) {
    if (count <= 1) return;
    std::stable_sort(keys, keys + count,
                     [](const MseqKey& a, const MseqKey& b) { return a.m_Key < b.m_Key; });
}
