// Autosave and recovery: the copies of modified files in the recovery folder, written on the
// timer and never over the files themselves, removed by a clean end, and offered by the next
// start after a run that ended otherwise (restore, discard, or decide later).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/AppFixture.h"
#include "app/MAppRecovery.h"
#include "model/core/MseqDesk.h"
#include "model/library/MseqMusic.h"
#include "platform/Clock.h"
#include "platform/UserFolders.h"
#include "tools/FileBytes.h"

namespace recovery_test {

namespace fs = std::filesystem;

// A clock the test moves by hand.
class HandClock : public KvClock {
public:
    uint32_t now_ms() override { return now; }
    void sleep_ms(uint32_t ms) override { now += ms; }
    uint32_t now = 1000;
};

class Recovery : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        folder_ = root_ + "/state/korvante/recovery";
        copy_data("mymusic");
        copy_data("pattern_v01");
        song_ = host("mymusic/demo/song.kvnl");
        song_bytes_ = kv_test::read_bytes(song_);
    }
    bool start_with_recovery() {
        MAppServices s = services();
        s.recovery = folder_;
        s.clock = &clock_;
        return app_.start(s, CkvString(), run_);
    }
    // The demo song, opened in the edit list; its tempo set and the file marked modified.
    MseqMusic* edit_song(int tempo) {
        MseqObject* node = find_node(MTYPE_LEAF_MUSIC);
        if (!node) return nullptr;
        ref_ptr<MseqEntity> e = mseq_open(node);
        auto* music = e->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        if (!music) return nullptr;
        frame().open_in_edit_list(music, node, true);
        music->m_Tempo = tempo;
        MseqDesk::instance().mark_modified(music);
        return music;
    }
    size_t copies() const {
        return fs::exists(folder_) ? kv_folders::files_in(folder_, ".kvrec").size() : 0;
    }
    // Ends the frame as a crash would: its copies stay (they are put back after the end).
    void end_uncleanly() {
        const std::string keep = root_ + "/kept";
        fs::copy(folder_, keep, fs::copy_options::recursive);
        app_.end();
        fs::remove_all(folder_);
        fs::create_directories(fs::path(folder_).parent_path());
        fs::rename(keep, folder_);
    }

    HandClock clock_;
    std::string folder_, song_, song_bytes_;
};

void write(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace recovery_test

using recovery_test::Recovery;
namespace fs = std::filesystem;

TEST(RecoveryCopies, KeepListReadReplaceAndDrop) {
    char tmpl[] = "/tmp/kvrec-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string root = tmpl;
    const std::string file = root + "/lib/a.kvnl";
    recovery_test::write(file, "on disk");
    const CkvString a(kv_fs::from_host(file));
    const CkvString b(kv_fs::from_host(root + "/lib/b.kvnl"));  // never saved yet
    {
        MAppRecovery run(root + "/recovery");
        std::string why;
        ASSERT_TRUE(run.keep(a, "first", &why)) << why;
        ASSERT_TRUE(run.keep(a, "second content", &why)) << why;  // replaces the first
        ASSERT_TRUE(run.keep(b, "new file", &why)) << why;
        EXPECT_TRUE(run.list(false).empty());  // nothing left by an earlier run
        const std::vector<MAppRecoveryEntry> own = run.list(true);
        ASSERT_EQ(own.size(), 2u);
        for (const MAppRecoveryEntry& e : own) {
            EXPECT_TRUE(e.own);
            std::string content;
            ASSERT_TRUE(run.content(e, &content));
            EXPECT_EQ(content, e.path == a ? "second content" : "new file");
            EXPECT_EQ(e.size, static_cast<int64_t>(content.size()));
            EXPECT_EQ(e.existed, e.path == a);
            EXPECT_FALSE(MAppRecovery::changed_on_disk(e));
        }
        EXPECT_EQ(kv_test::read_bytes(file), "on disk");  // the file itself is never written
        run.drop_others({a});                             // b was saved or discarded since
        ASSERT_EQ(run.list(true).size(), 1u);
        // The run ends without its clean end: the copy of a stays.
    }
    MAppRecovery next(root + "/recovery");
    std::vector<MAppRecoveryEntry> left = next.list(false);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_FALSE(left[0].own);
    EXPECT_EQ(left[0].path, a);
    // The next run's clean end removes only its own copies.
    std::string why;
    ASSERT_TRUE(next.keep(b, "x", &why));
    next.remove_own();
    EXPECT_EQ(next.list(true).size(), 1u);

    // The file on disk changing since the copy is told; so is its removal.
    recovery_test::write(file, "saved by someone else");
    EXPECT_TRUE(MAppRecovery::changed_on_disk(left[0]));
    fs::remove(file);
    EXPECT_TRUE(MAppRecovery::changed_on_disk(left[0]));

    // A copy that is not whole (cut short, or not a copy at all) is not offered.
    const std::string cut = root + "/recovery/0-0-cut.kvrec";
    std::string text = kv_test::read_bytes(left[0].copy);
    recovery_test::write(cut, text.substr(0, text.size() - 1));
    recovery_test::write(root + "/recovery/0-0-other.kvrec", "KORVANTE-TEXT-TYPE\n");
    EXPECT_EQ(next.list(false).size(), 1u);
    ASSERT_TRUE(next.discard(left[0]));
    EXPECT_TRUE(next.list(false).empty());
    fs::remove_all(root);
}

TEST(RecoveryCopies, KeysIgnoreAsciiCaseOnly) {
    EXPECT_EQ(mapp_recovery_key(CkvString("Z:\\Lib\\A.kvnl")),
              mapp_recovery_key(CkvString("z:\\lib\\a.KVNL")));
    EXPECT_NE(mapp_recovery_key(CkvString("Z:\\lib\\a.kvnl")),
              mapp_recovery_key(CkvString("Z:\\lib\\b.kvnl")));
    EXPECT_EQ(mapp_recovery_key(CkvString("x")).size(), 16u);
}

TEST_F(Recovery, TheTimerKeepsCopiesOfModifiedFilesAndACleanEndRemovesThem) {
    ASSERT_TRUE(start_with_recovery());
    ASSERT_NE(edit_song(77), nullptr);
    frame().pump();
    EXPECT_EQ(copies(), 0u);  // not due yet
    clock_.now += 59999;
    frame().pump();
    EXPECT_EQ(copies(), 0u);
    clock_.now += 1;
    frame().pump();
    ASSERT_EQ(copies(), 1u);
    EXPECT_EQ(frame().autosave_runs(), 1u);
    const std::vector<MAppRecoveryEntry> kept = frame().recoverable(true);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kv_fs::to_host(kept[0].path.str()), song_);
    EXPECT_EQ(kv_test::read_bytes(song_), song_bytes_);

    // Off: the time passes without a copy; a new interval counts from its setting.
    frame().set_autosave_interval(0);
    clock_.now += 600000;
    frame().pump();
    EXPECT_EQ(frame().autosave_runs(), 1u);
    frame().set_autosave_interval(5);
    clock_.now += 5000;
    frame().pump();
    EXPECT_EQ(frame().autosave_runs(), 2u);

    // A saved file needs no copy any more.
    ASSERT_TRUE(frame().save_all());
    ASSERT_TRUE(frame().autosave());
    EXPECT_EQ(copies(), 0u);
    edit_song(78);
    ASSERT_TRUE(frame().autosave());
    EXPECT_EQ(copies(), 1u);
    port_.answer(MAppAnswer::no);  // exit without saving
    ASSERT_TRUE(frame().exit(MAppPlacement{}));
    app_.end();
    EXPECT_FALSE(fs::exists(folder_));
}

TEST_F(Recovery, TheNextStartRestoresDiscardsOrKeepsTheCopiesForLater) {
    struct Case {
        MAppAnswer answer;
        bool restored;     // the song is modified with the copy's tempo
        size_t left_over;  // copies of the earlier run after this one ended cleanly
    };
    const std::vector<Case> cases = {
        {MAppAnswer::yes, true, 0},
        {MAppAnswer::no, false, 0},
        {MAppAnswer::cancel, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        fs::remove_all(folder_);
        ASSERT_TRUE(start_with_recovery());
        ASSERT_NE(edit_song(91), nullptr);
        ASSERT_TRUE(frame().autosave());
        end_uncleanly();
        ASSERT_EQ(copies(), 1u);

        port_.log.clear();
        port_.answer(c.answer);
        ASSERT_TRUE(start_with_recovery());
        // The question names the file, where it is, and how the copy differs in size.
        const std::vector<std::string> asked = lines("ask: ");
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_NE(asked[0].find(song_), std::string::npos) << asked[0];
        EXPECT_NE(asked[0].find("bytes"), std::string::npos) << asked[0];
        MseqObject* node = find_node(MTYPE_LEAF_MUSIC);
        ASSERT_NE(node, nullptr);
        ref_ptr<MseqEntity> e = mseq_open(node);
        auto* music = e->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        ASSERT_NE(music, nullptr);
        EXPECT_EQ(music->m_Tempo == 91, c.restored);
        EXPECT_EQ((music->flags & MEF_MODIFIED) != 0, c.restored);
        EXPECT_EQ(frame().edit_list().size(), c.restored ? 1u : 0u);
        EXPECT_EQ(kv_test::read_bytes(song_), song_bytes_);  // only a save writes the file
        e = ref_ptr<MseqEntity>();
        if (c.restored) port_.answer(MAppAnswer::no);
        ASSERT_TRUE(frame().exit(MAppPlacement{}));
        app_.end();
        EXPECT_EQ(copies(), c.left_over);
    }
}

TEST_F(Recovery, ACopyOfAFileChangedOnDiskSinceIsShownAsSuch) {
    ASSERT_TRUE(start_with_recovery());
    ASSERT_NE(edit_song(91), nullptr);
    ASSERT_TRUE(frame().autosave());
    end_uncleanly();
    write(song_, song_bytes_ + "\r\n");
    port_.answer(MAppAnswer::cancel);
    ASSERT_TRUE(start_with_recovery());
    const std::vector<std::string> asked = lines("ask: ");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find("変更されています"), std::string::npos) << asked[0];
    const std::vector<MAppRecoveryEntry> left = frame().recoverable();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(MAppRecovery::changed_on_disk(left[0]));
}

TEST_F(Recovery, AFailedCopyWarnsOnceWithTheFileAndTheReason) {
    ASSERT_TRUE(start_with_recovery());
    ASSERT_NE(edit_song(66), nullptr);
    // The recovery folder cannot be made: a file stands where it should be.
    write(folder_, "in the way");
    EXPECT_FALSE(frame().autosave());
    EXPECT_FALSE(frame().autosave());
    std::vector<std::string> warned;
    for (const std::string& w : lines("warn: ")) {
        if (w.find("自動保存に失敗しました") != std::string::npos) warned.push_back(w);
    }
    ASSERT_EQ(warned.size(), 1u);
    EXPECT_NE(warned[0].find(song_), std::string::npos) << warned[0];
    EXPECT_EQ(kv_test::read_bytes(song_), song_bytes_);
    fs::remove(folder_);
    EXPECT_TRUE(frame().autosave());
    EXPECT_EQ(copies(), 1u);
    port_.answer(MAppAnswer::no);
    ASSERT_TRUE(frame().exit(MAppPlacement{}));
}

TEST_F(Recovery, AFileOpenInAnEditorIsNotReplacedUnderIt) {
    ASSERT_TRUE(start_with_recovery());
    ASSERT_NE(edit_song(91), nullptr);
    ASSERT_TRUE(frame().autosave());
    end_uncleanly();
    port_.answer(MAppAnswer::cancel);
    ASSERT_TRUE(start_with_recovery());
    MseqMusic* music = edit_song(100);  // opened in the edit list: its editor observes it
    ASSERT_NE(music, nullptr);
    ASSERT_NE(music->flags & MEF_EDITING, 0u);
    const std::vector<MAppRecoveryEntry> left = frame().recoverable();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_FALSE(frame().recover(left[0]));
    EXPECT_TRUE(shown("編集中のファイルは復元できません"));
    EXPECT_EQ(music->m_Tempo, 100);
    EXPECT_EQ(frame().recoverable().size(), 1u);  // the copy stays for a later decision
    port_.answer(MAppAnswer::no);
    ASSERT_TRUE(frame().exit(MAppPlacement{}));
}
