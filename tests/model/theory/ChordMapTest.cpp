#include <gtest/gtest.h>

#include <vector>

#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapScale.h"

namespace chord_map_test {

std::vector<int32_t> keys_of(const MseqBlockChord& c) {
    std::vector<int32_t> out;
    for (int32_t i = 0; i < c.key_count; ++i)
        out.push_back(c.keys[i].m_Key);
    return out;
}

bool switched_on(const MseqBlockChord& c) {
    return !(c.m_Flags & MCHORD_NO_KEY);
}

TEST(ChordMap, ResetGivesIonianTriadsAroundTheMiddle) {
    MseqMapChord map;
    map.m_ToneKey = 3;
    map.m_Blocks[12].clear();
    map.m_Scale.select_preset(2);
    EXPECT_EQ(map.reset(), 1);
    EXPECT_EQ(map.m_ToneKey, 0);
    EXPECT_EQ(map.m_SDegKey, 0);
    EXPECT_EQ(map.m_CDegKey, 0);
    EXPECT_EQ(map.m_Scale, *MseqBlockScale::preset(1));
    struct Slot {
        int32_t slot;
        const char* name;
        int32_t root;
        std::vector<int32_t> keys;
    };
    const Slot slots[] = {
        {12, "maj", 0, {0, 4, 7}},    {13, "m", 2, {0, 3, 7}},
        {16, "maj", 7, {0, 4, 7}},    {17, "m", 9, {0, 3, 7}},
        {18, "m(b5)", 11, {0, 3, 6}}, {4, "maj", 7, {0, 4, 7}},
        {30, "m(b5)", 11, {0, 3, 6}}, {7, "", 0, {}},  // beyond the seventh degree: empty
    };
    for (const Slot& s : slots) {
        const MseqBlockChord& c = map.m_Blocks[s.slot];
        EXPECT_EQ(c.m_Type, s.name) << s.slot;
        EXPECT_EQ(c.m_Root, s.root) << s.slot;
        EXPECT_EQ(keys_of(c), s.keys) << s.slot;
    }
    for (int32_t s = 0; s < MseqMapChord::kSlots; ++s) {
        const MseqBlockChord& c = map.m_Blocks[s];
        EXPECT_EQ(switched_on(c), s >= 4 && s <= 17) << s;
        EXPECT_EQ(c.desc_pitch(), s);
        EXPECT_TRUE(c.m_Flags & MCHORD_RELATIVE_ROOT) << s;
        if (c.key_count) {
            EXPECT_EQ(c.m_Octave, s / 12 - 1) << s;
        }
    }
}

TEST(ChordMap, PaletteStacksThirdsOfTheScale) {
    struct Case {
        int32_t steps, tones, degree;
        const char* name;
        std::vector<int32_t> keys;
    };
    const Case cases[] = {
        {3, 4, 0, "M7", {0, 4, 7, 11}},
        {3, 4, 1, "m7", {0, 3, 7, 10}},
        {3, 4, 4, "7", {0, 4, 7, 10}},
        {3, 4, 5, "m7", {0, 3, 7, 10}},
        {3, 4, 6, "m7(b5)", {0, 3, 6, 10}},  // B D F A: crosses the octave of the scale
        {4, 5, 0, "", {0, 4, 7, 11, 14}},    // the ninth: no chord type has it
        {2, 5, 0, "maj", {0, 4, 7}},         // the steps mode limits the tones
        {4, 2, 3, "", {0, 4}},               // and the tones limit the steps
        {0, 3, 2, "", {0}},
    };
    for (const Case& c : cases) {
        MseqMapChord map;
        map.build_palette(c.steps, c.tones);
        for (int32_t octave = 0; octave < 3; ++octave) {
            const MseqBlockChord& chord = map.m_Blocks[c.degree + 12 * octave];
            EXPECT_EQ(chord.m_Type, c.name) << c.steps << "/" << c.tones << " " << c.degree;
            EXPECT_EQ(keys_of(chord), c.keys) << c.steps << "/" << c.tones << " " << c.degree;
            EXPECT_EQ(chord.m_Octave, octave - 1);
            EXPECT_EQ(chord.m_DescOctave, octave - 1);
            EXPECT_EQ(chord.m_DescDegree, c.degree);
        }
    }
}

TEST(ChordMap, PaletteOfAShortScaleLeavesTheUpperDegreesEmpty) {
    MseqMapChord map;
    ASSERT_TRUE(map.select_preset(21));  // pentatonic major: five degrees
    map.build_palette(2, 3);
    for (int32_t s = 0; s < MseqMapChord::kSlots; ++s) {
        const MseqBlockChord& c = map.m_Blocks[s];
        EXPECT_EQ(c.key_count > 0, s % 12 < 5) << s;
        if (c.key_count == 0) {
            EXPECT_FALSE(switched_on(c)) << s;
            EXPECT_TRUE(c.m_Type.empty()) << s;  // not the triad name the slot held before
        }
        EXPECT_EQ(c.desc_pitch(), s);
    }
    // Degree 0 of the pentatonic scale stacks 0, 4, 9: no chord type, so no name.
    EXPECT_EQ(keys_of(map.m_Blocks[12]), (std::vector<int32_t>{0, 4, 9}));
    EXPECT_TRUE(map.m_Blocks[12].m_Type.empty());
    // Tones zero: every chord is empty and switched off.
    map.build_palette(2, 0);
    for (const MseqBlockChord& c : map.m_Blocks) {
        EXPECT_EQ(c.key_count, 0);
        EXPECT_FALSE(switched_on(c));
    }
}

TEST(ChordMap, PaletteKeepsSlotFlagsAndMovesAbsoluteRootsByTheChordKey) {
    MseqMapChord map;
    map.m_CDegKey = 3;
    map.m_Blocks[12].m_Flags |= MCHORD_NO_KEY;          // switched off by the user
    map.m_Blocks[13].m_Flags &= ~MCHORD_RELATIVE_ROOT;  // an absolute root
    map.m_Blocks[18].m_Flags &= ~MCHORD_RELATIVE_ROOT;
    map.build_palette(2, 3);

    EXPECT_FALSE(switched_on(map.m_Blocks[12]));
    EXPECT_EQ(map.m_Blocks[12].m_Root, 0);  // relative: the key is added when sounding
    EXPECT_EQ(map.m_Blocks[12].effective_root(3), 3);

    EXPECT_TRUE(switched_on(map.m_Blocks[13]));
    EXPECT_EQ(map.m_Blocks[13].m_Root, 5);  // D + 3 = F, stored absolute
    EXPECT_EQ(map.m_Blocks[13].m_Octave, 0);
    EXPECT_EQ(map.m_Blocks[13].m_Type, "m");

    EXPECT_EQ(map.m_Blocks[18].m_Root, 2);  // B + 3 passes C: D of the octave above
    EXPECT_EQ(map.m_Blocks[18].m_Octave, 1);
    EXPECT_EQ(map.m_Blocks[18].desc_pitch(), 18);
}

TEST(ChordMap, ValidateDerivesToneTuneFromTheKeys) {
    struct Case {
        int32_t tone, chord, tune;
    };
    const Case cases[] = {
        {0, 9, 3},  // a minor scale written in its relative major
        {0, 0, 0},   {7, 0, -5},   {6, 0, 6},    {0, 6, 6},  {0, 7, 5}, {0, -6, 6},
        {0, -7, -5}, {12, -12, 0}, {-12, 12, 0}, {40, 0, 0},  // keys are clamped to 12 first
    };
    for (const Case& c : cases) {
        MseqMapChord map;
        map.m_ToneKey = c.tone;
        map.m_CDegKey = c.chord;
        EXPECT_EQ(map.validate(), 1);
        EXPECT_EQ(map.m_Scale.m_ToneTune, c.tune) << c.tone << " " << c.chord;
    }
}

TEST(ChordMap, ValidateClampsKeysAndNormalisesScaleAndPalette) {
    MseqMapChord map;
    map.m_ToneKey = -40;
    map.m_SDegKey = 13;
    map.m_CDegKey = 12;
    map.m_Scale.key_count = 4;  // cannot be held: becomes Ionian
    map.m_Blocks[20].m_Root = 14;
    map.m_Blocks[20].m_Octave = 2;
    map.m_Blocks[20].m_DescOctave = -2;
    map.m_Blocks[20].m_DescDegree = 0;
    map.m_Blocks[21].key_count = 20;
    map.validate();
    EXPECT_EQ(map.m_ToneKey, -12);
    EXPECT_EQ(map.m_SDegKey, 12);
    EXPECT_EQ(map.m_CDegKey, 12);
    EXPECT_EQ(map.m_Scale.key_count, 7);
    EXPECT_EQ(map.m_Scale.m_Name, MseqBlockScale::preset(1)->m_Name);
    EXPECT_EQ(map.m_Blocks[20].m_Root, 2);
    EXPECT_EQ(map.m_Blocks[20].m_Octave, -2);
    EXPECT_EQ(map.m_Blocks[21].key_count, 0);
    for (int32_t s = 0; s < MseqMapChord::kSlots; ++s)
        EXPECT_EQ(map.m_Blocks[s].desc_pitch(), s);
}

TEST(ChordMap, SelectingAScaleMovesScaleAndToneKeys) {
    struct Case {
        int32_t chord_key, position;
        int32_t tone, scale_key;
    };
    const Case cases[] = {
        {2, 2, 0, 2},       // Dorian (-2) from D: written in C
        {9, 6, 12, 9},      // Aeolian (+3) from A: C an octave up
        {11, 6, 2, 11},     // 14 is above 12: one octave down
        {-12, 4, -5, -12},  // Lydian (-5): -17 is below -12, one octave up
        {0, 5, 5, 0},       // Mixolydian (+5)
    };
    for (const Case& c : cases) {
        MseqMapChord map;
        map.m_CDegKey = c.chord_key;
        map.m_SDegKey = 7;
        ASSERT_TRUE(map.select_preset(c.position));
        EXPECT_EQ(map.m_Scale, *MseqBlockScale::preset(c.position));
        EXPECT_EQ(map.m_ToneKey, c.tone) << c.chord_key << " " << c.position;
        EXPECT_EQ(map.m_SDegKey, c.scale_key);
    }
}

TEST(ChordMap, SelectingAnEmptyPresetChangesNothing) {
    MseqMapChord map;
    map.m_CDegKey = 5;
    map.m_ToneKey = 1;
    map.m_SDegKey = 2;
    const MseqBlockScale before = map.m_Scale;
    for (int32_t position : {0, 8, 19, 33})
        EXPECT_FALSE(map.select_preset(position));
    EXPECT_EQ(map.m_Scale, before);
    EXPECT_EQ(map.m_ToneKey, 1);
    EXPECT_EQ(map.m_SDegKey, 2);
}

TEST(ChordMap, SelectFromTheScaleMap) {
    MseqMapScale scales;
    MseqBlockScale own = *MseqBlockScale::preset(2);
    own.m_Name = "own";
    scales.add(own);
    MseqBlockScale odd = own;
    odd.m_ToneTune = 20;  // outside -12 to 12: the keys stay where they are
    scales.add(odd);

    MseqMapChord map;
    map.m_CDegKey = 2;
    EXPECT_FALSE(map.select_scale(scales, 2));
    EXPECT_EQ(map.m_Scale, *MseqBlockScale::preset(1));
    ASSERT_TRUE(map.select_scale(scales, 0));
    EXPECT_EQ(map.m_Scale, own);
    EXPECT_EQ(map.m_ToneKey, 0);
    EXPECT_EQ(map.m_SDegKey, 2);

    map.m_ToneKey = 4;
    map.m_SDegKey = 4;
    ASSERT_TRUE(map.select_scale(scales, 1));
    EXPECT_EQ(map.m_Scale.m_ToneTune, 20);
    EXPECT_EQ(map.m_ToneKey, 4);
    EXPECT_EQ(map.m_SDegKey, 4);
}

TEST(ChordMap, SetChordKeyClampsAndMovesTheOtherKeys) {
    MseqMapChord map;  // Ionian: tone tune 0
    map.set_chord_key(9);
    EXPECT_EQ(map.m_CDegKey, 9);
    EXPECT_EQ(map.m_SDegKey, 9);
    EXPECT_EQ(map.m_ToneKey, 9);
    ASSERT_TRUE(map.select_preset(6));  // Aeolian: +3
    map.set_chord_key(-20);
    EXPECT_EQ(map.m_CDegKey, -12);
    EXPECT_EQ(map.m_SDegKey, -12);
    EXPECT_EQ(map.m_ToneKey, -9);
}

TEST(ChordMap, SetPaletteSlot) {
    MseqMapChord map;
    MseqBlockChord chord;
    chord.set_type(13);
    chord.m_Flags = MCHORD_RELATIVE_ROOT;
    chord.m_Root = 5;
    ASSERT_TRUE(map.set_palette_slot(25, chord));
    const MseqBlockChord& slot = map.m_Blocks[25];
    EXPECT_EQ(slot.m_Type, "M7");
    EXPECT_EQ(keys_of(slot), (std::vector<int32_t>{0, 4, 7, 11}));
    EXPECT_EQ(slot.m_Root, 5);
    EXPECT_EQ(slot.m_DescOctave, 1);
    EXPECT_EQ(slot.m_DescDegree, 1);
    EXPECT_EQ(slot.desc_pitch(), 25);
    EXPECT_TRUE(switched_on(slot));

    MseqBlockChord empty;
    empty.m_Flags = 0;
    ASSERT_TRUE(map.set_palette_slot(0, empty));
    EXPECT_FALSE(switched_on(map.m_Blocks[0]));
    EXPECT_EQ(map.m_Blocks[0].desc_pitch(), 0);

    const MseqBlockChord before = map.m_Blocks[35];
    EXPECT_FALSE(map.set_palette_slot(36, chord));
    EXPECT_FALSE(map.set_palette_slot(-1, chord));
    EXPECT_EQ(map.m_Blocks[35], before);
}

TEST(MapEntities, TypesCastsAndFactory) {
    for (MSEQ_TYPE type : {MTYPE_LEAF_CHORD, MTYPE_LEAF_STAGE, MTYPE_LEAF_SCALE}) {
        MseqObject node(0x10010002, type, CkvString("map"), MseqDescPath("map.kvnl"));
        ASSERT_TRUE(mseq_factory(&node)) << std::hex << type;
        MseqEntity* e = node.entity();
        EXPECT_EQ(e->type(), type);
        EXPECT_EQ(e->cast(type), e);
        EXPECT_EQ(e->cast(MTYPE_LEAF_MUSIC), nullptr);
        EXPECT_EQ(e->owner, nullptr);  // shared by every node that links the file
        EXPECT_EQ(e->name, "map");
        EXPECT_EQ(e->flags, MEF_NEW);
    }
}

}  // namespace chord_map_test
