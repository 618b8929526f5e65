// The interface language: the setting file (kept beside the configuration, whose bytes stay as
// they were), the order of the choice (the command line, the setting, the messages locale), the
// settings dialog keeping a new choice for the next start, and the application's texts, menus,
// manual and templates in English.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <optional>
#include <string>

#include "app/AppFixture.h"
#include "app/MAppLanguageFiles.h"
#include "app/MAppLanguageSetting.h"
#include "app/MAppProgram.h"
#include "app/MAppText.h"
#include "app/MAppTexts.h"
#include "model/lang/KvLanguage.h"
#include "model/library/MseqConfig.h"
#include "text/MrecFileStore.h"

namespace language_test {

namespace fs = std::filesystem;

// English for the length of a scope; the other tests expect Japanese.
struct English {
    English() { kv_set_language(kv_language::english); }
    ~English() { kv_set_language(kv_language::japanese); }
};

std::string utf8(const CkvString& cp932) {
    return kv_codec::utf8_from_cp932(cp932.str());
}

TEST(LanguageSettingText, ReadsWhatItWritesAndRefusesTheRest) {
    for (const kv_language l : {kv_language::japanese, kv_language::english}) {
        kv_language back =
            l == kv_language::japanese ? kv_language::english : kv_language::japanese;
        std::string why;
        ASSERT_TRUE(mapp_parse_language_setting(mapp_language_setting_text(l), &back, &why));
        EXPECT_EQ(back, l);
    }
    kv_language got = kv_language::japanese;
    std::string why;
    EXPECT_TRUE(mapp_parse_language_setting("# mine\n\n  language=en  \r\n", &got, &why));
    EXPECT_EQ(got, kv_language::english);
    const struct {
        const char* text;
        const char* why_part;
    } refused[] = {
        {"language = de\n", "line 1"},
        {"language = EN\n", "line 1"},
        {"language =\n", "line 1"},
        {"# c\nlang = en\n", "line 2"},
        {"language = en\nlanguage = ja\n", "twice"},
        {"", "language"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.text);
        kv_language kept = kv_language::english;
        why.clear();
        EXPECT_FALSE(mapp_parse_language_setting(r.text, &kept, &why));
        EXPECT_EQ(kept, kv_language::english);
        EXPECT_NE(why.find(r.why_part), std::string::npos) << why;
    }
}

TEST(LanguageChoice, TheCommandLineWinsOverTheSettingWhichWinsOverTheLocale) {
    MAppLanguageSetting none;
    MAppLanguageSetting english;
    english.found = true;
    english.language = kv_language::english;
    MAppLanguageSetting damaged;
    damaged.found = true;
    damaged.damage = "line 1: the language is neither ja nor en";
    const struct {
        std::optional<kv_language> asked;
        const MAppLanguageSetting* setting;
        const char* locale;
        kv_language chosen;
    } cases[] = {
        // The first start: the locale alone.
        {std::nullopt, &none, "ja_JP.UTF-8", kv_language::japanese},
        {std::nullopt, &none, "C", kv_language::japanese},
        {std::nullopt, &none, "POSIX", kv_language::japanese},
        {std::nullopt, &none, "", kv_language::japanese},
        {std::nullopt, &none, "en_US.UTF-8", kv_language::english},
        {std::nullopt, &none, "de_DE.UTF-8", kv_language::english},
        // A damaged file counts as none.
        {std::nullopt, &damaged, "de_DE.UTF-8", kv_language::english},
        {std::nullopt, &damaged, "ja_JP.UTF-8", kv_language::japanese},
        // The setting over the locale, the command line over both.
        {std::nullopt, &english, "ja_JP.UTF-8", kv_language::english},
        {kv_language::japanese, &english, "de_DE", kv_language::japanese},
        {kv_language::english, &none, "ja_JP", kv_language::english},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + (c.asked ? " asked" : ""));
        EXPECT_EQ(mapp_chosen_language(c.asked, *c.setting, c.locale), c.chosen);
    }
}

class Language : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        copy_data("mymusic");
        copy_data("pattern_v01");
        file_ = host("define/language.cfg");
    }
    void TearDown() override {
        kv_set_language(kv_language::japanese);
        AppTest::TearDown();
    }
    std::string file_;
};

TEST_F(Language, TheSettingsDialogKeepsANewChoiceForTheNextStart) {
    ASSERT_TRUE(start());
    // No setting yet: the dialog offers the language the program runs in.
    dialog({});
    ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
    EXPECT_EQ(port_.last_fields.get("language"), CkvString("ja"));
    EXPECT_FALSE(exists(file_)) << "OK without a change writes nothing";

    port_.log.clear();
    dialog({{"language", "en"}});
    ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
    EXPECT_EQ(read(file_), mapp_language_setting_text(kv_language::english));
    EXPECT_TRUE(shown("info: 表示する言語は次回の起動から変わります。"));
    // The texts already shown stay in the language they were made in until the next start.
    EXPECT_EQ(kv_current_language(), kv_language::japanese);
    const std::string config_before = read(host("define/korvante.cfg"));
    ASSERT_TRUE(frame().exit(MAppPlacement{}));
    app_.end();
    EXPECT_EQ(read(host("define/korvante.cfg")).find("language"), std::string::npos);

    ASSERT_TRUE(start());
    const MAppLanguageSetting setting = mapp_load_language_setting();
    ASSERT_TRUE(setting.language.has_value());
    EXPECT_EQ(*setting.language, kv_language::english);
    // The dialog now offers the setting; choosing it again writes nothing and says nothing.
    fs::remove(file_);
    write(file_, mapp_language_setting_text(kv_language::english));
    port_.log.clear();
    dialog({});
    ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
    EXPECT_EQ(port_.last_fields.get("language"), CkvString("en"));
    EXPECT_FALSE(shown("info: "));
    // Back to Japanese.
    dialog({{"language", "ja"}});
    ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
    EXPECT_EQ(read(file_), mapp_language_setting_text(kv_language::japanese));
    (void)config_before;
}

TEST_F(Language, AValueOtherThanJaOrEnIsRefusedAndAFailedSaveNamesTheFile) {
    ASSERT_TRUE(start());
    dialog({{"language", "de"}});
    dialog({{"language", "english"}});
    dialog({{"language", "en"}});
    ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
    EXPECT_EQ(lines("warn: 設定値が正しくありません。").size(), 2u);
    EXPECT_EQ(read(file_), mapp_language_setting_text(kv_language::english));

    // A folder where the file goes: the save fails, and the message says where and why.
    fs::remove(file_);
    fs::create_directories(file_);
    // (The folder holds no choice: the dialog offers the language shown, Japanese.)
    port_.log.clear();
    dialog({{"language", "en"}});
    ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
    EXPECT_EQ(port_.last_fields.get("language"), CkvString("en"));
    EXPECT_TRUE(shown("warn: 言語の設定ファイルの保存に失敗しました。"));
    EXPECT_TRUE(shown(file_));
    EXPECT_FALSE(shown("info: "));
}

TEST_F(Language, ADamagedSettingIsNotUsedAndTheStartFollowsTheOrder) {
    ASSERT_TRUE(start());
    write(file_, "language = klingon\n");
    MAppLanguageSetting s = mapp_load_language_setting();
    EXPECT_TRUE(s.found);
    EXPECT_FALSE(s.language.has_value());
    EXPECT_NE(s.damage.find("line 1"), std::string::npos) << s.damage;

    write(file_, mapp_language_setting_text(kv_language::english));
    s = mapp_start_language(std::nullopt);
    EXPECT_EQ(kv_current_language(), kv_language::english) << "the setting over the locale";
    s = mapp_start_language(kv_language::japanese);
    EXPECT_EQ(kv_current_language(), kv_language::japanese) << "the command line over the setting";
    EXPECT_EQ(*s.language, kv_language::english);
    fs::remove(file_);
    s = mapp_start_language(kv_language::english);
    EXPECT_FALSE(s.found);
    EXPECT_EQ(kv_current_language(), kv_language::english);
}

TEST_F(Language, MenusAndMessagesFollowTheLanguageShownWhenTheyAreMade) {
    ASSERT_TRUE(start());
    {
        English english;
        EXPECT_EQ(mapp_commands::label(ID_FILE_SAVE), CkvString("&Save\tCtrl+S"));
        EXPECT_EQ(mapp_commands::status_text(ID_PLAY), CkvString("Plays. [F5] [Space]"));
        EXPECT_TRUE(mapp_commands::status_text(ID_APP_EXIT).empty());
        const std::vector<CkvString> bar = mapp_commands::bar_labels();
        ASSERT_EQ(bar.size(), kMAppFixedBarMenus);
        EXPECT_EQ(bar[0], CkvString("&File"));
        const std::vector<MAppMenuEntry> library = mapp_commands::fixed_entries(MAppMenu::library);
        ASSERT_FALSE(library.empty());
        EXPECT_EQ(library[0].label, CkvString("Add link"));
        // A library of the recent list that is gone.
        port_.log.clear();
        mseq_config().add_recent_room(win("gone/library.kvnr"));
        ASSERT_TRUE(frame().run(ID_ROOM_RECENT_FIRST));
        EXPECT_TRUE(shown("warn: The library file does not exist."));
        EXPECT_EQ(mapp_format(mapp_msg::RECORDED_ENTERED, 3),
                  CkvString("Entered 3 recorded notes."));
    }
    // The same calls in Japanese again: nothing kept the English of the first call.
    EXPECT_EQ(utf8(mapp_commands::label(ID_FILE_SAVE)), "保存(&S)\tCtrl+S");
    EXPECT_EQ(utf8(mapp_commands::bar_labels()[0]), "ファイル(&F)");
    EXPECT_EQ(utf8(mapp_commands::fixed_entries(MAppMenu::library)[0].label), "リンクの追加");
    port_.log.clear();
    mseq_config().add_recent_room(win("gone/library.kvnr"));
    ASSERT_TRUE(frame().run(ID_ROOM_RECENT_FIRST));
    EXPECT_TRUE(shown("warn: ライブラリファイルが存在しません。"));
    EXPECT_EQ(utf8(mapp_format(mapp_msg::RECORDED_ENTERED, 3)),
              "録音した 3 個の音符を入力しました。");
}

TEST_F(Language, EveryCommandWithALabelHasItInBothLanguagesWithTheSameShortcut) {
    for (uint32_t id = ID_ROOM_NONE; id <= ID_APP_EXIT; ++id) {
        const std::string ja = utf8(mapp_commands::label(id));
        std::string en;
        {
            English english;
            en = utf8(mapp_commands::label(id));
        }
        SCOPED_TRACE(std::to_string(id) + " " + ja);
        EXPECT_EQ(ja.empty(), en.empty());
        if (ja.empty()) continue;
        EXPECT_NE(ja, en);
        // The key column after the tab is the same keys in both.
        const size_t ja_tab = ja.find('\t'), en_tab = en.find('\t');
        EXPECT_EQ(ja_tab == std::string::npos, en_tab == std::string::npos);
        if (ja_tab != std::string::npos && en_tab != std::string::npos) {
            EXPECT_EQ(ja.substr(ja_tab), en.substr(en_tab));
        }
        // A mnemonic in Japanese is a mnemonic in English, on a letter of the label.
        const size_t amp = en.find('&');
        EXPECT_EQ(ja.find('&') != std::string::npos, amp != std::string::npos);
        if (amp != std::string::npos) {
            EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(en[amp + 1])));
        }
    }
}

// The manual and the templates exist once per language; an English file that is missing falls
// back to the Japanese one.
TEST_F(Language, TheManualOfTheLanguageOpensAndFallsBackToTheJapaneseOne) {
    copy_data("manual");
    // First without the English manual the application folder ships.
    fs::remove_all(host("manual/en"));
    ASSERT_TRUE(start());
    port_.log.clear();
    EXPECT_EQ(mapp_language_file(".\\manual\\index.html", kv_language::english),
              ".\\manual\\index.html");
    {
        English english;
        ASSERT_TRUE(frame().run(ID_TOOL_MANUAL));
    }
    write(host("manual/en/index.html"), "<html></html>");
    EXPECT_EQ(mapp_language_file(".\\manual\\index.html", kv_language::english),
              ".\\manual\\en\\index.html");
    EXPECT_EQ(mapp_language_file(".\\manual\\index.html", kv_language::japanese),
              ".\\manual\\index.html");
    {
        English english;
        ASSERT_TRUE(frame().run(ID_TOOL_MANUAL));
    }
    ASSERT_TRUE(frame().run(ID_TOOL_MANUAL));
    const std::vector<std::string> expected = {
        host("manual/index.html"), host("manual/en/index.html"), host("manual/index.html")};
    EXPECT_EQ(shell_.opened, expected);
    EXPECT_FALSE(shown("warn: "));
    // A folder where the English file would be is no file of it.
    fs::remove_all(host("template"));
    fs::create_directories(host("template/en/music01/music.kvnl"));
    EXPECT_EQ(mapp_language_file(".\\template\\music01\\music.kvnl", kv_language::english),
              ".\\template\\music01\\music.kvnl");
    write(host("template/en/pattern01/T_bass_01.kvnl"), "x");
    EXPECT_EQ(mapp_language_file(".\\template\\pattern01\\T_bass_01.kvnl", kv_language::english),
              ".\\template\\en\\pattern01\\T_bass_01.kvnl");
    EXPECT_EQ(mapp_language_file("notice.html", kv_language::english), "notice.html");
}

// Which templates a new music was made from: the files of the music templates that a load
// could not use, as the file store noted them.
int unusable_loads_of(const std::string& part) {
    int n = 0;
    for (const MseqLoadProblem& p : mapp_file_store().problems) {
        if (p.path.str().find(part) != std::string::npos) ++n;
    }
    return n;
}

TEST_F(Language, ANewMusicInEnglishTakesTheEnglishTemplateWhenItIsThere) {
    copy_data("template");
    // An English template that cannot be read shows which file the new music was made from.
    write(host("template/en/music01/music.kvnl"), "no template here");
    ASSERT_TRUE(start());
    const std::string english_template = "\\template\\en\\music01\\music.kvnl";
    const int before = unusable_loads_of(english_template);
    ASSERT_TRUE(new_music("songs", "ja"));
    EXPECT_EQ(unusable_loads_of(english_template), before) << "Japanese takes the Japanese one";
    {
        English english;
        ASSERT_TRUE(new_music("songs", "en"));
    }
    EXPECT_EQ(unusable_loads_of(english_template), before + 1);
    // The stage and chord maps have no English file: they fall back to the Japanese ones.
    EXPECT_EQ(unusable_loads_of("\\template\\en\\music01\\stage.kvnl"), 0);
    EXPECT_EQ(unusable_loads_of("\\template\\en\\music01\\chord.kvnl"), 0);
}

}  // namespace language_test
