// The language of the real program: chosen at start from `--lang`, the setting, or the messages
// locale of the environment, and the same script run once in each language with its messages
// (a failed open, a save question, a menu label and its status text, a warning) each in its
// language. The terminal tools' own words stay English in both.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "ui/RunProgram.h"

namespace language_script_test {

class LanguageScript : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvlang-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        std::filesystem::create_directories(dir_ + "/app/define");
        for (const char* d : {"template", "pattern_v01"}) {
            std::filesystem::copy(std::string(KV_APP_DATA) + "/" + d, dir_ + "/app/" + d,
                                  std::filesystem::copy_options::recursive);
        }
        std::filesystem::create_directories(dir_ + "/run");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Runs the program under the messages locale `locale` (LC_ALL), with this test's own
    // runtime and state folders; standard error joins the output.
    ProgramRun program(const std::string& locale, const std::string& arguments) {
        return run_program_in("LC_ALL=" + locale + " XDG_RUNTIME_DIR=" + dir_ +
                                  "/run XDG_STATE_HOME=" + dir_ + "/state",
                              arguments + " 2>&1");
    }
    ProgramRun script(const std::string& locale, const std::string& options,
                      const std::string& lines) {
        const std::string file = dir_ + "/script.txt";
        std::ofstream(file) << lines;
        return program(locale, options + " --home " + dir_ + "/app script " + file);
    }
    // A start that shows one warning (no scale map in the folder) and a menu label.
    ProgramRun first_start(const std::string& locale, const std::string& options = "") {
        return script(locale, options, "start\nprint menu 40043\n");
    }
    static bool japanese(const ProgramRun& run) {
        return has(run, "warn: スケールマップファイルが存在しません。") &&
               has(run, "menu 40043: 保存(&S)\tCtrl+S | ");
    }
    static bool english(const ProgramRun& run) {
        return has(run, "warn: The scale map file does not exist.") &&
               has(run, "menu 40043: &Save\tCtrl+S | Saves the file shown. [Ctrl]+[S]\n");
    }
    static bool has(const ProgramRun& run, const std::string& text) {
        return run.out.find(text) != std::string::npos;
    }
    void write_setting(const std::string& text) {
        std::ofstream(dir_ + "/app/define/language.cfg") << text;
    }

    std::string dir_;
};

TEST_F(LanguageScript, TheFirstStartFollowsTheMessagesLocale) {
    const struct {
        const char* locale;
        bool japanese;
    } cases[] = {
        {"ja_JP.UTF-8", true},  {"C", true}, {"POSIX", true}, {"en_US.UTF-8", false},
        {"de_DE.UTF-8", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        const ProgramRun run = first_start(c.locale);
        ASSERT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(japanese(run), c.japanese) << run.out;
        EXPECT_EQ(english(run), !c.japanese) << run.out;
    }
}

TEST_F(LanguageScript, TheSettingOverridesTheLocaleAndLangOverridesBoth) {
    write_setting("language = en\n");
    EXPECT_TRUE(english(first_start("ja_JP.UTF-8")));
    EXPECT_TRUE(japanese(first_start("de_DE.UTF-8", "--lang ja")));
    write_setting("language = ja\n");
    EXPECT_TRUE(japanese(first_start("en_US.UTF-8")));
    EXPECT_TRUE(english(first_start("C", "--lang en")));
    // --lang is a global option: after the command as well as before it.
    std::ofstream(dir_ + "/start.txt") << "start\nprint menu 40043\n";
    const ProgramRun after =
        program("C", "--home " + dir_ + "/app script " + dir_ + "/start.txt --lang en");
    EXPECT_TRUE(english(after)) << after.out;
    // A damaged setting is said and left out: the locale decides.
    write_setting("language = fr\n");
    const ProgramRun damaged = first_start("de_DE.UTF-8");
    EXPECT_TRUE(english(damaged)) << damaged.out;
    EXPECT_TRUE(has(damaged, "the language setting is not used")) << damaged.out;
}

TEST_F(LanguageScript, ABadLangIsAUsageError) {
    for (const char* args : {"--lang de script", "--lang", "tree --lang JA x.kvnr"}) {
        SCOPED_TRACE(args);
        const ProgramRun run = program("C", args);
        EXPECT_EQ(run.status, 2) << run.out;
        EXPECT_TRUE(has(run, "--lang wants ja or en")) << run.out;
    }
    const ProgramRun help = program("C", "--help");
    EXPECT_TRUE(has(help, "--lang ja|en")) << help.out;
}

// One script, run in each language: its messages each in its language, the names stored in the
// library as written.
TEST_F(LanguageScript, TheSameScriptSpeaksEachLanguage) {
    // A library file that is no library: the start says so and goes on with the default one.
    std::ofstream(dir_ + "/bad.kvnr") << "garbage\n";
    const std::string lines = "start " + dir_ + "/bad.kvnr\nprint menu 40101\nanswer no\n" +
                              "dialog parent=" + dir_ + " folder=lib file=library.kvnr\n" +
                              "menu 40003\nanswer no\nexit\n";
    const ProgramRun ja = script("C", "--lang ja", lines);
    const ProgramRun en = script("C", "--lang en", lines);
    ASSERT_EQ(ja.status, 0) << ja.out;
    ASSERT_EQ(en.status, 0) << en.out;
    const struct {
        const char* ja;
        const char* en;
    } messages[] = {
        // The library on the command line is not there.
        {"warn: ライブラリファイルがロードできませんでした。\\n\\nファイル : ",
         "warn: The library file could not be loaded.\\n\\nFile : "},
        // The menu label and status text of a command.
        {"menu 40101: 再生\tF5 | 再生します。[F5] [Space]\n",
         "menu 40101: Play\tF5 | Plays. [F5] [Space]\n"},
        // The question before a new library replaces the unsaved one.
        {"ask: "
         "ライブラリを作る\\n\\nライブラリ／編集リストに保存されていないファイルがありますが、",
         "ask: Create library\\n\\nThe library or the edit list has files that are not saved."},
    };
    for (const auto& m : messages) {
        EXPECT_TRUE(has(ja, m.ja)) << m.ja << "\n" << ja.out;
        EXPECT_FALSE(has(ja, m.en)) << m.en;
        EXPECT_TRUE(has(en, m.en)) << m.en << "\n" << en.out;
        EXPECT_FALSE(has(en, m.ja)) << m.ja;
    }
    // The terminal's own words are English in both.
    EXPECT_TRUE(has(ja, "exit: done\n"));
    EXPECT_TRUE(has(en, "exit: done\n"));
}

}  // namespace language_script_test
