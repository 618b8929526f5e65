#include "text/MrecCompiler.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "model/core/MseqDesk.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "text/AnalyzeErrors.h"
#include "text/LoadWrite.h"
#include "text/MrecEntityWriter.h"

namespace compiler_test {

// A room node with its entity.
struct RoomNode {
    RoomNode() : node(MID_ROOM, MTYPE_ROOM, CkvString("Lib"), MseqDescPath()) {
        room = new MseqRoom(&node);
        node.attach(room);
    }
    MseqObject node;
    MseqRoom* room;
};

// A book node in a room, with its entity.
struct BookNode {
    explicit BookNode(MSEQ_TYPE type = MTYPE_BOOK_MUSIC) {
        node = lib.room->create_book(&lib.node, MPLACE_LAST_CHILD, type, CkvString("Songs"),
                                     MseqDescPath("<room>songs.kvnb"));
        mseq_factory(node);
        book = node->entity()->cast_to<MseqBook>(MTYPE_BOOK);
    }
    RoomNode lib;
    MseqObject* node;
    MseqBook* book;
};

TEST(Compiler, RoomRoundTrip) {
    RoomNode a;
    a.room->create_book(&a.node, MPLACE_LAST_CHILD, MTYPE_BOOK_LIBRARY,
                        CkvString(kv_codec::cp932_from_utf8("パターン")),
                        MseqDescPath("<prog>.\\pattern_v01\\pattern.kvnb"));
    a.room->create_book(&a.node, MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC, CkvString("Songs"),
                        MseqDescPath("<room>songs.kvnb"));
    a.node.name = a.room->name = CkvString("My \"Lib\"");
    const std::string text = write(a.room);

    RoomNode b;
    ASSERT_EQ(load(b.room, text), 0u);
    EXPECT_EQ(b.room->name.str(), "My \"Lib\"");
    EXPECT_EQ(b.node.name.str(), "My \"Lib\"");  // a room's node takes the file's name
    ASSERT_EQ(b.room->books.size(), 2u);
    EXPECT_EQ(b.node.first_child()->type, MTYPE_BOOK_LIBRARY);
    EXPECT_EQ(b.node.last_child()->path.str(), "<room>songs.kvnb");
    EXPECT_EQ(write(b.room), text);
}

TEST(Compiler, BookRoundTripKeepsIdentifiersAndShape) {
    BookNode a;
    MseqObject* folder = a.book->create_leaf(a.node, MPLACE_LAST_CHILD, MTYPE_LEAF_FOLDER,
                                             CkvString("F"), MseqDescPath());
    a.book->create_leaf(folder, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE, CkvString("riff"),
                        MseqDescPath("<book>riff.kvnl"), 0x00012345);
    a.book->create_leaf(a.node, MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC, CkvString("Song"),
                        MseqDescPath("<book>song.kvnl"));
    a.book->m_NextID = 0x20000;
    const std::string text = write(a.book);

    BookNode b;
    ASSERT_EQ(load(b.book, text), 0u);
    EXPECT_EQ(b.book->m_NextID, 0x20000u);
    MseqObject* riff = b.book->find(0x10012345);
    ASSERT_NE(riff, nullptr);
    EXPECT_EQ(riff->parent()->name.str(), "F");
    EXPECT_EQ(write(b.book), text);
}

TEST(Compiler, EmbeddedMusicInABookReadsBack) {
    BookNode a;
    MseqObject* song = a.book->create_leaf(a.node, MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC,
                                           CkvString("Inline"), MseqDescPath("<with>"));
    ref_ptr<MseqEntity> content = mseq_open(song);
    auto* music = content->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    ASSERT_NE(music, nullptr);
    music->m_Tempo = 96;
    music->m_Title = CkvString("Tab\there");
    const std::string text = write(a.book);
    EXPECT_NE(text.find("type name=\"MSEQ_MUSIC\";"), std::string::npos);
    EXPECT_NE(text.find("@type=\"MSEQ_MUSIC\";"), std::string::npos);

    BookNode b;
    ASSERT_EQ(load(b.book, text), 0u);
    MseqObject* copy = b.book->find(song->id);
    ASSERT_NE(copy, nullptr);
    ASSERT_TRUE(mseq_has_content(copy));
    auto* loaded = copy->entity()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    EXPECT_EQ(loaded->m_Tempo, 96);
    EXPECT_EQ(loaded->m_Title.str(), "Tab\there");
    EXPECT_EQ(write(b.book), text);
}

// A file whose object type declares no m_With, holding an inline ("<with>") music in a book and
// an inline track in a music: what the program writes from it loads and writes back the same
// bytes (found by the load fuzzer; the book is in its starting corpus).
TEST(Compiler, ObjectsWithoutEmbeddedContentRoundTrip) {
    const std::string types =
        "KORVANTE-TEXT-TYPE\r\n"
        "type base; name=\"NUM\"; { }\r\ntype base; name=\"STR\"; { }\r\n"
        "type name=\"MSEQ_OBJECT\"; { NUM m_ParentID; NUM m_ObjectID; NUM m_Type; STR m_Name; "
        "STR m_Path; }\r\n";
    const std::string book_text =
        "KORVANTE-TEXT-TYPE\r\nheader { soft_version = 1; data_version = 0x0100000d; target = "
        "\"book\"; type = \"MTYPE_BOOK_MUSIC\"; name = \"b\"; }\r\n" +
        types.substr(20) +
        "type name=\"MSEQ_BOOK\"; { NUM m_NextID; MSEQ_OBJECT m_Leafs array; }\r\n"
        "data main; type=\"MSEQ_BOOK\"; { 0x10003; @array; type=\"MSEQ_OBJECT\"; "
        "{ { 1; 0x10001; 0x30012; \"m\"; \"<with>\"; } } }\r\n";
    const std::string music_text =
        "KORVANTE-TEXT-TYPE\r\nheader { soft_version = 1; data_version = 0x0100000d; target = "
        "\"leaf\"; type = \"MTYPE_LEAF_MUSIC\"; name = \"m\"; }\r\n" +
        types.substr(20) +
        "type name=\"MSEQ_MUSIC\"; { MSEQ_OBJECT m_Leafs array; }\r\n"
        "data main; type=\"MSEQ_MUSIC\"; { @array; type=\"MSEQ_OBJECT\"; "
        "{ { 0x12; 0x10001; 0x31082; \"notes\"; \"<with>\"; } } }\r\n";

    BookNode book;
    ASSERT_EQ(load(book.book, book_text), 0u);
    const std::string first = write(book.book);
    EXPECT_NE(first.find("@type=\"MSEQ_MUSIC\";"), std::string::npos) << first;
    BookNode again;
    ASSERT_EQ(load(again.book, first), 0u);
    EXPECT_EQ(write(again.book), first);

    MseqMusic music(nullptr);
    ASSERT_EQ(load(&music, music_text), 0u);
    const std::string written = write(&music);
    MseqMusic reread(nullptr);
    ASSERT_EQ(load(&reread, written), 0u);
    EXPECT_EQ(write(&reread), written);
}

TEST(Compiler, MusicRoundTripAndFieldRules) {
    MseqMusic a(nullptr);
    a.name = CkvString("Song");
    a.m_MapStageID = 0x00200005;
    a.m_TrackChordID = 0x00100003;
    a.m_Program = MseqBlockWord(MWORD_PROGRAM, 0, 0x21, CkvString("bass"));
    a.m_Copyright = CkvString("(c)");
    const std::string text = write(&a);
    EXPECT_NE(text.find(" 0x00010001; 0x00000005; 0x00000000; 0x00000003;\r\n"), std::string::npos);

    MseqMusic b(nullptr);
    ASSERT_EQ(load(&b, text), 0u);
    EXPECT_EQ(b.m_MapStageID, 0x00200005u);
    EXPECT_EQ(b.m_MapChordID, 0u);
    EXPECT_EQ(b.m_TrackChordID, 0x00100003u);
    EXPECT_EQ(b.m_Program, a.m_Program);
    EXPECT_EQ(b.name.str(), "Song");
    EXPECT_EQ(write(&b), text);

    // An old-layout program index keeps only its low 7 bits.
    std::string wide = text;
    wide.replace(wide.find("0x00000021;"), 11, "0x000001ff;");
    MseqMusic c(nullptr);
    ASSERT_EQ(load(&c, wide), 0u);
    EXPECT_EQ(c.m_Program.m_Index, 0x7Fu);
}

TEST(Compiler, MissingAndUnknownFields) {
    MseqMusic a(nullptr);
    a.m_Copyright = CkvString("kept?");
    std::string text = write(&a);
    // Drop m_Copyright from the declaration and its value; add a field we do not know.
    text.replace(text.find(" STR m_Copyright;\r\n"), 19, "");
    text.replace(text.find(" \"kept?\";"), 9, "");
    text.replace(text.find(" MSEQ_OBJECT m_Leafs array;"), 0, " NUM m_Future;\r\n");
    text.replace(text.find(" @array; type=\"MSEQ_OBJECT\";"), 0, " 42;\r\n");
    MseqMusic b(nullptr);
    b.m_Copyright = CkvString("default");
    ASSERT_EQ(load(&b, text), 0u);
    EXPECT_EQ(b.m_Copyright.str(), "default");
}

TEST(Compiler, HeaderChecksAndFutureFlag) {
    MseqMusic a(nullptr);
    const std::string text = write(&a);
    auto with_version = [&](const char* v) {
        std::string t = text;
        t.replace(t.find("0x0100000d"), 10, v);
        return t;
    };
    struct Case {
        const char* version;
        uint32_t error;
        bool future;
    };
    for (const Case& c :
         {Case{"0x0100000d", 0, false}, Case{"0x0100000e", 0, true}, Case{"0x0100ffff", 0, true},
          Case{"0x01010000", 0x10022, false}, Case{"0x00000000", 0, false}}) {
        MseqMusic m(nullptr);
        m.flags |= MEF_FUTURE;
        EXPECT_EQ(load(&m, with_version(c.version)), c.error) << c.version;
        if (!c.error) {
            EXPECT_EQ((m.flags & MEF_FUTURE) != 0, c.future) << c.version;
        }
    }
    // A phrase file does not go into a music, though both are MSEQ_MUSIC records.
    MseqPhrase phrase;
    const std::string phrase_text = write(&phrase);
    MseqMusic m(nullptr);
    EXPECT_EQ(load(&m, phrase_text), 0x10042u);
    // The main record must be the entity's record type.
    std::string wrong = text;
    wrong.replace(wrong.find("data main; type=\"MSEQ_MUSIC\""), 28,
                  "data main; type=\"MSEQ_BOOK\"");
    EXPECT_EQ(load(&m, wrong), 0x10042u);
}

// A temporary folder seen as a Windows-form path.
class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/kvcomp-XXXXXX";
        host_ = ::mkdtemp(tmpl);
    }
    ~TempDir() { std::filesystem::remove_all(host_); }
    MseqFullPath file(const std::string& rest) const {
        return MseqFullPath(CkvString(kv_fs::from_host(host_ + "/" + rest)));
    }

private:
    std::string host_;
};

TEST(Compiler, LoadAndSaveFiles) {
    TempDir dir;
    MseqMusic music(nullptr);
    MrecCompiler c;
    // Absent file: success, still new.
    ASSERT_TRUE(c.load(&music, dir.file("sub/deeper/song.kvnl"), true));
    EXPECT_NE(music.flags & MEF_NEW, 0u);
    EXPECT_EQ(music.full_path, dir.file("sub/deeper/song.kvnl"));
    music.m_Tempo = 140;
    MseqDesk::instance().mark_modified(&music);
    ASSERT_TRUE(MrecCompiler::save(&music));  // creates the folders
    EXPECT_EQ(music.flags & (MEF_NEW | MEF_MODIFIED), 0u);

    MseqMusic again(nullptr);
    MrecCompiler c2;
    ASSERT_TRUE(c2.load(&again, dir.file("sub/deeper/song.kvnl"), true));
    EXPECT_EQ(again.flags & MEF_NEW, 0u);
    EXPECT_EQ(again.m_Tempo, 140);

    // An empty file loads like an absent one.
    ASSERT_TRUE(kv_fs::write_file_atomic(dir.file("empty.kvnl"), ""));
    MseqMusic empty(nullptr);
    MrecCompiler c3;
    ASSERT_TRUE(c3.load(&empty, dir.file("empty.kvnl"), true));
    EXPECT_NE(empty.flags & MEF_NEW, 0u);

    // Header-only reads.
    MrecCompiler h;
    ASSERT_TRUE(h.read_header(dir.file("sub/deeper/song.kvnl")));
    EXPECT_EQ(h.result.header.type, MTYPE_LEAF_MUSIC);
    EXPECT_FALSE(h.read_header(dir.file("none.kvnl")));
    EXPECT_EQ(h.result.error, 0x10002u);
    EXPECT_FALSE(h.read_header(dir.file("empty.kvnl")));
    EXPECT_EQ(h.result.error, 0x10002u);

    // What is not a regular file is not read, and is not taken for an absent file either.
    std::filesystem::create_directory(kv_fs::to_host(dir.file("folder.kvnl")));
    ASSERT_EQ(::mkfifo(kv_fs::to_host(dir.file("fifo.kvnl")).c_str(), 0600), 0);
    for (const char* name : {"folder.kvnl", "fifo.kvnl"}) {
        MseqMusic odd(nullptr);
        MrecCompiler c4;
        EXPECT_FALSE(c4.load(&odd, dir.file(name), true)) << name;
        EXPECT_EQ(c4.result.error, 0x10003u) << name;
        EXPECT_EQ(c4.result.file.kind, kv_fs::file_error::not_regular) << name;
        const MrecLoadProblem problem = c4.problem(dir.file(name));
        EXPECT_EQ(problem.error, 0x10003u);
        EXPECT_FALSE(problem.absent);
        EXPECT_FALSE(h.read_header(dir.file(name)));
        EXPECT_EQ(h.result.error, 0x10003u) << name;
    }

    // "<with>" has no file.
    MrecCompiler w;
    EXPECT_FALSE(w.load(&again, MseqFullPath("<WITH>"), true));
    EXPECT_EQ(w.result.error, 0u);
}

TEST(Compiler, FailedSaveKeepsTheOldFileAndFlags) {
    TempDir dir;
    MseqMusic music(nullptr);
    music.full_path = dir.file("song.kvnl");
    ASSERT_TRUE(MrecCompiler::save(&music));
    std::string before;
    ASSERT_TRUE(kv_fs::read_file(music.full_path, &before));
    music.m_Tempo = 77;
    MseqDesk::instance().mark_modified(&music);
    kv_fs::set_write_fault_after(10);
    EXPECT_FALSE(MrecCompiler::save(&music));
    kv_fs::set_write_fault_after(std::string::npos);
    std::string after;
    ASSERT_TRUE(kv_fs::read_file(music.full_path, &after));
    EXPECT_EQ(after, before);
    EXPECT_NE(music.flags & MEF_MODIFIED, 0u);
    MseqDesk::instance().clear_modified(&music);
}

}  // namespace compiler_test
