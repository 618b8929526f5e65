#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <vector>

#include "model/block/MseqBlockScale.h"
#include "model/theory/MseqMapScale.h"

namespace scale_test {

std::vector<int32_t> keys_of(const MseqBlockScale& s) {
    std::vector<int32_t> out;
    for (int32_t i = 0; i < s.key_count; ++i)
        out.push_back(s.keys[i].m_Key);
    return out;
}

MseqBlockScale scale_of(std::initializer_list<int32_t> semitones) {
    MseqBlockScale s;
    s.m_Name = "mine";
    for (int32_t k : semitones)
        s.keys[s.key_count++].m_Key = k;
    return s;
}

const std::vector<int32_t> kIonian{0, 2, 4, 5, 7, 9, 11};

TEST(ScalePreset, OnlyTheListedPositionsHoldAPreset) {
    const std::set<int32_t> listed{1,  2,  3,  4,  5,  6,  7,  11, 12, 13,
                                   14, 15, 16, 17, 18, 21, 22, 31, 32};
    for (int32_t position = -1; position <= 34; ++position) {
        const MseqBlockScale* p = MseqBlockScale::preset(position);
        EXPECT_EQ(p != nullptr, listed.count(position) == 1) << position;
        MseqBlockScale s = scale_of({0, 1, 2, 3, 4, 5});
        const MseqBlockScale before = s;
        EXPECT_EQ(s.select_preset(position), p != nullptr) << position;
        if (!p) {
            EXPECT_EQ(s, before) << position;
            continue;
        }
        EXPECT_EQ(s, *p);
        // Every preset is already a valid scale: normalising leaves it as it is.
        MseqBlockScale normalised = *p;
        normalised.normalize();
        EXPECT_EQ(normalised, *p) << position;
        EXPECT_FALSE(p->m_Name.empty());
    }
}

TEST(ScalePreset, SelectedFields) {
    struct Case {
        int32_t position;
        const char* name;
        uint32_t show_tune;
        int32_t tone_tune;
        std::vector<int32_t> keys;
    };
    const Case cases[] = {
        // "1 - Ionian (長調)"
        {1, "1 - Ionian (\x92\xb7\x92\xb2)", 1, 0, kIonian},
        {2, "2 - Dorian", 0, -2, {0, 2, 3, 5, 7, 9, 10}},
        // "6 - Aeolian (短調)"
        {6, "6 - Aeolian (\x92\x5a\x92\xb2)", 2, 3, {0, 2, 3, 5, 7, 8, 10}},
        {13, "Lydian (b7)", 0, -5, {0, 2, 4, 6, 7, 9, 10}},
        {21, "Pentatonic major", 0, 0, {0, 2, 4, 7, 9}},
        {22, "Pentatonic minor", 0, 0, {0, 3, 4, 7, 10}},
        {31, "Diminished (Combination)", 0, -4, {0, 1, 3, 4, 6, 7, 9, 10}},
        {32, "Diminished", 0, 3, {0, 2, 3, 5, 6, 8, 9, 11}},
    };
    for (const Case& c : cases) {
        const MseqBlockScale* p = MseqBlockScale::preset(c.position);
        ASSERT_NE(p, nullptr) << c.position;
        EXPECT_EQ(p->m_Name, c.name);
        EXPECT_EQ(p->m_ShowTune, c.show_tune);
        EXPECT_EQ(p->m_ToneTune, c.tone_tune);
        EXPECT_EQ(keys_of(*p), c.keys);
    }
    // The Japanese preset names are CP932: "ハーモニックマイナー" is ten two-byte characters.
    ASSERT_NE(MseqBlockScale::preset(11), nullptr);
    EXPECT_EQ(MseqBlockScale::preset(11)->m_Name.size(), 20u);
    EXPECT_EQ(MseqBlockScale::preset(11)->m_Name.substr(0, 4), "\x83\x6e\x81\x5b");
}

TEST(Scale, ToggleKey) {
    struct Case {
        std::vector<int32_t> keys;
        int32_t semitone;
        uint32_t flags;
        bool ok;
        std::vector<int32_t> after;
    };
    const Case cases[] = {
        {kIonian, 11, 0, true, {0, 2, 4, 5, 7, 9}},
        {kIonian, 10, 0, true, {0, 2, 4, 5, 7, 9, 10, 11}},
        {kIonian, 0, 0, false, kIonian},  // the tonic stays
        {kIonian, 12, 0, false, kIonian},
        {kIonian, -1, 0, false, kIonian},
        {{0, 2, 4, 7, 9}, 9, 0, false, {0, 2, 4, 7, 9}},  // five keys at least
        {{0, 2, 4, 7, 9}, 1, 0, true, {0, 1, 2, 4, 7, 9}},
    };
    for (const Case& c : cases) {
        MseqBlockScale s;
        for (int32_t k : c.keys)
            s.keys[s.key_count++].m_Key = k;
        EXPECT_EQ(s.toggle_key(c.semitone, c.flags), c.ok) << c.semitone;
        EXPECT_EQ(keys_of(s), c.after) << c.semitone;
    }
    MseqBlockScale s = scale_of({0, 2, 4, 5, 7, 9, 11});
    ASSERT_TRUE(s.toggle_key(4, 1));
    EXPECT_EQ(s.keys[2], (MseqKey{1, 4}));
    EXPECT_EQ(keys_of(s), kIonian);
}

TEST(Scale, NormalizeResetsAScaleItCannotHoldToIonian) {
    const MseqBlockScale* ionian = MseqBlockScale::preset(1);
    for (auto keys : {std::initializer_list<int32_t>{0, 2, 4, 7},  // four keys
                      {0, 2, 4, 5, 7, 9, 12},                      // a key 12
                      {-1, 0, 2, 4, 5}}) {
        MseqBlockScale s = scale_of(keys);
        s.normalize();
        EXPECT_EQ(s, *ionian);
    }
    MseqBlockScale too_many = scale_of({0, 1, 2, 3, 4});
    too_many.key_count = 13;
    too_many.normalize();
    EXPECT_EQ(too_many, *ionian);
}

TEST(Scale, NormalizeClampsAndSortsAScaleItCanHold) {
    MseqBlockScale s = scale_of({0, 9, 2, 4, 7});
    s.keys[1].m_Flags = 1;
    s.m_ShowTune = 7;
    s.m_ToneTune = -20;
    s.normalize();
    EXPECT_EQ(s.m_Name, "mine");
    EXPECT_EQ(keys_of(s), (std::vector<int32_t>{0, 2, 4, 7, 9}));
    EXPECT_EQ(s.keys[4], (MseqKey{1, 9}));
    EXPECT_EQ(s.m_ShowTune, 2u);
    EXPECT_EQ(s.m_ToneTune, -12);
    s.m_ToneTune = 13;
    s.normalize();
    EXPECT_EQ(s.m_ToneTune, 12);
}

TEST(ScaleMap, AddGetRemove) {
    MseqMapScale map;
    EXPECT_EQ(map.count(), 0);
    EXPECT_EQ(map.add(scale_of({0, 2, 4, 5, 7})), 0);
    EXPECT_EQ(map.add(*MseqBlockScale::preset(2)), 1);
    ASSERT_NE(map.get(1), nullptr);
    EXPECT_EQ(*map.get(1), *MseqBlockScale::preset(2));
    EXPECT_EQ(map.get(2), nullptr);
    EXPECT_EQ(map.get(-1), nullptr);
    EXPECT_FALSE(map.remove(2));
    EXPECT_FALSE(map.remove(-1));
    EXPECT_TRUE(map.remove(0));
    EXPECT_EQ(map.count(), 1);
    EXPECT_EQ(*map.get(0), *MseqBlockScale::preset(2));
}

TEST(ScaleMap, ValidateNormalisesEveryScaleAndResetEmpties) {
    MseqMapScale map;
    map.add(scale_of({0, 2, 4, 7}));
    map.add(scale_of({0, 7, 2, 4, 9}));
    EXPECT_EQ(map.validate(), 1);
    EXPECT_EQ(*map.get(0), *MseqBlockScale::preset(1));
    EXPECT_EQ(keys_of(*map.get(1)), (std::vector<int32_t>{0, 2, 4, 7, 9}));
    EXPECT_EQ(map.reset(), 1);
    EXPECT_EQ(map.count(), 0);
}

}  // namespace scale_test
