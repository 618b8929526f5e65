#include "model/block/MseqBlockChord.h"

#include <algorithm>

#include "model/core/floor_math.h"

namespace {

// The chord types offered by the chord editor and recognised when a palette is built.
constexpr MseqChordType kChordTypes[kMseqChordTypeCount] = {
    {"maj", 3, {0, 4, 7}},        {"m", 3, {0, 3, 7}},          {"7", 4, {0, 4, 7, 10}},
    {"m7", 4, {0, 3, 7, 10}},     {"aug", 3, {0, 4, 8}},        {"m.aug", 3, {0, 3, 8}},
    {"7aug", 4, {0, 4, 8, 10}},   {"b5", 3, {0, 4, 6}},         {"m(b5)", 3, {0, 3, 6}},
    {"7(b5)", 4, {0, 4, 6, 10}},  {"m7(b5)", 4, {0, 3, 6, 10}}, {"sus4", 3, {0, 5, 7}},
    {"7sus4", 4, {0, 5, 7, 10}},  {"M7", 4, {0, 4, 7, 11}},     {"mM7", 4, {0, 3, 7, 11}},
    {"M7(#5)", 4, {0, 4, 8, 11}}, {"add9", 4, {0, 2, 4, 7}},    {"m.add9", 4, {0, 2, 3, 7}},
    {"6", 4, {0, 4, 7, 9}},       {"m6", 4, {0, 3, 7, 9}},      {"dim", 4, {0, 3, 6, 9}},
};

constexpr int32_t kMinOctave = -2;
constexpr int32_t kMaxOctave = 2;

bool key_in_range(int64_t key) {
    return key >= MseqBlockChord::kKeyLimits.lo && key <= MseqBlockChord::kKeyLimits.hi;
}

}  // namespace

const MseqChordType* mseq_chord_type(int32_t n) {
    if (n < 0 || n >= kMseqChordTypeCount) return nullptr;
    return &kChordTypes[n];
}

void MseqBlockChord::clear() {
    *this = MseqBlockChord();
}

bool MseqBlockChord::set_type(int32_t n) {
    const MseqChordType* row = mseq_chord_type(n);
    if (!row) return false;
    m_Type = row->name;
    keys.fill(MseqChordKey{});
    for (int32_t i = 0; i < row->count; ++i)
        keys[i] = MseqChordKey{0, row->offsets[i]};
    key_count = row->count;
    return true;
}

void MseqBlockChord::set_root(int32_t key, int32_t pitch) {
    const int64_t pc = floor_mod(pitch, 12);
    if (m_Flags & MCHORD_RELATIVE_ROOT)
        m_Root = static_cast<int32_t>(floor_mod(pc - key, 12));
    else
        m_Root = static_cast<int32_t>(pc);
    if (key_count < 1) {
        keys.fill(MseqChordKey{});
        key_count = 1;
    }
}

int32_t MseqBlockChord::effective_root(int32_t key) const {
    if (!(m_Flags & MCHORD_RELATIVE_ROOT)) return m_Root;
    return static_cast<int32_t>(floor_mod(int64_t{key} + m_Root, 12));
}

int32_t MseqBlockChord::effective_octave(int32_t key) const {
    if (!(m_Flags & MCHORD_RELATIVE_ROOT)) return m_Octave;
    return static_cast<int32_t>(m_Octave + floor_div(int64_t{key} + m_Root, 12));
}

bool MseqBlockChord::toggle_key(int32_t offset, uint32_t flags) {
    return mseq_toggle_key(keys.data(), key_count, kKeyLimits, offset, flags);
}

int32_t MseqBlockChord::invert(int32_t steps) {
    if (steps == 0 || key_count < 1 || key_count > kMaxKeys) return 0;
    mseq_sort_keys(keys.data(), key_count);
    const int32_t dir = steps > 0 ? 1 : -1;
    const int64_t todo = std::min<int64_t>(steps > 0 ? int64_t{steps} : -int64_t{steps}, key_count);
    // The span: how many octaves one pass through the keys covers (1 for a close triad).
    const int64_t span = (int64_t{keys[key_count - 1].m_Key} - keys[0].m_Key + 12) / 12;
    const int64_t shift = 12 * span * dir;
    int32_t done = 0;
    for (int64_t i = 0; i < todo; ++i) {
        MseqChordKey& k = keys[dir > 0 ? i : key_count - 1 - i];
        if (k.m_Key != 0) {
            const int64_t moved = int64_t{k.m_Key} + shift;
            if (!key_in_range(moved)) break;
            k.m_Key = static_cast<int32_t>(moved);
        } else {
            // Moving the root moves the chord: the octave goes one span and every other key
            // comes back by the same amount, so that they keep sounding where they were.
            const int64_t octave = int64_t{m_Octave} + span * dir;
            if (octave < kMinOctave || octave > kMaxOctave) break;
            // A key pushed out of -23 to 23 would make the chord unreadable, so such a step is
            // not taken either.
            bool fits = true;
            for (int32_t j = 0; j < key_count; ++j)
                if (keys[j].m_Key != 0 && !key_in_range(int64_t{keys[j].m_Key} - shift))
                    fits = false;
            if (!fits) break;
            m_Octave = static_cast<int32_t>(octave);
            for (int32_t j = 0; j < key_count; ++j)
                if (keys[j].m_Key != 0) keys[j].m_Key = static_cast<int32_t>(keys[j].m_Key - shift);
        }
        ++done;
    }
    mseq_sort_keys(keys.data(), key_count);
    return dir * done;
}

void MseqBlockChord::normalize() {
    m_DescOctave = static_cast<int32_t>(clamp_range(m_DescOctave, -2, 2));
    m_DescDegree = static_cast<int32_t>(clamp_range(m_DescDegree, 0, 11));
    const int64_t octave = int64_t{m_Octave} + floor_div(m_Root, 12);
    m_Root = static_cast<int32_t>(floor_mod(m_Root, 12));
    m_Octave = static_cast<int32_t>(wrap_range(octave, kMinOctave, kMaxOctave));
    bool held = key_count >= 0 && key_count <= kMaxKeys;
    for (int32_t i = 0; held && i < key_count; ++i)
        held = key_in_range(keys[i].m_Key);
    if (!held) {
        clear();
        return;
    }
    mseq_sort_keys(keys.data(), key_count);
}

int32_t MseqBlockChord::lookup_type() {
    if (key_count < 1 || key_count > kMaxKeys) return -1;
    for (int32_t n = 0; n < kMseqChordTypeCount; ++n) {
        const MseqChordType& row = kChordTypes[n];
        if (row.count != key_count) continue;
        bool same = true;
        for (int32_t i = 0; same && i < key_count; ++i)
            same = keys[i].m_Flags == 0 && keys[i].m_Key == row.offsets[i];
        if (same) {
            m_Type = row.name;
            return n;
        }
    }
    return -1;
}

bool MseqBlockChord::operator==(const MseqBlockChord& o) const {
    if (m_Type != o.m_Type || m_Flags != o.m_Flags || m_DescOctave != o.m_DescOctave ||
        m_DescDegree != o.m_DescDegree || m_Octave != o.m_Octave || m_Root != o.m_Root ||
        key_count != o.key_count)
        return false;
    const int32_t n = std::clamp(key_count, 0, kMaxKeys);
    return std::equal(keys.begin(), keys.begin() + n, o.keys.begin());
}
