// `korvante script` end to end: a library made from nothing through the application's commands,
// then read back with `korvante tree` and `korvante events`.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Instance.h"
#include "ui/RunProgram.h"

namespace app_script_test {

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvscript-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        std::filesystem::create_directories(dir_ + "/app");
        for (const char* d : {"template", "pattern_v01"}) {
            std::filesystem::copy(std::string(KV_APP_DATA) + "/" + d, dir_ + "/app/" + d,
                                  std::filesystem::copy_options::recursive);
        }
        std::filesystem::create_directories(dir_ + "/run");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Runs the program with this test's own runtime folder (so that tests running side by side
    // never meet each other's single-instance lock) and state folder (so that no recovery copy
    // of another run is offered); standard error joins the output.
    ProgramRun program(const std::string& arguments) {
        return run_program_in("XDG_RUNTIME_DIR=" + dir_ + "/run XDG_STATE_HOME=" + dir_ + "/state",
                              arguments + " 2>&1");
    }
    // Runs script lines in the temporary application folder.
    ProgramRun script(const std::string& lines) {
        const std::string file = dir_ + "/script.txt";
        std::ofstream(file) << lines;
        return program("--home " + dir_ + "/app script " + file);
    }
    static bool has(const ProgramRun& run, const std::string& text) {
        return run.out.find(text) != std::string::npos;
    }

    std::string dir_;
};

TEST_F(ScriptTest, LibraryFromNothingIsWrittenAndReadsBack) {
    const std::string lib = dir_ + "/lib/library.kvnr";
    const ProgramRun run = script(
        "start\n"
        "answer no\n"
        "dialog parent=" +
        dir_ +
        " folder=lib file=library.kvnr\n"
        "menu 40003\n"
        "select /\n"
        "dialog page=1 parent=" +
        dir_ +
        "/lib folder=song\n"
        "menu 40063\n"
        "print editlist\n"
        "track パート/メロディ\n"
        "block 0 m_Type=4 m_Whole=2 m_Length=2\n"
        "block 4 m_Type=4 m_Whole=4 m_Length=2\n"
        "group\n"
        "select ミュージックブック\n"
        "file " +
        dir_ +
        "/lib/song/drums.kvnl\n"
        "menu 40085\n"
        "print title\n"
        "menu 40044\n"
        "print modified\n"
        "exit\n");
    ASSERT_EQ(run.status, 0) << run.out;
    // Each box as it was shown, with the answer used.
    EXPECT_TRUE(has(
        run,
        "warn: スケールマップファイルが存在しません。\\n\\n※ スケールリストは空となります。\\n\\nフ"
        "ァイル : " +
            dir_ + "/app/define/mapscale.def\\n理由 : no such file\n"))
        << run.out;
    EXPECT_TRUE(has(
        run,
        "ask: "
        "ライブラリを作る\\n\\nライブラリ／編集リストに保存されていないファイルがありますが、"));
    // The question ends with the unsaved files, the new default library among them.
    EXPECT_TRUE(has(run,
                    "個別に保存する場合は「キャンセル」してから保存して下さい。\\n\\n保存されていな"
                    "いファイル :\\n  ライブラリ  " +
                        dir_ + "/app/mymusic/library.kvnr -> no\n"))
        << run.out;
    EXPECT_TRUE(has(run, "> ミュージック *\tZ:")) << run.out;
    EXPECT_TRUE(has(run, "modified: 0\n"));
    EXPECT_TRUE(has(run, "exit: done\n"));
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/app/define/korvante.cfg"));
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/app/mymusic/library.kvnr"));

    const ProgramRun tree = program("tree " + lib);
    ASSERT_EQ(tree.status, 0) << tree.out;
    for (const char* line :
         {"MTYPE_BOOK_MUSIC\tライブラリ/ミュージックブック\t<room>.\\song\\music.kvnb\tok",
          "MTYPE_LEAF_MUSIC\tミュージックブック/ミュージック\t<book>.\\music.kvnl\tok",
          "MTYPE_LEAF_STAGE\tミュージックブック/ステージマップ\t<book>.\\stage.kvnl\tok",
          "MTYPE_LEAF_CHORD\tミュージックブック/コードマップ\t<book>.\\chord.kvnl\tok",
          "MTYPE_LEAF_PHRASE\tミュージックブック/フレーズ\t<book>.\\drums.kvnl\tok",
          "MTYPE_BOOK_LIBRARY\tライブラリ/パターンブック_標準"}) {
        EXPECT_TRUE(has(tree, line)) << line << "\n" << tree.out;
    }
    // The blocks set through the editor play as notes.
    const ProgramRun events = program("events " + lib + " ミュージックブック/ミュージック");
    EXPECT_EQ(events.status, 0) << events.out;
    EXPECT_TRUE(has(events, "\ttext\t")) << events.out;
    EXPECT_TRUE(has(events, "\tnote")) << events.out;
    const ProgramRun drums = program("events " + lib + " ミュージックブック/フレーズ");
    EXPECT_EQ(drums.status, 0) << drums.out;
    EXPECT_TRUE(has(drums, "\tnote")) << drums.out;
}

TEST_F(ScriptTest, ASecondProgramWhileOneRunsDoesNotStart) {
    kv_instance::instance_lock running;
    ASSERT_TRUE(running.acquire(dir_ + "/run", "KORVANTE_2004_01_kv"));
    const ProgramRun run = script("start\nprint title\n");
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(has(run, "warn: このソフトは既に起動しています。")) << run.out;
    EXPECT_TRUE(has(run, "line 1: the application did not start"));
    EXPECT_TRUE(running.take_raise_request());
    running.release();
    const ProgramRun again = script("start\nprint title\n");
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_TRUE(has(again, "Korvante\n"));
}

TEST_F(ScriptTest, ExitWithCancelKeepsRunningAndWritesNothing) {
    const ProgramRun run = script(
        "start\nanswer cancel\nexit\nprint title\nanswer cancel\nmenu 57665\n"
        "print title\nanswer no\nmenu 57665\nprint title\n");
    EXPECT_EQ(run.status, 1) << run.out;  // the last line: the application has ended
    EXPECT_TRUE(has(run, "-> cancel\nexit: cancelled\nKorvante\n")) << run.out;
    EXPECT_TRUE(has(run, "-> cancel\nKorvante\n")) << run.out;
    EXPECT_TRUE(has(run, "-> no\nexit: done\n"));
    EXPECT_TRUE(has(run, "line 10: the application is not started"));
}

TEST_F(ScriptTest, WrongLinesStopTheScript) {
    struct Case {
        const char* lines;
        int status;
        const char* message;
    } cases[] = {
        {"start\nfly away\n", 1, "line 2: unknown step 'fly'"},
        {"menu 40002\n", 1, "line 1: the application is not started"},
        {"start\nselect Nowhere/Leaf\n", 1, "line 2: no node 'Nowhere/Leaf'"},
        {"start\nanswer maybe\n", 1, "line 2: answer takes one of"},
        // Opening another library while the application runs asks to save first.
        {"start\nanswer cancel\nopen /nowhere/library.kvnr Leaf\n", 1,
         "line 3: opening /nowhere/library.kvnr was cancelled"},
        // A question nobody answered fails the script at its line.
        {"start\nmenu 40002\n", 1, "line 2: the program asked a question and no answer"},
        // Numbers that are not numbers are refused, not read as 0.
        {"start\nwait soon\n", 1, "line 2: usage: wait [MS]"},
        {"start\nmenu 0x\n", 1, "line 2: usage: menu ID"},
        {"start\nmenu 40002x\n", 1, "line 2: usage: menu ID"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = script(c.lines);
        EXPECT_EQ(run.status, c.status) << c.lines;
        EXPECT_TRUE(has(run, c.message)) << run.out;
    }
}

TEST_F(ScriptTest, HelpListsTheLinesAndDialogFields) {
    const ProgramRun run = program("script --help");
    EXPECT_EQ(run.status, 0);
    for (const char* verb : {"start", "menu", "select", "select-edit", "dialog", "file", "print",
                             "exit", "parent folder file"})
        EXPECT_TRUE(has(run, verb)) << verb;
}

}  // namespace app_script_test
