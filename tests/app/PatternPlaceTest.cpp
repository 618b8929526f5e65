// Patterns from any book: a phrase of the standard pattern book placed on a phrase track of the
// demo song is linked into the song's own book first, plays, and one undo takes back the link
// with the block (the book's bytes as they were), one redo puts both back.
#include <memory>
#include <set>
#include <tuple>

#include "app/AppFixture.h"
#include "edit/McmdKind.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "edit/press/MedtTrackPress.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackInherit.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackTree.h"
#include "play/OfflineNotes.h"
#include "play/engine/MplyEntity.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyOutput.h"
#include "play/engine/MplyPlayer.h"

namespace pattern_place_test {

class PatternPlace : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(start_on_demo());
        ASSERT_NO_FATAL_FAILURE(open_first_music(&music, &editor));
        own_book = mseq_find_book_ancestor(music->owner);
        ASSERT_NE(own_book, nullptr);
        add_standard_phrase();
        pattern = standard_phrase();
        ASSERT_NE(pattern, nullptr);
        refer = phrase_track();
        ASSERT_NE(refer, nullptr);
        track = editor->find_track(refer->owner->id);
        ASSERT_NE(track, nullptr);
    }

    MseqBook& book() { return *own_book->entity()->cast_to<MseqBook>(MTYPE_BOOK); }
    // The demo song links every standard pattern: a copy of one of their files, added to the
    // standard book, is one it does not link yet.
    void add_standard_phrase() {
        const std::string copy = host("pattern_v01/piano/piano_8beat_copy.kvnl");
        std::filesystem::copy_file(host("pattern_v01/piano/piano_8beat.kvnl"), copy);
        for (MseqObject* b = frame().room_node()->first_child(); b; b = b->next()) {
            mseq_open(b);
            auto* other =
                b != own_book && b->entity() ? b->entity()->cast_to<MseqBook>(MTYPE_BOOK) : nullptr;
            if (!other) continue;
            ASSERT_NE(other->create_leaf(b, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE, cp("写し"),
                                         MseqDescPath(CkvString(kv_fs::from_host(copy)))),
                      nullptr);
            return;
        }
    }
    // The first phrase of a book other than the song's whose file the song's book does not link
    // (the demo song uses some of the standard patterns already).
    MseqObject* standard_phrase() {
        for (MseqObject* b = frame().room_node()->first_child(); b; b = b->next()) {
            if (b == own_book) continue;
            mseq_open(b);
            for (MseqObject* p = b->first_child(); p; p = p->next_in(b)) {
                MseqFullPath full;
                if (p->type == MTYPE_LEAF_PHRASE && mseq_path::resolve(p, false, &full) &&
                    own_links_to(full) == 0)
                    return p;
            }
        }
        return nullptr;
    }
    // The first phrase track of the song that sounds.
    MseqTrackRefer* phrase_track() {
        for (MseqObject* t = music->root(); t; t = t->next_in(music->root())) {
            auto* r = t->type == MTYPE_TRACK_REFER
                          ? mseq_track_of(t)->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER)
                          : nullptr;
            if (r && r->m_Beat > 0 && (r->m_Flags & MTF_OUTPUT)) return r;
        }
        return nullptr;
    }
    // A position past the track's last block.
    int32_t free_position() const {
        if (refer->blocks().empty()) return 0;
        const auto last = std::prev(refer->blocks().end());
        return last->first + last->second.m_Length + 4;
    }
    // The resolved file of a node.
    static CkvString file_of(const MseqObject* node) {
        MseqFullPath full;
        EXPECT_TRUE(mseq_path::resolve(node, false, &full));
        return full;
    }
    // The links of the song's book (folders have no file) to `file`.
    int own_links_to(const CkvString& file) {
        int n = 0;
        for (MseqObject* c = own_book->first_child(); c; c = c->next_in(own_book)) {
            MseqFullPath full;
            if (mseq_path::resolve(c, false, &full) && CkvString::compare_nocase(full, file) == 0)
                ++n;
        }
        return n;
    }
    // The note-ons of a run of the song on the phrase track's channel from `tick` on.
    size_t notes_from(int64_t tick) {
        bool started = false;
        const std::vector<offline_notes::Note> notes =
            offline_notes::offline_note_ons(music, &started);
        EXPECT_TRUE(started);
        const int channel = mseq_effective_channel(refer);
        size_t n = 0;
        for (const auto& [t, ch, key] : notes)
            n += t >= tick && ch == channel ? 1 : 0;
        return n;
    }
    int64_t tick_of(int32_t pos) const {
        return int64_t{pos} * (MseqTrack::kTicksPerBar / refer->m_Beat);
    }
    bool press(int32_t pos, MseqObject* selected) {
        MedtPressContext ctx;
        ctx.selected_leaf = selected;
        const bool done =
            MedtTrackPress::press(*editor, *track, MedtPress{MedtPressArea::Anchor, pos}, ctx);
        MedtTrackPress::release(*editor);
        return done;
    }

    MseqMusic* music = nullptr;
    MedtMusicInvoker* editor = nullptr;
    MseqObject* own_book = nullptr;
    MseqObject* pattern = nullptr;
    MseqTrackRefer* refer = nullptr;
    MedtTrack* track = nullptr;
};

TEST_F(PatternPlace, AStandardPhraseIsLinkedPlacedPlaysAndUndoneWithItsLink) {
    // The song as this program writes it, the book as it came.
    MseqDesk::instance().mark_modified(music);
    ASSERT_TRUE(frame().run(ID_FILE_SAVE_ALL));
    const std::string book_file = kv_fs::to_host(book().full_path.str());
    const std::string song_file = kv_fs::to_host(music->full_path.str());
    const std::string book_bytes = read(book_file);
    const std::string song_bytes = read(song_file);
    ASSERT_FALSE(book_bytes.empty());
    const CkvString file = file_of(pattern);
    ASSERT_EQ(own_links_to(file), 0);
    const int children = child_count(own_book);
    const uint32_t counter = book().m_NextID;
    const int32_t pos = free_position();
    const size_t before = notes_from(tick_of(pos));
    const size_t groups = editor->history().group_count();

    ASSERT_TRUE(press(pos, pattern));
    const MseqBlockRefer* placed = refer->block_at(pos);
    ASSERT_NE(placed, nullptr);
    MseqObject* link = music->find(placed->m_PhraseID);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->parent(), own_book);
    EXPECT_EQ(link->type, MTYPE_LEAF_PHRASE);
    EXPECT_EQ(own_links_to(file), 1);
    EXPECT_EQ(child_count(own_book), children + 1);
    EXPECT_TRUE(book().flags & MEF_MODIFIED);
    EXPECT_EQ(editor->history().group_count(), groups + 1);
    EXPECT_GT(notes_from(tick_of(pos)), before);
    // Another press with the same phrase names the same link (the press puts a block, which may
    // move the ones the track holds: the first one's link is read before).
    const MSEQ_ID first_link = placed->m_PhraseID;
    ASSERT_TRUE(press(pos + refer->m_Beat, pattern));
    EXPECT_EQ(refer->block_at(pos + refer->m_Beat)->m_PhraseID, first_link);
    EXPECT_EQ(own_links_to(file), 1);
    editor->undo();
    const MSEQ_ID link_id = link->id;

    // One undo: the block and the link together; the book as it was read.
    editor->undo();
    EXPECT_EQ(refer->block_at(pos), nullptr);
    EXPECT_EQ(own_links_to(file), 0);
    EXPECT_EQ(child_count(own_book), children);
    EXPECT_EQ(book().m_NextID, counter);
    EXPECT_FALSE(book().flags & MEF_MODIFIED);
    EXPECT_EQ(notes_from(tick_of(pos)), before);

    // One redo: both back, under the same identifier.
    editor->redo();
    ASSERT_NE(refer->block_at(pos), nullptr);
    link = music->find(refer->block_at(pos)->m_PhraseID);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->id, link_id);
    EXPECT_EQ(own_links_to(file), 1);
    EXPECT_GT(notes_from(tick_of(pos)), before);

    editor->undo();
    EXPECT_EQ(own_links_to(file), 0);
    ASSERT_TRUE(frame().run(ID_FILE_SAVE_ALL));
    EXPECT_EQ(read(book_file), book_bytes);
    EXPECT_EQ(read(song_file), song_bytes);
}

TEST_F(PatternPlace, AModifiedBookStaysModifiedAndSavesTheBytesItHadBefore) {
    MseqDesk::instance().mark_modified(&book());
    ASSERT_TRUE(frame().run(ID_FILE_SAVE_ALL));
    const std::string book_file = kv_fs::to_host(book().full_path.str());
    const std::string saved = read(book_file);
    MseqDesk::instance().mark_modified(&book());
    const int32_t pos = free_position();
    ASSERT_TRUE(press(pos, pattern));
    editor->undo();
    EXPECT_TRUE(book().flags & MEF_MODIFIED);
    ASSERT_TRUE(frame().run(ID_FILE_SAVE_ALL));
    EXPECT_EQ(read(book_file), saved);
}

TEST_F(PatternPlace, AnAlreadyLinkedFileAndTheOwnBooksPhrasesAddNoLink) {
    // A phrase of the song's own book is named as it is.
    MseqObject* own_phrase = find_node(MTYPE_LEAF_PHRASE, own_book);
    const int children = child_count(own_book);
    if (own_phrase) {
        CkvString why;
        EXPECT_EQ(MedtTrackPress::phrase_for_block(*editor, own_phrase, &why),
                  mseq_own_book_id(own_phrase->id));
        EXPECT_EQ(child_count(own_book), children);
    }
    // A file the song's book links already: that link, with no question asked.
    const CkvString file = file_of(pattern);
    MseqObject* linked = book().create_leaf(own_book, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE,
                                            pattern->name, MseqDescPath(file));
    ASSERT_NE(linked, nullptr);
    const int asked = port_.questions();
    const int32_t pos = free_position();
    ASSERT_TRUE(press(pos, pattern));
    EXPECT_EQ(refer->block_at(pos)->m_PhraseID, mseq_own_book_id(linked->id));
    EXPECT_EQ(own_links_to(file), 1);
    EXPECT_EQ(port_.questions(), asked);
}

TEST_F(PatternPlace, NothingToPlaceSaysWhy) {
    const int32_t pos = free_position();
    struct Case {
        MseqObject* selected;
        const char* why;
    };
    const Case cases[] = {
        {nullptr, "フレーズパターンを選んでください"},
        {own_book, "フレーズパターンを選んでください"},
    };
    for (const Case& c : cases) {
        port_.log.clear();
        EXPECT_FALSE(press(pos, c.selected));
        EXPECT_EQ(refer->block_at(pos), nullptr);
        EXPECT_TRUE(shown(c.why)) << c.why;
    }
    // A drop on a track that takes no phrase says so and changes nothing.
    MedtTrack* other = nullptr;
    for (MseqObject* t = music->root(); t && !other; t = t->next_in(music->root())) {
        if (t->type == MTYPE_TRACK_NOTE) other = editor->find_track(t->id);
    }
    if (other) {
        port_.log.clear();
        EXPECT_FALSE(MedtTrackPress::drop_phrase(*editor, *other, 0, pattern));
        EXPECT_TRUE(shown("フレーズトラックに置いてください"));
    }
    // A drop on a block's start gives that block the phrase, with the link.
    ASSERT_FALSE(refer->blocks().empty());
    const int32_t first = refer->blocks().begin()->first;
    const MSEQ_ID was = refer->blocks().begin()->second.m_PhraseID;
    ASSERT_TRUE(MedtTrackPress::drop_phrase(*editor, *track, first, pattern));
    EXPECT_NE(refer->block_at(first)->m_PhraseID, was);
    EXPECT_EQ(own_links_to(file_of(pattern)), 1);
    editor->undo();
    EXPECT_EQ(refer->block_at(first)->m_PhraseID, was);
    EXPECT_EQ(own_links_to(file_of(pattern)), 0);
}

}  // namespace pattern_place_test
