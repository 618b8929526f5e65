#include <gtest/gtest.h>

#include <string>

#include "ui/RunProgram.h"

namespace parse_command_test {

using Outcome = ProgramRun;

// Runs `korvante parse` on a file.
Outcome parse(const std::string& path) {
    return run_program("parse '" + path + "'");
}

std::string fixture(const char* name) {
    return std::string(KV_TEST_DATA) + "/text/" + name;
}

TEST(ParseCommand, PrintsHeaderAndItemsOfTheMainRecord) {
    const Outcome scale = parse(fixture("scale.kvnl"));
    EXPECT_EQ(scale.status, 0);
    EXPECT_EQ(scale.out,
              "ok\n"
              "header soft_version=0x000a0200 data_version=0x0100000d target=leaf "
              "type=MTYPE_LEAF_SCALE name=\"scales\"\n"
              "0 {} @array @type=\"MSEQ_BLOCK_SCALE\"\n"
              "0.0 {}\n"
              "0.0.0 0\n"
              "0.0.1 \"major\"\n"
              "0.0.2 0\n"
              "0.0.3 0\n"
              "0.0.4 {} @array @type=\"MSEQ_KEY\"\n"
              "0.0.4.0 {}\n"
              "0.0.4.0.0 1\n"
              "0.0.4.0.1 0\n"
              "0.0.4.1 {}\n"
              "0.0.4.1.0 1\n"
              "0.0.4.1.1 4\n");

    const Outcome record = parse(fixture("record.kvnl"));
    EXPECT_EQ(record.status, 0);
    EXPECT_EQ(record.out,
              "ok\n"
              "header soft_version=0x000a0200 data_version=0x0100000d target=leaf "
              "type=MTYPE_LEAF_MUSIC name=\"ソの曲 \\\"q\\\"\"\n"
              "0 1\n"
              "1 \"x\"\n"
              "2 {} @null\n"
              "3 {}\n"
              "3.0 2\n"
              "4 0\n"
              "5 4294967295\n"
              "6 8\n"
              "7 \"abc\"\n"
              "8 6\n"
              "9 1.5\n"
              "10 -0.25\n"
              "11 \"ソ\\\\\"\n"
              "12 {} @array @extra=-1 @type=\"NUM\"\n"
              "12.0 16\n"
              "12.1 {}\n"
              "12.1.0 \"deep\"\n");
}

TEST(ParseCommand, ReportsTheFirstFailureOnStandardError) {
    struct Case {
        const char* file;
        const char* error;  // what follows "PATH: " on standard error
    };
    const Case cases[] = {
        {"octal.kvnl", "error 19 (a malformed octal number) at line "},
        {"equal.kvnl", "error 56 (an `=` after a complete value) at line "},
        {"no_magic.kvnl",
         "error 0x10005 (the file does not begin with KORVANTE-TEXT-TYPE) at line 1, column 1"},
        {"old_header.kvnl", "error 0x10021 (the header has no soft_version) at line "},
        {"deep.kvnl", "error 8 (records or expressions nested too deep) at line "},
        {"no_such_file.kvnl", "error 0x10002 (the file is missing or empty)\n"},
    };
    for (const Case& c : cases) {
        const Outcome run = parse(fixture(c.file));
        EXPECT_EQ(run.out, "") << c.file;  // nothing on standard output
        EXPECT_EQ(run.status, 1) << c.file;
        const Outcome both = run_program("parse '" + fixture(c.file) + "' 2>&1");
        EXPECT_EQ(both.out.rfind(fixture(c.file) + ": " + c.error, 0), 0u) << both.out;
    }
}

}  // namespace parse_command_test
