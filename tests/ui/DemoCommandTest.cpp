// The command-line tools on the demo library kept beside the program, and the README's main
// job (korvante demo).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>

#include "ExternalTools.h"
#include "tools/AppData.h"
#include "ui/RunProgram.h"

namespace demo_command_test {

using kv_test::app_data;

const std::string kLibrary = "'" + app_data("mymusic/library.kvnr") + "'";
const std::string kSong = "'デモソング/はじまりの朝'";

class DemoTools : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvdemo-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    static size_t count_lines(const std::string& text, const std::string& needle) {
        std::istringstream in(text);
        size_t n = 0;
        for (std::string line; std::getline(in, line);)
            n += line.find(needle) != std::string::npos ? 1 : 0;
        return n;
    }

    // Note-ons with a velocity above 0 in a MIDI file, as midicsv reads it.
    static size_t midicsv_notes(const std::string& file) {
        std::string csv;
        EXPECT_EQ(kv_test::run_capture("midicsv '" + file + "'", &csv), 0);
        std::istringstream in(csv);
        size_t n = 0;
        for (std::string line; std::getline(in, line);) {
            if (line.find("Note_on_c") != std::string::npos &&
                line.substr(line.rfind(',') + 1) != " 0")
                ++n;
        }
        return n;
    }

    std::string dir_;
};

TEST_F(DemoTools, TreeShowsEveryFileOfTheDemoLibraryOk) {
    const ProgramRun run = run_program("tree " + kLibrary + " --tracks");
    ASSERT_EQ(run.status, 0);
    std::istringstream in(run.out);
    size_t files = 0, tracks = 0;
    for (std::string line; std::getline(in, line);) {
        const std::string state = line.substr(line.rfind('\t') + 1);
        if (line[0] == '\t') {
            ++tracks;
            continue;
        }
        EXPECT_TRUE(state == "ok" || state == "-") << line;
        files += state == "ok" ? 1 : 0;
    }
    EXPECT_EQ(files, 1u + 2u + 26u + 5u + 26u) << "library, books, phrases, demo leaves, links";
    EXPECT_GT(tracks, 400u);
    EXPECT_NE(run.out.find("\t0x00031321\tトラックリスト/ヘッダ/転調\t"), std::string::npos);
}

TEST_F(DemoTools, EveryStandardPatternPlaysOnItsOwn) {
    const ProgramRun tree = run_program("tree " + kLibrary);
    ASSERT_EQ(tree.status, 0);
    std::istringstream in(tree.out);
    size_t phrases = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string id, type, path;
        std::getline(fields, id, '\t');
        std::getline(fields, type, '\t');
        std::getline(fields, path, '\t');
        if (type != "MTYPE_LEAF_PHRASE" || path.rfind("パターンブック_標準/", 0) != 0) continue;
        ++phrases;
        const ProgramRun events = run_program("events " + kLibrary + " '" + path + "'");
        EXPECT_EQ(events.status, 0) << path;
        EXPECT_GE(count_lines(events.out, "\tnote-on\t"), 20u) << path;
        EXPECT_GE(count_lines(events.out, "\ttext\t6\t"), 4u) << path << ": its sections";
    }
    EXPECT_EQ(phrases, 26u);
}

TEST_F(DemoTools, EventsAndExportOfTheDemoSongAgree) {
    const ProgramRun events = run_program("events " + kLibrary + " " + kSong);
    ASSERT_EQ(events.status, 0);
    const size_t notes = count_lines(events.out, "\tnote-on\t");
    EXPECT_GT(notes, 2000u);
    EXPECT_EQ(count_lines(events.out, "\ttext\t5\t"), 113u) << "one lyric per sung note";

    const std::string midi = dir_ + "/song.mid";
    const ProgramRun exported =
        run_program("export " + kLibrary + " " + kSong + " -o '" + midi + "'");
    ASSERT_EQ(exported.status, 0);
    ASSERT_TRUE(std::filesystem::exists(midi));
    if (!kv_test::have_program("midicsv")) GTEST_SKIP() << "midicsv is not installed";
    EXPECT_EQ(midicsv_notes(midi), notes);
    if (!kv_test::have_mido()) GTEST_SKIP() << "python3-mido is not installed";
    std::string out;
    const char* script = R"(
import sys, mido
f = mido.MidiFile(sys.argv[1])
ons = [m for m in f.tracks[0] if m.type == "note_on" and m.velocity > 0]
melody = [m.note for m in ons if m.channel == 0][:5]
print(f.type, len(f.tracks), f.ticks_per_beat, len(ons), round(f.length), melody)
)";
    ASSERT_EQ(kv_test::run_python(script, midi, &out), 0) << out;
    EXPECT_EQ(out, "0 1 480 " + std::to_string(notes) + " 92 [76, 79, 81, 79, 76]\n");
}

TEST_F(DemoTools, DemoExportsTheSongAndSummarisesIt) {
    const ProgramRun run = run_program("demo --out '" + dir_ + "' --no-wav");
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string midi = dir_ + "/demo.mid";
    EXPECT_NE(run.out.find("MIDI file: " + midi + "\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("WAV file"), std::string::npos);
    std::smatch m;
    const std::regex summary(
        "デモソング/はじまりの朝: (\\d+) bars, (\\d+) notes, ([0-9.]+) seconds\n");
    ASSERT_TRUE(std::regex_search(run.out, m, summary)) << run.out;
    EXPECT_EQ(m[1], "40");
    EXPECT_GT(std::stod(m[3]), 90.0);
    EXPECT_LT(std::stod(m[3]), 100.0);
    if (kv_test::have_program("midicsv")) {
        EXPECT_EQ(std::to_string(midicsv_notes(midi)), m[2]);
    }
}

TEST_F(DemoTools, DemoRendersWhenTheSynthesizerIsThere) {
    const ProgramRun run = run_program("demo --out '" + dir_ + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string wav = dir_ + "/demo.wav";
    if (run.out.find("WAV file:  not rendered: ") != std::string::npos) {
        EXPECT_FALSE(std::filesystem::exists(wav));
        GTEST_SKIP() << run.out;
    }
    EXPECT_NE(run.out.find("WAV file:  " + wav + "\n"), std::string::npos) << run.out;
    const std::string bytes = kv_test::read_bytes(wav);
    ASSERT_GT(bytes.size(), 44u + 90u * 44100u * 4u) << "at least the song's 90 seconds";
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 4), "WAVE");
}

TEST_F(DemoTools, DemoRefusesBadArguments) {
    const std::string out = " --out '" + dir_ + "' --no-wav 2>/dev/null";
    EXPECT_EQ(run_program("demo --bogus" + out).status, 2);
    EXPECT_EQ(run_program("demo a b c" + out).status, 2);
    EXPECT_EQ(run_program("demo '" + dir_ + "/none.kvnr'" + out).status, 1);
    EXPECT_EQ(run_program("demo " + kLibrary + " 'デモソング/ない曲'" + out).status, 1);
    EXPECT_EQ(run_program("demo " + kLibrary + " 'デモソング/マップ'" + out).status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/demo.mid"));
}

}  // namespace demo_command_test
