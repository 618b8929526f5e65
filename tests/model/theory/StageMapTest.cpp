#include <gtest/gtest.h>

#include <cstdint>

#include "model/block/MseqBlockStage.h"
#include "model/theory/MseqMapStage.h"

namespace stage_map_test {

// "グランドピアノ" and "スタンダードドラム" in CP932.
const char kGrandPiano[] = "\x83\x4f\x83\x89\x83\x93\x83\x68\x83\x73\x83\x41\x83\x6d";
const char kStandardKit[] =
    "\x83\x58\x83\x5e\x83\x93\x83\x5f\x81\x5b\x83\x68\x83\x68\x83\x89\x83\x80";

TEST(StageBlock, DefaultsPlayTheFirstProgram) {
    MseqBlockStage b;
    EXPECT_EQ(b.m_Flags, 0xF80u);
    EXPECT_EQ(b.m_Program, MseqBlockWord(MWORD_PROGRAM, 0, 0, CkvString(kGrandPiano)));
    EXPECT_EQ(b.m_Volume, 120);
    EXPECT_EQ(b.m_Pan, 64);
    EXPECT_EQ(b.m_Reverb, 0);
    EXPECT_EQ(b.m_Chorus, 0);
    EXPECT_EQ(b.m_Bend, 8192);
    EXPECT_EQ(b.m_Hold, 0);
    EXPECT_EQ(b.m_Modulation, 0);
    EXPECT_EQ(b.m_Expression, 127);
    EXPECT_EQ(b.m_BendRange, 2);
    EXPECT_EQ(MSTAGE_DEFAULT,
              MSTAGE_PROGRAM | MSTAGE_VOLUME | MSTAGE_PAN | MSTAGE_REVERB | MSTAGE_CHORUS);
}

TEST(StageBlock, NormalizeClampsEveryValueToItsRange) {
    struct Case {
        int32_t MseqBlockStage::*field;
        int32_t value;
        int32_t expected;
    };
    const Case cases[] = {
        {&MseqBlockStage::m_BendRange, 30, 24},
        {&MseqBlockStage::m_BendRange, -1, 0},
        {&MseqBlockStage::m_Bend, -5, 0},
        {&MseqBlockStage::m_Bend, 16384, 16383},
        {&MseqBlockStage::m_Bend, 16383, 16383},
        {&MseqBlockStage::m_Volume, 128, 127},
        {&MseqBlockStage::m_Volume, INT32_MIN, 0},
        {&MseqBlockStage::m_Pan, -64, 0},
        {&MseqBlockStage::m_Pan, 127, 127},
        {&MseqBlockStage::m_Reverb, 300, 127},
        {&MseqBlockStage::m_Chorus, -3, 0},
        {&MseqBlockStage::m_Hold, 200, 127},
        {&MseqBlockStage::m_Modulation, 999, 127},
        {&MseqBlockStage::m_Expression, -1, 0},
        {&MseqBlockStage::m_Expression, INT32_MAX, 127},
    };
    for (const Case& c : cases) {
        MseqBlockStage b;
        b.*c.field = c.value;
        b.normalize();
        EXPECT_EQ(b.*c.field, c.expected) << c.value;
        b.*c.field = MseqBlockStage().*c.field;
        EXPECT_EQ(b, MseqBlockStage()) << "another field changed";
    }
}

TEST(StageBlock, NormalizeKeepsProgramsAndKitsAndMakesOtherWordsPrograms) {
    struct Case {
        uint16_t kind;
        uint16_t expected;
    };
    const Case cases[] = {{MWORD_PROGRAM, MWORD_PROGRAM},
                          {MWORD_DRUM_KIT, MWORD_DRUM_KIT},
                          {MWORD_DRUM_SOUND, MWORD_PROGRAM},
                          {MWORD_MSG_FORM, MWORD_PROGRAM},
                          {0, MWORD_PROGRAM},
                          {7, MWORD_PROGRAM}};
    for (const Case& c : cases) {
        MseqBlockStage b;
        b.m_Program = MseqBlockWord(c.kind, 3, 0x80010205, CkvString("x"));
        b.normalize();
        EXPECT_EQ(b.m_Program.m_Attrib, c.expected) << c.kind;
        EXPECT_EQ(b.m_Program.m_Group, 0);
        EXPECT_EQ(b.m_Program.m_Index, 0x010205u);  // the three 7-bit bytes a program keeps
        EXPECT_EQ(b.m_Program.m_Name, "x");
    }
}

TEST(StageMap, ResetSetsUpTheFirstAndTheDrumChannel) {
    MseqMapStage map;
    map.m_Setup = MMS_SETUP_GM1 | MMS_SETUP_GM2;
    map.m_Blocks[3].m_Volume = 5;
    map.m_Blocks[9].m_Flags = 0;
    EXPECT_EQ(map.reset(), 1);
    EXPECT_EQ(map.m_Setup, 0u);
    for (int32_t ch = 0; ch < MseqMapStage::kChannels; ++ch) {
        const MseqBlockStage& b = map.m_Blocks[ch];
        const bool used = ch == 0 || ch == 9;
        EXPECT_EQ(b.m_Flags, used ? 0xF81u : 0xF80u) << ch;
        MseqBlockStage expected;
        expected.m_Flags = b.m_Flags;
        if (ch == 9)
            expected.m_Program = MseqBlockWord(MWORD_DRUM_KIT, 0, 0, CkvString(kStandardKit));
        EXPECT_EQ(b, expected) << ch;
    }
}

TEST(StageMap, ValidateForcesProgramKindsByChannelAndClamps) {
    MseqMapStage map;
    map.m_Blocks[9].m_Program.m_Attrib = MWORD_PROGRAM;
    map.m_Blocks[3].m_Program.m_Attrib = MWORD_DRUM_KIT;
    map.m_Blocks[5].m_BendRange = 30;
    map.m_Blocks[15].m_Bend = -5;
    map.m_Setup = 0x3;
    EXPECT_EQ(map.validate(), 1);
    for (int32_t ch = 0; ch < MseqMapStage::kChannels; ++ch)
        EXPECT_EQ(map.m_Blocks[ch].m_Program.m_Attrib, ch == 9 ? MWORD_DRUM_KIT : MWORD_PROGRAM);
    EXPECT_EQ(map.m_Blocks[5].m_BendRange, 24);
    EXPECT_EQ(map.m_Blocks[15].m_Bend, 0);
    EXPECT_EQ(map.m_Setup, 0x3u);
}

TEST(StageMap, BlockOfChannel) {
    MseqMapStage map;
    for (int32_t ch = 0; ch < 16; ++ch)
        EXPECT_EQ(map.block(ch), &map.m_Blocks[ch]);
    EXPECT_EQ(map.block(16), nullptr);
    EXPECT_EQ(map.block(-1), nullptr);
    const MseqMapStage& cmap = map;
    EXPECT_EQ(cmap.block(15), &map.m_Blocks[15]);
    EXPECT_EQ(cmap.block(16), nullptr);
}

}  // namespace stage_map_test
