#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "model/block/MseqBlockScale.h"
#include "model/library/MseqConfig.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapScale.h"
#include "model/theory/MseqMapStage.h"
#include "platform/TextCodec.h"
#include "text/LoadWrite.h"
#include "text/MrecCompiler.h"
#include "text/MrecEntityWriter.h"

namespace map_records_test {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    EXPECT_EQ(start, text.size()) << "text must end with CR LF";
    return lines;
}

TEST(MapRecords, ScaleMapWorkedExample) {
    MseqMapScale map;
    map.name = CkvString("scales");
    MseqBlockScale major;
    major.m_Name = CkvString("major");
    major.key_count = 2;
    major.keys[0] = {1, 0};
    major.keys[1] = {1, 4};
    map.m_Blocks.push_back(major);
    const std::vector<std::string> expected = {
        "KORVANTE-TEXT-TYPE",
        kv_codec::cp932_from_utf8("// 注意！直接編集はエラーの原因になります"),
        "",
        "header",
        "{",
        " exporter = \"Korvante (STANDARD)\";",
        " soft_version = 0x000a0200;",
        " data_version = 0x0100000d;",
        " target = \"leaf\";",
        " type = \"MTYPE_LEAF_SCALE\";",
        " name = \"scales\";",
        "}",
        "",
        "type base; name=\"VAR\"; { }",
        "type base; name=\"NUM\"; { }",
        "type base; name=\"STR\"; { }",
        "",
        "type name=\"MSEQ_KEY\";",
        "{",
        " NUM m_Flags;",
        " NUM m_Key;",
        "}",
        "",
        "type name=\"MSEQ_BLOCK_SCALE\";",
        "{",
        " NUM m_Index;",
        " STR m_Name;",
        " NUM m_ShowTune;",
        " NUM m_ToneTune;",
        " MSEQ_KEY m_Keys2 array;",
        "}",
        "",
        "type name=\"MSEQ_MAP_SCALE\";",
        "{",
        " MSEQ_BLOCK_SCALE m_Blocks array;",
        "}",
        "",
        "data main; type=\"MSEQ_MAP_SCALE\";",
        "{",
        " @array; type=\"MSEQ_BLOCK_SCALE\";",
        " {",
        "  {  0; \"major\"; 0; 0; @array; type=\"MSEQ_KEY\"; {{0x1;0;}{0x1;4;}} }",
        " }",
        "}",
    };
    const std::string text = write(&map);
    EXPECT_EQ(lines_of(text), expected);
    ASSERT_EQ(expected.size(), 44u);
}

TEST(MapRecords, ScaleMapRoundTrip) {
    MseqMapScale map;
    map.add(*MseqBlockScale::preset(6));
    map.add(*MseqBlockScale::preset(21));
    map.m_Blocks[1].keys[0].m_Flags = 1;
    const std::string text = write(&map);
    MseqMapScale back;
    ASSERT_EQ(load(&back, text), 0u);
    ASSERT_EQ(back.count(), 2);
    EXPECT_EQ(*back.get(0), map.m_Blocks[0]);
    EXPECT_EQ(*back.get(1), map.m_Blocks[1]);
    EXPECT_EQ(write(&back), text);
}

TEST(MapRecords, ChordMapRoundTripAndKeyLimit) {
    MseqMapChord map;
    map.name = CkvString(kv_codec::cp932_from_utf8("コード"));
    map.set_chord_key(2);
    map.select_preset(6);
    const std::string text = write(&map);
    MseqMapChord back;
    ASSERT_EQ(load(&back, text), 0u);
    EXPECT_EQ(back.m_CDegKey, map.m_CDegKey);
    EXPECT_EQ(back.m_ToneKey, map.m_ToneKey);
    EXPECT_EQ(back.m_Scale, map.m_Scale);
    EXPECT_EQ(write(&back), text);

    // A palette chord listing 20 keys keeps the first 16 and loads without error.
    std::string keys;
    for (int k = 0; k < 20; ++k)
        keys += "{0x0;" + std::to_string(k) + ";}";
    std::string many = text;
    const size_t slot5 = many.find("{  5;");
    ASSERT_NE(slot5, std::string::npos);
    const size_t open = many.find("{{", slot5);
    const size_t close = many.find("}}", open);
    many.replace(open + 1, close - open, keys);
    MseqMapChord wide;
    ASSERT_EQ(load(&wide, many), 0u);
    EXPECT_EQ(wide.m_Blocks[5].key_count, 16);
}

TEST(MapRecords, StageMapSlotsAndOldReverbName) {
    MseqMapStage map;
    map.m_Setup = 3;
    map.block(3)->m_Reverb = 40;
    const std::string text = write(&map);
    EXPECT_NE(text.find(" MMS_SETUP_GM1|MMS_SETUP_GM2;\r\n"), std::string::npos);
    EXPECT_NE(text.find("  { 15; 0x"), std::string::npos);
    MseqMapStage back;
    ASSERT_EQ(load(&back, text), 0u);
    EXPECT_EQ(back.m_Setup, 3u);
    EXPECT_EQ(back.block(3)->m_Reverb, 40);
    EXPECT_EQ(write(&back), text);

    // A block for channel 16 is skipped; a file that spells the reverb the old way keeps it.
    std::string odd = text;
    odd.replace(odd.find("  { 15;"), 7, "  { 16;");
    std::string old_spelling = text;
    old_spelling.replace(old_spelling.find(" NUM m_Reverb;"), 14, " NUM m_Reverve;");
    MseqMapStage skipped;
    ASSERT_EQ(load(&skipped, odd), 0u);
    EXPECT_EQ(*skipped.block(15), *MseqMapStage().block(15));
    MseqMapStage reverve;
    ASSERT_EQ(load(&reverve, old_spelling), 0u);
    EXPECT_EQ(reverve.block(3)->m_Reverb, 40);
}

// m_Setup is signed in the file, but set bits beyond the known flags are written in hex: a
// negative value must come back (found by the load fuzzer, in its starting corpus).
TEST(MapRecords, StageSetupWithEveryBitReadsBack) {
    MseqMapStage map;
    const std::string text = write(&map);
    const std::string setup = " 0;\r\n @array; type=\"MSEQ_BLOCK_STAGE\";";
    ASSERT_NE(text.find(setup), std::string::npos) << text;
    for (const char* value : {"-1", "0x80000003", "MMS_SETUP_GM1|0xfffffffc"}) {
        std::string odd = text;
        odd.replace(odd.find(setup), 2, std::string(" ") + value);
        MseqMapStage first;
        ASSERT_EQ(load(&first, odd), 0u) << value;
        const std::string written = write(&first);
        MseqMapStage second;
        ASSERT_EQ(load(&second, written), 0u) << value << "\n" << written;
        EXPECT_EQ(second.m_Setup, first.m_Setup) << value;
        EXPECT_EQ(write(&second), written) << value;
    }
}

TEST(MapRecords, ConfigurationLayoutAndDefaults) {
    MseqConfig config;
    config.add_recent_room(CkvString("Z:\\home\\me\\lib\\library.kvnr"));
    config.m_PlayMode = 7;  // no name: written as a number
    const std::string text = write(&config);
    const std::string body =
        "data main; type=\"MSEQ_CONFIG\";\r\n"
        "{\r\n"
        " 0xffffffff;\r\n"
        " \"\";\r\n"
        "\r\n"
        " @array; type=\"NUM\";{0x00000000;0x00000000;0x00000000;0x00000000;}\r\n"
        " \"\";\r\n"
        " 0;\r\n"
        "\r\n"
        " 7;\r\n"
        " 0;\r\n"
        " 1;\r\n"
        "\r\n"
        " 5;\r\n"
        " 1;\r\n"
        "\r\n"
        " 1;\r\n 1;\r\n 1;\r\n 1;\r\n 120;\r\n 200;\r\n 1;\r\n 1;\r\n 0;\r\n"
        "\r\n"
        " 0;\r\n 0;\r\n 0;\r\n 0;\r\n 0;\r\n"
        "\r\n"
        " 0;\r\n 0;\r\n 0;\r\n 0;\r\n 0;\r\n 0;\r\n 0;\r\n"
        "\r\n"
        " @array; type=\"STR\";\r\n"
        " {\r\n"
        "  \"Z:\\\\home\\\\me\\\\lib\\\\library.kvnr\";\r\n"
        " }\r\n"
        "}\r\n";
    ASSERT_GE(text.size(), body.size());
    EXPECT_EQ(text.substr(text.size() - body.size()), body);
    EXPECT_NE(text.find(" target = \"core\";"), std::string::npos);
    EXPECT_NE(text.find("define name=\"MSEQ_CONFIG_PLAY_MODE\""), std::string::npos);

    MseqConfig back;
    ASSERT_EQ(load(&back, text), 0u);
    EXPECT_EQ(back.m_PlayMode, 7);
    ASSERT_EQ(back.m_RecentRooms.size(), 1u);
    EXPECT_EQ(write(&back), text);

    // Clamps run after loading.
    std::string big = text;
    big.replace(big.find("\r\n 5;\r\n"), 7, "\r\n 0;\r\n");
    MseqConfig clamped;
    ASSERT_EQ(load(&clamped, big), 0u);
    EXPECT_EQ(clamped.m_CacheLevel, 1);
}

}  // namespace map_records_test
