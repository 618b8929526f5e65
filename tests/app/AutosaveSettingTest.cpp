// The autosave interval as the user's setting: chosen in the settings dialog, kept in a file of
// its own beside the configuration (whose bytes stay as they were), read at the next start; a
// folder without the file reads as the default, and a damaged file gives the default with a
// message naming it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/AppFixture.h"
#include "app/MAppAutosaveSetting.h"

namespace autosave_setting_test {

namespace fs = std::filesystem;

struct ParseCase {
    const char* text;
    bool ok;
    uint32_t seconds;      // when ok
    const char* why_part;  // when refused: part of the reason
};

const ParseCase kParseCases[] = {
    {"autosave_seconds = 15\n", true, 15, ""},
    {"# comment\n\n  autosave_seconds=0  \r\n", true, 0, ""},
    {"autosave_seconds = 86400", true, 86400, ""},
    {"autosave_seconds = 86401\n", false, 0, "line 1"},
    {"autosave_seconds = -5\n", false, 0, "line 1"},
    {"autosave_seconds = 1e3\n", false, 0, "line 1"},
    {"autosave_seconds =\n", false, 0, "line 1"},
    {"# c\nautosave = 15\n", false, 0, "line 2"},
    {"autosave_seconds = 15\nautosave_seconds = 20\n", false, 0, "twice"},
    {"", false, 0, "no interval"},
    {"# only a comment\n", false, 0, "no interval"},
    {"\xEF\xBB\xBF"
     "autosave_seconds = 15\n",
     false, 0, "line 1"},
};

TEST(AutosaveSettingText, ReadsWhatItWritesAndRefusesTheRest) {
    for (const ParseCase& c : kParseCases) {
        SCOPED_TRACE(c.text);
        uint32_t seconds = 777;
        std::string why;
        EXPECT_EQ(mapp_parse_autosave_setting(c.text, &seconds, &why), c.ok);
        if (c.ok) {
            EXPECT_EQ(seconds, c.seconds);
        } else {
            EXPECT_EQ(seconds, 777u);
            EXPECT_NE(why.find(c.why_part), std::string::npos) << why;
        }
    }
    for (const uint32_t s : {0u, 1u, 60u, 86400u}) {
        uint32_t back = 777;
        std::string why;
        ASSERT_TRUE(mapp_parse_autosave_setting(mapp_autosave_setting_text(s), &back, &why));
        EXPECT_EQ(back, s);
    }
    // Above a day the file keeps a day, as the frame would.
    uint32_t back = 0;
    std::string why;
    ASSERT_TRUE(mapp_parse_autosave_setting(mapp_autosave_setting_text(100000), &back, &why));
    EXPECT_EQ(back, kAutosaveMaxSeconds);
}

class AutosaveSetting : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        copy_data("mymusic");
        copy_data("pattern_v01");
        file_ = host("define/autosave.cfg");
    }
    // Chooses `seconds` in the settings dialog and presses OK.
    bool choose(const std::string& seconds) {
        dialog({{"autosave_seconds", seconds}});
        return frame().run(ID_TOOL_SETTINGS);
    }
    bool warned_about_setting() const { return shown("自動保存の設定ファイル"); }
    std::string file_;
};

TEST_F(AutosaveSetting, TheChosenIntervalSurvivesARestartAndTheConfigurationKeepsItsBytes) {
    ASSERT_TRUE(start());
    EXPECT_EQ(frame().autosave_interval(), kAutosaveDefaultSeconds);
    ASSERT_TRUE(choose("15"));
    EXPECT_EQ(frame().autosave_interval(), 15u);
    EXPECT_EQ(read(file_), mapp_autosave_setting_text(15));
    ASSERT_TRUE(frame().exit(MAppPlacement{}));
    const std::string config = read(host("define/korvante.cfg"));
    ASSERT_FALSE(config.empty());
    EXPECT_EQ(config.find("autosave"), std::string::npos);
    app_.end();

    ASSERT_TRUE(start());
    EXPECT_EQ(frame().autosave_interval(), 15u);
    EXPECT_FALSE(warned_about_setting());
    // The dialog offers the interval in force; OK without a change writes nothing.
    fs::remove(file_);
    dialog({});
    ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
    EXPECT_EQ(port_.last_fields.get("autosave_seconds"), CkvString("15"));
    EXPECT_FALSE(exists(file_));
    // 0 switches autosave off, and is kept as such.
    ASSERT_TRUE(choose("0"));
    app_.end();
    ASSERT_TRUE(start());
    EXPECT_EQ(frame().autosave_interval(), 0u);
    app_.end();

    // Writing the setting leaves the configuration as the exit flow wrote it.
    EXPECT_EQ(read(host("define/korvante.cfg")), config);
}

TEST_F(AutosaveSetting, AnOlderFolderWithoutTheFileReadsTheDefault) {
    // A folder as an older program left it: a configuration, no setting file.
    ASSERT_TRUE(start());
    ASSERT_TRUE(frame().exit(MAppPlacement{}));
    app_.end();
    ASSERT_TRUE(exists(host("define/korvante.cfg")));
    ASSERT_FALSE(exists(file_));
    port_.log.clear();
    ASSERT_TRUE(start());
    EXPECT_EQ(frame().autosave_interval(), kAutosaveDefaultSeconds);
    EXPECT_FALSE(warned_about_setting());
    // Nothing is written until the user chooses an interval.
    app_.end();
    EXPECT_FALSE(exists(file_));
}

TEST_F(AutosaveSetting, ADamagedFileGivesTheDefaultAndAMessageNamingIt) {
    const struct {
        const char* text;
        const char* reason;
    } damaged[] = {
        {"autosave_seconds = soon\n", "line 1"},
        {"garbage", "line 1"},
        {"", "no interval"},
    };
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.text);
        write(file_, d.text);
        port_.log.clear();
        ASSERT_TRUE(start());
        EXPECT_EQ(frame().autosave_interval(), kAutosaveDefaultSeconds);
        EXPECT_TRUE(warned_about_setting());
        EXPECT_TRUE(shown(file_)) << "the message names the file";
        EXPECT_TRUE(shown(d.reason));
        // The damaged file stays until the user chooses an interval.
        EXPECT_EQ(read(file_), d.text);
        app_.end();
    }
    // A folder where the file should be is no interval either.
    fs::remove(file_);
    fs::create_directories(file_);
    port_.log.clear();
    ASSERT_TRUE(start());
    EXPECT_EQ(frame().autosave_interval(), kAutosaveDefaultSeconds);
    EXPECT_TRUE(shown("not a regular file"));
    // ... and choosing an interval says that it could not be kept, naming the file.
    port_.log.clear();
    ASSERT_TRUE(choose("30"));
    EXPECT_EQ(frame().autosave_interval(), 30u);
    EXPECT_TRUE(shown("自動保存の設定ファイルの保存に失敗しました"));
    EXPECT_TRUE(shown(file_));
}

TEST_F(AutosaveSetting, AnIntervalOutOfRangeIsRefusedInTheDialog) {
    ASSERT_TRUE(start());
    dialog({{"autosave_seconds", "86401"}});
    dialog({{"autosave_seconds", "abc"}});
    dialog({{"autosave_seconds", "120"}});
    ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
    EXPECT_EQ(lines("warn: 設定値が正しくありません。").size(), 2u);
    EXPECT_EQ(frame().autosave_interval(), 120u);
    EXPECT_EQ(read(file_), mapp_autosave_setting_text(120));
}

// An installed program: the setting goes to the user's configuration folder beside the
// configuration, the installed folder is never written, and it is read back from there.
class InstalledAutosaveSetting : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        install();
    }
};

TEST_F(InstalledAutosaveSetting, IsWrittenToTheUsersConfigurationFolder) {
    ASSERT_TRUE(start());
    dialog({{"autosave_seconds", "45"}});
    ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
    const std::string mine = root_ + "/config/korvante/autosave.cfg";
    EXPECT_EQ(read(mine), mapp_autosave_setting_text(45));
    EXPECT_FALSE(exists(home_ + "/define/autosave.cfg"));
    app_.end();
    // The installed folder's file, if a package shipped one, is only the fallback.
    write(home_ + "/define/autosave.cfg", mapp_autosave_setting_text(5));
    ASSERT_TRUE(start());
    EXPECT_EQ(frame().autosave_interval(), 45u);
    app_.end();
    fs::remove(mine);
    ASSERT_TRUE(start());
    EXPECT_EQ(frame().autosave_interval(), 5u);
}

}  // namespace autosave_setting_test
