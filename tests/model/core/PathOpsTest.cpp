#include "model/core/MseqPathOps.h"

#include <gtest/gtest.h>

#include <string>

#include "model/core/MseqObject.h"
#include "platform/TextCodec.h"

namespace path_ops_test {

using namespace mseq_path;

TEST(PathMacros, RecognitionAndKinds) {
    struct Case {
        const char* path;
        int kind;
    };
    const Case cases[] = {
        {"<book>m1.kvnl", MPK_BOOK},
        {"<book>.\\m1.kvnl", MPK_BOOK},
        {"<book>\\m1.kvnl", MPK_ABSOLUTE},  // a separator right after the macro: no macro
        {"<room>/b.kvnb", MPK_ABSOLUTE},
        {"<prog>:x", MPK_ABSOLUTE},
        {"<room>books\\b.kvnb", MPK_ROOM},
        {"<prog>define\\korvante.cfg", MPK_PROG},
        {"<PROG>define\\korvante.cfg", MPK_ABSOLUTE},  // macros are case-sensitive
        {"<with>", MPK_WITH},
        {"<WITH>", MPK_WITH},
        {"", MPK_NONE},
        {"C:\\x.kvnl", MPK_ABSOLUTE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kind_of(c.path), c.kind) << c.path;
}

TEST(PathAlgebra, CanonicalizeRemoveAppend) {
    EXPECT_EQ(canonicalize("C:\\a\\.\\b\\..\\c.txt").str(), "C:\\a\\c.txt");
    EXPECT_EQ(canonicalize("C:\\..\\..\\x").str(), "C:\\x");
    EXPECT_EQ(canonicalize("D:\\lib\\books\\..\\leaves\\m1.kvnl").str(),
              "D:\\lib\\leaves\\m1.kvnl");
    EXPECT_EQ(canonicalize("\\\\srv\\share\\a\\..\\b").str(), "\\\\srv\\share\\b");
    // Server and share are the root of a network path: climbs stop below them.
    EXPECT_EQ(canonicalize("\\\\srv\\share\\..\\..\\x").str(), "\\\\srv\\share\\x");
    EXPECT_EQ(canonicalize("\\\\srv\\share\\a\\..\\..\\..\\b").str(), "\\\\srv\\share\\b");
    EXPECT_EQ(canonicalize("\\\\srv\\share\\..").str(), "\\\\srv\\share");
    // A double-byte character whose trail byte is a backslash is not a separator.
    const std::string so = kv_codec::cp932_from_utf8("ソ");  // 83 5C
    EXPECT_EQ(canonicalize("C:\\" + so + "\\..\\x").str(), "C:\\x");
    EXPECT_EQ(remove_file_name("C:\\" + so).str(), "C:\\");
    EXPECT_EQ(remove_file_name("C:\\a\\b.txt").str(), "C:\\a");
    EXPECT_EQ(remove_file_name("C:\\a.txt").str(), "C:\\");
    EXPECT_EQ(append("C:\\a", "b.txt").str(), "C:\\a\\b.txt");
    EXPECT_EQ(append("C:\\", "b.txt").str(), "C:\\b.txt");
}

TEST(PathAlgebra, ValidAbsolute) {
    struct Case {
        std::string path;
        bool valid;
    };
    const Case cases[] = {
        {"C:\\x", true},        {"C:\\", false},  // fewer than 4 bytes
        {"\\\\s", true},        {"\\\\", false},
        {"C:x\\y", false},      {"C:\\a:b", false},
        {"C:\\a|b", false},     {"C:\\a?b", false},
        {"relative\\x", false}, {"C:\\" + kv_codec::cp932_from_utf8("ソ") + "\\x", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(valid_absolute(c.path), c.valid) << c.path;
}

TEST(PathAlgebra, RelativeBetweenFiles) {
    struct Case {
        const char* from;
        const char* to;
        const char* rel;  // nullptr: fails
    };
    const Case cases[] = {
        {"D:\\lib\\books\\b1.kvnb", "D:\\lib\\leaves\\m1.kvnl", "..\\leaves\\m1.kvnl"},
        {"D:\\lib\\library.kvnr", "D:\\lib\\b.kvnb", ".\\b.kvnb"},
        {"D:\\lib\\library.kvnr", "D:\\lib\\books\\b.kvnb", ".\\books\\b.kvnb"},
        {"D:\\a\\b\\c\\f.txt", "D:\\x.txt", "..\\..\\..\\x.txt"},
        {"d:\\LIB\\library.kvnr", "D:\\lib\\b.kvnb", ".\\b.kvnb"},
        {"C:\\lib\\library.kvnr", "D:\\lib\\b.kvnb", nullptr},
        {"lib\\library.kvnr", "D:\\lib\\b.kvnb", nullptr},
    };
    for (const Case& c : cases) {
        CkvString rel;
        EXPECT_EQ(relative_between(c.from, c.to, &rel), c.rel != nullptr) << c.from;
        if (c.rel) {
            EXPECT_EQ(rel.str(), c.rel);
        }
    }
}

// A small library: room file D:\lib\library.kvnr, one book, a folder and a leaf.
struct LibraryPaths {
    LibraryPaths()
        : room(MID_ROOM, MTYPE_ROOM, CkvString("R"), MseqDescPath("D:\\lib\\library.kvnr")) {
        book = new MseqObject(0x01000001, MTYPE_BOOK_MUSIC, CkvString("B"),
                              MseqDescPath("<room>books\\b1.kvnb"));
        folder = new MseqObject(0x01010001, MTYPE_LEAF_FOLDER, CkvString("F"), MseqDescPath());
        leaf = new MseqObject(0x01010002, MTYPE_LEAF_MUSIC, CkvString("M"),
                              MseqDescPath("<book>..\\leaves\\m1.kvnl"));
        mseq_link(&room, book, MPLACE_LAST_CHILD);
        mseq_link(book, folder, MPLACE_LAST_CHILD);
        mseq_link(folder, leaf, MPLACE_LAST_CHILD);
        set_program_file(CkvString("C:\\Program Files\\Korvante\\korvante.exe"));
    }
    ~LibraryPaths() { set_program_file(CkvString()); }
    MseqObject room;
    MseqObject* book;
    MseqObject* folder;
    MseqObject* leaf;
};

TEST(PathResolve, MacrosByNodeKind) {
    LibraryPaths lib;
    struct Case {
        const char* path;
        const MseqObject* node;
        const char* full;  // nullptr: fails
    };
    const Case cases[] = {
        {"<room>books\\b1.kvnb", lib.book, "D:\\lib\\books\\b1.kvnb"},
        {"<book>..\\leaves\\m1.kvnl", lib.leaf, "D:\\lib\\leaves\\m1.kvnl"},
        {"<book>m2.kvnl", lib.leaf, "D:\\lib\\books\\m2.kvnl"},
        {"<book>\\m2.kvnl", lib.leaf, nullptr},
        {"<book>m2.kvnl", lib.book, nullptr},  // book macro on a book
        {"<room>m2.kvnl", lib.leaf, nullptr},  // room macro on a leaf
        {"<book>", lib.leaf, nullptr},         // nothing after the macro
        {"<prog>.\\mymusic\\library.kvnr", lib.leaf,
         "C:\\Program Files\\Korvante\\mymusic\\library.kvnr"},
        {"<prog>define\\korvante.cfg", nullptr,
         "C:\\Program Files\\Korvante\\define\\korvante.cfg"},
        {"<prog>E:\\abs\\x.kvnl", lib.leaf, "E:\\abs\\x.kvnl"},
        {"<other>x", lib.leaf, nullptr},
        {"<with>", lib.leaf, nullptr},
        {"", lib.leaf, nullptr},
        {"relative.kvnl", lib.leaf, nullptr},
        {"E:\\a\\.\\b\\..\\c.kvnl", lib.leaf, "E:\\a\\c.kvnl"},
    };
    for (const Case& c : cases) {
        MseqFullPath full;
        EXPECT_EQ(resolve(c.path, c.node, false, &full), c.full != nullptr) << c.path;
        if (c.full) {
            EXPECT_EQ(full.str(), c.full) << c.path;
        }
    }
    MseqFullPath dir;
    ASSERT_TRUE(resolve(lib.leaf, true, &dir));
    EXPECT_EQ(dir.str(), "D:\\lib\\leaves");
}

TEST(PathResolve, ExecutablePathLimit) {
    set_program_file(CkvString("C:\\k\\korvante.exe"));  // folder "C:\k\" is 5 bytes
    MseqFullPath out;
    EXPECT_TRUE(executable_path(std::string(254, 'a'), &out));  // 5 + 254 + 1 = 260
    EXPECT_EQ(out.size(), 259u);
    EXPECT_FALSE(executable_path(std::string(255, 'a'), &out));
    EXPECT_TRUE(executable_path("D:\\" + std::string(300, 'a'), &out));  // absolute: unchanged
    set_program_file(CkvString());
    EXPECT_FALSE(executable_path("x", &out));
}

TEST(PathKinds, SwitchAndMakeRelative) {
    LibraryPaths lib;
    // The leaf stored absolutely becomes book-relative again.
    ASSERT_TRUE(set_kind(lib.leaf, MPK_ABSOLUTE, true));
    EXPECT_EQ(lib.leaf->path.str(), "D:\\lib\\leaves\\m1.kvnl");
    ASSERT_TRUE(make_relative(lib.leaf));
    EXPECT_EQ(lib.leaf->path.str(), "<book>..\\leaves\\m1.kvnl");

    ASSERT_TRUE(set_kind(lib.book, MPK_ABSOLUTE, true));
    ASSERT_TRUE(make_relative(lib.book));
    EXPECT_EQ(lib.book->path.str(), "<room>.\\books\\b1.kvnb");

    // The application lies on another drive: no program-relative form exists.
    EXPECT_FALSE(set_kind(lib.leaf, MPK_PROG, true));
    EXPECT_EQ(lib.leaf->path.str(), "<book>..\\leaves\\m1.kvnl");

    set_program_file(CkvString("D:\\apps\\korvante.exe"));
    // Only answering whether a switch is possible changes nothing.
    EXPECT_TRUE(set_kind(lib.leaf, MPK_PROG, false));
    EXPECT_EQ(lib.leaf->path.str(), "<book>..\\leaves\\m1.kvnl");
    ASSERT_TRUE(set_kind(lib.leaf, MPK_PROG, true));
    EXPECT_EQ(lib.leaf->path.str(), "<prog>..\\lib\\leaves\\m1.kvnl");
    MseqFullPath full;
    ASSERT_TRUE(resolve(lib.leaf, false, &full));
    EXPECT_EQ(full.str(), "D:\\lib\\leaves\\m1.kvnl");
}

TEST(PathKinds, RefusalsKeepThePath) {
    LibraryPaths lib;
    EXPECT_FALSE(set_kind(lib.folder, MPK_WITH, true));
    EXPECT_FALSE(set_kind(lib.leaf, MPK_ROOM, true));  // room macro only for books
    EXPECT_FALSE(set_kind(lib.book, MPK_BOOK, true));
    EXPECT_FALSE(set_kind(lib.leaf, 6, true));
    EXPECT_EQ(lib.leaf->path.str(), "<book>..\\leaves\\m1.kvnl");
    ASSERT_TRUE(set_kind(lib.leaf, MPK_WITH, true));
    EXPECT_EQ(lib.leaf->path.str(), "<with>");
    EXPECT_FALSE(set_kind(lib.leaf, MPK_ABSOLUTE, true));  // nothing to resolve any more
    EXPECT_FALSE(make_relative(lib.leaf));
    EXPECT_EQ(lib.leaf->path.str(), "<with>");
    ASSERT_TRUE(set_kind(lib.leaf, MPK_NONE, true));
    EXPECT_TRUE(lib.leaf->path.empty());
}

TEST(Names, ValidNameAndNameFromPath) {
    const std::string wide_space = "\x81\x40";
    struct Case {
        std::string name;
        bool valid;
    };
    const Case cases[] = {
        {"Song 1", true},
        {"", false},
        {" Song", false},
        {"Song ", false},
        {wide_space + "Song", false},
        {"Song" + wide_space, false},
        {"So" + wide_space + "ng", true},
        {"a:b", false},
        {"a*b", false},
        {"a|b", false},
        {"a/b", false},
        {kv_codec::cp932_from_utf8("ソング"), true},  // trail byte 0x5C is not a backslash
        {"a\tb", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(valid_name(c.name), c.valid) << c.name;

    CkvString name;
    ASSERT_TRUE(name_from_file_path("D:\\lib\\leaves\\m1.kvnl", &name));
    EXPECT_EQ(name.str(), "m1");
    ASSERT_TRUE(name_from_file_path("D:\\lib.v2\\song", &name));
    EXPECT_EQ(name.str(), "song");
    EXPECT_FALSE(name_from_file_path(std::string(260, 'a'), &name));
}

}  // namespace path_ops_test
