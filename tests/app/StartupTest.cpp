// Start-up, single instance, configuration and scale map, the recent-library list and exit.
#include "app/AppFixture.h"
#include "app/MAppCommands.h"
#include "app/MAppProblem.h"
#include "app/MAppText.h"
#include "model/core/MseqDesk.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqRoom.h"

namespace startup_test {

const char kMissingScale[] = "スケールマップファイルが存在しません。";
const char kConfigError[] = "初期化ファイルがロードできません。";

TEST_F(AppTest, FirstStartOpensTheDefaultLibraryAsNewAndModified) {
    ASSERT_TRUE(start());
    ASSERT_NE(frame().room(), nullptr);
    EXPECT_EQ(frame().room()->full_path, win("mymusic/library.kvnr"));
    // Nothing is written yet, but the exit prompt will offer to save it.
    EXPECT_TRUE(frame().room()->flags & MEF_MODIFIED);
    EXPECT_FALSE(exists(host("mymusic/library.kvnr")));
    ASSERT_EQ(mseq_config().m_RecentRooms.size(), 1u);
    EXPECT_EQ(mseq_config().m_RecentRooms[0], win("mymusic/library.kvnr"));
    EXPECT_EQ(mseq_config().m_DeviceID, MDEV_MAPPER);
    EXPECT_EQ(mseq_config().m_CacheLevel, 5);
    EXPECT_FALSE(shown(kConfigError));
}

TEST_F(AppTest, MissingScaleMapWarnsAndIsNotWrittenAtExit) {
    ASSERT_TRUE(start());
    EXPECT_TRUE(shown(kMissingScale));
    port_.answer(MAppAnswer::no);  // do not save the new library
    ASSERT_TRUE(frame().exit(MAppPlacement{}));
    EXPECT_TRUE(exists(host("define/korvante.cfg")));
    EXPECT_FALSE(exists(host("define/mapscale.def")));
    EXPECT_FALSE(exists(host("mymusic/library.kvnr")));
}

TEST_F(AppTest, PresentScaleMapLoadsQuietly) {
    copy_data("define/mapscale.def");
    const std::string before = read(host("define/mapscale.def"));
    ASSERT_TRUE(start());
    EXPECT_FALSE(shown(kMissingScale));
    port_.answer(MAppAnswer::no);
    ASSERT_TRUE(frame().exit(MAppPlacement{}));
    EXPECT_EQ(read(host("define/mapscale.def")), before);
}

TEST_F(AppTest, CorruptConfigurationEndsStartUpAndIsKept) {
    const std::string garbage = "KORVANTE-TEXT-TYPE\r\nheader { this is not a header\r\n";
    write(host("define/korvante.cfg"), garbage);
    EXPECT_FALSE(start());
    EXPECT_EQ(app_.frame(), nullptr);
    EXPECT_EQ(lines("warn: ").size(), 1u);
    EXPECT_TRUE(shown(kConfigError));
    EXPECT_EQ(read(host("define/korvante.cfg")), garbage);
}

TEST_F(AppTest, ExitStoresThePlacementAndStartReadsItBack) {
    ASSERT_TRUE(start());
    MAppPlacement p;
    p.valid = true;
    p.show = 2;  // minimized: stored as normal
    p.left = 10, p.top = 20, p.right = 810, p.bottom = 620;
    p.split_h = 300, p.split_v = 200;
    port_.answer(MAppAnswer::no);
    ASSERT_TRUE(frame().exit(p));
    app_.end();
    ASSERT_TRUE(start());
    EXPECT_EQ(mseq_config().m_FrmCmd, 1);
    EXPECT_EQ(mseq_config().m_FrmNrmX2, 810);
    EXPECT_EQ(mseq_config().m_SplitFrameH, 300);
    const MAppPlacement stored = frame().stored_placement();
    EXPECT_TRUE(stored.valid);
    EXPECT_EQ(stored.split_h, 300);
    EXPECT_EQ(stored.split_v, 200);
    // A maximized window is stored as 3; narrow panes come back at 240.
    p.restore_to_maximized = true;
    p.split_h = 2;
    port_.answer(MAppAnswer::no);
    ASSERT_TRUE(frame().exit(p));
    app_.end();
    ASSERT_TRUE(start());
    EXPECT_EQ(mseq_config().m_FrmCmd, 3);
    EXPECT_EQ(frame().stored_placement().split_h, 240);
}

TEST_F(AppTest, NoStoredPlacementOnFirstStart) {
    ASSERT_TRUE(start());
    EXPECT_FALSE(frame().stored_placement().valid);
    EXPECT_TRUE(frame().show_menu_bar());
}

TEST_F(AppTest, ExitWithCancelKeepsTheWindowAndWritesNothing) {
    ASSERT_TRUE(start());
    ASSERT_FALSE(MseqDesk::instance().modified.empty());
    port_.answer(MAppAnswer::cancel);
    EXPECT_FALSE(frame().exit(MAppPlacement{}));
    EXPECT_FALSE(exists(host("define/korvante.cfg")));
    EXPECT_FALSE(exists(host("mymusic/library.kvnr")));
    EXPECT_NE(frame().room(), nullptr);
    // Yes saves everything, then the configuration.
    port_.answer(MAppAnswer::yes);
    EXPECT_TRUE(frame().exit(MAppPlacement{}));
    EXPECT_TRUE(exists(host("define/korvante.cfg")));
    EXPECT_TRUE(exists(host("mymusic/library.kvnr")));
}

TEST_F(AppTest, ALockThatCannotBeMadeIsSaidWithItsPathAndReasonNotAsAnotherCopy) {
    // The runtime folder is a file: no lock file can be made below it.
    write(root_ + "/not-a-folder", "x");
    const std::string folder = root_ + "/not-a-folder";
    EXPECT_FALSE(app_.start(services(), CkvString(), folder));
    EXPECT_EQ(app_.frame(), nullptr);
    ASSERT_EQ(port_.log.size(), 1u);
    const std::string& text = port_.log[0];
    EXPECT_EQ(text.find("既に起動"), std::string::npos) << text;
    EXPECT_NE(text.find("ロックファイルを作成できません"), std::string::npos) << text;
    EXPECT_NE(text.find("ファイル : " + folder + "/" + MFrame::kInstanceName + ".lock"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("理由 : Not a directory"), std::string::npos) << text;
    // Nothing was made, and a usable folder starts as always.
    EXPECT_EQ(read(folder), "x");
    EXPECT_TRUE(start());
}

TEST_F(AppTest, SecondInstanceIsRefusedAndRaisesTheFirst) {
    ASSERT_TRUE(start());
    MAppScriptPort second_port;
    MAppServices s = services();
    s.port = &second_port;
    {
        MApp second;
        EXPECT_FALSE(second.start(s, CkvString(), run_));
        EXPECT_EQ(second.frame(), nullptr);
    }
    ASSERT_EQ(second_port.log.size(), 1u);
    EXPECT_NE(second_port.log[0].find("このソフトは既に起動しています。"), std::string::npos);
    // The running copy's idle step passes the request on to its front end.
    app_.pump();
    EXPECT_EQ(port_.raise_count, 1);
    app_.pump();
    EXPECT_EQ(port_.raise_count, 1);
    // Once the first has ended, a start proceeds.
    port_.answer(MAppAnswer::no);
    frame().exit(MAppPlacement{});
    app_.end();
    MApp third;
    EXPECT_TRUE(third.start(s, CkvString(), run_));
}

TEST_F(AppTest, CommandLineLibraryIsOpenedWithQuotesRemoved) {
    copy_data("mymusic");
    ASSERT_TRUE(start("\"" + kv_fs::from_host(host("mymusic/library.kvnr")) + "\"\""));
    ASSERT_NE(frame().room(), nullptr);
    EXPECT_FALSE(frame().room()->flags & MEF_NEW);
    EXPECT_EQ(frame().room()->full_path, win("mymusic/library.kvnr"));
}

TEST_F(AppTest, UnreadableCommandLineLibraryWarnsAndFallsBackToTheLastLibrary) {
    write(host("bad.kvnr"), "not a library");
    ASSERT_TRUE(start(kv_fs::from_host(host("bad.kvnr"))));
    // The command line's message alone, not the open-by-path warning before it.
    EXPECT_FALSE(shown("ライブラリファイルにエラーがあります。"));
    EXPECT_TRUE(shown("ライブラリファイルがロードできませんでした。"));
    ASSERT_NE(frame().room(), nullptr);
    EXPECT_EQ(frame().room()->full_path, win("mymusic/library.kvnr"));
}

// The device check: the mapper passes whatever name is stored; a numbered device must still
// carry its name.
TEST_F(AppTest, DeviceCheck) {
    struct Case {
        const char* id;
        const char* name;
        int direct;
        bool info;
        uint32_t id_after;
    } cases[] = {
        {"0xffffffff", "no such device", 0, false, MDEV_MAPPER},
        {"0x00000000", "Test Synth", 0, false, 0},
        {"0x00000000", "Another Synth", 0, true, MDEV_NONE},
        {"0x00000007", "Test Synth", 0, true, MDEV_NONE},
        {"0x00000000", "Another Synth", 1, false, MDEV_NONE},
    };
    // A configuration written by the program, then edited as a user might.
    ASSERT_TRUE(start());
    port_.answer(MAppAnswer::no);
    ASSERT_TRUE(frame().exit(MAppPlacement{}));
    app_.end();
    const std::string written = read(host("define/korvante.cfg"));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.id) + " " + c.name);
        std::string text = written;
        const size_t at = text.find("0xffffffff;");
        ASSERT_NE(at, std::string::npos);
        text.replace(at, 10, c.id);
        const size_t name_at = text.find("\"\";", at);
        ASSERT_NE(name_at, std::string::npos);
        text.replace(name_at, 2, std::string("\"") + c.name + "\"");
        // m_DirectMusic: the line before the play mode.
        const size_t dm = text.find(" 0;\r\n\r\n MCPM_PRELOAD;");
        ASSERT_NE(dm, std::string::npos);
        text.replace(dm, 3, " " + std::to_string(c.direct) + ";");
        write(host("define/korvante.cfg"), text);
        port_.log.clear();
        ASSERT_TRUE(start());
        EXPECT_EQ(shown("再生デバイスが選択されていません。"), c.info);
        EXPECT_EQ(mseq_config().m_DeviceID, c.id_after);
        app_.end();
    }
}

// The recent list: newest first, at most eight, letter case ignored when matching.
TEST_F(AppTest, RecentLibraries) {
    ASSERT_TRUE(start());
    auto open = [&](const std::string& name) {
        port_.answer(MAppAnswer::no);
        return frame().open_room(win(name), false);
    };
    for (int i = 1; i <= 9; ++i)
        ASSERT_TRUE(open("lib" + std::to_string(i) + ".kvnr"));
    const auto& recent = mseq_config().m_RecentRooms;
    ASSERT_EQ(recent.size(), 8u);
    EXPECT_EQ(recent[0], win("lib9.kvnr"));
    EXPECT_EQ(recent[7], win("lib2.kvnr"));
    // The first entry again: unchanged.
    ASSERT_TRUE(open("lib9.kvnr"));
    EXPECT_EQ(recent[0], win("lib9.kvnr"));
    EXPECT_EQ(recent.size(), 8u);
    // Differing in letter case only: replaces the entry and moves it to the front.
    ASSERT_TRUE(open("LIB5.kvnr"));
    ASSERT_EQ(recent.size(), 8u);
    EXPECT_EQ(recent[0], win("LIB5.kvnr"));
    EXPECT_EQ(std::count(recent.begin(), recent.end(), win("lib5.kvnr")), 0);
    // The menus list them as "n - path" (the host path) under ids from 40005.
    const auto entries = frame().menu(MAppMenu::file);
    ASSERT_EQ(entries.back().id, ID_ROOM_RECENT_FIRST + 7);
    EXPECT_EQ(entries[entries.size() - 8].label, CkvString("1 - " + host("LIB5.kvnr")));
}

TEST_F(AppTest, EmptyRecentListShowsThePlaceholderEntry) {
    ASSERT_TRUE(start());
    mseq_config().m_RecentRooms.clear();
    const auto drop = frame().menu(MAppMenu::room_dropdown);
    ASSERT_FALSE(drop.empty());
    EXPECT_EQ(drop.back().id, ID_ROOM_NONE);
    EXPECT_FALSE(drop.back().enabled);
    const auto file = frame().menu(MAppMenu::file);
    EXPECT_EQ(file.back().id, ID_APP_EXIT);
}

TEST_F(AppTest, DeletedRecentLibraryWarnsAndKeepsTheOpenOne) {
    copy_data("mymusic");
    ASSERT_TRUE(start());
    write(host("other/gone.kvnr"), read(host("mymusic/library.kvnr")));
    ASSERT_TRUE(frame().open_room(win("other/gone.kvnr"), false));
    ASSERT_TRUE(frame().open_room(win("mymusic/library.kvnr"), false));
    std::filesystem::remove(host("other/gone.kvnr"));
    ASSERT_EQ(mseq_config().m_RecentRooms[1], win("other/gone.kvnr"));
    EXPECT_TRUE(frame().run(ID_ROOM_RECENT_FIRST + 1));
    EXPECT_TRUE(shown("ライブラリファイルが存在しません。\\n\\n" +
                      mapp_one_line(mapp_shown_path(win("other/gone.kvnr")))));
    ASSERT_NE(frame().room(), nullptr);
    EXPECT_EQ(frame().room()->full_path, win("mymusic/library.kvnr"));
    EXPECT_EQ(mseq_config().m_RecentRooms[1], win("other/gone.kvnr"));
}

// A file that gives no library is told (file and reason) before anything closes: the open
// library stays open, with its unsaved changes.
TEST_F(AppTest, FailedOpenKeepsTheOpenLibrary) {
    ASSERT_TRUE(start());
    MseqRoom* before = frame().room();
    ASSERT_NE(before, nullptr);
    write(host("bad.kvnr"), "garbage");
    port_.answer(MAppAnswer::no);  // the new default library is not saved first
    port_.file(win("bad.kvnr"));
    EXPECT_TRUE(frame().run(ID_ROOM_OPEN));
    EXPECT_EQ(frame().room(), before);
    EXPECT_TRUE(before->flags & MEF_MODIFIED);
    EXPECT_TRUE(shown("ライブラリファイルにエラーがあります。"));
    EXPECT_TRUE(shown("ファイル : " + host("bad.kvnr")));
    EXPECT_TRUE(frame().enabled(ID_ROOM_CLOSE));
}

TEST_F(AppTest, OpenWithCancelAtTheSaveQuestionKeepsEverything) {
    ASSERT_TRUE(start());
    MseqRoom* before = frame().room();
    port_.answer(MAppAnswer::cancel);
    port_.file(win("x.kvnr"));
    EXPECT_TRUE(frame().run(ID_ROOM_OPEN));
    EXPECT_EQ(frame().room(), before);
    EXPECT_TRUE(before->flags & MEF_MODIFIED);
}

TEST_F(AppTest, WindowTitle) {
    ASSERT_TRUE(start());
    EXPECT_EQ(frame().title(), CkvString("Korvante"));
    frame().open_in_edit_list(frame().room(), frame().room_node(), true);
    const std::string t = kv_codec::utf8_from_cp932(frame().title());
    // The name, the modified mark, the path shortened to 31 bytes, the application.
    EXPECT_EQ(t.rfind(" - Korvante"), t.size() - 11);
    EXPECT_NE(t.find(" * ["), std::string::npos);
    const size_t open = t.find('[');
    const size_t close = t.find(']');
    EXPECT_LE(close - open - 1, 31u);
    EXPECT_NE(t.find("library.kvnr]"), std::string::npos);
}

TEST_F(AppTest, AViewThatCannotShowItsFileFallsBackToTheAboutView) {
    ASSERT_TRUE(start());
    frame().open_in_edit_list(frame().room(), frame().room_node(), true);
    ASSERT_NE(frame().shown_file(), nullptr);
    frame().view_failed();
    EXPECT_EQ(frame().shown_file(), nullptr);
    EXPECT_TRUE(shown("[エラー]\\nエディタビューを表示できませんでした。"));
}

TEST(AppVersion, PackedOneBytePerPart) {
    EXPECT_EQ(MFrame::packed_version(), 0x000A0200u);
}

}  // namespace startup_test
