#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "model/core/MseqDesk.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "text/MrecCompiler.h"
#include "ui/DiskLibraryTest.h"
#include "ui/RunProgram.h"

namespace file_commands_test {

// A small library written by the program's own writer into a temporary folder:
// library.kvnr with a pattern book (one phrase file, one missing phrase) and a music book
// holding one music file.
class LibraryOnDisk : public DiskLibraryTest {
protected:
    void build() override {
        MseqObject room_node(MID_ROOM, MTYPE_ROOM, CkvString("Demo"),
                             MseqDescPath(windows("library.kvnr")));
        auto* room = new MseqRoom(&room_node);
        room_node.attach(room);
        room->name = room_node.name;
        room->full_path = windows("library.kvnr");
        MseqObject* pat = room->create_book(&room_node, MPLACE_LAST_CHILD, MTYPE_BOOK_LIBRARY,
                                            CkvString("Patterns"), MseqDescPath("<room>pat.kvnb"));
        MseqObject* songs = room->create_book(&room_node, MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC,
                                              CkvString(kv_codec::cp932_from_utf8("曲")),
                                              MseqDescPath("<room>songs.kvnb"));
        ASSERT_TRUE(MrecCompiler::save(room));

        mseq_factory(pat);
        auto* pbook = pat->entity()->cast_to<MseqBook>(MTYPE_BOOK);
        pbook->name = pat->name;
        pbook->full_path = windows("pat.kvnb");
        MseqObject* folder = pbook->create_leaf(pat, MPLACE_LAST_CHILD, MTYPE_LEAF_FOLDER,
                                                CkvString("Bass"), MseqDescPath());
        pbook->create_leaf(folder, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE, CkvString("Walk"),
                           MseqDescPath("<book>walk.kvnl"));
        pbook->create_leaf(folder, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE, CkvString("Gone"),
                           MseqDescPath("<book>gone.kvnl"));
        ASSERT_TRUE(MrecCompiler::save(pbook));
        MseqPhrase walk;
        walk.name = CkvString("Walk");
        walk.full_path = windows("walk.kvnl");
        ASSERT_TRUE(MrecCompiler::save(&walk));

        mseq_factory(songs);
        auto* sbook = songs->entity()->cast_to<MseqBook>(MTYPE_BOOK);
        sbook->name = songs->name;
        sbook->full_path = windows("songs.kvnb");
        MseqObject* song = sbook->create_leaf(songs, MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC,
                                              CkvString("Song"), MseqDescPath("<book>song.kvnl"));
        ASSERT_TRUE(MrecCompiler::save(sbook));
        mseq_factory(song);
        auto* music = song->entity()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        music->full_path = windows("song.kvnl");
        music->m_Tempo = 132;
        ASSERT_TRUE(MrecCompiler::save(music));
        // A damaged file beside them.
        std::ofstream(host("broken.kvnl")) << "KORVANTE-TEXT-TYPE\r\nheader { soft_version = 09; }";
    }
};

TEST_F(LibraryOnDisk, TreeListsEveryNodeWithItsFileState) {
    const ProgramRun run = run_program("tree '" + host("library.kvnr") + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string expected =
        "80000001\tMTYPE_ROOM\tDemo\t" + kv_fs::from_host(host("library.kvnr")) +
        "\tok\n"
        "10000001\tMTYPE_BOOK_LIBRARY\tDemo/Patterns\t<room>pat.kvnb\tok\n"
        "10010001\tMTYPE_LEAF_FOLDER\tPatterns/Bass\t\t-\n"
        "10010002\tMTYPE_LEAF_PHRASE\tPatterns/Bass/Walk\t<book>walk.kvnl\tok\n"
        "10010003\tMTYPE_LEAF_PHRASE\tPatterns/Bass/Gone\t<book>gone.kvnl\tmissing\n"
        "10100001\tMTYPE_BOOK_MUSIC\tDemo/曲\t<room>songs.kvnb\tok\n"
        "10110001\tMTYPE_LEAF_MUSIC\t曲/Song\t<book>song.kvnl\tok\n";
    EXPECT_EQ(run.out, expected);

    const ProgramRun tracks = run_program("tree '" + host("library.kvnr") + "' --tracks");
    ASSERT_EQ(tracks.status, 0);
    EXPECT_NE(tracks.out.find("10110001\tMTYPE_LEAF_MUSIC\t曲/Song\t<book>song.kvnl\tok\n"
                              "\t00100001\tMTYPE_TRACK_ROOT_MUSIC\tトラックリスト\t<with>\t-\n"
                              "\t00100011\tMTYPE_TRACK_HEADER\tトラックリスト/ヘッダ\t<with>\t-\n"),
              std::string::npos)
        << tracks.out;
    // The phrase shows its (fixed) track tree too.
    EXPECT_NE(tracks.out.find("\t00100001\tMTYPE_TRACK_ROOT_PHRASE\t"), std::string::npos);

    EXPECT_EQ(run_program("tree '" + host("none.kvnr") + "' 2>/dev/null").status, 1);
}

TEST_F(LibraryOnDisk, CheckReportsEachFile) {
    const std::string files = "'" + host("song.kvnl") + "' '" + host("pat.kvnb") + "' '" +
                              host("broken.kvnl") + "' '" + host("none.kvnl") + "'";
    const ProgramRun run = run_program("check " + files + " 2>/dev/null");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, host("song.kvnl") + ": ok MTYPE_LEAF_MUSIC \"Song\"\n" + host("pat.kvnb") +
                           ": ok MTYPE_BOOK_LIBRARY \"Patterns\"\n");
    // Errors go to standard error, with what the code means and where reading stopped.
    const ProgramRun errors = run_program("check " + files + " 2>&1 >/dev/null");
    EXPECT_EQ(
        errors.out.find(host("broken.kvnl") + ": error 19 (a malformed octal number) at line "), 0u)
        << errors.out;
    EXPECT_NE(errors.out.find("\n" + host("none.kvnl") +
                              ": error 0x10002 (the file is missing or empty)\n"),
              std::string::npos)
        << errors.out;
    EXPECT_EQ(run_program("check '" + host("song.kvnl") + "'").status, 0);
}

TEST_F(LibraryOnDisk, DumpGivesTheSavedBytesBack) {
    for (const char* file : {"library.kvnr", "pat.kvnb", "songs.kvnb", "walk.kvnl", "song.kvnl"}) {
        std::ifstream in(host(file), std::ios::binary);
        std::stringstream saved;
        saved << in.rdbuf();
        const ProgramRun run = run_program("dump '" + host(file) + "'");
        EXPECT_EQ(run.status, 0) << file;
        EXPECT_EQ(run.out, saved.str()) << file;
    }
    EXPECT_EQ(run_program("dump '" + host("broken.kvnl") + "' 2>/dev/null").status, 1);
}

}  // namespace file_commands_test
