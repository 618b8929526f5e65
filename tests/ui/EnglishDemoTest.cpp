// The English demo library beside the Japanese one, as the program's tools read them: the same
// music note for note, the same tree with the same identifiers, and only names an English
// reader can read; and the real program's first start opening it in English.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tools/AppData.h"
#include "tools/FileBytes.h"
#include "ui/RunProgram.h"

namespace english_demo_test {

using kv_test::app_data;

const std::string kJapanese = "'" + app_data("mymusic/library.kvnr") + "'";
const std::string kEnglish = "'" + app_data("mymusic/en/library.kvnr") + "'";

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        out.push_back(part);
    return out;
}

// Printable ASCII only (tabs allowed).
bool ascii(const std::string& text) {
    for (const unsigned char c : text) {
        if (c >= 0x7F || (c < 0x20 && c != '\t')) return false;
    }
    return !text.empty();
}

// One run of `korvante events`: every event but the texts as printed, and the texts with
// their tick and kind apart from the words.
struct Events {
    std::vector<std::string> heard;
    std::vector<std::string> text_places;  // "tick\ttext\tkind"
    std::vector<std::string> texts;        // the quoted words
    size_t notes = 0;
};

Events events(const std::string& library, const std::string& path) {
    const ProgramRun run = run_program("events " + library + " '" + path + "'");
    EXPECT_EQ(run.status, 0) << library << " " << path;
    Events e;
    for (const std::string& line : split(run.out, '\n')) {
        const std::vector<std::string> f = split(line, '\t');
        if (f.size() >= 4 && f[1] == "text") {
            e.text_places.push_back(f[0] + "\ttext\t" + f[2]);
            e.texts.push_back(line.substr(f[0].size() + f[1].size() + f[2].size() + 3));
            continue;
        }
        e.heard.push_back(line);
        if (f.size() > 1 && f[1] == "note-on") ++e.notes;
    }
    return e;
}

// The first place where two lists differ, for a message; empty when they are equal.
std::string difference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    for (size_t i = 0; i < a.size() || i < b.size(); ++i) {
        const std::string x = i < a.size() ? a[i] : "(none)";
        const std::string y = i < b.size() ? b[i] : "(none)";
        if (x != y) return "line " + std::to_string(i + 1) + ": \"" + x + "\" / \"" + y + "\"";
    }
    return {};
}

// One line of `korvante tree --tracks`: a node (id, type, path in its book, file, state) or,
// indented, a track.
struct TreeLine {
    bool track = false;
    std::string id, type, name, file, state;
};

std::vector<TreeLine> tree(const std::string& library) {
    const ProgramRun run = run_program("tree " + library + " --tracks");
    EXPECT_EQ(run.status, 0) << library;
    std::vector<TreeLine> out;
    for (const std::string& line : split(run.out, '\n')) {
        TreeLine t;
        t.track = !line.empty() && line[0] == '\t';
        const std::vector<std::string> f = split(t.track ? line.substr(1) : line, '\t');
        if (f.size() != 5) {
            ADD_FAILURE() << "unexpected tree line \"" << line << "\"";
            continue;
        }
        t.id = f[0];
        t.type = f[1];
        t.name = f[2];
        t.file = f[3];
        t.state = f[4];
        out.push_back(t);
    }
    return out;
}

TEST(EnglishDemo, TheMusicsPlayTheJapaneseNotesWithEnglishWords) {
    const struct {
        const char* japanese;
        const char* english;
        size_t lyrics;
    } musics[] = {
        {"デモソング/はじまりの朝", "Demo songs/First Morning", 113},
        {"デモソング/パターン見本", "Demo songs/Pattern sampler", 0},
    };
    for (const auto& m : musics) {
        SCOPED_TRACE(m.english);
        const Events ja = events(kJapanese, m.japanese);
        const Events en = events(kEnglish, m.english);
        EXPECT_GT(ja.notes, 500u);
        // Notes, tempi, programs and controllers, event for event.
        EXPECT_EQ(difference(ja.heard, en.heard), "");
        // The words sit where the Japanese ones do, and are English.
        EXPECT_EQ(difference(ja.text_places, en.text_places), "");
        size_t lyrics = 0;
        for (size_t i = 0; i < en.texts.size(); ++i) {
            EXPECT_TRUE(ascii(en.texts[i])) << en.text_places[i] << " " << en.texts[i];
            lyrics += en.text_places[i].substr(en.text_places[i].rfind('\t')) == "\t5" ? 1 : 0;
        }
        EXPECT_EQ(lyrics, m.lyrics);
        EXPECT_FALSE(en.texts.empty());
    }
}

TEST(EnglishDemo, TheLibrariesHaveOneTreeWithOneSetOfIdentifiers) {
    const std::vector<TreeLine> ja = tree(kJapanese);
    const std::vector<TreeLine> en = tree(kEnglish);
    ASSERT_EQ(en.size(), ja.size());
    ASSERT_GT(en.size(), 400u) << "the books and the tracks of their leaves";
    size_t phrase_links = 0;
    for (size_t i = 0; i < en.size(); ++i) {
        const TreeLine& e = en[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.track, ja[i].track);
        EXPECT_EQ(e.id, ja[i].id);
        EXPECT_EQ(e.type, ja[i].type);
        EXPECT_TRUE(e.state == "ok" || e.state == "-") << e.state;
        EXPECT_TRUE(ascii(e.name));
        // The English library reads its own pattern book, never the Japanese files.
        if (e.type == "MTYPE_BOOK_LIBRARY") {
            EXPECT_EQ(e.file, "<prog>.\\pattern_v01\\en\\pattern.kvnb");
        }
        if (e.type == "MTYPE_LEAF_PHRASE" && e.file.rfind("<book>..", 0) == 0) {
            ++phrase_links;
            EXPECT_NE(e.file.find("\\pattern_v01\\en\\"), std::string::npos) << e.file;
        }
    }
    EXPECT_EQ(phrase_links, 26u) << "the demo book's links to the standard patterns";
}

TEST(EnglishDemo, EveryStandardPatternPlaysAsInJapanese) {
    // The phrases of the two pattern books, paired by their identifiers.
    std::map<std::string, std::string> english;
    for (const TreeLine& t : tree(kEnglish)) {
        if (!t.track && t.type == "MTYPE_LEAF_PHRASE" && t.file.rfind("<book>.\\", 0) == 0)
            english[t.id] = t.name;
    }
    size_t phrases = 0;
    for (const TreeLine& t : tree(kJapanese)) {
        if (t.track || t.type != "MTYPE_LEAF_PHRASE" || t.file.rfind("<book>.\\", 0) != 0) continue;
        SCOPED_TRACE(t.name);
        ++phrases;
        ASSERT_EQ(english.count(t.id), 1u);
        const Events ja = events(kJapanese, t.name);
        const Events en = events(kEnglish, english[t.id]);
        EXPECT_GE(ja.notes, 20u);
        EXPECT_EQ(difference(ja.heard, en.heard), "");
        EXPECT_EQ(difference(ja.text_places, en.text_places), "") << "its sections";
        for (const std::string& text : en.texts)
            EXPECT_TRUE(ascii(text)) << text;
    }
    EXPECT_EQ(phrases, 26u);
    EXPECT_EQ(english.size(), 26u);
}

// The real program on a copy of the application folder: the first start opens the demo library
// of the language it chose from the messages locale.
class EnglishFirstStart : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvendemo-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        std::filesystem::create_directories(dir_ + "/app/define");
        std::filesystem::create_directories(dir_ + "/run");
        for (const char* d : {"mymusic", "pattern_v01", "template"}) {
            std::filesystem::copy(app_data(d), dir_ + "/app/" + d,
                                  std::filesystem::copy_options::recursive);
        }
        std::filesystem::copy(app_data("define/mapscale.def"), dir_ + "/app/define/");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // The libraries of the recent list after a first start under `locale`.
    std::string first_start(const std::string& locale) {
        const std::string script = dir_ + "/script.txt";
        kv_test::write_bytes(script, "start\nprint recent\nexit\n");
        const ProgramRun run = run_program_in("LC_ALL=" + locale + " XDG_RUNTIME_DIR=" + dir_ +
                                                  "/run XDG_STATE_HOME=" + dir_ + "/state",
                                              "--home " + dir_ + "/app script " + script + " 2>&1");
        EXPECT_EQ(run.status, 0) << run.out;
        std::filesystem::remove(dir_ + "/app/define/korvante.cfg");
        return run.out;
    }
    std::string dir_;
};

TEST_F(EnglishFirstStart, OpensTheDemoLibraryOfTheLocalesLanguage) {
    const std::string english = first_start("en_US.UTF-8");
    EXPECT_NE(english.find("\\app\\mymusic\\en\\library.kvnr"), std::string::npos) << english;
    const std::string japanese = first_start("ja_JP.UTF-8");
    EXPECT_NE(japanese.find("\\app\\mymusic\\library.kvnr"), std::string::npos) << japanese;
    EXPECT_EQ(japanese.find("\\en\\library.kvnr"), std::string::npos) << japanese;
}

}  // namespace english_demo_test
