#include <gtest/gtest.h>

#include <memory>

#include "model/block/MseqBlockWord.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "model/track/MseqTrackRoot.h"

namespace containers_test {

const CkvString kName("n");

// A room node with its room entity attached, as the library holds it.
struct Library {
    Library() : node(MID_ROOM, MTYPE_ROOM, CkvString("Lib"), MseqDescPath("C:\\lib.kvnr")) {
        room = new MseqRoom(&node);
        node.attach(room);
    }
    // A book node created in the room, with its book entity attached (as loading would).
    MseqBook* add_book(MSEQ_TYPE type = MTYPE_BOOK_MUSIC) {
        MseqObject* b = room->create_book(&node, MPLACE_LAST_CHILD, type, kName, MseqDescPath());
        if (!b) return nullptr;
        mseq_factory(b);
        return b->entity()->cast_to<MseqBook>(MTYPE_BOOK);
    }
    MseqObject node;
    MseqRoom* room;
};

TEST(Room, BookNumbersFollowTheWalk) {
    struct Case {
        std::vector<uint32_t> existing;
        uint32_t next;
    };
    const Case cases[] = {
        {{}, 256},         {{16, 17}, 258},  // counter passes the low numbers without stopping
        {{256, 258}, 257}, {{256, 257}, 258}, {{300}, 256},
    };
    for (const Case& c : cases) {
        Library lib;
        for (uint32_t n : c.existing)
            lib.room->books.emplace(mseq_book_id(n), &lib.node);
        EXPECT_EQ(lib.room->allocate_book_number(), c.next);
        lib.room->books.clear();
    }
}

TEST(Room, CreateBookChecksParentTypeAndCapacity) {
    Library lib;
    MseqObject* first = lib.room->create_book(&lib.node, MPLACE_LAST_CHILD, MTYPE_BOOK_LIBRARY,
                                              CkvString(), MseqDescPath());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->id, 0x10000001u);
    EXPECT_EQ(lib.room->find(0x10000001), first);
    EXPECT_EQ(lib.room->find(MID_ROOM), &lib.node);
    EXPECT_EQ(lib.room->create_book(&lib.node, MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC, kName,
                                    MseqDescPath()),
              nullptr);
    // A book goes only under the room node.
    EXPECT_EQ(
        lib.room->create_book(first, MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC, kName, MseqDescPath()),
        nullptr);
    MseqObject* second =
        lib.room->create_book(first, MPLACE_BEFORE, MTYPE_BOOK_MUSIC, kName, MseqDescPath());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(lib.node.first_child(), second);

    while (lib.room->books.size() < MseqRoom::kMaxBooks) {
        ASSERT_NE(lib.room->create_book(&lib.node, MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC, kName,
                                        MseqDescPath()),
                  nullptr);
    }
    EXPECT_EQ(lib.room->create_book(&lib.node, MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC, kName,
                                    MseqDescPath()),
              nullptr);
    EXPECT_EQ(lib.room->books.size(), 1024u);
}

TEST(Book, LeafAllocationStartsInRange) {
    struct Case {
        uint32_t next_id;
        MSEQ_ID expected;
        uint32_t next_after;
    };
    const Case cases[] = {
        {0, 0x10010001, 0x10002},       {0xF0001, 0x10010001, 0x10002},
        {0x10001, 0x10010001, 0x10002}, {0x20000, 0x10020000, 0x20001},
        {0xF0000, 0x100F0000, 0xF0001},
    };
    for (const Case& c : cases) {
        Library lib;
        MseqBook* book = lib.add_book();
        ASSERT_NE(book, nullptr);
        book->m_NextID = c.next_id;
        MseqObject* leaf = book->create_leaf(book->owner, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE,
                                             kName, MseqDescPath());
        ASSERT_NE(leaf, nullptr) << std::hex << c.next_id;
        EXPECT_EQ(leaf->id, c.expected);
        EXPECT_EQ(book->m_NextID, c.next_after);
    }
}

TEST(Book, LeafAllocationStepsOverTakenAndFailsAtTheEnd) {
    Library lib;
    MseqBook* book = lib.add_book();
    MseqObject* top = book->owner;
    ASSERT_NE(book->create_leaf(top, MPLACE_LAST_CHILD, MTYPE_LEAF_FOLDER, kName, MseqDescPath(),
                                0x00010002),
              nullptr);
    ASSERT_NE(book->create_leaf(top, MPLACE_LAST_CHILD, MTYPE_LEAF_FOLDER, kName, MseqDescPath(),
                                0x00010001),
              nullptr);
    MseqObject* leaf =
        book->create_leaf(top, MPLACE_LAST_CHILD, MTYPE_LEAF_FOLDER, kName, MseqDescPath());
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf->id, 0x10010003u);  // requested ids kept their serials in this book

    // A requested identifier that is taken fails; so does running off the last serial.
    EXPECT_EQ(book->create_leaf(top, MPLACE_LAST_CHILD, MTYPE_LEAF_FOLDER, kName, MseqDescPath(),
                                0x10010001),
              nullptr);
    ASSERT_NE(book->create_leaf(top, MPLACE_LAST_CHILD, MTYPE_LEAF_FOLDER, kName, MseqDescPath(),
                                0x000FFFFF),
              nullptr);
    book->m_NextID = 0xF0000;
    for (uint32_t s = 0xF0000; s < 0xFFFFF; ++s)
        book->leafs.emplace(0x10000000 | s, top);
    const size_t before = book->leafs.size();
    EXPECT_EQ(book->create_leaf(top, MPLACE_LAST_CHILD, MTYPE_LEAF_FOLDER, kName, MseqDescPath()),
              nullptr);
    EXPECT_EQ(book->leafs.size(), before);
    for (uint32_t s = 0xF0000; s < 0xFFFFF; ++s)
        book->leafs.erase(0x10000000 | s);
}

TEST(Book, CreateLeafChecks) {
    Library lib;
    MseqBook* music_book = lib.add_book(MTYPE_BOOK_MUSIC);
    MseqBook* pattern_book = lib.add_book(MTYPE_BOOK_LIBRARY);
    MseqObject* folder = music_book->create_leaf(music_book->owner, MPLACE_LAST_CHILD,
                                                 MTYPE_LEAF_FOLDER, kName, MseqDescPath());
    ASSERT_NE(folder, nullptr);
    // Musics only directly in a music book.
    EXPECT_EQ(
        music_book->create_leaf(folder, MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC, kName, MseqDescPath()),
        nullptr);
    EXPECT_NE(
        music_book->create_leaf(folder, MPLACE_AFTER, MTYPE_LEAF_MUSIC, kName, MseqDescPath()),
        nullptr);
    // An anchor from another book, a bad placement code.
    EXPECT_EQ(pattern_book->create_leaf(folder, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE, kName,
                                        MseqDescPath()),
              nullptr);
    EXPECT_EQ(music_book->create_leaf(folder, 0, MTYPE_LEAF_PHRASE, kName, MseqDescPath()),
              nullptr);
    EXPECT_EQ(music_book->create_leaf(music_book->owner, MPLACE_AFTER, MTYPE_LEAF_PHRASE, kName,
                                      MseqDescPath()),
              nullptr);  // beside the book means in the room

    // A leaf is found through the room too, opening its book.
    EXPECT_EQ(lib.room->find(folder->id), folder);
    EXPECT_EQ(lib.room->find(folder->id + 0x1000), nullptr);
}

TEST(Book, CapacityIs4096Nodes) {
    Library lib;
    MseqBook* book = lib.add_book(MTYPE_BOOK_LIBRARY);
    while (book->leafs.size() < MseqBook::kMaxNodes) {
        ASSERT_NE(book->create_leaf(book->owner, MPLACE_LAST_CHILD, MTYPE_LEAF_FOLDER, kName,
                                    MseqDescPath()),
                  nullptr);
    }
    EXPECT_EQ(
        book->create_leaf(book->owner, MPLACE_LAST_CHILD, MTYPE_LEAF_FOLDER, kName, MseqDescPath()),
        nullptr);
}

TEST(Music, TrackAllocationFillsGapsFromNextId) {
    MseqMusic music(nullptr);
    ASSERT_NE(
        music.create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, kName, 0x110001),
        nullptr);
    ASSERT_NE(
        music.create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, kName, 0x110003),
        nullptr);
    music.m_NextID = 0x10001;
    MseqObject* t =
        music.create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, kName);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->id, 0x110002u);
    EXPECT_EQ(music.m_NextID, 0x10002u);
    t = music.create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, kName);
    EXPECT_EQ(t->id, 0x110004u);

    // Fixed serials for the one-per-music tracks; a second one cannot be made.
    MseqObject* marker =
        music.create_track(MID_TRACK_HEADER, MPLACE_LAST_CHILD, MTYPE_TRACK_MARKER, kName);
    ASSERT_NE(marker, nullptr);
    EXPECT_EQ(marker->id, MID_TRACK_MARKER);
    EXPECT_EQ(music.create_track(MID_TRACK_HEADER, MPLACE_LAST_CHILD, MTYPE_TRACK_MARKER, kName),
              nullptr);
    // Anchors are looked up by serial in the track space; a missing one fails.
    EXPECT_NE(music.create_track(0x00E00012, MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, kName), nullptr);
    EXPECT_EQ(music.create_track(0x100999, MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, kName), nullptr);
    EXPECT_EQ(music.create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, MTYPE_LEAF_FOLDER, kName),
              nullptr);
    // The checks alone change nothing.
    const size_t before = music.tracks.size();
    const uint32_t next = music.m_NextID;
    EXPECT_NE(music.check_create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, 0),
              0u);
    EXPECT_EQ(music.tracks.size(), before);
    EXPECT_EQ(music.m_NextID, next);
}

TEST(Music, TrackAllocationWrapsToTheStartAndIsLimitedTo256) {
    MseqMusic music(nullptr);
    music.m_NextID = 0xF0000;
    MseqObject* t =
        music.create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, kName);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->id, 0x1F0000u);
    // From 0xF0000 the walk would leave the track space, so it starts over at 0x10001.
    t = music.create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, kName);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->id, 0x110001u);

    while (music.tracks.size() < MseqMusic::kMaxTracks) {
        ASSERT_NE(music.create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, kName),
                  nullptr);
    }
    EXPECT_EQ(music.create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, kName),
              nullptr);
}

TEST(Music, FixedTreeAndDeletion) {
    MseqMusic music(nullptr);
    EXPECT_EQ(music.tracks.size(), 3u);
    EXPECT_EQ(music.root()->first_child(), music.header());
    EXPECT_EQ(music.root()->last_child(), music.detail());
    EXPECT_TRUE(music.header()->is_with());
    auto* root = music.root()->entity()->cast_to<MseqTrackRootMusic>(MTYPE_TRACK_ROOT_MUSIC);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->music, &music);

    MseqPhrase phrase;
    auto* phrase_root =
        phrase.root()->entity()->cast_to<MseqTrackRootMusic>(MTYPE_TRACK_ROOT_MUSIC);
    ASSERT_NE(phrase_root, nullptr);
    EXPECT_EQ(phrase_root->type(), MTYPE_TRACK_ROOT_PHRASE);
    EXPECT_EQ(phrase_root->music, nullptr);

    EXPECT_FALSE(music.remove_track(MID_TRACK_ROOT));
    EXPECT_FALSE(music.remove_track(MID_TRACK_HEADER));
    EXPECT_FALSE(music.remove_track(MID_TRACK_DETAIL));
    MseqObject* text =
        music.create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, kName);
    ASSERT_NE(text, nullptr);
    const MSEQ_ID id = text->id;
    EXPECT_EQ(music.find(id), text);
    EXPECT_EQ(music.find(mseq_with_file_number(id, 3)), nullptr);
    EXPECT_TRUE(music.remove_track(id));
    EXPECT_EQ(music.find_track(id), nullptr);
    EXPECT_EQ(music.detail()->first_child(), nullptr);
}

TEST(Music, FindsLeavesOfItsBookThroughFileNumberTwo) {
    Library lib;
    MseqBook* book = lib.add_book();
    MseqObject* song =
        book->create_leaf(book->owner, MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC, kName, MseqDescPath());
    MseqObject* map =
        book->create_leaf(book->owner, MPLACE_LAST_CHILD, MTYPE_LEAF_CHORD, kName, MseqDescPath());
    ASSERT_TRUE(mseq_factory(song));
    auto* music = song->entity()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->owner, song);
    EXPECT_EQ(music->find(mseq_with_file_number(map->id, MFILE_OWN_BOOK)), map);
    EXPECT_EQ(music->find(map->id), nullptr);  // a book's own file number is not a reference
}

TEST(Removal, ReferenceCountsDecide) {
    Library lib;
    MseqBook* book = lib.add_book();
    MseqObject* song =
        book->create_leaf(book->owner, MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC, kName, MseqDescPath());
    ASSERT_TRUE(mseq_factory(song));
    MseqEntity* music = song->entity();
    struct Case {
        int extra_refs;
        uint32_t flags;
        bool removable;
    };
    const Case cases[] = {
        {0, 0, true},              // only the node
        {1, 0, true},              // node and cache
        {2, 0, false},             // an editor holds it too
        {2, MEF_MODIFIED, true},   // the modified set's reference
        {3, MEF_MODIFIED, false},  // and an editor
    };
    for (const Case& c : cases) {
        for (int i = 0; i < c.extra_refs; ++i)
            music->add_ref();
        music->flags = c.flags;
        EXPECT_EQ(mseq_subtree_removable(song), c.removable) << c.extra_refs << " " << c.flags;
        EXPECT_EQ(mseq_subtree_removable(book->owner), c.removable);
        for (int i = 0; i < c.extra_refs; ++i)
            music->release();
    }
    // Deleting a leaf whose music is open in an editor fails; once it is closed it goes.
    music->flags = 0;
    ref_ptr<MseqEntity> editor = mseq_open(song);
    ref_ptr<MseqEntity> player(music);
    EXPECT_FALSE(book->remove(song->id));
    EXPECT_FALSE(lib.room->remove(book->owner->id));
    player.reset();
    editor.reset();
    const MSEQ_ID id = song->id;
    EXPECT_TRUE(lib.room->remove(id));
    EXPECT_EQ(book->find(id), nullptr);
    // The room itself never goes; detached copies always may.
    EXPECT_FALSE(mseq_subtree_removable(&lib.node));
    MseqObject detached(0x00E10001, MTYPE_TRACK_NOTE, kName, MseqDescPath(kPathWith));
    EXPECT_TRUE(mseq_subtree_removable(&detached));
}

TEST(Removal, SetRefusedWhileInUse) {
    MseqObject leaf(0x01010001, MTYPE_LEAF_MUSIC, kName, MseqDescPath());
    ASSERT_TRUE(mseq_factory(&leaf));
    ref_ptr<MseqEntity> a = mseq_open(&leaf);
    ref_ptr<MseqEntity> b = mseq_open(&leaf);
    EXPECT_FALSE(leaf.set(0x01010002, MTYPE_LEAF_FOLDER, CkvString(), MseqDescPath()));
    EXPECT_EQ(leaf.type, MTYPE_LEAF_MUSIC);
    b.reset();
    EXPECT_TRUE(leaf.set(0x01010002, MTYPE_LEAF_FOLDER, CkvString(), MseqDescPath()));
    EXPECT_EQ(leaf.entity(), nullptr);
    EXPECT_EQ(a->ref_count(), 1);  // the node's reference went with the reset
}

TEST(Open, StampsAndFallsBackToThePlaceholder) {
    MseqObject folder(0x01010001, MTYPE_LEAF_FOLDER, kName, MseqDescPath(kPathWith));
    ref_ptr<MseqEntity> e = mseq_open(&folder);
    EXPECT_EQ(e.get(), MseqEmpty::instance());
    EXPECT_FALSE(mseq_has_content(&folder));
    EXPECT_EQ(e->cast(MTYPE_EMPTY), e.get());
    EXPECT_EQ(e->cast(MTYPE_TRACK), nullptr);

    MseqObject header(MID_TRACK_HEADER, MTYPE_TRACK_HEADER, kName, MseqDescPath(kPathWith));
    ref_ptr<MseqEntity> h1 = mseq_open(&header);
    ASSERT_TRUE(mseq_has_content(&header));
    EXPECT_EQ(h1->owner, &header);
    EXPECT_EQ(h1->name, header.name);
    const uint32_t first = h1->access_stamp;
    ref_ptr<MseqEntity> h2 = mseq_open(&header);
    EXPECT_EQ(h1.get(), h2.get());
    EXPECT_GT(h2->access_stamp, first);
    EXPECT_EQ(h1->ref_count(), 3);
}

TEST(Factory, CastAnswersOwnAndBaseTypes) {
    struct Case {
        MSEQ_TYPE node_type;
        std::vector<MSEQ_TYPE> yes;
        std::vector<MSEQ_TYPE> no;
    };
    const Case cases[] = {
        {MTYPE_BOOK_MUSIC, {MTYPE_BOOK_MUSIC, MTYPE_BOOK}, {MTYPE_BOOK_LIBRARY, MTYPE_ROOM}},
        {MTYPE_BOOK_LIBRARY, {MTYPE_BOOK_LIBRARY, MTYPE_BOOK}, {MTYPE_BOOK_MUSIC}},
        {MTYPE_LEAF_MUSIC, {MTYPE_LEAF_MUSIC}, {MTYPE_LEAF_PHRASE, MTYPE_TRACK}},
        {MTYPE_LEAF_PHRASE, {MTYPE_LEAF_PHRASE, MTYPE_LEAF_MUSIC}, {MTYPE_BOOK}},
        {MTYPE_TRACK_ROOT_PHRASE,
         {MTYPE_TRACK_ROOT_PHRASE, MTYPE_TRACK_ROOT_MUSIC, MTYPE_TRACK},
         {MTYPE_TRACK_HEADER}},
        {MTYPE_TRACK_DETAIL, {MTYPE_TRACK_DETAIL, MTYPE_TRACK}, {MTYPE_TRACK_HEADER, 0}},
    };
    for (const Case& c : cases) {
        MseqObject n(0x01010001, c.node_type, kName, MseqDescPath(kPathWith));
        ASSERT_TRUE(mseq_factory(&n)) << std::hex << c.node_type;
        EXPECT_EQ(n.entity()->type(), c.node_type);
        for (MSEQ_TYPE t : c.yes)
            EXPECT_EQ(n.entity()->cast(t), n.entity()) << std::hex << t;
        for (MSEQ_TYPE t : c.no)
            EXPECT_EQ(n.entity()->cast(t), nullptr) << std::hex << t;
    }
    // A phrase is shared: it has no owner node. A folder has no content at all.
    MseqObject phrase(0x01010001, MTYPE_LEAF_PHRASE, kName, MseqDescPath());
    ASSERT_TRUE(mseq_factory(&phrase));
    EXPECT_EQ(phrase.entity()->owner, nullptr);
    MseqObject folder(0x01010001, MTYPE_LEAF_FOLDER, kName, MseqDescPath());
    EXPECT_FALSE(mseq_factory(&folder));
}

TEST(Music, ValidateClampsAndResetClears) {
    MseqMusic music(nullptr);
    music.m_Tempo = 2;
    music.m_Transpose = -20;
    music.m_BlankBar = 9;
    music.m_Program = MseqBlockWord(MWORD_DRUM_SOUND, 3, 0x12345678, CkvString("x"));
    EXPECT_EQ(music.validate(), 1);
    EXPECT_EQ(music.m_Tempo, 4);
    EXPECT_EQ(music.m_Transpose, -12);
    EXPECT_EQ(music.m_BlankBar, 4);
    EXPECT_EQ(music.m_Program.m_Attrib, MWORD_PROGRAM);
    EXPECT_EQ(music.m_Program.m_Group, 0);
    EXPECT_EQ(music.m_Program.m_Index, 0x345678u & 0x7F7F7Fu);
    music.m_Program.m_Attrib = MWORD_DRUM_KIT;
    music.validate();
    EXPECT_EQ(music.m_Program.m_Attrib, MWORD_DRUM_KIT);  // a drum kit stays one

    ASSERT_NE(music.create_track(MID_TRACK_HEADER, MPLACE_LAST_CHILD, MTYPE_TRACK_TEMPO, kName),
              nullptr);
    ASSERT_NE(music.create_track(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, kName),
              nullptr);
    music.m_Tempo = 90;
    music.m_Title = CkvString("t");
    EXPECT_EQ(music.reset(), 1);
    EXPECT_EQ(music.tracks.size(), 3u);
    EXPECT_EQ(music.header()->first_child(), nullptr);
    EXPECT_EQ(music.detail()->first_child(), nullptr);
    EXPECT_EQ(music.m_Tempo, 120);
    EXPECT_EQ(music.m_Title.str(), "%<entity>");
    EXPECT_TRUE(mseq_has_content(music.header()));
    EXPECT_EQ(music.root()->first_child(), music.header());
    EXPECT_EQ(music.root()->last_child(), music.detail());
}

}  // namespace containers_test
