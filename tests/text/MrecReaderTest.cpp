#include "text/MrecReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <new>
#include <string>

#include "platform/TextCodec.h"

namespace mrec_reader_test {

const char kHeader[] =
    "KORVANTE-TEXT-TYPE\r\n"
    "// comment line\r\n"
    "\r\n"
    "header\r\n"
    "{\r\n"
    " exporter = \"Korvante (STANDARD)\";\r\n"
    " soft_version = 0x000a0200;\r\n"
    " data_version = 0x0100000d;\r\n"
    " target = \"leaf\";\r\n"
    " type = \"MTYPE_LEAF_SCALE\";\r\n"
    " name = \"scales\";\r\n"
    "}\r\n";

// A file made of the standard magic and header followed by `statements`.
std::string file(const std::string& statements) {
    return std::string(kHeader) + statements;
}

uint32_t read_text(const std::string& text, MrecReadResult& result) {
    MrecReader reader;
    const bool ok = reader.parse_file_text(text.c_str(), text.size() + 1, result);
    EXPECT_EQ(ok, result.error == 0) << text;
    return result.error;
}

uint32_t read_text(const std::string& text) {
    MrecReadResult result;
    return read_text(text, result);
}

struct Case {
    const char* statements;
    uint32_t error;
};

// A failed read tells where it stopped (line and byte column, for a person to look at) and
// whether the text looks like UTF-8 or starts with a byte-order mark.
TEST(MrecReader, FailureGivesThePlaceAndAHint) {
    struct Place {
        std::string text;
        uint32_t error, line, column, hint;
    };
    const Place places[] = {
        {file("data main; type=\"X\"; { 1; 09; }"), 19, 13, 28, MREC_HINT_NONE},
        {file("\r\n\r\n  data { 1 }"), 0x10012, 15, 12, MREC_HINT_NONE},
        {file("data\n{ \"open\n }"), 24, 14, 8, MREC_HINT_NONE},
        {"\xEF\xBB\xBF" + file(""), 0x10005, 1, 1, MREC_HINT_BOM},
        {file("data main; type=\"X\"; { \"\xE3\x81\x82\"; }"), 24, 13, 32, MREC_HINT_UTF8},
        {file("data main; type=\"X\"; { 1 }"), 0x10012, 13, 26, MREC_HINT_NONE},
    };
    for (const Place& p : places) {
        MrecReadResult result;
        EXPECT_EQ(read_text(p.text, result), p.error) << p.text;
        EXPECT_EQ(result.line, p.line) << p.text;
        EXPECT_EQ(result.column, p.column) << p.text;
        EXPECT_EQ(result.hint, p.hint) << p.text;
    }
    // CP932 text is not taken for UTF-8, nor plain ASCII.
    EXPECT_EQ(mrec_text_hint(kv_codec::cp932_from_utf8("あいう")), MREC_HINT_NONE);
    EXPECT_EQ(mrec_text_hint("plain"), MREC_HINT_NONE);
    EXPECT_EQ(mrec_text_hint("\xE3\x81\x82"), MREC_HINT_UTF8);
}

TEST(MrecReader, StatementGrammar) {
    const Case cases[] = {
        {"data main; { 1; }", 0},
        {"", MREC_E_NO_MAIN},
        {"  // only a comment\r\n", MREC_E_NO_MAIN},
        {"data { 1; }", MREC_E_NO_MAIN},
        {"5", AE_NO_IDENTIFIER},
        {"/* open", AE_OPEN_COMMENT},
        // Text after the main record is never looked at.
        {"data main; { } 5 \"open /* (", 0},
        // Unknown statements are skipped to the brace that closes their first one.
        {"extra name=\"x\"; { \"}\" { } } data main; {}", 0},
        {"extra { /* } */ // }\n } data main; {}", 0},
        // A lead byte outside a string still takes its trail byte along.
        {"extra { \x83} } data main; {}", 0},
        {"extra { \"\x83\"\" } data main; {}", 0},
        {"header { } data main; {}", 0},
        {"extra \"{\" { } data main; {}", 0},
        {"extra { { }", MREC_E_NO_MAIN},
        {"extra } data main; {}", MREC_E_BRACE_EXPECTED},
        {"extra { \"open } data main; {}", AE_OPEN_STRING},
        {"extra { /* open", AE_OPEN_COMMENT},
        // define: names exist only after their block.
        {"define { A = 1; } define { B = A + 1; } data main; { B; }", 0},
        {"define { A = 1; B = A + 1; } data main; {}", AE_UNKNOWN_NAME},
        {"define { A = 1; } define { A = 2; } data main; {}", AE_DEFINED_TWICE},
        {"define { A = 1; A = 2; } data main; {}", MREC_E_NAME_TWICE},
        {"define name=\"T\"; { A; } data main; { 1; }", 0},
        {"define { A = 1 } data main; {}", MREC_E_SEMICOLON_EXPECTED},
        {"define { 5; }", AE_NO_IDENTIFIER},
        {"define { A = 1;", AE_NO_IDENTIFIER},
        {"define A = 1; ;", MREC_E_BRACE_EXPECTED},
        // Records.
        {"data main; { 1 }", MREC_E_SEMICOLON_EXPECTED},
        {"data main; { 1;", AE_NO_VALUE},
        {"data main; { ; }", AE_NO_VALUE},
        {"data main; 5 { }", MREC_E_BRACE_EXPECTED},
        {"data main", MREC_E_SEMICOLON_EXPECTED},
        {"data main;", MREC_E_BRACE_EXPECTED},
        {"data main; a = 1; a = 2; { }", MREC_E_NAME_TWICE},
        {"data main; a = 1 { }", MREC_E_SEMICOLON_EXPECTED},
        {"data main; a = (1; { }", AE_MISSING_PAREN},
        {"data main; { (1; }", AE_MISSING_PAREN},
        {"data main; { 6 == 6; }", AE_ASSIGN_AFTER_VALUE},
        {"data main; { 09; }", AE_BAD_OCTAL},
        {"data main; { @ { } }", 0},
        {"data main; { @x { } }", MREC_E_SEMICOLON_EXPECTED},
        {"data main; { @x; 5 }", MREC_E_BRACE_EXPECTED},
        {"data main; { { 1; }; }", AE_NO_VALUE},
        {"data main; { \"a\x83\x5C\"; }", 0},
        // Type declarations.
        {"type base; name=\"NUM\"; { } type name=\"T\"; { NUM m_A; NUM m_B array x; } "
         "data main; {}",
         0},
        {"type base; { }", MREC_E_NO_TYPE_NAME},
        {"type base; name=5; { }", MREC_E_NO_TYPE_NAME},
        {"type base; name; { }", MREC_E_NO_TYPE_NAME},
        {"type base; name=\"NUM\"; { } type base; name=\"NUM\"; { }", MREC_E_TYPE_TWICE},
        {"type base; name=\"NUM\"; { NUM m_A; }", MREC_E_BASE_WITH_FIELDS},
        {"type name=\"T\"; { FOO m_A; }", MREC_E_UNKNOWN_FIELD_TYPE},
        {"type name=\"T\"; { T m_A; }", MREC_E_UNKNOWN_FIELD_TYPE},
        {"type base; name=\"NUM\"; { } type name=\"T\"; { NUM; }", MREC_E_NO_FIELD_NAME},
        {"type base; name=\"NUM\"; { } type name=\"T\"; { NUM 5; }", MREC_E_NO_FIELD_NAME},
        {"type base; name=\"NUM\"; { } type name=\"T\"; { NUM m_A; NUM m_A; }", MREC_E_FIELD_TWICE},
        {"type base; name=\"NUM\"; { } type name=\"T\"; { NUM m_A 5; }", MREC_E_SEMICOLON_EXPECTED},
        {"type base; name=\"NUM\"; { } type name=\"T\"; { 5 m_A; }", MREC_E_SEMICOLON_EXPECTED},
        {"type name=\"T\" { }", MREC_E_SEMICOLON_EXPECTED},
        {"type name=\"T\"; 5", MREC_E_BRACE_EXPECTED},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(read_text(file(c.statements)), c.error) << c.statements;
    }
}

TEST(MrecReader, MagicAndBuffer) {
    MrecReader reader;
    MrecReadResult result;
    EXPECT_FALSE(reader.parse_file_text(nullptr, 0, result));
    EXPECT_EQ(result.error, MREC_E_NO_BUFFER);
    EXPECT_FALSE(reader.parse_file_text("", 0, result));
    EXPECT_EQ(result.error, MREC_E_NO_BUFFER);
    const std::string good = file("data main; {}");
    // The buffer must end with its NUL byte.
    EXPECT_FALSE(reader.parse_file_text(good.c_str(), good.size(), result));
    EXPECT_EQ(result.error, MREC_E_NOT_TERMINATED);
    EXPECT_TRUE(reader.parse_file_text(good.c_str(), good.size() + 1, result));

    const Case cases[] = {
        {"", MREC_E_NO_MAGIC},
        {"KORVANTE-TEXT-TYP", MREC_E_NO_MAGIC},
        {" KORVANTE-TEXT-TYPE\nheader", MREC_E_NO_MAGIC},
        {"\xEF\xBB\xBFKORVANTE-TEXT-TYPE\nheader", MREC_E_NO_MAGIC},
        {"korvante-text-type\nheader", MREC_E_NO_MAGIC},
        {"KORVANTE-TEXT-TYPE", AE_NO_IDENTIFIER},
        {"KORVANTE-TEXT-TYPE\r\n\r\n", AE_NO_IDENTIFIER},
        {"KORVANTE-TEXT-TYPE\n5", AE_NO_IDENTIFIER},
        {"KORVANTE-TEXT-TYPE\ndata main; {}", MREC_E_NO_HEADER},
        {"KORVANTE-TEXT-TYPE\nheader 5", MREC_E_BRACE_EXPECTED},
        {"KORVANTE-TEXT-TYPE\nheader {", AE_NO_IDENTIFIER},
        // The rest of the magic line is not looked at, whatever it holds.
        {"KORVANTE-TEXT-TYPE { \"open /* header\nheader { soft_version=1; target=\"book\"; "
         "type=\"MTYPE_BOOK_MUSIC\"; } data main; {}",
         0},
        // The magic is a prefix: the word may run on.
        {"KORVANTE-TEXT-TYPEX\nheader { soft_version=1; target=\"book\"; "
         "type=\"MTYPE_BOOK_MUSIC\"; } data main; {}",
         0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(read_text(c.statements), c.error) << c.statements;
    }
    // An embedded NUL ends the text.
    std::string cut = file("data main; { 1; 2; }");
    cut[cut.rfind('2')] = '\0';
    EXPECT_EQ(read_text(cut), AE_NO_VALUE);
}

std::string header_file(const std::string& body) {
    return "KORVANTE-TEXT-TYPE\r\nheader\r\n{\r\n" + body + "}\r\ndata main; { }\r\n";
}

TEST(MrecReader, HeaderCheck) {
    const std::string rest = "target=\"leaf\"; type=\"MTYPE_LEAF_MUSIC\";";
    const Case cases[] = {
        {"soft_version=0x000a0200; data_version=0x0100000d; target=\"leaf\"; "
         "type=\"MTYPE_LEAF_MUSIC\";",
         0},
        {"soft_version=0; target=\"leaf\"; type=\"MTYPE_LEAF_MUSIC\";", MREC_E_NO_SOFT_VERSION},
        {"target=\"leaf\"; type=\"MTYPE_LEAF_MUSIC\";", MREC_E_NO_SOFT_VERSION},
        {"soft_version; target=\"leaf\"; type=\"MTYPE_LEAF_MUSIC\";", MREC_E_NO_SOFT_VERSION},
        {"soft_version=\"1\"; target=\"leaf\"; type=\"MTYPE_LEAF_MUSIC\";", MREC_E_NO_SOFT_VERSION},
        {"soft_version=-1; target=\"leaf\"; type=\"MTYPE_LEAF_MUSIC\";", MREC_E_NO_SOFT_VERSION},
        {"soft_version=4294967296; target=\"leaf\"; type=\"MTYPE_LEAF_MUSIC\";",
         MREC_E_NO_SOFT_VERSION},
        {"soft_version=0.5; target=\"leaf\"; type=\"MTYPE_LEAF_MUSIC\";", MREC_E_NO_SOFT_VERSION},
        {"soft_version=1.5; target=\"leaf\"; type=\"MTYPE_LEAF_MUSIC\";", 0},
        {"soft_version=1; data_version=0x0100FFFF; target=\"leaf\"; type=\"MTYPE_LEAF_MUSIC\";", 0},
        {"soft_version=1; data_version=0x01010000; target=\"leaf\"; type=\"MTYPE_LEAF_MUSIC\";",
         MREC_E_NEWER_LAYOUT},
        {"soft_version=1; data_version=0x02000000; target=\"leaf\"; type=\"MTYPE_LEAF_MUSIC\";",
         MREC_E_NEWER_LAYOUT},
        {"soft_version=1; data_version=\"x\"; target=\"leaf\"; type=\"MTYPE_LEAF_MUSIC\";", 0},
        {"soft_version=1; type=\"MTYPE_LEAF_MUSIC\";", MREC_E_BAD_TARGET},
        {"soft_version=1; target=\"disk\"; type=\"MTYPE_LEAF_MUSIC\";", MREC_E_BAD_TARGET},
        {"soft_version=1; target=\"Leaf\"; type=\"MTYPE_LEAF_MUSIC\";", MREC_E_BAD_TARGET},
        {"soft_version=1; target=\"leaf\";", MREC_E_BAD_TYPE},
        {"soft_version=1; target=\"leaf\"; type=\"MTYPE_NOTHING\";", MREC_E_BAD_TYPE},
        {"soft_version=1; target=\"leaf\"; type=65554;", MREC_E_BAD_TYPE},
        // The checks run in order: the first failing one is reported.
        {"soft_version=0; data_version=0x02000000;", MREC_E_NO_SOFT_VERSION},
        {"soft_version=1; data_version=0x02000000;", MREC_E_NEWER_LAYOUT},
        {"soft_version=1; type=\"nothing\";", MREC_E_BAD_TARGET},
        {"soft_version=1; soft_version=2;", MREC_E_NAME_TWICE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(read_text(header_file(c.statements)), c.error) << c.statements;
    }
    // A failing header ends the read before anything after it.
    EXPECT_EQ(read_text("KORVANTE-TEXT-TYPE\nheader { soft_version=0; } 09 (("),
              MREC_E_NO_SOFT_VERSION);
}

TEST(MrecReader, HeaderValues) {
    const std::string name = kv_codec::cp932_from_utf8("ソ曲");
    MrecReadResult result;
    ASSERT_EQ(read_text(header_file("soft_version=0x000a0200; data_version=0x0100000e; "
                                    "target=\"core\"; type=\"MTYPE_CONFIG\"; name=\"" +
                                    name + "\"; exporter=\"x\"; extra;"),
                        result),
              0u);
    EXPECT_EQ(result.header.soft_version, 0x000a0200u);
    EXPECT_EQ(result.header.data_version, 0x0100000eu);
    EXPECT_EQ(result.header.target, MREC_TARGET_CORE);
    EXPECT_EQ(result.header.type, MTYPE_CONFIG);
    EXPECT_EQ(std::string(result.header.name), name);

    struct Target {
        const char* word;
        uint32_t target;
    };
    const Target targets[] = {{"room", MREC_TARGET_ROOM},
                              {"book", MREC_TARGET_BOOK},
                              {"leaf", MREC_TARGET_LEAF},
                              {"core", MREC_TARGET_CORE}};
    for (const Target& t : targets) {
        EXPECT_EQ(mrec_target_from_word(t.word), t.target);
        EXPECT_STREQ(mrec_target_word(t.target), t.word);
    }
    EXPECT_EQ(mrec_target_from_word("rooms"), 0u);
    EXPECT_EQ(mrec_target_word(0), nullptr);
    EXPECT_EQ(mrec_target_of_type(MTYPE_ROOM), MREC_TARGET_ROOM);
    EXPECT_EQ(mrec_target_of_type(MTYPE_BOOK_MUSIC), MREC_TARGET_BOOK);
    EXPECT_EQ(mrec_target_of_type(MTYPE_LEAF_SCALE), MREC_TARGET_LEAF);
    // Tracks share the category of leaves; blocks have none.
    EXPECT_EQ(mrec_target_of_type(MTYPE_TRACK_NOTE), MREC_TARGET_LEAF);
    EXPECT_EQ(mrec_target_of_type(0x00080001), 0u);
    EXPECT_EQ(mrec_target_of_type(MTYPE_CONFIG), MREC_TARGET_CORE);
    EXPECT_EQ(mrec_target_of_type(MTYPE_EMPTY), 0u);

    // The header-only read stops after the check.
    MrecReader reader;
    const std::string text =
        "KORVANTE-TEXT-TYPE\nheader { soft_version=1; target=\"book\"; "
        "type=\"MTYPE_BOOK_MUSIC\"; } 09 ((";
    EXPECT_TRUE(reader.parse_header_text(text.c_str(), text.size() + 1, result));
    EXPECT_EQ(result.header.type, MTYPE_BOOK_MUSIC);
    EXPECT_FALSE(reader.parse_file_text(text.c_str(), text.size() + 1, result));
    EXPECT_EQ(result.error, AE_NO_IDENTIFIER);
}

TEST(MrecReader, RecordItemsAndAttributes) {
    MrecReadResult result;
    ASSERT_EQ(read_text(file("data first; { 7; } data main; type=\"MSEQ_X\"; z; a=-2; "
                             "{ 1; \"x\"; @null;{} { 2; } @array; type=\"NUM\"; {3;4;} }"),
                        result),
              0u);
    ASSERT_EQ(result.records.size(), 2u);
    EXPECT_EQ(result.records[0]->get_record(0), nullptr);
    ASSERT_NE(result.main, nullptr);
    EXPECT_EQ(result.main, result.records[1].get());
    const AnalyzeRecord& m = *result.main;
    EXPECT_TRUE(m.type_is("MSEQ_X"));
    EXPECT_FALSE(m.type_is("MSEQ_"));
    EXPECT_TRUE(m.has_attribute("main"));
    EXPECT_TRUE(m.has_attribute("z"));
    EXPECT_TRUE(m.attributes().find("z")->is_empty());
    uint32_t u = 99;
    EXPECT_FALSE(m.attribute_uint("a", u));  // -2 is no unsigned number
    EXPECT_EQ(u, 99u);
    // Attributes come out in byte-wise name order.
    std::string names;
    for (const auto& attribute : m.attributes())
        names += attribute.first + ",";
    EXPECT_EQ(names, "a,main,type,z,");

    ASSERT_EQ(m.size(), 5u);
    int32_t i = 0;
    EXPECT_TRUE(m.get_int(0, i));
    EXPECT_EQ(i, 1);
    CkvString s;
    EXPECT_TRUE(m.get_string(1, s));
    EXPECT_EQ(std::string(s), "x");
    EXPECT_FALSE(m.get_int(1, i));
    EXPECT_FALSE(m.get_string(0, s));
    const AnalyzeRecord* null_record = m.get_record(2);
    ASSERT_NE(null_record, nullptr);
    EXPECT_TRUE(null_record->has_attribute("null"));
    EXPECT_EQ(null_record->size(), 0u);
    const AnalyzeRecord* inner = m.get_record(3);
    ASSERT_NE(inner, nullptr);
    EXPECT_TRUE(inner->attributes().empty());
    EXPECT_TRUE(inner->get_uint(0, u));
    EXPECT_EQ(u, 2u);
    EXPECT_EQ(m.items()[3].aux(), AVA_RECORD);
    EXPECT_EQ(m.items()[3].kind(), AVK_POINTER);
    const AnalyzeRecord* array = m.get_record(4);
    ASSERT_NE(array, nullptr);
    EXPECT_TRUE(array->has_attribute("array"));
    EXPECT_TRUE(array->type_is("NUM"));
    EXPECT_EQ(array->size(), 2u);
    EXPECT_EQ(m.get_record(5), nullptr);
    EXPECT_FALSE(m.get_int(5, i));

    // Copies are deep.
    auto copy = m.clone();
    EXPECT_NE(copy->get_record(3), inner);
    EXPECT_TRUE(copy->get_record(3)->get_uint(0, u));
    EXPECT_TRUE(copy->type_is("MSEQ_X"));
}

TEST(MrecReader, ConstantsAndTypeTable) {
    MrecReadResult result;
    ASSERT_EQ(read_text(file("define name=\"MSEQ_NOTE_BLOCK_TYPE\";\r\n{\r\n MNBT_PURE = 1;\r\n "
                             "MNBT_CDEG = 4;\r\n}\r\n"
                             "type base; name=\"NUM\"; { }\r\ntype base; name=\"STR\"; { }\r\n"
                             "type name=\"MSEQ_KEY\";\r\n{\r\n NUM m_Flags;\r\n NUM m_Key;\r\n}\r\n"
                             "type name=\"B\"; { STR m_Name; MSEQ_KEY m_Keys2 array extra; }\r\n"
                             "data main; { MNBT_CDEG; MNBT_PURE | 0x10; }"),
                        result),
              0u);
    EXPECT_EQ(result.types.size(), 4u);
    const AnalyzeType* num = result.types.find("NUM");
    ASSERT_NE(num, nullptr);
    EXPECT_TRUE(num->is_base());
    const AnalyzeType* b = result.types.find("B");
    ASSERT_NE(b, nullptr);
    EXPECT_FALSE(b->is_base());
    const AnalyzeField* keys = b->find_field("m_Keys2");
    ASSERT_NE(keys, nullptr);
    EXPECT_EQ(keys->position, 1u);
    EXPECT_TRUE(keys->array);
    EXPECT_EQ(keys->type, result.types.find("MSEQ_KEY"));
    EXPECT_FALSE(b->find_field("m_Name")->array);
    EXPECT_EQ(b->find_field("m_name"), nullptr);
    EXPECT_EQ(result.types.find("MSEQ_KEY")->find_field("m_Key")->position, 1u);
    uint32_t u = 0;
    EXPECT_TRUE(result.main->get_uint(0, u));
    EXPECT_EQ(u, 4u);
    EXPECT_TRUE(result.main->get_uint(1, u));
    EXPECT_EQ(u, 0x11u);
}

TEST(MrecReader, SymbolsDoNotLeakBetweenReads) {
    MrecReader reader;
    MrecReadResult result;
    const std::string first = file("define { A = 1; } data main; { A; }");
    ASSERT_TRUE(reader.parse_file_text(first.c_str(), first.size() + 1, result));
    const std::string second = file("data main; { A; }");
    EXPECT_FALSE(reader.parse_file_text(second.c_str(), second.size() + 1, result));
    EXPECT_EQ(result.error, AE_UNKNOWN_NAME);
    // A reader is reusable after a failure.
    EXPECT_TRUE(reader.parse_file_text(first.c_str(), first.size() + 1, result));
    EXPECT_EQ(result.error, 0u);
}

// A reader that stands for the record compiler: it refuses some headers and main records.
class StrictReader : public MrecReader {
public:
    MSEQ_TYPE wanted = MTYPE_LEAF_SCALE;
    int mains = 0;

protected:
    uint32_t on_header(MrecReadResult& result) override {
        return result.header.type == wanted ? AE_OK : MREC_E_TYPE_MISMATCH;
    }
    uint32_t on_main(MrecReadResult&, const AnalyzeRecord& main) override {
        ++mains;
        return main.type_is("MSEQ_MAP_SCALE") ? AE_OK : MREC_E_NO_TYPE_NAME;
    }
};

TEST(MrecReader, HooksEndTheRead) {
    StrictReader reader;
    MrecReadResult result;
    const std::string good = file("data main; type=\"MSEQ_MAP_SCALE\"; { }");
    EXPECT_TRUE(reader.parse_file_text(good.c_str(), good.size() + 1, result));
    EXPECT_EQ(reader.mains, 1);
    const std::string bad_main = file("data main; { } data main; { }");
    EXPECT_FALSE(reader.parse_file_text(bad_main.c_str(), bad_main.size() + 1, result));
    EXPECT_EQ(result.error, MREC_E_NO_TYPE_NAME);
    EXPECT_EQ(reader.mains, 2);
    reader.wanted = MTYPE_LEAF_MUSIC;
    EXPECT_FALSE(reader.parse_file_text(good.c_str(), good.size() + 1, result));
    EXPECT_EQ(result.error, MREC_E_TYPE_MISMATCH);
    EXPECT_EQ(reader.mains, 2);
}

TEST(MrecReader, NestingIsBoundedNotFatal) {
    // The main record is the first level.
    auto nested = [](int levels) {
        return file("data main; " + std::string(levels, '{') + std::string(levels, '}'));
    };
    EXPECT_EQ(read_text(nested(kAnalyzeMaxDepth)), 0u);
    EXPECT_EQ(read_text(nested(kAnalyzeMaxDepth + 1)), AE_TOO_DEEP);
    EXPECT_EQ(read_text(file("data main; " + std::string(2000000, '{'))), AE_TOO_DEEP);
    std::string at = "data main; {";
    for (int i = 0; i < 100000; ++i)
        at += "@a;{";
    EXPECT_EQ(read_text(file(at)), AE_TOO_DEEP);
    // Parentheses inside a record count with the record levels.
    EXPECT_EQ(read_text(file("data main; {{ " + std::string(255, '(') + "1" +
                             std::string(255, ')') + "; }}")),
              AE_TOO_DEEP);
    EXPECT_EQ(read_text(file("data main; {{ " + std::string(254, '(') + "1" +
                             std::string(254, ')') + "; }}")),
              0u);
    // Unknown statements are skipped without recursion, however deep their braces.
    EXPECT_EQ(read_text(file("extra " + std::string(100000, '{') + std::string(100000, '}') +
                             " data main; {}")),
              0u);
}

// Items take shortcuts for plain numbers and names; they must agree with the evaluator itself.
TEST(MrecReader, ItemsReadAsTheEvaluatorReadsThem) {
    const char* items[] = {
        "5",
        "-5",
        "- 5",
        "-5 * 2",
        "5 - 1",
        "5 /* c */",
        "5 // c\n",
        "-0x10",
        "0x10",
        "-09",
        "09",
        "1.5",
        "-.5",
        "-1.2.3",
        "K",
        "K + 1",
        "K * -1",
        "-K",
        "K ?= 3",
        "K = 4",
        "U",
        "U + 1",
        "K 1",
        "5 6",
        "5 K",
        "-5 K",
        "\"s\"",
        "\"s\" + \"t\"",
        "S",
        "S + K",
        "E",
        "E + 1",
        "5 == 5",
        "K == 5",
        "-",
        "-a",
        "5 /* open",
        // Around the quick integer path: leading zeros, other bases, long runs, trailing bytes.
        "0",
        "-0",
        "00",
        "07",
        "-07",
        "0x1",
        "0b1",
        "0o7",
        "0.5",
        "1.",
        "12.5",
        "123456789",
        "999999999",
        "1234567890",
        "-1234567890",
        "4294967296",
        "12abc",
        "12x",
        "12_",
        "1 ",
        "1\t",
        "1\r\n",
        "--1",
        "-0x",
        "0e",
        // Around the quick hexadecimal path: up to 8 digits, either case, what follows them.
        "0x00",
        "0X1f",
        "0xFFFFFFFF",
        "0xffffffff ",
        "0x123456789",
        "0x100000000",
        "0x1g",
        "0x1.",
        "0x1_",
        "0x1 2",
        "0x10 + 1",
        "0x10|0x01",
        "0x1\t",
        "0x",
        "0x;",
    };
    for (const char* item : items) {
        // The evaluator alone, with the same constants.
        analyze a(AF_LENIENT_ESCAPES);
        analyze_value* cell = nullptr;
        a.define_symbol("K", cell);
        cell->set_number(3);
        a.define_symbol("S", cell);
        cell->set_string("str");
        a.define_symbol("E", cell);
        const std::string text = std::string(item) + ";";
        a.set_text(text.c_str());
        analyze_value expected;
        uint32_t expected_error = a.evaluate(expected) ? 0 : a.error();
        if (expected_error == 0 && *a.cursor() != ';') expected_error = MREC_E_SEMICOLON_EXPECTED;

        MrecReadResult result;
        const uint32_t error = read_text(
            file("define { K = 3; S = \"str\"; E; } data main; { " + text + " }"), result);
        EXPECT_EQ(error, expected_error) << item;
        if (error != 0 || expected_error != 0) continue;
        ASSERT_EQ(result.main->size(), 1u) << item;
        const analyze_value& got = result.main->items()[0];
        EXPECT_EQ(got.kind_word(), expected.kind_word()) << item;
        EXPECT_EQ(got.number(), expected.number()) << item;
        EXPECT_EQ(std::signbit(got.number()), std::signbit(expected.number())) << item;
        EXPECT_EQ(std::string(got.text()), std::string(expected.text())) << item;
    }
}

TEST(MrecReader, ResultMayDieBeforeTheReaderAfterAFailure) {
    MrecReader reader;
    const std::string broken = file("data main; { { { 1; 09; } } }");
    const std::string good = file("data main; { { 1; } }");
    {
        MrecReadResult result;
        EXPECT_FALSE(reader.parse_file_text(broken.c_str(), broken.size() + 1, result));
        EXPECT_EQ(result.error, AE_BAD_OCTAL);
    }
    // The reader holds nothing of the dead result and reads on.
    MrecReadResult result;
    EXPECT_TRUE(reader.parse_file_text(good.c_str(), good.size() + 1, result));
    ASSERT_NE(result.main, nullptr);
    EXPECT_EQ(result.main->size(), 1u);
}

// Stands for a record compiler that runs out of memory while compiling the main record.
class StarvedReader : public MrecReader {
protected:
    uint32_t on_main(MrecReadResult&, const AnalyzeRecord&) override { throw std::bad_alloc(); }
};

TEST(MrecReader, RunningOutOfMemoryFailsTheRead) {
    StarvedReader reader;
    MrecReadResult result;
    const std::string text = file("data main; { { 1; } }");
    EXPECT_FALSE(reader.parse_file_text(text.c_str(), text.size() + 1, result));
    EXPECT_EQ(result.error, MREC_E_READ_FAILED);
}

TEST(MrecReader, ManyAttributesInAnyOrder) {
    // Reverse order is the worst case for an ordered map kept in an array.
    std::string attributes;
    const int count = 50000;
    for (int i = count; i > 0; --i)
        attributes += "a" + std::to_string(1000000 + i) + ";";
    MrecReadResult result;
    ASSERT_EQ(read_text(file("data main; " + attributes + " { }"), result), 0u);
    const AnalyzeAttributes& a = result.main->attributes();
    EXPECT_EQ(a.size(), static_cast<std::size_t>(count) + 1);
    EXPECT_EQ(a.begin()->first, "a1000001");
    EXPECT_TRUE(a.contains("a1025000"));
    EXPECT_EQ(read_text(file("data main; " + attributes + " a1000007; { }")), MREC_E_NAME_TWICE);
}

TEST(MrecReader, MultipliedStringsAreBounded) {
    const std::string big = "define { X = \"" + std::string(1 << 20, 'x') + "\"; } ";
    std::string sums = "X", copies;
    for (int i = 0; i < 100; ++i) {
        sums += " + X";
        copies += " X;";
    }
    // A hundred copies of a 1 MiB constant pass the budget: the read fails as out of memory.
    EXPECT_EQ(read_text(file(big + "data main; { " + sums + "; }")), MREC_E_READ_FAILED);
    EXPECT_EQ(read_text(file(big + "data main; {" + copies + " }")), MREC_E_READ_FAILED);
    EXPECT_EQ(read_text(file(big + "define { Y = X + X; } define { Z = Y + Y + Y + Y; } data "
                                   "main; { Z + Z + Z + Z + Z + Z + Z + Z + Z + Z; }")),
              MREC_E_READ_FAILED);
    // Within the budget, constants copy and join as they should.
    MrecReadResult result;
    ASSERT_EQ(read_text(file(big + "data main; { X + \"!\"; X; }"), result), 0u);
    EXPECT_EQ(result.main->items()[0].text().size(), (1u << 20) + 1);
    EXPECT_EQ(result.main->items()[0].text().back(), '!');
    EXPECT_EQ(result.main->items()[1].text().size(), 1u << 20);
    // The budget is per read.
    MrecReader reader;
    const std::string ten = file(big + "data main; { X; X; X; X; X; X; X; X; X; X; }");
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(reader.parse_file_text(ten.c_str(), ten.size() + 1, result));
}

}  // namespace mrec_reader_test
