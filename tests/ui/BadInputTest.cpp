// The command-line tools on damaged copies of the demo library and on files that are not
// regular files: what a user meets when a file is missing, empty, a folder, a FIFO, a device or
// broken, and when an output names something that must not be replaced.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "ExternalTools.h"
#include "platform/SynthPort.h"
#include "tools/AppData.h"
#include "tools/FileBytes.h"

namespace bad_input_test {

namespace fs = std::filesystem;

// A copy of the application folder (demo library, pattern book) in a temporary folder; the
// program runs there with that folder as its home.
class DamagedLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvbad-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        home_ = dir_ + "/home";
        fs::copy(kv_test::app_data(""), home_, fs::copy_options::recursive);
        song_ = home_ + "/mymusic/demo/song.kvnl";
    }
    void TearDown() override { fs::remove_all(dir_); }

    struct Result {
        int status = -1;
        std::string out;  // standard output
        std::string err;  // standard error
    };

    // Runs the program in the temporary folder; a stuck read ends after 20 s (status 124).
    Result Run(const std::string& args) {
        Result r;
        const std::string err_file = dir_ + "/stderr.txt";
        r.status = kv_test::run_capture("cd '" + dir_ + "' && timeout 20 " KV_PROGRAM " --home '" +
                                            home_ + "' " + args + " 2>'" + err_file + "'",
                                        &r.out);
        r.err = kv_test::read_bytes(err_file);
        return r;
    }

    std::string Lib() const { return " '" + home_ + "/mymusic/library.kvnr'"; }

    std::string dir_, home_, song_;
};

const char kSong[] = " 'デモソング/はじまりの朝'";

// The music's own file damaged in every way a user meets: each tool that plays or exports it
// fails with status 1 and names the file and the reason; nothing is written.
TEST_F(DamagedLibrary, AMusicThatCannotBeReadIsAnError) {
    struct Damage {
        const char* name;
        std::function<void(const std::string&)> apply;
        const char* reason;
    };
    const Damage damages[] = {
        {"missing", [](const std::string& f) { fs::remove(f); }, ": no such file"},
        {"empty", [](const std::string& f) { kv_test::write_bytes(f, ""); }, ": the file is empty"},
        {"folder",
         [](const std::string& f) {
             fs::remove(f);
             fs::create_directory(f);
         },
         ": error 0x10003 (the file cannot be read): not a regular file"},
        {"fifo",
         [](const std::string& f) {
             fs::remove(f);
             ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0);
         },
         ": error 0x10003 (the file cannot be read): not a regular file"},
        {"link to /dev/zero",
         [](const std::string& f) {
             fs::remove(f);
             fs::create_symlink("/dev/zero", f);
         },
         ": error 0x10003 (the file cannot be read): not a regular file"},
        {"broken",
         [](const std::string& f) {
             kv_test::write_bytes(f,
                                  "KORVANTE-TEXT-TYPE\r\nheader {\r\n soft_version = 1\r\n}\r\n");
         },
         ": error 0x10012 (a `;` is expected) at line 4, column 1"},
    };
    std::vector<std::string> commands = {"events" + Lib() + kSong,
                                         "export" + Lib() + kSong + " -o out.mid",
                                         "demo" + Lib() + kSong + " --out out --no-wav",
                                         "export" + Lib() + " はじまりの朝 -o out.mid"};
    if (kv_synth::synth_available() && !kv_synth::find_soundfont().empty())
        commands.push_back("render" + Lib() + kSong + " -o out.wav");
    const std::string original = kv_test::read_bytes(song_);
    for (const Damage& d : damages) {
        d.apply(song_);
        for (const std::string& command : commands) {
            const Result r = Run(command);
            EXPECT_EQ(r.status, 1) << d.name << ": " << command;
            EXPECT_EQ(r.out, "") << d.name << ": " << command;
            EXPECT_NE(r.err.find(song_ + d.reason), std::string::npos)
                << d.name << ": " << command << "\n"
                << r.err;
            EXPECT_FALSE(fs::exists(dir_ + "/out.mid")) << d.name;
            EXPECT_FALSE(fs::exists(dir_ + "/out.wav")) << d.name;
            EXPECT_FALSE(fs::exists(dir_ + "/out/demo.mid")) << d.name;
        }
        fs::remove_all(song_);
        kv_test::write_bytes(song_, original);
    }
    // The undamaged copy plays.
    EXPECT_EQ(Run("export" + Lib() + kSong + " -o out.mid").status, 0);
}

// A file the music uses fails: the music still plays and the tool warns, naming the file.
TEST_F(DamagedLibrary, AFileTheMusicUsesFailsWithAWarning) {
    const std::string chord = home_ + "/mymusic/demo/chord_c.kvnl";
    const std::string phrase = home_ + "/pattern_v01/piano/piano_arpeggio_8.kvnl";
    // A book the music does not use may be gone: nothing to warn about.
    fs::remove(home_ + "/pattern_v01/pattern.kvnb");
    const Result before = Run("export" + Lib() + kSong + " -o before.mid");
    ASSERT_EQ(before.status, 0) << before.err;
    EXPECT_EQ(before.err, "");
    kv_test::write_bytes(chord, kv_test::read_bytes(chord).substr(0, 300));
    fs::remove(phrase);
    fs::create_directory(phrase);
    for (const std::string& command :
         {"export" + Lib() + kSong + " -o after.mid", "events" + Lib() + kSong}) {
        const Result r = Run(command);
        EXPECT_EQ(r.status, 0) << command << "\n" << r.err;
        EXPECT_NE(r.err.find("korvante: warning: " + chord + ": error 0x10043 ("),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("korvante: warning: " + phrase +
                             ": error 0x10003 (the file cannot be read): not a regular file"),
                  std::string::npos)
            << r.err;
    }
    EXPECT_NE(kv_test::read_bytes(dir_ + "/before.mid"), kv_test::read_bytes(dir_ + "/after.mid"));
}

// A book that cannot be read is named as the reason the leaf is not there.
TEST_F(DamagedLibrary, ABookThatFailsIsReportedAsSuch) {
    const std::string book = home_ + "/mymusic/demo/demo.kvnb";
    kv_test::write_bytes(book, kv_test::read_bytes(book).substr(0, 500));
    for (const std::string& leaf : {std::string(kSong), std::string(" はじまりの朝")}) {
        const Result r = Run("export" + Lib() + leaf + " -o out.mid");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("the book \"デモソング\" cannot be read: " + book + ": error "),
                  std::string::npos)
            << r.err;
    }
}

// Replaces the first `from` in the file by `to`; false when it is not there.
bool replace_in(const std::string& path, const std::string& from, const std::string& to) {
    std::string bytes = kv_test::read_bytes(path);
    const size_t at = bytes.find(from);
    if (at == std::string::npos) return false;
    bytes.replace(at, from.size(), to);
    kv_test::write_bytes(path, bytes);
    return true;
}

// A book whose path names the library file, or a leaf whose path names its own book, finds a
// file that is there but belongs to another part of the library: the tools say so instead of
// "no such file".
TEST_F(DamagedLibrary, APathNamingAnotherFileOfTheLibraryIsSaidAsSuch) {
    const std::string library = home_ + "/mymusic/library.kvnr";
    const std::string book = home_ + "/mymusic/demo/demo.kvnb";
    const std::vector<std::string> commands = {"events" + Lib() + kSong,
                                               "export" + Lib() + kSong + " -o out.mid"};
    ASSERT_TRUE(replace_in(library, "<room>.\\\\demo\\\\demo.kvnb", "<room>.\\\\library.kvnr"));
    for (const std::string& command : commands) {
        const Result r = Run(command);
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_NE(r.err.find("the book \"デモソング\" cannot be read: " + library +
                             ": its path \"<room>.\\\\library.kvnr\" names the library file "
                             "itself, not a file of its own"),
                  std::string::npos)
            << command << "\n"
            << r.err;
        EXPECT_EQ(r.err.find("no such file"), std::string::npos) << r.err;
    }
    ASSERT_TRUE(replace_in(library, "<room>.\\\\library.kvnr", "<room>.\\\\demo\\\\demo.kvnb"));
    ASSERT_TRUE(replace_in(book, "<book>.\\\\song.kvnl", "<book>.\\\\demo.kvnb"));
    for (const std::string& command : commands) {
        const Result r = Run(command);
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_NE(r.err.find("cannot read the music 'デモソング/はじまりの朝': " + book +
                             ": its path \"<book>.\\\\demo.kvnb\" names the file of its own "
                             "book \"デモソング\", not a file of its own"),
                  std::string::npos)
            << command << "\n"
            << r.err;
        EXPECT_EQ(r.err.find("no such file"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir_ + "/out.mid"));
}

// A book written as UTF-8 gets the hint a UTF-8 music gets.
TEST_F(DamagedLibrary, AUtf8BookGetsTheHint) {
    const std::string book = home_ + "/mymusic/demo/demo.kvnb";
    std::string utf8;
    ASSERT_EQ(kv_test::run_capture("iconv -f CP932 -t UTF-8 '" + book + "'", &utf8), 0);
    kv_test::write_bytes(book, utf8);
    for (const std::string& command : {"events" + Lib() + kSong, "check '" + book + "'"}) {
        const Result r = Run(command);
        EXPECT_NE(r.err.find("(hint: the file is UTF-8; Korvante files are CP932 (Shift-JIS))"),
                  std::string::npos)
            << command << "\n"
            << r.err << r.out;
    }
}

// Every tool that takes a leaf finds it the same way, by its name alone too.
TEST_F(DamagedLibrary, EveryToolAcceptsTheSameLeafNames) {
    for (const char* leaf : {" はじまりの朝", " 'デモソング/はじまりの朝'", " 0x10110001"}) {
        EXPECT_EQ(Run(std::string("events") + Lib() + leaf).status, 0) << leaf;
        EXPECT_EQ(Run(std::string("export") + Lib() + leaf + " -o x.mid").status, 0) << leaf;
        EXPECT_EQ(Run(std::string("demo") + Lib() + leaf + " --out d --no-wav").status, 0) << leaf;
    }
}

// The tools on one music open the library, find the leaf and read their command line alike:
// the same message for a missing library or leaf, status 1, and status 2 for a bad command line.
TEST_F(DamagedLibrary, EveryToolFailsTheSameWayBeforeItsOwnWork) {
    std::vector<std::string> tools = {"events", "export", "play", "demo"};
    if (kv_synth::synth_available() && !kv_synth::find_soundfont().empty())
        tools.push_back("render");
    for (const std::string& tool : tools) {
        const std::string out = tool == "render" ? " -o out.wav" : "";
        Result r = Run(tool + " /nowhere/library.kvnr Leaf" + out);
        EXPECT_EQ(r.status, 1) << tool;
        EXPECT_EQ(r.err, "korvante: no library file at /nowhere/library.kvnr\n") << tool;
        r = Run(tool + Lib() + " 'デモソング/なにもない'" + out);
        EXPECT_EQ(r.status, 1) << tool;
        EXPECT_EQ(r.err.rfind("korvante: ", 0), 0u) << tool << ": " << r.err;
        EXPECT_NE(r.err.find("なにもない"), std::string::npos) << tool << ": " << r.err;
        r = Run(tool + Lib() + " A B C" + out);
        EXPECT_EQ(r.status, 2) << tool;
        EXPECT_EQ(r.err.rfind("usage: korvante " + tool, 0), 0u) << tool << ": " << r.err;
    }
}

TEST_F(DamagedLibrary, TreeShowsAnEmptyFileAsEmpty) {
    kv_test::write_bytes(song_, "");
    const Result r = Run("tree" + Lib());
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("<book>.\\song.kvnl\tempty\n"), std::string::npos) << r.out;
}

// Outputs never replace what is not a regular file, nor a file of the open library.
TEST_F(DamagedLibrary, OutputsRefuseWhatMustNotBeReplaced) {
    ASSERT_EQ(::mkfifo((dir_ + "/fifo.mid").c_str(), 0600), 0);
    fs::create_symlink("/proc/self/fd/1", dir_ + "/stdout.mid");
    kv_test::write_bytes(dir_ + "/target.mid", "keep");
    fs::create_symlink(dir_ + "/target.mid", dir_ + "/link.mid");
    const std::string library_file = home_ + "/mymusic/library.kvnr";
    const std::string library_bytes = kv_test::read_bytes(library_file);
    const std::string song_bytes = kv_test::read_bytes(song_);
    struct Case {
        std::string output;
        const char* reason;
    };
    const Case cases[] = {
        {"fifo.mid", "it is not a regular file"},
        {"stdout.mid", "it is not a regular file"},
        {"link.mid", "it is not a regular file"},
        {"/dev/null", "it is not a regular file"},
        {"home/mymusic/demo/song.kvnl", "it is a file of the open library"},
        {"home/mymusic/../mymusic/library.kvnr", "it is a file of the open library"},
        {home_ + "/pattern_v01/pattern.kvnb", "it is a file of the open library"},
    };
    const bool can_render = kv_synth::synth_available() && !kv_synth::find_soundfont().empty();
    for (const Case& c : cases) {
        std::vector<std::string> commands = {"export" + Lib() + kSong + " -o '" + c.output + "'"};
        if (can_render) commands.push_back("render" + Lib() + kSong + " -o '" + c.output + "'");
        for (const std::string& command : commands) {
            const Result r = Run(command);
            EXPECT_EQ(r.status, 1) << command;
            EXPECT_NE(r.err.find("korvante: refusing to write " + c.output + ": " + c.reason),
                      std::string::npos)
                << command << "\n"
                << r.err;
        }
    }
    struct stat st;
    ASSERT_EQ(::lstat((dir_ + "/fifo.mid").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(::lstat((dir_ + "/stdout.mid").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::lstat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(kv_test::read_bytes(dir_ + "/target.mid"), "keep");
    EXPECT_EQ(kv_test::read_bytes(library_file), library_bytes);
    EXPECT_EQ(kv_test::read_bytes(song_), song_bytes);
}

TEST_F(DamagedLibrary, OutputGoesToStandardOutputAndKeepsPermissions) {
    const Result piped = Run("export" + Lib() + kSong + " -o -");
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out.substr(0, 4), "MThd");
    ASSERT_EQ(Run("export" + Lib() + kSong + " -o file.mid").status, 0);
    EXPECT_EQ(kv_test::read_bytes(dir_ + "/file.mid"), piped.out);

    // A replaced file keeps its permissions; a new one gets those of the umask.
    ::chmod((dir_ + "/file.mid").c_str(), 0640);
    ASSERT_EQ(Run("export" + Lib() + kSong + " -o file.mid").status, 0);
    struct stat st;
    ASSERT_EQ(::stat((dir_ + "/file.mid").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    ASSERT_EQ(Run("export" + Lib() + kSong + " -o new.mid").status, 0);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    ASSERT_EQ(::stat((dir_ + "/new.mid").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);

    // "cannot write" says why.
    const Result r = Run("export" + Lib() + kSong + " -o none/x.mid");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("korvante: cannot write none/x.mid: No such file or directory"),
              std::string::npos)
        << r.err;
}

// `parse` reads only regular files, never blocks, and explains what it could not read.
TEST_F(DamagedLibrary, ParseRefusesWhatIsNotARegularFile) {
    ASSERT_EQ(::mkfifo((dir_ + "/fifo").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir_ + "/zero");
    fs::create_directory(dir_ + "/folder");
    kv_test::write_bytes(dir_ + "/empty.kvnl", "");
    // A sparse file larger than the largest file the program reads.
    {
        std::ofstream(dir_ + "/huge.kvnl");
        fs::resize_file(dir_ + "/huge.kvnl", (uintmax_t{1} << 30) + 1);
    }
    struct Case {
        std::string file;
        const char* error;
    };
    const std::string unreadable = "error 0x10003 (the file cannot be read): not a regular file";
    const Case cases[] = {
        {"fifo", unreadable.c_str()},
        {"zero", unreadable.c_str()},
        {"folder", unreadable.c_str()},
        {"/dev/zero", unreadable.c_str()},
        {"/dev/urandom", unreadable.c_str()},
        {"huge.kvnl", "error 0x10003 (the file cannot be read): larger than 1 GiB"},
        {"empty.kvnl", "error 0x10002 (the file is missing or empty)"},
        {"none.kvnl", "error 0x10002 (the file is missing or empty)"},
    };
    for (const Case& c : cases) {
        for (const char* command : {"parse", "check"}) {
            const Result r = Run(std::string(command) + " '" + c.file + "'");
            EXPECT_EQ(r.status, 1) << command << " " << c.file;
            EXPECT_EQ(r.out, "") << command << " " << c.file;
            EXPECT_NE(r.err.find(c.error), std::string::npos) << command << " " << c.file << "\n"
                                                              << r.err;
        }
    }
}

// A text that starts with a byte-order mark or is UTF-8 gets a hint; a parse error gives the
// place where reading stopped.
TEST_F(DamagedLibrary, ParseErrorsGiveThePlaceAndAHint) {
    const std::string cp932 = kv_test::read_bytes(song_);
    kv_test::write_bytes(dir_ + "/bom.kvnl", "\xEF\xBB\xBF" + cp932);
    std::string utf8;
    ASSERT_EQ(kv_test::run_capture("iconv -f CP932 -t UTF-8 '" + song_ + "'", &utf8), 0);
    kv_test::write_bytes(dir_ + "/utf8.kvnl", utf8);
    kv_test::write_bytes(dir_ + "/semicolon.kvnl",
                         "KORVANTE-TEXT-TYPE\r\nheader {\r\n  soft_version = 1\r\n}\r\n");
    for (const char* command : {"parse", "check"}) {
        Result r = Run(std::string(command) + " bom.kvnl");
        EXPECT_NE(r.err.find("error 0x10005 (the file does not begin with KORVANTE-TEXT-TYPE) at "
                             "line 1, column 1 (hint: the file starts with a UTF-8 byte-order "
                             "mark"),
                  std::string::npos)
            << r.err;
        r = Run(std::string(command) + " utf8.kvnl");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("(hint: the file is UTF-8; Korvante files are CP932 (Shift-JIS))"),
                  std::string::npos)
            << r.err;
        r = Run(std::string(command) + " semicolon.kvnl");
        EXPECT_NE(r.err.find("semicolon.kvnl: error 0x10012 (a `;` is expected) at line 4, "
                             "column 1\n"),
                  std::string::npos)
            << r.err;
    }
}

}  // namespace bad_input_test
