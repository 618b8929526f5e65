#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "model/core/MseqObject.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapStage.h"
#include "platform/TextCodec.h"
#include "text/MrecCompiler.h"
#include "ui/DiskLibraryTest.h"
#include "ui/RunProgram.h"

namespace map_script_test {

// A library whose book holds a chord map "Keys" and a stage map "Band", and an application
// folder with the installation's scale list.
class MapScriptLibrary : public DiskLibraryTest {
protected:
    void build() override {
        std::filesystem::create_directories(host("define"));
        std::filesystem::copy_file(std::string(KV_APP_DATA) + "/define/mapscale.def",
                                   host("define/mapscale.def"));
        const auto [maps, book] = write_room("Lib", CkvString("Maps"), "maps.kvnb");
        ASSERT_NE(book, nullptr);
        book->create_leaf(maps, MPLACE_LAST_CHILD, MTYPE_LEAF_CHORD, CkvString("Keys"),
                          MseqDescPath("<book>keys.kvnl"));
        book->create_leaf(maps, MPLACE_LAST_CHILD, MTYPE_LEAF_STAGE, CkvString("Band"),
                          MseqDescPath("<book>band.kvnl"));
        ASSERT_TRUE(MrecCompiler::save(book));
        ref_ptr<MseqMapChord> chords = ref_ptr<MseqMapChord>::adopt(new MseqMapChord);
        chords->name = CkvString("Keys");
        chords->full_path = windows("keys.kvnl");
        ASSERT_TRUE(MrecCompiler::save(chords.get()));
        ref_ptr<MseqMapStage> stage = ref_ptr<MseqMapStage>::adopt(new MseqMapStage);
        stage->name = CkvString("Band");
        stage->full_path = windows("band.kvnl");
        ASSERT_TRUE(MrecCompiler::save(stage.get()));
    }

    ProgramRun script(const std::string& leaf, const std::string& lines) {
        const std::string path = host("maps.txt");
        std::ofstream(path) << "open \"" << host("library.kvnr") << "\" " << leaf << "\n" << lines;
        return run_program("--home '" + dir_ + "' script '" + path + "' 2>&1");
    }

    std::string file(const std::string& rest) {
        std::ifstream in(host(rest), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return kv_codec::utf8_from_cp932(out.str());
    }
};

TEST_F(MapScriptLibrary, PaletteQuestionDecidesWhetherTheFileChanges) {
    const std::string before = file("keys.kvnl");
    ProgramRun run = script("Keys", "answer no\ncommand 40506\nsave\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out,
              "ask: 短調４和音のコードマップを作成しますよろしいですか？\\n\\n※現在のコードマップの"
              "内容は失われます。 -> no\n");
    EXPECT_EQ(file("keys.kvnl"), before);

    run = script("Keys", "answer yes\ncommand 40506\nsave\n");
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string after = file("keys.kvnl");
    EXPECT_NE(after.find(" 3; 0; 0;\r\n {  0; \"6 - Aeolian (短調)\"; 2; 3;"), std::string::npos)
        << after;
    EXPECT_NE(after.find("  { 12; \"m7\"; 0x10; 0; 0; 0; 0; @array; type=\"MSEQ_KEY\"; "
                         "{{0x0;0;}{0x0;3;}{0x0;7;}{0x0;10;}} }"),
              std::string::npos);

    // Without a queued answer the question counts as a failure of the script.
    run = script("Keys", "command 40501\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("no answer was queued"), std::string::npos) << run.out;
}

TEST_F(MapScriptLibrary, KeysChordsAndPrintedRows) {
    const ProgramRun run = script("Keys",
                                  "key cdeg 2\n"
                                  "key tone -5\n"
                                  "chord 12 octave=-3 type=m7\n"
                                  "chord 13 clear\n"
                                  "chord 16 key=10 on=1\n"
                                  "command 40511\n"
                                  "command 40511\n"
                                  "command 40511\n"
                                  "print chords\n"
                                  "save\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("12 on 2 rel Dm7 0 3 7 10\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("13 off 0 rel - -\n"), std::string::npos);
    EXPECT_NE(run.out.find("16 on 0 rel A7 0 4 7 10\n"), std::string::npos);
    const std::string saved = file("keys.kvnl");
    // -5 from a chord key of 2 is -7: the scale's tone tune becomes 5.
    EXPECT_NE(saved.find(" -5; 2; 2;\r\n {  0; \"1 - Ionian (長調)\"; 1; 5;"), std::string::npos)
        << saved;
}

TEST_F(MapScriptLibrary, StagePartsAreClampedAndPrinted) {
    const ProgramRun run = script("Band",
                                  "stage 0 volume=300 program=40 pan=-3 send-bend=1\n"
                                  "command 40402\n"
                                  "print stage\n"
                                  "save\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("setup GM2\n0 on program=40 bank=0 \"バイオリン\" volume=127 pan=0 "
                           "reverb=0 chorus=0 bend-range=2- bend=8192 hold=0- modulation=0- "
                           "expression=127- flags=0x10f81\n"),
              std::string::npos)
        << run.out;
    const std::string saved = file("band.kvnl");
    EXPECT_NE(saved.find("MMS_SETUP_GM2;"), std::string::npos) << saved;
    // A kit on a melodic part is refused, and the line says why.
    const ProgramRun refused = script("Band", "stage 0 kit=8\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("does not belong to part 0"), std::string::npos) << refused.out;
}

TEST_F(MapScriptLibrary, LinesThatCannotRunSayWhyAndChangeNothing) {
    const struct {
        const char* leaf;
        const char* line;
        const char* error;
    } cases[] = {
        {"Keys", "command 40401\n", "line 2: unknown chord map command 40401"},
        {"Band", "command 40501\n", "line 2: unknown stage map command 40501"},
        {"Keys", "command 4x\n", "line 2: usage: command ID"},
        {"Band", "command 40401 1\n", "line 2: usage: command ID"},
        {"Band", "stage 0 volume=loud\n", "line 2: bad stage field 'volume=loud'"},
        {"Band", "stage 0 volume=99999999999999999999\n",
         "line 2: bad stage field 'volume=99999999999999999999'"},
        {"Keys", "scale-row 2147483648\n", "line 2: usage: scale-row K"},
        {"Keys", "chord 1 octave=1.5\n", "line 2: chord field 'octave=1.5' refused"},
    };
    const std::string keys = file("keys.kvnl");
    const std::string band = file("band.kvnl");
    for (const auto& c : cases) {
        const ProgramRun run = script(c.leaf, std::string(c.line) + "save\n");
        EXPECT_EQ(run.status, 1) << c.line << run.out;
        EXPECT_NE(run.out.find(c.error), std::string::npos) << c.line << run.out;
    }
    EXPECT_EQ(file("keys.kvnl"), keys);
    EXPECT_EQ(file("band.kvnl"), band);
}

// With another home, the scale list is read from and written to that home's folder, never to
// the program's own, without the application and through its start and exit.
TEST_F(MapScriptLibrary, TheScaleListIsWrittenToTheHomeNotTheProgramsFolder) {
    const std::filesystem::path own =
        std::filesystem::path(KV_PROGRAM).parent_path() / "define" / "mapscale.def";
    ASSERT_TRUE(std::filesystem::exists(own));
    const auto own_time = std::filesystem::last_write_time(own);
    std::ifstream in(own, std::ios::binary);
    const std::string own_bytes((std::istreambuf_iterator<char>(in)), {});
    const std::string before = file("define/mapscale.def");
    const std::string reopen = "open \"" + host("library.kvnr") + "\" Maps/Keys\n";
    const struct {
        std::string lines;
        const char* name;
    } runs[] = {
        {"scale-rename 0 HomeOnly\nsave-scales\n", "HomeOnly"},
        {"start\n" + reopen + "scale-rename 0 AfterStart\nexit\n", "AfterStart"},
        {"start\nexit\n" + reopen + "scale-rename 0 AfterExit\nsave-scales\n", "AfterExit"},
    };
    for (const auto& r : runs) {
        SCOPED_TRACE(r.lines);
        const ProgramRun run = script("Keys", r.lines);
        ASSERT_EQ(run.status, 0) << run.out;
        EXPECT_NE(file("define/mapscale.def").find(std::string("\"") + r.name + "\""),
                  std::string::npos)
            << run.out;
    }
    EXPECT_NE(file("define/mapscale.def"), before);
    std::ifstream again(own, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), {}), own_bytes);
    EXPECT_EQ(std::filesystem::last_write_time(own), own_time);
}

TEST_F(MapScriptLibrary, DeletingAScaleAsksAndTheScaleMapIsWritten) {
    const std::string before = file("define/mapscale.def");
    ProgramRun run = script("Keys", "scale-row 0\nanswer no\ncommand 40523\nsave-scales\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("ask: スケールを削除してもよろしいですか？\\n\\nブルース"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(file("define/mapscale.def"), before);

    run = script("Keys", "scale-row 0\nanswer yes\ncommand 40523\nsave-scales\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("scale map saved"), std::string::npos);
    const std::string after = file("define/mapscale.def");
    EXPECT_EQ(after.find("\"ブルース\""), std::string::npos);
    EXPECT_NE(after.find("  {  0; \"メジャーブルース\";"), std::string::npos) << after;

    // Setting a scale of the list by name.
    run = script("Keys", "scale ホールトーン\nsave\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(file("keys.kvnl").find("\"ホールトーン\"; 0; 0;"), std::string::npos);
}

}  // namespace map_script_test
