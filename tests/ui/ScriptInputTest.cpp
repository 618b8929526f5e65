// Script input that cannot hurt: what is not a regular file is refused, an endless line is cut
// off with its number, messages quote little and show what cannot be printed, and a wrong
// --home stops the program before it runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ui/RunProgram.h"

namespace script_input_test {

// A temporary folder for script files, removed afterwards.
class ScriptInput : public ::testing::Test {
protected:
    ScriptInput() {
        char tmpl[] = "/tmp/kvscript-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
    }
    ~ScriptInput() override { std::filesystem::remove_all(dir_); }

    // Writes a script file and returns its path.
    std::string script(const std::string& name, const std::string& text) const {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // Runs the program with standard error joined to standard output.
    static ProgramRun run(const std::string& arguments) { return run_program(arguments + " 2>&1"); }

    std::string dir_;
};

TEST_F(ScriptInput, WhatIsNotARegularFileIsRefused) {
    for (const std::string& input : {dir_, std::string("/dev/zero"), dir_ + "/none"}) {
        const ProgramRun r = run("script '" + input + "'");
        EXPECT_EQ(r.status, 1) << input;
        EXPECT_NE(r.out.find(input + ": cannot read the script: "), std::string::npos) << r.out;
    }
    EXPECT_NE(run("script '" + dir_ + "'").out.find("not a regular file"), std::string::npos);
}

TEST_F(ScriptInput, ALineOverTheLimitIsRefusedWithItsNumber) {
    const std::string ok_line = "# " + std::string(65534, 'c');  // 65536 bytes: a comment
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"# one\n" + std::string(70000, 'a') + "\nanswer yes\n", "line 2: longer than 65536 bytes"},
        {ok_line + "\r\n" + ok_line + "c\n", "line 2: longer than 65536 bytes"},
        {std::string(200000, '\0'), "line 1: longer than 65536 bytes"},
    };
    for (const Case& c : cases) {
        const ProgramRun r = run("script '" + script("long.txt", c.text) + "'");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out.substr(0, 200);
        EXPECT_LT(r.out.size(), 200u);
    }
    // Standard input that never ends a line: the run stops at the limit.
    const ProgramRun endless = run("script < /dev/zero");
    EXPECT_EQ(endless.status, 1);
    EXPECT_NE(endless.out.find("line 1: longer than 65536 bytes"), std::string::npos);
    // A line of exactly the limit is a line.
    const ProgramRun exact = run("script '" + script("exact.txt", ok_line + "\n") + "'");
    EXPECT_EQ(exact.status, 0) << exact.out.substr(0, 200);
}

TEST_F(ScriptInput, MessagesQuoteLittleAndShowWhatCannotBePrinted) {
    const std::string long_word(300, 'w');
    struct Case {
        std::string line;
        std::string message;
    };
    const Case cases[] = {
        {"\x1b[31mred", "line 1: unknown step '\\x1B[31mred'"},
        {"\xEF\xBB\xBF"
         "answer yes",
         "line 1: unknown step '\\uFEFFanswer'"},
        {"st\x7Fp\x01", "line 1: unknown step 'st\\x7Fp\\x01'"},
        {"\x82\xA0x", "line 1: unknown step '\\x82\\xA0x'"},  // CP932, not UTF-8
        {"ステップ", "line 1: unknown step 'ステップ'"},
        {long_word, "line 1: unknown step '" + std::string(80, 'w') + "...'"},
        {"\"" + long_word, "line 1: unterminated quote in '\"" + std::string(79, 'w') + "...'"},
    };
    for (const Case& c : cases) {
        const ProgramRun r = run("script '" + script("bad.txt", c.line + "\n") + "'");
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.out, c.message + "\n");
    }
    // A step's own message quoting a long argument quotes 80 bytes of it.
    const ProgramRun r =
        run("script '" + script("open.txt", "open /" + long_word + " Song\n") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.find(long_word), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(std::string(79, 'w') + "..."), std::string::npos) << r.out;
}

TEST_F(ScriptInput, AHomeThatIsNoFolderStopsTheStart) {
    const std::string file = script("file", "x");
    struct Case {
        std::string arguments;
        std::string message;
    };
    const Case cases[] = {
        {"--home '" + dir_ + "/none' script",
         "--home " + dir_ + "/none: No such file or directory"},
        {"--home '" + file + "' script", "--home " + file + ": not a folder"},
        {"script --home", "--home needs a folder"},
    };
    for (const Case& c : cases) {
        const ProgramRun r = run(c.arguments + " < /dev/null");
        EXPECT_EQ(r.status, 2) << c.arguments;
        EXPECT_EQ(r.out, "korvante: " + c.message + "\n");
    }
    EXPECT_EQ(run("--home '" + dir_ + "' script < /dev/null").status, 0);
}

// Every step is listed once, with what it takes.
TEST_F(ScriptInput, HelpListsEveryStepWithItsArguments) {
    const ProgramRun r = run("script --help");
    ASSERT_EQ(r.status, 0);
    std::istringstream lines(r.out);
    std::string line;
    int steps = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("  ", 0) != 0) continue;
        ++steps;
        const size_t colon = line.find(':');
        EXPECT_NE(colon, std::string::npos) << line;
        EXPECT_GT(line.size(), colon + 2) << line;  // an effect after the arguments
    }
    EXPECT_GT(steps, 40);
    for (const char* step : {"open LIBRARY LEAF", "answer yes|no|cancel|ok", "save ", "press AREA",
                             "start [LIBRARY]", "print tracks "})
        EXPECT_NE(r.out.find(std::string("  ") + step), std::string::npos) << step;
    EXPECT_EQ(r.out.find("  open LIBRARY LEAF", r.out.find("  open LIBRARY LEAF") + 1),
              std::string::npos);  // listed once
}

}  // namespace script_input_test
