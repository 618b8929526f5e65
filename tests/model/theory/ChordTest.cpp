#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <initializer_list>
#include <set>
#include <vector>

#include "model/block/MseqBlockChord.h"

namespace chord_test {

MseqBlockChord chord_of(std::initializer_list<int32_t> offsets, int32_t octave = 0,
                        int32_t root = 0) {
    MseqBlockChord c;
    for (int32_t k : offsets)
        c.keys[c.key_count++].m_Key = k;
    c.m_Octave = octave;
    c.m_Root = root;
    return c;
}

std::vector<int32_t> keys_of(const MseqBlockChord& c) {
    std::vector<int32_t> out;
    for (int32_t i = 0; i < c.key_count; ++i)
        out.push_back(c.keys[i].m_Key);
    return out;
}

bool keys_sorted(const MseqBlockChord& c) {
    const std::vector<int32_t> keys = keys_of(c);
    return std::is_sorted(keys.begin(), keys.end());
}

// The semitones the chord sounds, relative to C of octave 0, with a root at C.
std::multiset<int32_t> sounding(const MseqBlockChord& c) {
    std::multiset<int32_t> out;
    for (int32_t i = 0; i < c.key_count; ++i)
        out.insert(12 * c.m_Octave + c.keys[i].m_Key);
    return out;
}

TEST(ChordType, EveryTypeIsRecognisedAfterItIsSet) {
    std::set<std::vector<int32_t>> seen;
    for (int32_t n = 0; n < kMseqChordTypeCount; ++n) {
        MseqBlockChord c;
        ASSERT_TRUE(c.set_type(n));
        EXPECT_EQ(c.m_Type, mseq_chord_type(n)->name);
        EXPECT_EQ(c.lookup_type(), n) << "type " << n << " is shadowed by another row";
        EXPECT_EQ(c.keys[0].m_Key, 0) << "type " << n << " has no root";
        EXPECT_TRUE(keys_sorted(c));
        seen.insert(keys_of(c));
    }
    EXPECT_EQ(seen.size(), 21u);
    EXPECT_EQ(mseq_chord_type(21), nullptr);
    EXPECT_EQ(mseq_chord_type(-1), nullptr);
}

TEST(ChordType, SetTypeWritesNameAndKeysWithFlagsCleared) {
    struct Case {
        int32_t n;
        const char* name;
        std::vector<int32_t> keys;
    };
    const Case cases[] = {
        {0, "maj", {0, 4, 7}},         {1, "m", {0, 3, 7}},          {10, "m7(b5)", {0, 3, 6, 10}},
        {15, "M7(#5)", {0, 4, 8, 11}}, {17, "m.add9", {0, 2, 3, 7}}, {20, "dim", {0, 3, 6, 9}},
    };
    for (const Case& c : cases) {
        // Start from a chord with more keys, some flagged, so that leftovers would show.
        MseqBlockChord chord = chord_of({-12, 0, 2, 5, 9, 14});
        chord.keys[1].m_Flags = 1;
        ASSERT_TRUE(chord.set_type(c.n));
        EXPECT_EQ(chord.m_Type, c.name);
        EXPECT_EQ(keys_of(chord), c.keys);
        for (int32_t i = 0; i < chord.key_count; ++i)
            EXPECT_EQ(chord.keys[i].m_Flags, 0u);
    }
}

TEST(ChordType, SetTypeOutsideTheTableChangesNothing) {
    MseqBlockChord c = chord_of({0, 4, 7});
    c.m_Type = "mine";
    const MseqBlockChord before = c;
    EXPECT_FALSE(c.set_type(21));
    EXPECT_FALSE(c.set_type(-1));
    EXPECT_EQ(c, before);
}

TEST(ChordType, LookupNeedsSameKeysAndNoFlags) {
    MseqBlockChord c = chord_of({0, 4, 7});
    c.m_Type = "old";
    EXPECT_EQ(c.lookup_type(), 0);
    EXPECT_EQ(c.m_Type, "maj");

    MseqBlockChord flagged = chord_of({0, 4, 7});
    flagged.keys[2].m_Flags = 1;
    flagged.m_Type = "old";
    EXPECT_EQ(flagged.lookup_type(), -1);
    EXPECT_EQ(flagged.m_Type, "old");

    for (auto keys : {std::initializer_list<int32_t>{0, 4}, {0, 4, 7, 12}, {-12, 4, 7}, {}}) {
        MseqBlockChord other = chord_of(keys);
        other.m_Type = "old";
        EXPECT_EQ(other.lookup_type(), -1);
        EXPECT_EQ(other.m_Type, "old");
    }
}

TEST(Chord, SetRootKeepsTheSoundingRootOnThePitchClass) {
    struct Case {
        uint32_t flags;
        int32_t key;
        int32_t pitch;
        int32_t root;
    };
    const Case cases[] = {
        {MCHORD_RELATIVE_ROOT, 5, 2, 9},
        {MCHORD_RELATIVE_ROOT, 0, 7, 7},
        {MCHORD_RELATIVE_ROOT, -3, 0, 3},
        {MCHORD_RELATIVE_ROOT, 12, 11, 11},
        {MCHORD_RELATIVE_ROOT, 2, 14, 0},  // pitch 14 is pitch class 2
        {0, 5, 2, 2},
        {0, -7, -1, 11},
    };
    for (const Case& c : cases) {
        MseqBlockChord chord = chord_of({0, 4, 7});
        chord.m_Flags = c.flags;
        chord.set_root(c.key, c.pitch);
        EXPECT_EQ(chord.m_Root, c.root) << c.key << " " << c.pitch;
        EXPECT_EQ(chord.effective_root(c.key), ((c.pitch % 12) + 12) % 12);
        EXPECT_EQ(keys_of(chord), (std::vector<int32_t>{0, 4, 7}));
    }
}

TEST(Chord, SetRootGivesAnEmptyChordItsRoot) {
    MseqBlockChord c;
    c.set_root(0, 4);
    EXPECT_EQ(c.key_count, 1);
    EXPECT_EQ(c.keys[0], MseqChordKey{});
    EXPECT_EQ(c.m_Root, 4);
}

TEST(Chord, EffectiveRootAndOctaveFollowTheKeyOnlyWhenRelative) {
    struct Case {
        uint32_t flags;
        int32_t octave, root, key;
        int32_t eff_root, eff_octave;
    };
    const Case cases[] = {
        {MCHORD_RELATIVE_ROOT, 0, 9, 5, 2, 1},      // passes B: next octave
        {MCHORD_RELATIVE_ROOT, 0, 0, -3, 9, -1},    // below C: octave below
        {MCHORD_RELATIVE_ROOT, 1, 11, 0, 11, 1},    //
        {MCHORD_RELATIVE_ROOT, -2, 0, -12, 0, -3},  // exactly one octave down
        {MCHORD_RELATIVE_ROOT, 2, 11, 12, 11, 3},   //
        {0, 1, 9, 5, 9, 1},                         // absolute: the key does not count
        {0, -1, 3, -12, 3, -1},
    };
    for (const Case& c : cases) {
        MseqBlockChord chord = chord_of({0, 4, 7}, c.octave, c.root);
        chord.m_Flags = c.flags;
        EXPECT_EQ(chord.effective_root(c.key), c.eff_root) << c.root << "+" << c.key;
        EXPECT_EQ(chord.effective_octave(c.key), c.eff_octave) << c.root << "+" << c.key;
    }
    MseqBlockChord wild = chord_of({0}, INT_MAX, INT_MAX);
    EXPECT_EQ(wild.effective_root(INT_MAX), static_cast<int32_t>((2LL * INT_MAX) % 12));
    wild.effective_octave(INT_MAX);  // must not overflow (the sanitizer watches)
}

TEST(Chord, ToggleKey) {
    struct Case {
        std::vector<int32_t> keys;
        int32_t offset;
        uint32_t flags;
        bool ok;
        std::vector<int32_t> after;
    };
    const Case cases[] = {
        {{0, 4, 7}, 10, 0, true, {0, 4, 7, 10}},
        {{0, 4, 7}, -5, 0, true, {-5, 0, 4, 7}},  // added in order
        {{0, 4, 7}, 7, 0, true, {0, 4}},
        {{0, 4, 7}, 0, 0, false, {0, 4, 7}},  // the root stays
        {{4}, 4, 0, false, {4}},              // one key stays
        {{0, 4, 7}, 24, 0, false, {0, 4, 7}},
        {{0, 4, 7}, -24, 0, false, {0, 4, 7}},
        {{0, 4, 7}, -23, 0, true, {-23, 0, 4, 7}},
        {{0, 4, 7}, 23, 0, true, {0, 4, 7, 23}},
        {{-8, -7, -6, -5, -4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7}, 9, 0, false, {}},  // full
        {{0, 4, 4, 7}, 10, 0, true, {0, 4, 7, 10}},  // a repeated key from a file goes
    };
    for (const Case& c : cases) {
        MseqBlockChord chord;
        for (int32_t k : c.keys)
            chord.keys[chord.key_count++].m_Key = k;
        const std::vector<int32_t> expected = c.after.empty() ? c.keys : c.after;
        EXPECT_EQ(chord.toggle_key(c.offset, c.flags), c.ok) << c.offset;
        EXPECT_EQ(keys_of(chord), expected) << c.offset;
    }
}

TEST(Chord, ToggleKeyWithTheOtherFlagChangesTheFlagOnly) {
    MseqBlockChord c = chord_of({0, 4, 7});
    ASSERT_TRUE(c.toggle_key(7, 1));
    EXPECT_EQ(keys_of(c), (std::vector<int32_t>{0, 4, 7}));
    EXPECT_EQ(c.keys[2].m_Flags, 1u);
    ASSERT_TRUE(c.toggle_key(7, 1));  // same flag now: removed
    EXPECT_EQ(keys_of(c), (std::vector<int32_t>{0, 4}));
    // The flag of an added key is kept through the sort.
    ASSERT_TRUE(c.toggle_key(-3, 1));
    EXPECT_EQ(c.keys[0], (MseqChordKey{1, -3}));
}

TEST(ChordInversion, TriadOneStepUpAndDown) {
    MseqBlockChord up = chord_of({0, 4, 7});
    EXPECT_EQ(up.invert(1), 1);
    EXPECT_EQ(keys_of(up), (std::vector<int32_t>{-8, -5, 0}));
    EXPECT_EQ(up.m_Octave, 1);
    EXPECT_EQ(sounding(up), (std::multiset<int32_t>{4, 7, 12}));

    MseqBlockChord down = chord_of({0, 4, 7});
    EXPECT_EQ(down.invert(-1), -1);
    EXPECT_EQ(keys_of(down), (std::vector<int32_t>{-5, 0, 4}));
    EXPECT_EQ(down.m_Octave, 0);
}

TEST(ChordInversion, StepsAreLimitedByKeysOctaveAndKeyRange) {
    struct Case {
        std::vector<int32_t> keys;
        int32_t octave;
        int32_t steps;
        int32_t done;
        std::vector<int32_t> after;
        int32_t after_octave;
    };
    const Case cases[] = {
        {{0, 4, 7}, 0, 2, 2, {-5, 0, 4}, 1},        // second inversion
        {{0, 4, 7}, 0, 3, 3, {0, 4, 7}, 1},         // the whole chord one octave up
        {{0, 4, 7}, 0, 9, 3, {0, 4, 7}, 1},         // never more steps than keys
        {{0, 4, 7}, 0, -3, -3, {0, 4, 7}, -1},      //
        {{0, 4, 7}, 2, 1, 0, {0, 4, 7}, 2},         // the root cannot go above octave 2
        {{0, 4, 7}, 2, -1, -1, {-5, 0, 4}, 2},      // but a lower key can come down
        {{0, 4, 7}, -2, -3, -2, {-8, -5, 0}, -2},   // stops where the root would go below -2
        {{0, 16}, 0, -1, -1, {-8, 0}, 0},           // two octaves wide: moves by 24
        {{0, 5, 22}, 0, 2, 2, {-2, 0, 5}, 2},       // root first: 5 and 22 come down 24
        {{-5, 0, 20}, 0, 1, 0, {-5, 0, 20}, 0},     // -5 + 36 would leave the key range
        {{-13, 0, 11}, -1, 2, 1, {0, 11, 23}, -1},  // the root's move would take 11 to -25
        {{}, 0, 1, 0, {}, 0},
        {{0, 4, 7}, 0, 0, 0, {0, 4, 7}, 0},
    };
    for (const Case& c : cases) {
        MseqBlockChord chord;
        for (int32_t k : c.keys)
            chord.keys[chord.key_count++].m_Key = k;
        chord.m_Octave = c.octave;
        EXPECT_EQ(chord.invert(c.steps), c.done) << c.steps;
        EXPECT_EQ(keys_of(chord), c.after) << c.steps;
        EXPECT_EQ(chord.m_Octave, c.after_octave) << c.steps;
    }
}

TEST(ChordInversion, KeepsPitchClassesOfEveryType) {
    for (int32_t n = 0; n < kMseqChordTypeCount; ++n) {
        for (int32_t steps : {1, 2, -1, -2, 4, -4}) {
            MseqBlockChord c;
            c.set_type(n);
            std::multiset<int32_t> before;
            for (int32_t s : sounding(c))
                before.insert(((s % 12) + 12) % 12);
            const int32_t done = c.invert(steps);
            EXPECT_EQ(done, std::clamp(steps, -c.key_count, c.key_count)) << n << " " << steps;
            std::multiset<int32_t> after;
            for (int32_t s : sounding(c))
                after.insert(((s % 12) + 12) % 12);
            EXPECT_EQ(after, before) << n << " " << steps;
            EXPECT_TRUE(keys_sorted(c));
            // One step up raises exactly the lowest sounding note by an octave.
            if (steps == 1) {
                MseqBlockChord fresh;
                fresh.set_type(n);
                std::multiset<int32_t> expect = sounding(fresh);
                const int32_t low = *expect.begin();
                expect.erase(expect.begin());
                expect.insert(low + 12);
                EXPECT_EQ(sounding(c), expect) << n;
            }
        }
    }
}

TEST(ChordNormalize, CarriesWrapsAndClamps) {
    struct Case {
        int32_t root, octave, desc_octave, desc_degree;
        int32_t n_root, n_octave, n_desc_octave, n_desc_degree;
    };
    const Case cases[] = {
        {14, 2, 0, 0, 2, -2, 0, 0},    // carry 1 into octave 3, which wraps to -2
        {-1, 0, 0, 0, 11, -1, 0, 0},   // below C: the octave below
        {-1, -2, 0, 0, 11, 2, 0, 0},   // and -3 wraps to 2
        {0, 7, 0, 0, 0, 2, 0, 0},      // 7 is 2 modulo 5
        {0, -3, 0, 0, 0, 2, 0, 0},     // the octave editor's wrap below -2
        {24, 0, 0, 0, 0, 2, 0, 0},     //
        {-13, 0, 0, 0, 11, -2, 0, 0},  //
        {5, 0, 5, -3, 5, 0, 2, 0},     // description clamped, not wrapped
        {5, 0, -9, 40, 5, 0, -2, 11},
        {INT_MIN, INT_MAX, INT_MIN, INT_MAX, 4, 1, -2, 11},  // computed wide: no overflow
    };
    for (const Case& c : cases) {
        MseqBlockChord chord = chord_of({0, 4, 7}, c.octave, c.root);
        chord.m_DescOctave = c.desc_octave;
        chord.m_DescDegree = c.desc_degree;
        chord.normalize();
        EXPECT_EQ(chord.m_Root, c.n_root) << c.root << "/" << c.octave;
        EXPECT_EQ(chord.m_Octave, c.n_octave) << c.root << "/" << c.octave;
        EXPECT_EQ(chord.m_DescOctave, c.n_desc_octave);
        EXPECT_EQ(chord.m_DescDegree, c.n_desc_degree);
        EXPECT_EQ(keys_of(chord), (std::vector<int32_t>{0, 4, 7}));
    }
}

TEST(ChordNormalize, SortsKeysOrEmptiesAChordItCannotHold) {
    MseqBlockChord unsorted = chord_of({7, 0, 4});
    unsorted.keys[0].m_Flags = 1;
    unsorted.normalize();
    EXPECT_EQ(keys_of(unsorted), (std::vector<int32_t>{0, 4, 7}));
    EXPECT_EQ(unsorted.keys[2], (MseqChordKey{1, 7}));

    MseqBlockChord bad_key = chord_of({0, 4, 24}, 1, 3);
    MseqBlockChord too_many = chord_of({0}, 1, 3);
    too_many.key_count = 17;
    MseqBlockChord negative = chord_of({0}, 1, 3);
    negative.key_count = -1;
    for (MseqBlockChord* c : {&bad_key, &too_many, &negative}) {
        c->m_Type = "maj";
        c->m_Flags = 0;
        c->normalize();
        EXPECT_EQ(*c, MseqBlockChord());
        EXPECT_EQ(c->m_Flags, 0x11u);
        EXPECT_TRUE(c->m_Type.empty());
    }
}

TEST(ChordBlock, TypeCastAndClone) {
    MseqBlockChord c = chord_of({0, 3, 7}, 1, 4);
    c.m_Type = "m";
    MseqBlock* block = &c;
    EXPECT_EQ(block->type(), 0x81041u);
    EXPECT_EQ(block->cast_to<MseqBlockChord>(), &c);
    EXPECT_EQ(block->cast(MTYPE_BLOCK_SCALE), nullptr);
    MseqBlock* copy = block->clone();
    ASSERT_NE(copy->cast_to<MseqBlockChord>(), nullptr);
    EXPECT_EQ(*copy->cast_to<MseqBlockChord>(), c);
    copy->delete_self();
}

}  // namespace chord_test
