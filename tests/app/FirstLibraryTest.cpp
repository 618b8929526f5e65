// The library a first start opens: the demo library in the language the program speaks, from
// the application folder or, when that is installed, from the user's copy of it; the Japanese
// one when the folder has no English twin (an older copy), and the recent library over either.
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/AppFixture.h"
#include "app/MAppFolders.h"
#include "model/lang/KvLanguage.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqRoom.h"
#include "play/OfflineNotes.h"
#include "tools/FileBytes.h"

namespace first_library_test {

namespace fs = std::filesystem;

class FirstLibrary : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        copy_data("mymusic");
        copy_data("pattern_v01");
    }
    void TearDown() override {
        AppTest::TearDown();
        kv_set_language(kv_language::japanese);
    }
    // The open library's file and name (UTF-8).
    std::pair<std::string, std::string> opened() {
        if (!app_.frame() || !frame().room()) return {};
        return {frame().room()->full_path.str(),
                kv_codec::utf8_from_cp932(frame().room()->name.str())};
    }
    // Exits as the menu does (which writes the configuration) and ends the application.
    void exit() {
        EXPECT_TRUE(frame().exit(MAppPlacement{}));
        app_.end();
    }
};

TEST_F(FirstLibrary, EnglishOpensTheEnglishDemoLibraryAndJapaneseTheJapaneseOne) {
    kv_set_language(kv_language::english);
    ASSERT_TRUE(start());
    EXPECT_EQ(opened(),
              std::make_pair(win("mymusic/en/library.kvnr").str(), std::string("My library")));
    // It is the file itself, not a new library in its place.
    EXPECT_FALSE(frame().room()->flags & MEF_NEW);
    EXPECT_FALSE(frame().room()->flags & MEF_MODIFIED);
    exit();

    // A later start opens the recent library, whatever the language.
    kv_set_language(kv_language::japanese);
    ASSERT_TRUE(start());
    EXPECT_EQ(opened().first, win("mymusic/en/library.kvnr").str());
    exit();

    fs::remove(host("define/korvante.cfg"));
    ASSERT_TRUE(start());
    EXPECT_EQ(opened(),
              std::make_pair(win("mymusic/library.kvnr").str(), std::string("マイライブラリ")));
    EXPECT_FALSE(frame().room()->flags & MEF_NEW);
}

TEST_F(FirstLibrary, EnglishWithoutTheEnglishLibraryOpensTheJapaneseOne) {
    fs::remove_all(host("mymusic/en"));
    kv_set_language(kv_language::english);
    ASSERT_TRUE(start());
    EXPECT_EQ(opened(),
              std::make_pair(win("mymusic/library.kvnr").str(), std::string("マイライブラリ")));
}

TEST(DemoLibraryOfAFolder, FollowsTheLanguageWhenTheEnglishFileIsThere) {
    char tmpl[] = "/tmp/kvdemolib-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string root = tmpl;
    const CkvString folder(kv_fs::from_host(root + "/mymusic"));
    const CkvString japanese(kv_fs::from_host(root + "/mymusic/library.kvnr"));
    const CkvString english(kv_fs::from_host(root + "/mymusic/en/library.kvnr"));
    // An empty folder names the Japanese file in either language: a start opens it as new.
    fs::create_directories(root + "/mymusic/en");
    kv_set_language(kv_language::english);
    EXPECT_EQ(mapp_demo_library(folder), japanese);
    kv_test::write_bytes(root + "/mymusic/en/library.kvnr", "x");
    EXPECT_EQ(mapp_demo_library(folder), english);
    kv_set_language(kv_language::japanese);
    EXPECT_EQ(mapp_demo_library(folder), japanese);
    fs::remove_all(root);
}

// An installed program: the first start copies the demo libraries into the user's folder and
// opens the copy in the program's language.
class InstalledFirstLibrary : public FirstLibrary {
protected:
    void SetUp() override {
        AppTest::SetUp();
        install();
        user_ = root_ + "/data/korvante/mymusic";
    }
    CkvString user(const std::string& rest) const {
        return CkvString(kv_fs::from_host(user_ + "/" + rest));
    }

    std::string user_;
};

TEST_F(InstalledFirstLibrary, EnglishOpensTheUsersCopyOfTheEnglishDemoLibrary) {
    kv_set_language(kv_language::english);
    ASSERT_TRUE(start());
    EXPECT_EQ(opened(), std::make_pair(user("en/library.kvnr").str(), std::string("My library")));
    EXPECT_FALSE(frame().room()->flags & MEF_NEW);
    // Both libraries were copied, and their demo books with them.
    for (const char* f : {"library.kvnr", "demo/song.kvnl", "en/library.kvnr", "en/demo/song.kvnl"})
        EXPECT_TRUE(exists(user_ + "/" + f)) << f;
}

TEST_F(InstalledFirstLibrary, JapaneseOpensTheUsersCopyOfTheJapaneseDemoLibrary) {
    ASSERT_TRUE(start());
    EXPECT_EQ(opened(), std::make_pair(user("library.kvnr").str(), std::string("マイライブラリ")));
    EXPECT_TRUE(exists(user_ + "/en/library.kvnr"));
}

// The demo books link their patterns beside "mymusic": the copy must bring them, or the demo
// song loses every pattern it places.
TEST_F(InstalledFirstLibrary, TheUsersCopyOfTheDemoSongPlaysEveryPatternItPlaces) {
    const auto first_music_notes = [this]() {
        MseqObject* music = find_node(MTYPE_LEAF_MUSIC);
        if (!music) return size_t(0);
        return offline_notes::offline_note_ons(mseq_open(music).get()).size();
    };
    ASSERT_TRUE(start());
    ASSERT_EQ(opened().first, user("library.kvnr").str());
    const size_t from_copy = first_music_notes();
    ASSERT_TRUE(frame().open_room(win("mymusic/library.kvnr"), false));
    ASSERT_EQ(opened().first, win("mymusic/library.kvnr").str());
    const size_t from_program = first_music_notes();
    EXPECT_GT(from_program, 0u);
    EXPECT_EQ(from_copy, from_program);
}
TEST_F(InstalledFirstLibrary, AnOlderCopyWithoutTheEnglishLibraryOpensInJapanese) {
    // A copy made by a version without the English library is not copied again.
    fs::create_directories(user_);
    fs::copy(host("mymusic"), user_, fs::copy_options::recursive);
    fs::remove_all(user_ + "/en");
    kv_set_language(kv_language::english);
    ASSERT_TRUE(start());
    EXPECT_EQ(opened(), std::make_pair(user("library.kvnr").str(), std::string("マイライブラリ")));
    EXPECT_FALSE(exists(user_ + "/en"));
}

}  // namespace first_library_test
