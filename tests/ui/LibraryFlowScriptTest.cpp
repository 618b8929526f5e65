// `korvante script` on a copy of the demo library: the library workflow of the started
// application and the map views, checked by what they write (or leave alone) on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ExternalTools.h"
#include "tools/AppData.h"
#include "tools/FileBytes.h"

namespace library_flow_script_test {

namespace fs = std::filesystem;

// The Windows form the application shows of a host path ("Z:\tmp\...").
std::string windows(const std::string& host) {
    std::string out = "Z:" + host;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

// The names of the scales a scale-map file lists, in order.
std::vector<std::string> scale_names(const std::string& file) {
    std::string utf8;
    kv_test::run_capture("iconv -f CP932 -t UTF-8 '" + file + "'", &utf8);
    std::vector<std::string> names;
    std::istringstream lines(utf8);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("type=\"MSEQ_KEY\"") == std::string::npos) continue;
        const size_t open = line.find('"');
        names.push_back(line.substr(open + 1, line.find('"', open + 1) - open - 1));
    }
    return names;
}

// A copy of the application folder with the demo library in a temporary folder, and a private
// runtime folder for the single-instance lock.
class LibraryFlow : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvflow-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        home_ = dir_ + "/home";
        demo_ = home_ + "/mymusic/demo";
        fs::copy(kv_test::app_data(""), home_, fs::copy_options::recursive);
        fs::create_directories(dir_ + "/run");
    }
    void TearDown() override { fs::remove_all(dir_); }

    struct Result {
        int status = -1;
        std::string out;  // standard output and standard error
    };

    // Runs script lines with the copy as the application folder.
    Result script(const std::string& lines) {
        const std::string file = dir_ + "/script.txt";
        kv_test::write_bytes(file, lines);
        return program("script '" + file + "'");
    }
    Result program(const std::string& args) {
        Result r;
        r.status = kv_test::run_capture("cd '" + dir_ + "' && XDG_RUNTIME_DIR='" + dir_ +
                                            "/run' timeout 60 " KV_PROGRAM " --home '" + home_ +
                                            "' " + args + " 2>&1",
                                        &r.out);
        return r;
    }
    // The demo library as a script line names it.
    std::string lib() const { return "\"" + home_ + "/mymusic/library.kvnr\""; }
    static bool has(const Result& r, const std::string& text) {
        return r.out.find(text) != std::string::npos;
    }
    static size_t count(const Result& r, const std::string& text) {
        size_t n = 0;
        for (size_t at = r.out.find(text); at != std::string::npos; at = r.out.find(text, at + 1))
            ++n;
        return n;
    }

    std::string dir_, home_, demo_;
};

// A music whose file cannot be read is reported with the reader's error and place, whether or
// not the application was started and ended before in the same script.
TEST_F(LibraryFlow, ADamagedMusicReportsTheReadersError) {
    const std::string song = demo_ + "/song.kvnl";
    const std::string original = kv_test::read_bytes(song);
    const struct {
        const char* name;
        std::string bytes;
        const char* reason;
    } damages[] = {
        {"semicolon", "KORVANTE-TEXT-TYPE\r\nheader {\r\n soft_version = 1\r\n}\r\n",
         ": error 0x10012 (a `;` is expected) at line 4, column 1"},
        {"byte-order mark", "\xEF\xBB\xBF" + original,
         ": error 0x10005 (the file does not begin with KORVANTE-TEXT-TYPE) at line 1, column 1 "
         "(hint: the file starts with a UTF-8 byte-order mark"},
    };
    const struct {
        const char* before;
        int line;
    } scripts[] = {{"", 1}, {"start\nexit\n", 3}};
    for (const auto& d : damages) {
        kv_test::write_bytes(song, d.bytes);
        for (const auto& s : scripts) {
            const Result r =
                script(std::string(s.before) + "open " + lib() + " デモソング/はじまりの朝\n");
            EXPECT_EQ(r.status, 1) << d.name << "\n" << r.out;
            EXPECT_TRUE(has(r, "line " + std::to_string(s.line) +
                                   ": cannot read the music 'デモソング/はじまりの朝': " + song +
                                   d.reason))
                << d.name << " after '" << s.before << "'\n"
                << r.out;
            EXPECT_FALSE(has(r, "no such file")) << r.out;
            EXPECT_EQ(kv_test::read_bytes(song), d.bytes) << d.name;
        }
    }
}

// New music into a folder that exists asks first; No creates nothing, Yes goes on to the checks
// of the files inside it and to the creation.
TEST_F(LibraryFlow, NewMusicIntoAnExistingFolderAsksFirst) {
    const std::string folder = dir_ + "/lib/song";
    const std::string question =
        "ask: 同じ名前のフォルダは既に存在していますが、\\n作成してよろしいですか？\\n\\n" +
        folder;  // the host path, as every message shows it
    const std::string stage_message =
        "warn: 指定したフォルダに同じ名前のステージマップファイルが既に存在しています。";
    const std::string library = kv_test::read_bytes(home_ + "/mymusic/library.kvnr");
    const struct {
        const char* name;
        bool stage_inside;
        const char* answer;
        bool created;
    } cases[] = {
        {"empty folder, No", false, "no", false},
        {"empty folder, Yes", false, "yes", true},
        {"stage map inside, No", true, "no", false},
        {"stage map inside, Yes", true, "yes", false},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir_ + "/lib");
        fs::create_directories(folder);
        kv_test::write_bytes(home_ + "/mymusic/library.kvnr", library);
        if (c.stage_inside) kv_test::write_bytes(folder + "/stage.kvnl", "not a stage map");
        const Result r = script("start\nselect /\nanswer " + std::string(c.answer) +
                                "\ndialog page=1 parent=" + dir_ +
                                "/lib folder=song\nmenu 40063\nmenu 40044\nexit\n");
        EXPECT_EQ(r.status, 0) << c.name << "\n" << r.out;
        EXPECT_TRUE(has(r, question + " -> " + c.answer + "\n")) << c.name << "\n" << r.out;
        EXPECT_EQ(has(r, stage_message), c.stage_inside && std::string(c.answer) == "yes")
            << c.name << "\n"
            << r.out;
        for (const char* file : {"music.kvnb", "music.kvnl", "chord.kvnl"})
            EXPECT_EQ(fs::exists(folder + "/" + file), c.created) << c.name << ": " << file;
        if (c.stage_inside) {
            EXPECT_EQ(kv_test::read_bytes(folder + "/stage.kvnl"), "not a stage map");
        }
        if (!c.created) {
            EXPECT_EQ(kv_test::read_bytes(home_ + "/mymusic/library.kvnr"), library) << c.name;
        }
    }
}

// A link whose file is missing, opened with Yes, is a new file waiting to be saved: the exit
// question offers it and Yes writes it.
TEST_F(LibraryFlow, AMissingLinkOpenedWithYesIsWrittenAtExit) {
    const struct {
        const char* node;
        const char* file;
        const char* type;
    } cases[] = {
        {"デモソング/マップ/ニ長調", "chord_d.kvnl", "MTYPE_LEAF_CHORD"},
        {"デモソング/パターン見本", "sampler.kvnl", "MTYPE_LEAF_MUSIC"},
    };
    for (const auto& c : cases) {
        const std::string file = demo_ + "/" + c.file;
        fs::remove(file);
        const Result r = script("start\nselect " + std::string(c.node) +
                                "\nanswer yes\nmenu 40041\nprint modified\nanswer yes\nexit\n");
        EXPECT_EQ(r.status, 0) << c.node << "\n" << r.out;
        EXPECT_TRUE(has(r, "ask: " + file +
                               "\\n\\nこのファイルは存在しません。\\n新しく作成してもよろしいで"
                               "すか？ -> yes\n"))
            << r.out;
        EXPECT_TRUE(has(r, "modified: 1\n  " + windows(file) + "\n")) << c.node << "\n" << r.out;
        EXPECT_TRUE(has(r, "ask: アプリケーションの終了\\n\\n")) << c.node << "\n" << r.out;
        ASSERT_TRUE(fs::exists(file)) << c.node << "\n" << r.out;
        const Result check = program("check '" + file + "'");
        EXPECT_EQ(check.status, 0) << check.out;
        EXPECT_TRUE(has(check, std::string(": ok ") + c.type)) << check.out;
    }
}

// The scale list of a chord map opened through the started application holds each scale of
// the scale map once: deleting one and exiting writes the others, each once.
TEST_F(LibraryFlow, TheStartedApplicationsScaleListHoldsEachScaleOnce) {
    const std::string file = home_ + "/define/mapscale.def";
    const std::vector<std::string> before = scale_names(file);
    ASSERT_GE(before.size(), 2u);
    const struct {
        const char* name;
        const char* lines;
    } cases[] = {
        {"started",
         "start\nopen LIB デモソング/マップ/ハ長調\nscale-row 0\nanswer yes\n"
         "command 40523\nexit\n"},
        {"started, ended and opened without the application",
         "start\nexit\nopen LIB デモソング/マップ/ハ長調\nscale-row 0\nanswer yes\n"
         "command 40523\nsave-scales\n"},
    };
    for (const auto& c : cases) {
        const std::string original = kv_test::read_bytes(kv_test::app_data("define/mapscale.def"));
        kv_test::write_bytes(file, original);
        std::string lines = c.lines;
        lines.replace(lines.find("LIB"), 3, lib());
        const Result r = script(lines);
        EXPECT_EQ(r.status, 0) << c.name << "\n" << r.out;
        const std::vector<std::string> after = scale_names(file);
        std::vector<std::string> expected(before.begin() + 1, before.end());
        EXPECT_EQ(after, expected) << c.name << "\n" << r.out;
    }
}

// File -> export over a file of the open library, or over what is not a regular file, is
// refused with a message naming the file and why; the file stays as it was.
TEST_F(LibraryFlow, ExportNeverReplacesALibraryFileOrSomethingElse) {
    fs::create_directories(dir_ + "/folder.mid");
    ASSERT_EQ(::mkfifo((dir_ + "/fifo.mid").c_str(), 0600), 0);
    kv_test::write_bytes(dir_ + "/target.mid", "old");
    fs::create_symlink(dir_ + "/target.mid", dir_ + "/link.mid");
    const std::string library_file =
        "\\n\\n※ 開いているライブラリのファイルです。上書きできません。\\n\\n";
    const std::string not_regular =
        "\\n\\n※ 通常のファイルではありません。(フォルダ、デバイス、FIFO、シンボリックリンク)"
        "\\n\\n";
    const struct {
        std::string target;
        std::string why;
    } cases[] = {
        {demo_ + "/song.kvnl", library_file},
        {home_ + "/mymusic/library.kvnr", library_file},
        {demo_ + "/demo.kvnb", library_file},
        {demo_ + "/chord_c.kvnl", library_file},
        {home_ + "/pattern_v01/pattern.kvnb", library_file},
        {dir_ + "/folder.mid", not_regular},
        {dir_ + "/fifo.mid", not_regular},
        {dir_ + "/link.mid", not_regular},
    };
    for (const auto& c : cases) {
        const bool regular = fs::is_regular_file(fs::symlink_status(c.target));
        const std::string bytes = regular ? kv_test::read_bytes(c.target) : std::string();
        const Result r = script("start\nopen " + lib() + " デモソング/はじまりの朝\nfile " +
                                c.target + "\nmenu 40105\nexit\n");
        EXPECT_EQ(r.status, 0) << c.target << "\n" << r.out;
        EXPECT_TRUE(has(r, "warn: エクスポートできませんでした。" + c.why + c.target + "\n"))
            << c.target << "\n"
            << r.out;
        if (regular) {
            EXPECT_EQ(kv_test::read_bytes(c.target), bytes) << c.target;
        }
    }
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(dir_ + "/folder.mid")));
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(dir_ + "/fifo.mid")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir_ + "/link.mid")));
    EXPECT_EQ(kv_test::read_bytes(dir_ + "/target.mid"), "old");

    // Anywhere else the export writes the file.
    const Result r = script("start\nopen " + lib() + " デモソング/はじまりの朝\nfile " + dir_ +
                            "/out.mid\nmenu 40105\nexit\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(has(r, "warn: エクスポート")) << r.out;
    EXPECT_EQ(kv_test::read_bytes(dir_ + "/out.mid").substr(0, 4), "MThd");
}

// A library named on the command line that cannot be read shows the one message of the
// command line; the file stays as it was and is not remembered.
TEST_F(LibraryFlow, AnUnreadableCommandLineLibraryShowsOneMessage) {
    kv_test::write_bytes(dir_ + "/broken.kvnr",
                         "KORVANTE-TEXT-TYPE\r\nheader {\r\n soft_version = 1\r\n");
    fs::create_directories(dir_ + "/folder.kvnr");
    for (const char* name : {"broken.kvnr", "folder.kvnr"}) {
        const std::string path = dir_ + "/" + name;
        const std::string bytes = kv_test::read_bytes(path);
        const Result r = script("start " + path + "\nexit\n");
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_TRUE(has(r, "warn: ライブラリファイルがロードできませんでした。\\n\\nファイル : " +
                               path + "\\n理由 : "))
            << r.out;
        EXPECT_EQ(count(r, "warn: "), 1u) << r.out;
        EXPECT_FALSE(has(r, "ライブラリファイルにエラーがあります。")) << r.out;
        if (fs::is_regular_file(path)) {
            EXPECT_EQ(kv_test::read_bytes(path), bytes);
        }
        std::string config;
        kv_test::run_capture("iconv -f CP932 -t UTF-8 '" + home_ + "/define/korvante.cfg'",
                             &config);
        EXPECT_EQ(config.find(name), std::string::npos) << config;
    }
}

// The key-name display commands and the three key selectors mark the chord map modified on
// every selection, also of the value it has: the next save writes the file.
TEST_F(LibraryFlow, KeyNameDisplayAndKeySelectorsMarkTheChordMap) {
    const std::string file = demo_ + "/chord_c.kvnl";
    const std::string mark = "// not written by the program\r\n";
    for (const char* line : {"command 40512", "command 40513", "command 40514", "key cdeg 2",
                             "key sdeg -3", "key tone 5"}) {
        const std::string lines =
            "open " + lib() + " デモソング/マップ/ハ長調\n" + line + "\nsave\n";
        Result r = script(lines);  // the value is chosen once
        ASSERT_EQ(r.status, 0) << line << "\n" << r.out;
        kv_test::write_bytes(file, kv_test::read_bytes(file) + mark);
        r = script(lines);  // and chosen again
        EXPECT_EQ(r.status, 0) << line << "\n" << r.out;
        EXPECT_TRUE(has(r, file + "\n")) << line << "\n" << r.out;
        EXPECT_EQ(kv_test::read_bytes(file).find(mark), std::string::npos) << line;
        const Result check = program("check '" + file + "'");
        EXPECT_EQ(check.status, 0) << check.out;
    }
}

// A scale-map file that could not be read and was shown as an empty list is written over only
// after a question naming it; Yes keeps the old bytes beside it (NAME.bak, numbered when that
// is taken), No leaves the file as it was.
TEST_F(LibraryFlow, ADamagedScaleMapIsKeptBesideBeforeItIsWrittenOver) {
    const std::string file = home_ + "/define/mapscale.def";
    const std::string original = kv_test::read_bytes(file);
    const size_t ninth = original.find("  {  8;");
    ASSERT_NE(ninth, std::string::npos);
    const std::string damaged = original.substr(0, ninth) + "  {  8; \"broken\r\n";
    ASSERT_GT(scale_names(file).size(), 8u);
    const struct {
        const char* answer;
        bool old_backup;  // a mapscale.def.bak is there before
        const char* backup;
    } cases[] = {
        {"no", false, nullptr},
        {"yes", false, "mapscale.def.bak"},
        {"yes", true, "mapscale.def.1.bak"},
    };
    for (const auto& c : cases) {
        fs::remove(file + ".bak");
        fs::remove(home_ + "/define/mapscale.def.1.bak");
        if (c.old_backup) kv_test::write_bytes(file + ".bak", "older");
        kv_test::write_bytes(file, damaged);
        const Result r =
            script("start\nopen " + lib() + " デモソング/マップ/ハ長調\ncommand 40522\nanswer " +
                   c.answer + "\nexit\n");
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_TRUE(has(r,
                        "warn: スケールマップファイルにエラーがあります。\\n\\n※ スケールリスト"
                        "は空となります。\\n\\nファイル : " +
                            file +
                            "\\n理由 : error 24 (a string is not closed on its line) at "
                            "line 50, column 16"))
            << r.out;
        EXPECT_TRUE(has(
            r, "ask: " + file + "\\n\\nこのファイルは存在しますが、内容を読み込めませんでした。"))
            << r.out;
        if (!c.backup) {
            EXPECT_EQ(kv_test::read_bytes(file), damaged) << c.answer;
            EXPECT_FALSE(fs::exists(file + ".bak"));
            continue;
        }
        EXPECT_EQ(kv_test::read_bytes(home_ + "/define/" + c.backup), damaged) << c.backup;
        EXPECT_EQ(scale_names(file).size(), 1u) << kv_test::read_bytes(file);
        if (c.old_backup) {
            EXPECT_EQ(kv_test::read_bytes(file + ".bak"), "older");
        }
    }
}

// A 0-byte library opens marked "empty" in the library tree, a missing one "missing"; Yes at
// exit asks again before it writes over the 0-byte file, and only a second Yes writes it, with
// the old file kept beside it.
TEST_F(LibraryFlow, AnEmptyLibraryIsMarkedAndWrittenOverOnlyAfterAsking) {
    const std::string file = home_ + "/mymusic/library.kvnr";
    const std::string question = "ask: " + file +
                                 "\\n\\nこのファイルは存在しますが、内容を読み込めませんでし"
                                 "た。\\n(the file is empty)";
    const struct {
        const char* name;
        bool present;
        const char* second;  // the answer to the write-over question
        const char* mark;
        int status;
    } cases[] = {
        {"empty, No", true, "no", "\tempty\n", 1},
        {"empty, Yes", true, "yes", "\tempty\n", 0},
        {"missing", false, nullptr, "\tmissing\n", 0},
    };
    for (const auto& c : cases) {
        fs::remove(file + ".bak");
        fs::remove(file);
        if (c.present) kv_test::write_bytes(file, "");
        const Result r =
            script(std::string("start\nprint tree\nanswer yes\n") +
                   (c.second ? std::string("answer ") + c.second + "\n" : "") + "exit\n");
        EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.out;
        EXPECT_TRUE(has(r, std::string("  ライブラリ\tMTYPE_ROOM\t*") + c.mark)) << c.name << "\n"
                                                                                 << r.out;
        EXPECT_EQ(has(r, question), c.present) << c.name << "\n" << r.out;
        if (c.second && std::string(c.second) == "no") {
            EXPECT_EQ(kv_test::read_bytes(file), "") << c.name;
            EXPECT_FALSE(fs::exists(file + ".bak"));
            EXPECT_TRUE(has(r, "exit: cancelled")) << r.out;
            continue;
        }
        if (c.present) {
            EXPECT_EQ(kv_test::read_bytes(file + ".bak"), "") << c.name;
        }
        const Result check = program("check '" + file + "'");
        EXPECT_EQ(check.status, 0) << c.name << "\n" << check.out;
    }
}

// The start-up's messages name the file and the reason: the configuration (its full path and
// the byte-order-mark hint) and the last library (code, meaning, line and column).
TEST_F(LibraryFlow, StartUpMessagesNameTheFileAndTheReason) {
    const std::string config = home_ + "/define/korvante.cfg";
    const std::string library = home_ + "/mymusic/library.kvnr";
    kv_test::write_bytes(config, "\xEF\xBB\xBFKORVANTE-TEXT-TYPE\r\n");
    Result r = script("start\n");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(has(r,
                    "warn: 初期化ファイルがロードできません。\\n\\n※ KORVANTE.CFG "
                    "ファイルを削除または移動してください。\\n\\nファイル : " +
                        config +
                        "\\n理由 : error 0x10005 (the file does not begin with "
                        "KORVANTE-TEXT-TYPE) at line 1, column 1 (hint: the file starts with a "
                        "UTF-8 byte-order mark"))
        << r.out;
    fs::remove(config);

    kv_test::write_bytes(library, "KORVANTE-TEXT-TYPE\r\nheader {\r\n soft_version = 1\r\n}\r\n");
    r = script("start\nexit\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r, "warn: ライブラリファイルにエラーがあります。\\n\\nファイル : " + library +
                           "\\n理由 : error 0x10012 (a `;` is expected) at line 4, column 1"))
        << r.out;
    r = script("start \"" + library + "\"\nexit\n");
    EXPECT_TRUE(has(r, "warn: ライブラリファイルがロードできませんでした。\\n\\nファイル : " +
                           library + "\\n理由 : error 0x10012"))
        << r.out;
}

// A save-all that cannot write a file names it with the system's reason and ends the script
// with status 1; a scale map that cannot be written says why too.
TEST_F(LibraryFlow, FailedSavesNameTheFileAndTheSystemsReason) {
    kv_test::write_bytes(dir_ + "/plain", "a file, not a folder");
    const std::string library = dir_ + "/plain/library.kvnr";
    Result r = script("start \"" + library + "\"\nanswer yes\nexit\nexit\n");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(has(r,
                    "warn: 保存に失敗しました。\\n\\n1 ファイル保存しませんでした。\\n※ 変更フラ"
                    "グが残っている項目を参照して下さい。\\n\\nファイル : " +
                        library + "\\n理由 : Not a directory"))
        << r.out;

    const std::string scales = home_ + "/define/mapscale.def";
    fs::remove(scales);
    fs::create_directories(scales);
    r = script("start\nopen " + lib() + " デモソング/マップ/ハ長調\ncommand 40522\nexit\n");
    EXPECT_TRUE(has(r, "理由 : error 0x10003 (the file cannot be read): not a regular file"))
        << r.out;
    EXPECT_TRUE(has(r, "warn: スケールマップファイルの保存に失敗しました。\\n\\nファイル : " +
                           scales + "\\n理由 : not a regular file"))
        << r.out;
    EXPECT_TRUE(fs::is_directory(scales));
}

// A music that is a FIFO is not a file to create: opening it says what it is.
TEST_F(LibraryFlow, AMusicThatIsAFifoIsNotARegularFile) {
    const std::string song = demo_ + "/song.kvnl";
    fs::remove(song);
    ASSERT_EQ(::mkfifo(song.c_str(), 0600), 0);
    const Result r = script("start\nopen " + lib() + " デモソング/はじまりの朝\n");
    EXPECT_FALSE(has(r, "このファイルは存在しません。")) << r.out;
    EXPECT_TRUE(has(r, "warn: ファイルを開けませんでした。")) << r.out;
    EXPECT_TRUE(has(r, "\\n\\nファイル : " + song +
                           "\\n理由 : error 0x10003 (the file cannot be read): not a regular file"))
        << r.out;
}

}  // namespace library_flow_script_test
