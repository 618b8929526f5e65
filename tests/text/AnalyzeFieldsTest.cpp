#include "text/AnalyzeFields.h"

#include <gtest/gtest.h>

#include <string>

#include "text/MrecReader.h"

namespace analyze_fields_test {

const char kPrefix[] =
    "KORVANTE-TEXT-TYPE\r\n"
    "header\r\n{\r\n soft_version = 0x000a0200;\r\n target = \"leaf\";\r\n"
    " type = \"MTYPE_LEAF_SCALE\";\r\n}\r\n"
    "type base; name=\"VAR\"; { }\r\ntype base; name=\"NUM\"; { }\r\n"
    "type base; name=\"STR\"; { }\r\n\r\n";

// Reads a file made of the common prefix and `rest`; the main record must be there.
class Fields : public ::testing::Test {
protected:
    const AnalyzeRecord& read(const std::string& rest) {
        text_ = std::string(kPrefix) + rest;
        EXPECT_TRUE(reader_.parse_file_text(text_.c_str(), text_.size() + 1, result_))
            << result_.error;
        static const AnalyzeRecord empty;
        return result_.main ? *result_.main : empty;
    }

    std::string text_;
    MrecReader reader_;
    MrecReadResult result_;
};

const char kScaleTypes[] =
    "type name=\"MSEQ_KEY\";\r\n{\r\n NUM m_Flags;\r\n NUM m_Key;\r\n}\r\n\r\n"
    "type name=\"MSEQ_BLOCK_SCALE\";\r\n{\r\n NUM m_Index;\r\n STR m_Name;\r\n"
    " NUM m_ShowTune;\r\n NUM m_ToneTune;\r\n MSEQ_KEY m_Keys2 array;\r\n}\r\n\r\n"
    "type name=\"MSEQ_MAP_SCALE\";\r\n{\r\n MSEQ_BLOCK_SCALE m_Blocks array;\r\n}\r\n\r\n";

TEST_F(Fields, ReadsAScaleMapByName) {
    const AnalyzeRecord& main = read(std::string(kScaleTypes) +
                                     "data main; type=\"MSEQ_MAP_SCALE\";\r\n{\r\n"
                                     " @array; type=\"MSEQ_BLOCK_SCALE\";\r\n {\r\n"
                                     "  {  0; \"major\"; 0; 0; @array; type=\"MSEQ_KEY\"; "
                                     "{{0x1;0;}{0x1;4;}} }\r\n"
                                     "  {  1; \"minor\"; 2; -1; @array; type=\"MSEQ_KEY\"; {} }\r\n"
                                     " }\r\n}\r\n");
    AnalyzeFieldReader map(result_.types, "MSEQ_MAP_SCALE", main);
    AnalyzeArrayReader blocks;
    ASSERT_TRUE(map.read_array("m_Blocks", blocks));
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks.element_type(), result_.types.find("MSEQ_BLOCK_SCALE"));

    AnalyzeFieldReader block;
    ASSERT_TRUE(blocks.read_element(0, block));
    uint32_t index = 99, show = 99;
    int32_t tone = 99;
    CkvString name;
    EXPECT_TRUE(block.read_uint("m_Index", index));
    EXPECT_TRUE(block.read_string("m_Name", name));
    EXPECT_TRUE(block.read_uint("m_ShowTune", show));
    EXPECT_TRUE(block.read_int("m_ToneTune", tone));
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(std::string(name), "major");
    EXPECT_EQ(show, 0u);
    EXPECT_EQ(tone, 0);
    AnalyzeArrayReader keys;
    ASSERT_TRUE(block.read_array("m_Keys2", keys));
    ASSERT_EQ(keys.size(), 2u);
    AnalyzeFieldReader key;
    ASSERT_TRUE(keys.read_element(1, key));
    uint32_t flags = 0;
    int32_t k = 0;
    EXPECT_TRUE(key.read_uint("m_Flags", flags));
    EXPECT_TRUE(key.read_int("m_Key", k));
    EXPECT_EQ(flags, 1u);
    EXPECT_EQ(k, 4);

    ASSERT_TRUE(blocks.read_element(1, block));
    EXPECT_TRUE(block.read_int("m_ToneTune", tone));
    EXPECT_EQ(tone, -1);
    ASSERT_TRUE(block.read_array("m_Keys2", keys));
    EXPECT_EQ(keys.size(), 0u);
    EXPECT_EQ(map.error(), 0u);

    // Past the last element.
    EXPECT_FALSE(blocks.read_element(2, block));
    EXPECT_EQ(map.error(), MREC_E_BAD_FIELD);
}

TEST_F(Fields, PositionsComeFromTheFilesDeclaration) {
    // This file declares the fields in another order, one unknown field and without m_Gone.
    const AnalyzeRecord& main = read(
        "type name=\"T\"; { STR m_Name; NUM m_Future; NUM m_Count; }\r\n"
        "data main; { \"n\"; 12; 3; }");
    AnalyzeFieldReader r(result_.types, "T", main);
    int32_t count = 0, gone = 77;
    CkvString name;
    EXPECT_TRUE(r.read_int("m_Count", count));
    EXPECT_TRUE(r.read_string("m_Name", name));
    // A field the file does not declare is not read: the default stays and nothing fails.
    EXPECT_FALSE(r.read_int("m_Gone", gone));
    EXPECT_EQ(gone, 77);
    EXPECT_FALSE(r.declares("m_Gone"));
    EXPECT_TRUE(r.declares("m_Future"));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(std::string(name), "n");
    EXPECT_EQ(r.error(), 0u);
}

TEST_F(Fields, UndeclaredRecordTypeFails) {
    const AnalyzeRecord& main = read("data main; { 1; }");
    AnalyzeFieldReader r(result_.types, "MSEQ_ROOM", main);
    EXPECT_EQ(r.error(), MREC_E_TYPE_NOT_DECLARED);
    int32_t v = 5;
    EXPECT_FALSE(r.read_int("m_A", v));
    EXPECT_EQ(v, 5);
    AnalyzeFieldReader ok(result_.types, "NUM", main);
    AnalyzeFieldReader sub;
    EXPECT_FALSE(ok.open(main, "MSEQ_NONE", sub));
    EXPECT_EQ(ok.error(), MREC_E_TYPE_NOT_DECLARED);
}

// A fraction converts when its whole part is in range, right up to the limits.
TEST_F(Fields, FractionsJustInsideTheLimitsTruncateTowardZero) {
    const AnalyzeRecord& main = read(
        "type name=\"T\"; { NUM a; NUM b; NUM c; NUM d; NUM e; NUM f; }\r\n"
        "data main; { -2147483648.75; 2147483647.75; -0.75; 4294967295.75; -1.0; "
        "-2147483649.0; }");
    const struct {
        const char* field;
        bool int_ok;
        int32_t int_value;
        bool uint_ok;
        uint32_t uint_value;
    } cases[] = {
        {"a", true, -2147483647 - 1, false, 0},
        {"b", true, 2147483647, true, 2147483647u},
        {"c", true, 0, true, 0},
        {"d", false, 0, true, 4294967295u},
        {"e", true, -1, false, 0},
        {"f", false, 0, false, 0},
    };
    for (const auto& c : cases) {
        AnalyzeFieldReader r(result_.types, "T", main);
        int32_t i = 7;
        EXPECT_EQ(r.read_int(c.field, i), c.int_ok) << c.field;
        EXPECT_EQ(i, c.int_ok ? c.int_value : 7) << c.field;
        AnalyzeFieldReader u_reader(result_.types, "T", main);
        uint32_t u = 7;
        EXPECT_EQ(u_reader.read_uint(c.field, u), c.uint_ok) << c.field;
        EXPECT_EQ(u, c.uint_ok ? c.uint_value : 7u) << c.field;
    }
}

TEST_F(Fields, ConversionsAndTheirLimits) {
    const AnalyzeRecord& main = read(
        "type name=\"T\"; { NUM a; NUM b; NUM c; NUM d; NUM e; NUM f; NUM g; NUM h; STR s; "
        "VAR r; NUM n; }\r\n"
        "data main; { 2147483647; -2147483648; 2147483648; -2147483649; 4294967295; -1; "
        "2.9; -2.9; \"text\"; { 1; } 4294967296; }");
    struct IntCase {
        const char* field;
        bool ok;
        int32_t value;
    };
    const IntCase ints[] = {
        {"a", true, 2147483647}, {"b", true, -2147483647 - 1},
        {"c", false, 0},         {"d", false, 0},
        {"g", true, 2},          {"h", true, -2},
        {"s", false, 0},         {"r", false, 0},
    };
    for (const IntCase& c : ints) {
        AnalyzeFieldReader r(result_.types, "T", main);
        int32_t v = 12345;
        EXPECT_EQ(r.read_int(c.field, v), c.ok) << c.field;
        EXPECT_EQ(v, c.ok ? c.value : 12345) << c.field;
        EXPECT_EQ(r.error(), c.ok ? 0u : MREC_E_BAD_FIELD) << c.field;
    }
    struct UintCase {
        const char* field;
        bool ok;
        uint32_t value;
    };
    const UintCase uints[] = {
        {"a", true, 2147483647u}, {"b", false, 0}, {"c", true, 2147483648u},
        {"e", true, 4294967295u}, {"f", false, 0}, {"g", true, 2},
        {"h", false, 0},          {"n", false, 0}, {"s", false, 0},
    };
    for (const UintCase& c : uints) {
        AnalyzeFieldReader r(result_.types, "T", main);
        uint32_t v = 12345;
        EXPECT_EQ(r.read_uint(c.field, v), c.ok) << c.field;
        EXPECT_EQ(v, c.ok ? c.value : 12345u) << c.field;
        EXPECT_EQ(r.error(), c.ok ? 0u : MREC_E_BAD_FIELD) << c.field;
    }
    AnalyzeFieldReader r(result_.types, "T", main);
    CkvString s;
    EXPECT_FALSE(r.read_string("a", s));
    EXPECT_EQ(r.error(), MREC_E_BAD_FIELD);
    AnalyzeFieldReader r2(result_.types, "T", main);
    const AnalyzeRecord* nested = nullptr;
    EXPECT_TRUE(r2.read_record("r", nested));
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(nested->size(), 1u);
    EXPECT_FALSE(r2.read_record("s", nested));
    EXPECT_EQ(r2.error(), MREC_E_BAD_FIELD);
}

TEST_F(Fields, MissingItemsAndStickyFailures) {
    const AnalyzeRecord& main = read(
        "type name=\"W\"; { NUM m_Attrib; NUM m_Group; NUM m_Index; STR m_Name; }\r\n"
        "type name=\"T\"; { NUM m_A; W m_Program; NUM m_Late; }\r\n"
        "data main; { 1; { 0; 1; 0x1FF; \"Piano\"; } }");
    AnalyzeFieldReader r(result_.types, "T", main);
    AnalyzeFieldReader word;
    ASSERT_TRUE(r.read_nested("m_Program", word));
    EXPECT_EQ(word.type(), result_.types.find("W"));
    uint32_t index = 0;
    EXPECT_TRUE(word.read_uint("m_Index", index));
    EXPECT_EQ(index, 0x1FFu);
    // A declared field past the last item fails, and the failure sticks for every reader
    // opened from the same one.
    int32_t late = 3;
    EXPECT_FALSE(r.read_int("m_Late", late));
    EXPECT_EQ(late, 3);
    EXPECT_EQ(r.error(), MREC_E_BAD_FIELD);
    int32_t a = 0;
    EXPECT_FALSE(r.read_int("m_A", a));
    EXPECT_FALSE(word.read_uint("m_Index", index));
    EXPECT_EQ(word.error(), MREC_E_BAD_FIELD);

    // A failure inside a nested reader reaches the outer one.
    AnalyzeFieldReader outer(result_.types, "T", main);
    AnalyzeFieldReader inner;
    ASSERT_TRUE(outer.read_nested("m_Program", inner));
    CkvString name;
    EXPECT_FALSE(inner.read_string("m_Group", name));
    EXPECT_EQ(outer.error(), MREC_E_BAD_FIELD);

    // A number where a record belongs.
    AnalyzeFieldReader third(result_.types, "T", main);
    AnalyzeFieldReader none;
    EXPECT_FALSE(third.read_nested("m_A", none));
    EXPECT_EQ(third.error(), MREC_E_BAD_FIELD);
}

TEST_F(Fields, ArraysNeedTheirMarkAndElementType) {
    const AnalyzeRecord& main = read(
        "type name=\"K\"; { NUM m_Key; }\r\n"
        "type name=\"T\"; { K ok array; K unmarked array; K wrong array; NUM plain; "
        "NUM nums array; K single; K number array; }\r\n"
        "data main; {\r\n"
        " @array; type=\"K\"; {{1;}{2;}}\r\n"
        " @type=\"K\"; {{1;}}\r\n"
        " @array; type=\"NUM\"; {1;}\r\n"
        " @array; type=\"K\"; {}\r\n"
        " @array; type=\"NUM\"; {0x10;-3;\"x\";}\r\n"
        " @array; type=\"K\"; {}\r\n"
        " 5;\r\n"
        "}");
    struct Case {
        const char* field;
        bool ok;
    };
    const Case cases[] = {
        {"ok", true},     {"unmarked", false}, {"wrong", false},
        {"plain", false},  // not declared as an array
        {"nums", true},   {"single", false},   {"number", false},
    };
    for (const Case& c : cases) {
        AnalyzeFieldReader r(result_.types, "T", main);
        AnalyzeArrayReader array;
        EXPECT_EQ(r.read_array(c.field, array), c.ok) << c.field;
        EXPECT_EQ(r.error(), c.ok ? 0u : MREC_E_BAD_FIELD) << c.field;
    }
    AnalyzeFieldReader r(result_.types, "T", main);
    AnalyzeArrayReader nums;
    ASSERT_TRUE(r.read_array("nums", nums));
    int32_t v = 0;
    uint32_t u = 0;
    EXPECT_TRUE(nums.read_int(0, v));
    EXPECT_EQ(v, 16);
    EXPECT_TRUE(nums.read_int(1, v));
    EXPECT_EQ(v, -3);
    CkvString s;
    EXPECT_TRUE(nums.read_string(2, s));
    EXPECT_EQ(std::string(s), "x");
    EXPECT_EQ(r.error(), 0u);
    // A number element is no record.
    AnalyzeFieldReader element;
    EXPECT_FALSE(nums.read_element(0, element));
    EXPECT_EQ(r.error(), MREC_E_BAD_FIELD);

    AnalyzeFieldReader r2(result_.types, "T", main);
    ASSERT_TRUE(r2.read_array("nums", nums));
    EXPECT_FALSE(nums.read_uint(1, u));
    EXPECT_EQ(r2.error(), MREC_E_BAD_FIELD);
    EXPECT_EQ(nums.error(), MREC_E_BAD_FIELD);
}

}  // namespace analyze_fields_test
