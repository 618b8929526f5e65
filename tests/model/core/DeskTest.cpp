#include "model/core/MseqDesk.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqTitle.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"

namespace desk_test {

// A file store that knows which paths exist and which fail, and records what it was asked.
class FakeStore : public MseqFileStore {
public:
    bool load(MseqEntity* e, const MseqFullPath& path, bool commit,
              MseqLoadProblem* problem) override {
        ++loads;
        e->flags |= MEF_NEW;
        if (problem) *problem = MseqLoadProblem{};
        if (broken.count(path)) {
            if (problem) {
                problem->path = path;
                problem->error = 0x10003;
                problem->line = 7;
            }
            return false;
        }
        if (existing.count(path)) {
            if (commit) e->flags &= ~MEF_NEW;
        }
        if (commit) e->full_path = path;
        return true;
    }
    bool save(MseqEntity* e) override {
        if (failing_saves.count(e)) return false;
        saved.insert(e);
        MseqDesk::instance().clear_modified(e);
        e->flags &= ~MEF_NEW;
        return true;
    }
    std::set<std::string> existing;
    std::set<std::string> broken;
    std::set<MseqEntity*> failing_saves;
    std::set<MseqEntity*> saved;
    int loads = 0;
};

// Installs a fake store and leaves the desk empty afterwards.
class DeskTest : public ::testing::Test {
protected:
    void SetUp() override { desk().set_store(&store); }
    void TearDown() override {
        desk().modified.clear();
        desk().cache.clear();
        desk().set_store(nullptr);
        mseq_config().m_CacheLevel = 5;
    }
    static MseqDesk& desk() { return MseqDesk::instance(); }
    FakeStore store;
};

MseqObject* leaf(MseqObject* parent, MSEQ_ID id, MSEQ_TYPE type, const char* path) {
    auto* n = new MseqObject(id, type, CkvString("n"), MseqDescPath(path));
    mseq_link(parent, n, MPLACE_LAST_CHILD);
    return n;
}

TEST_F(DeskTest, SharedPhraseFileGivesOneEntityAndTwoLinks) {
    MseqObject book(0x01000001, MTYPE_BOOK_LIBRARY, CkvString("B"), MseqDescPath());
    MseqObject* a = leaf(&book, 0x01010001, MTYPE_LEAF_PHRASE, "D:\\p\\riff.kvnl");
    MseqObject* b = leaf(&book, 0x01010002, MTYPE_LEAF_PHRASE, "d:\\P\\RIFF.kvnl");
    store.existing.insert("D:\\p\\riff.kvnl");
    ref_ptr<MseqEntity> ea = mseq_open(a);
    ref_ptr<MseqEntity> eb = mseq_open(b);
    ASSERT_TRUE(mseq_has_content(a));
    EXPECT_EQ(ea.get(), eb.get());
    EXPECT_EQ(store.loads, 1);
    EXPECT_EQ(desk().link_count(ea.get()), 2u);
    EXPECT_EQ(ea->flags & MEF_NEW, 0u);
    EXPECT_EQ(desk().cache.size(), 1u);
    // Dropping one node's content removes its link record only.
    b->release_entity();
    EXPECT_EQ(desk().link_count(ea.get()), 1u);
    EXPECT_EQ(desk().cache.size(), 1u);
}

TEST_F(DeskTest, AnOwnedMusicFileIsNotShared) {
    MseqObject book(0x01000001, MTYPE_BOOK_MUSIC, CkvString("B"), MseqDescPath());
    MseqObject* a = leaf(&book, 0x01010001, MTYPE_LEAF_MUSIC, "D:\\m\\song.kvnl");
    MseqObject* b = leaf(&book, 0x01010002, MTYPE_LEAF_MUSIC, "D:\\m\\song.kvnl");
    ref_ptr<MseqEntity> ea = mseq_open(a);
    ASSERT_TRUE(mseq_has_content(a));
    EXPECT_EQ(ea->owner, a);
    EXPECT_NE(ea->flags & MEF_NEW, 0u);  // no file yet: a new music
    ref_ptr<MseqEntity> eb = mseq_open(b);
    EXPECT_EQ(eb.get(), MseqEmpty::instance());
    EXPECT_FALSE(mseq_has_content(b));
    // The placeholder sticks: opening again does not try the file again.
    const int loads = store.loads;
    mseq_open(b);
    EXPECT_EQ(store.loads, loads);
}

TEST_F(DeskTest, UnreadableFilesAndUnresolvablePathsGiveThePlaceholder) {
    MseqObject book(0x01000001, MTYPE_BOOK_LIBRARY, CkvString("B"), MseqDescPath());
    MseqObject* bad = leaf(&book, 0x01010001, MTYPE_LEAF_PHRASE, "D:\\p\\bad.kvnl");
    MseqObject* rel = leaf(&book, 0x01010002, MTYPE_LEAF_PHRASE, "relative.kvnl");
    MseqObject* folder = leaf(&book, 0x01010003, MTYPE_LEAF_FOLDER, "D:\\p\\f.kvnl");
    store.broken.insert("D:\\p\\bad.kvnl");
    // The failed read hands its reason back with the placeholder; a path that names no file
    // was never read and reports nothing.
    MseqLoadProblem why;
    EXPECT_EQ(desk().open(bad, &why).get(), MseqEmpty::instance());
    EXPECT_EQ(why.path, "D:\\p\\bad.kvnl");
    EXPECT_EQ(why.error, 0x10003u);
    EXPECT_EQ(why.line, 7u);
    EXPECT_EQ(desk().open(rel, &why).get(), MseqEmpty::instance());
    EXPECT_FALSE(why.reported());
    EXPECT_EQ(mseq_open(folder).get(), MseqEmpty::instance());
    EXPECT_TRUE(desk().cache.empty());
}

TEST_F(DeskTest, ModifiedSetAndSaveAll) {
    MseqObject book(0x01000001, MTYPE_BOOK_MUSIC, CkvString("B"), MseqDescPath());
    MseqObject* a = leaf(&book, 0x01010001, MTYPE_LEAF_MUSIC, "D:\\m\\a.kvnl");
    MseqObject* b = leaf(&book, 0x01010002, MTYPE_LEAF_MUSIC, "D:\\m\\b.kvnl");
    store.existing.insert("D:\\m\\b.kvnl");
    ref_ptr<MseqEntity> ea = mseq_open(a);
    ref_ptr<MseqEntity> eb = mseq_open(b);
    desk().mark_new_for_save(ea.get());  // new: marked
    desk().mark_new_for_save(eb.get());  // read from its file: not
    EXPECT_NE(ea->flags & MEF_MODIFIED, 0u);
    EXPECT_EQ(eb->flags & MEF_MODIFIED, 0u);
    desk().mark_modified(eb.get());
    desk().mark_modified(eb.get());
    EXPECT_EQ(desk().modified.size(), 2u);
    eb->flags |= MEF_FUTURE;
    EXPECT_EQ(desk().count_future_files(), 1);
    store.failing_saves.insert(eb.get());
    EXPECT_EQ(desk().save_all_modified(), 1);
    EXPECT_TRUE(store.saved.count(ea.get()));
    EXPECT_EQ(ea->flags & (MEF_MODIFIED | MEF_NEW), 0u);
    EXPECT_NE(eb->flags & MEF_MODIFIED, 0u);  // the failed one keeps its flag
    EXPECT_EQ(desk().modified.size(), 1u);
}

TEST_F(DeskTest, UnloadRulesForOwnedAndSharedEntities) {
    MseqObject book(0x01000001, MTYPE_BOOK_LIBRARY, CkvString("B"), MseqDescPath());
    MseqObject* p1 = leaf(&book, 0x01010001, MTYPE_LEAF_PHRASE, "D:\\p\\r.kvnl");
    MseqObject* p2 = leaf(&book, 0x01010002, MTYPE_LEAF_PHRASE, "D:\\p\\r.kvnl");
    MseqEntity* phrase = mseq_open(p1).get();
    mseq_open(p2);
    {
        ref_ptr<MseqEntity> in_use(phrase);
        EXPECT_FALSE(desk().unload(phrase));  // a player or editor holds it
    }
    desk().mark_modified(phrase);
    ASSERT_TRUE(desk().unload(phrase));  // modified changes are dropped with it
    EXPECT_EQ(p1->entity(), nullptr);
    EXPECT_EQ(p2->entity(), nullptr);
    EXPECT_TRUE(desk().cache.empty());
    EXPECT_TRUE(desk().modified.empty());

    MseqObject mbook(0x01100001, MTYPE_BOOK_MUSIC, CkvString("M"), MseqDescPath());
    MseqObject* song = leaf(&mbook, 0x01110001, MTYPE_LEAF_MUSIC, "D:\\m\\s.kvnl");
    MseqEntity* music = mseq_open(song).get();
    ASSERT_EQ(desk().cache.size(), 1u);
    ASSERT_TRUE(desk().unload(music));
    EXPECT_EQ(song->entity(), nullptr);
    EXPECT_TRUE(desk().cache.empty());
}

TEST_F(DeskTest, TrimUnloadsWhatOnlyTheCacheHolds) {
    mseq_config().m_CacheLevel = 2;
    MseqObject book(0x01000001, MTYPE_BOOK_LIBRARY, CkvString("B"), MseqDescPath());
    std::vector<ref_ptr<MseqEntity>> in_use;
    for (int i = 0; i < 25; ++i) {
        std::string path = "D:\\p\\f" + std::to_string(100 + i) + ".kvnl";
        MseqObject* n = leaf(&book, 0x01010001 + i, MTYPE_LEAF_PHRASE, path.c_str());
        ref_ptr<MseqEntity> e = mseq_open(n);
        if (i < 8) {
            n->release_entity();  // held by the cache alone
        } else {
            in_use.push_back(e);
        }
    }
    ASSERT_EQ(desk().cache.size(), 25u);
    desk().trim_cache();
    EXPECT_EQ(desk().cache.size(), 20u);
    // Level 6 switches trimming off.
    mseq_config().m_CacheLevel = 6;
    desk().cache.emplace("D:\\x", ref_ptr<MseqEntity>::adopt(new MseqPhrase));
    desk().trim_cache();
    EXPECT_EQ(desk().cache.size(), 21u);
}

TEST(Title, ExpandsMacros) {
    MseqObject room(MID_ROOM, MTYPE_ROOM, CkvString("R"), MseqDescPath());
    MseqObject* book =
        new MseqObject(0x01000001, MTYPE_BOOK_MUSIC, CkvString("Demo"), MseqDescPath());
    MseqObject* node =
        new MseqObject(0x01010001, MTYPE_LEAF_MUSIC, CkvString("Song"), MseqDescPath());
    mseq_link(&room, book, MPLACE_LAST_CHILD);
    mseq_link(book, node, MPLACE_LAST_CHILD);
    ASSERT_TRUE(mseq_factory(node));
    const auto& music = *node->entity()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    struct Case {
        const char* in;
        const char* out;
        bool ok;
    };
    const Case cases[] = {
        {"%<book> - %<entity>", "Demo - Song", true},
        {"%<ENTITY>!", "Song!", true},
        {"100%%", "100%", true},
        {"a%xb", "a%xb", false},
        {"%<other>x", "x", true},
        {"t %<book", "t %<book", false},
        {"end%", "end%", false},
        {"", "", true},
    };
    for (const Case& c : cases) {
        CkvString out;
        EXPECT_EQ(mseq_expand_title(c.in, music, &out), c.ok) << c.in;
        EXPECT_EQ(out.str(), c.out) << c.in;
    }
}

TEST(Config, DefaultsClampsAndRecentList) {
    MseqConfig c;
    EXPECT_EQ(c.m_DeviceID, 0xFFFFFFFFu);
    EXPECT_EQ(c.m_PlayMode, 2);
    EXPECT_EQ(c.m_CacheLevel, 5);
    EXPECT_EQ(c.m_TrPropNameW, 120);
    EXPECT_EQ(c.m_TrPropDataW, 200);
    c.m_CacheLevel = 0;
    c.m_SeekInterval = 5000;
    c.m_TrPropNameW = 4000;
    c.m_TrPropDataW = 2;
    EXPECT_EQ(c.validate(), 1);
    EXPECT_EQ(c.m_CacheLevel, 1);
    EXPECT_EQ(c.m_SeekInterval, 1000);
    EXPECT_EQ(c.m_TrPropNameW, 1024);
    EXPECT_EQ(c.m_TrPropDataW, 8);
    c.m_CacheLevel = 9;
    c.validate();
    EXPECT_EQ(c.m_CacheLevel, 6);

    for (int i = 1; i <= 9; ++i)
        c.add_recent_room(CkvString("C:\\lib" + std::to_string(i)));
    ASSERT_EQ(c.m_RecentRooms.size(), 8u);
    EXPECT_EQ(c.recent_room(0)->str(), "C:\\lib9");
    EXPECT_EQ(c.recent_room(7)->str(), "C:\\lib2");
    EXPECT_EQ(c.recent_room(8), nullptr);
    c.add_recent_room(CkvString("c:\\LIB7"));  // the third, spelt differently
    EXPECT_EQ(c.m_RecentRooms.size(), 8u);
    EXPECT_EQ(c.recent_room(0)->str(), "c:\\LIB7");
    EXPECT_EQ(c.recent_room(1)->str(), "C:\\lib9");
    EXPECT_EQ(c.recent_room(2)->str(), "C:\\lib8");
    EXPECT_EQ(c.recent_room(3)->str(), "C:\\lib6");
}

}  // namespace desk_test
