#include "text/MrecWriter.h"

#include <gtest/gtest.h>

#include <string>

#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqRoom.h"
#include "platform/TextCodec.h"
#include "text/MrecEntityWriter.h"
#include "text/bank.h"

namespace writer_test {

const char kFileStart[] =
    "KORVANTE-TEXT-TYPE\r\n"
    "%CAUTION%\r\n"
    "\r\n"
    "header\r\n"
    "{\r\n"
    " exporter = \"Korvante (STANDARD)\";\r\n"
    " soft_version = 0x000a0200;\r\n"
    " data_version = 0x0100000d;\r\n";

std::string expected_start() {
    std::string s = kFileStart;
    s.replace(s.find("%CAUTION%"), 9,
              kv_codec::cp932_from_utf8("// 注意！直接編集はエラーの原因になります"));
    return s;
}

TEST(Writer, ValueFormats) {
    MrecWriter w;
    w.dec(-5);
    w.dec2(5);
    w.dec2(-5);
    w.dec2(123);
    w.hex8(0xAB);
    w.hex2(0x7);
    w.hex2(0x1FF);
    w.hex(0x1);
    w.hex(0);
    EXPECT_EQ(w.text(), "-5; 5;-5;123;0x000000ab;0x07;0x1ff;0x1;0x0;");
}

TEST(Writer, FlagsAndSymbols) {
    const MrecConstTable* flags = mrec_schema::find_table("MSEQ_TRACK_FLAGS");
    const MrecConstTable* types = mrec_schema::find_table("MSEQ_NOTE_BLOCK_TYPE");
    ASSERT_NE(flags, nullptr);
    ASSERT_NE(types, nullptr);
    struct Case {
        uint32_t value;
        const char* text;
    };
    for (const Case& c : {Case{0, "0;"}, Case{1, "MTF_OUTPUT;"}, Case{3, "MTF_OUTPUT|0x00000002;"},
                          Case{6, "0x00000006;"}}) {
        MrecWriter w;
        w.flags(c.value, *flags);
        EXPECT_EQ(w.text(), c.text) << c.value;
    }
    MrecWriter w;
    w.symbol(4, *types, MrecNumFormat::Hex8);
    w.symbol(9, *types, MrecNumFormat::Hex8);
    EXPECT_EQ(w.text(), "MNBT_CDEG;0x00000009;");
}

TEST(Writer, StringEscapesStepOverDoubleByteCharacters) {
    MrecWriter w;
    const std::string so = kv_codec::cp932_from_utf8("ソ");  // 83 5C
    w.string("a\"b\\c'd\te\nf\rg" + so);
    EXPECT_EQ(w.text(), "\"a\\\"b\\\\c\\'d\\te\\nf\\rg" + so + "\";");
}

TEST(Writer, CautionLineIs41Bytes) {
    EXPECT_EQ(kv_codec::cp932_from_utf8("// 注意！直接編集はエラーの原因になります").size(), 41u);
}

TEST(Writer, DeclarationsComeOnceAfterTheirDependencies) {
    MrecWriter w;
    ASSERT_TRUE(w.declare("MSEQ_MAP_CHORD"));
    ASSERT_TRUE(w.declare("MSEQ_BLOCK_SCALE"));  // already there: nothing more
    const std::string text = w.text();
    const size_t key = text.find("type name=\"MSEQ_KEY\";");
    const size_t scale = text.find("type name=\"MSEQ_BLOCK_SCALE\";");
    const size_t chord = text.find("type name=\"MSEQ_BLOCK_CHORD\";");
    const size_t map = text.find("type name=\"MSEQ_MAP_CHORD\";");
    ASSERT_NE(key, std::string::npos);
    EXPECT_LT(key, scale);
    EXPECT_LT(scale, chord);
    EXPECT_LT(chord, map);
    EXPECT_EQ(text.find("type name=\"MSEQ_BLOCK_SCALE\";", scale + 1), std::string::npos);
    EXPECT_EQ(text.substr(key),
              "type name=\"MSEQ_KEY\";\r\n{\r\n NUM m_Flags;\r\n NUM m_Key;\r\n}\r\n\r\n" +
                  text.substr(scale));
    EXPECT_FALSE(w.declare("MSEQ_NOPE"));

    MrecWriter stage;
    ASSERT_TRUE(stage.declare("MSEQ_MAP_STAGE"));
    const std::string s = stage.text();
    EXPECT_LT(s.find("MSEQ_BLOCK_WORD"), s.find("\"MSEQ_BLOCK_STAGE\""));
    EXPECT_LT(s.find("\"MSEQ_BLOCK_STAGE\""), s.find("define name=\"MSEQ_MAP_STAGE_SETUP\""));
    EXPECT_NE(s.find("define name=\"MSEQ_MAP_STAGE_SETUP\";\r\n{\r\n MMS_SETUP_GM1 = "
                     "0x00000001;\r\n MMS_SETUP_GM2 = 0x00000002;\r\n}\r\n\r\ntype "
                     "name=\"MSEQ_MAP_STAGE\";"),
              std::string::npos);
}

TEST(Writer, BankFlattensChunksInOrder) {
    bank_string b;
    b.current() = "ab";
    b.start_chunk() = "";
    b.start_chunk() = "cde";
    std::string out = "xyz12";  // same length as the total: storage reused, content replaced
    b.flatten(out);
    EXPECT_EQ(out, "abcde");
    bank_string empty;
    empty.flatten(out);
    EXPECT_EQ(out, "");
}

// A room node with its entity, as a loaded library holds it.
struct Library {
    Library() : node(MID_ROOM, MTYPE_ROOM, CkvString("Lib"), MseqDescPath()) {
        room = new MseqRoom(&node);
        node.attach(room);
    }
    MseqObject node;
    MseqRoom* room;
};

TEST(EntityWriter, EmptyRoom) {
    Library lib;
    std::string text;
    ASSERT_TRUE(mrec_write_entity(lib.room, &text));
    EXPECT_EQ(text, expected_start() +
                        " target = \"room\";\r\n"
                        " type = \"MTYPE_ROOM\";\r\n"
                        " name = \"Lib\";\r\n"
                        "}\r\n"
                        "\r\n"
                        "type base; name=\"VAR\"; { }\r\n"
                        "type base; name=\"NUM\"; { }\r\n"
                        "type base; name=\"STR\"; { }\r\n"
                        "\r\n"
                        "define name=\"MSEQ_TYPE\";\r\n"
                        "{\r\n"
                        " MTYPE_BOOK_LIBRARY = 0x00020001;\r\n"
                        " MTYPE_BOOK_MUSIC = 0x00020002;\r\n"
                        "}\r\n"
                        "\r\n"
                        "type name=\"MSEQ_OBJECT\";\r\n"
                        "{\r\n"
                        " NUM m_ParentID;\r\n"
                        " NUM m_ObjectID;\r\n"
                        " NUM m_Type;\r\n"
                        " STR m_Name;\r\n"
                        " STR m_Path;\r\n"
                        " VAR m_With;\r\n"
                        "}\r\n"
                        "\r\n"
                        "type name=\"MSEQ_ROOM\";\r\n"
                        "{\r\n"
                        " MSEQ_OBJECT m_Books array;\r\n"
                        "}\r\n"
                        "\r\n"
                        "data main; type=\"MSEQ_ROOM\";\r\n"
                        "{\r\n"
                        " @array; type=\"MSEQ_OBJECT\";\r\n"
                        " {\r\n"
                        " }\r\n"
                        "}\r\n");
}

TEST(EntityWriter, BookListsItsTreeParentFirst) {
    Library lib;
    MseqObject* bnode = lib.room->create_book(&lib.node, MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC,
                                              CkvString("Songs"), MseqDescPath("<room>s.kvnb"));
    ASSERT_TRUE(mseq_factory(bnode));
    auto* book = bnode->entity()->cast_to<MseqBook>(MTYPE_BOOK);
    MseqObject* folder = book->create_leaf(bnode, MPLACE_LAST_CHILD, MTYPE_LEAF_FOLDER,
                                           CkvString("Old"), MseqDescPath());
    book->create_leaf(folder, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE, CkvString("R\"iff"),
                      MseqDescPath("<book>r.kvnl"));
    book->create_leaf(bnode, MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC, CkvString("Song"),
                      MseqDescPath("<book>song.kvnl"));

    std::string room_text;
    ASSERT_TRUE(mrec_write_entity(lib.room, &room_text));
    EXPECT_NE(room_text.find(" {\r\n  { 0x00000000; 0x00000001; MTYPE_BOOK_MUSIC; \"Songs\"; "
                             "\"<room>s.kvnb\"; @null;{} }\r\n }\r\n}\r\n"),
              std::string::npos);

    std::string text;
    ASSERT_TRUE(mrec_write_entity(book, &text));
    EXPECT_NE(text.find(" target = \"book\";\r\n type = \"MTYPE_BOOK_MUSIC\";\r\n"),
              std::string::npos);
    const std::string body =
        "data main; type=\"MSEQ_BOOK\";\r\n"
        "{\r\n"
        " 0x00010004;\r\n"
        " @array; type=\"MSEQ_OBJECT\";\r\n"
        " {\r\n"
        "  { 0x00000001; 0x00010001; MTYPE_LEAF_FOLDER; \"Old\"; \"\"; @null;{} }\r\n"
        "  { 0x00010001; 0x00010002; MTYPE_LEAF_PHRASE; \"R\\\"iff\"; \"<book>r.kvnl\"; "
        "@null;{} }\r\n"
        "  { 0x00000001; 0x00010003; MTYPE_LEAF_MUSIC; \"Song\"; \"<book>song.kvnl\"; @null;{} "
        "}\r\n"
        " }\r\n"
        "}\r\n";
    ASSERT_GE(text.size(), body.size());
    EXPECT_EQ(text.substr(text.size() - body.size()), body);
    // Writing again gives the same bytes.
    std::string again;
    ASSERT_TRUE(mrec_write_entity(book, &again));
    EXPECT_EQ(again, text);
}

TEST(EntityWriter, RefusesWhatHasNoRecord) {
    MseqObject folder(0x01010001, MTYPE_TRACK_HEADER, CkvString(), MseqDescPath("<with>"));
    ASSERT_TRUE(mseq_factory(&folder));
    std::string text = "untouched";
    EXPECT_FALSE(mrec_write_entity(folder.entity(), &text));
    EXPECT_FALSE(mrec_write_entity(MseqEmpty::instance(), &text));
    EXPECT_FALSE(mrec_write_entity(nullptr, &text));
    EXPECT_EQ(text, "untouched");
}

}  // namespace writer_test
