#include <gtest/gtest.h>

#include "model/core/MseqDesk.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqRoom.h"

namespace library_ops_test {

// A library file at D:\lib\library.kvnr with one pattern book and one music book, both loaded.
struct Library {
    Library()
        : node(MID_ROOM, MTYPE_ROOM, CkvString("Lib"), MseqDescPath("D:\\lib\\library.kvnr")) {
        room = new MseqRoom(&node);
        node.attach(room);
        patterns = add_book(MTYPE_BOOK_LIBRARY, "<room>pat\\pattern.kvnb");
        songs = add_book(MTYPE_BOOK_MUSIC, "<room>songs.kvnb");
    }
    ~Library() { MseqDesk::instance().modified.clear(); }
    MseqBook* add_book(MSEQ_TYPE type, const char* path) {
        MseqObject* b =
            room->create_book(&node, MPLACE_LAST_CHILD, type, CkvString("b"), MseqDescPath(path));
        mseq_factory(b);
        return b->entity()->cast_to<MseqBook>(MTYPE_BOOK);
    }
    MseqObject node;
    MseqRoom* room;
    MseqBook* patterns;
    MseqBook* songs;
};

TEST(LibraryOps, FindBooksAndLeavesByPath) {
    Library lib;
    MseqObject* riff =
        lib.patterns->create_leaf(lib.patterns->owner, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE,
                                  CkvString("riff"), MseqDescPath("<book>riff.kvnl"));
    EXPECT_EQ(lib.room->find_book_by_path(CkvString("d:\\LIB\\songs.kvnb")), lib.songs->owner);
    EXPECT_EQ(
        lib.room->find_book_by_path(CkvString("D:\\lib\\pat\\pattern.kvnb"), lib.patterns->owner),
        nullptr);  // the search starts after the given book
    EXPECT_EQ(
        lib.room->find_book_by_path(CkvString("D:\\lib\\songs.kvnb"), nullptr, lib.songs->owner),
        nullptr);
    EXPECT_EQ(lib.patterns->find_by_path(CkvString("D:\\lib\\pat\\riff.kvnl")), riff);
    EXPECT_EQ(lib.patterns->find_by_path(CkvString("D:\\lib\\pat\\riff.kvnl"), nullptr, riff),
              nullptr);
    // A start node of another book is refused.
    EXPECT_EQ(lib.songs->find_by_path(CkvString("D:\\lib\\pat\\riff.kvnl"), riff), nullptr);
}

TEST(LibraryOps, LinkingAPhraseAtASecondPlace) {
    Library lib;
    MseqObject* riff =
        lib.patterns->create_leaf(lib.patterns->owner, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE,
                                  CkvString("riff"), MseqDescPath("<book>riff.kvnl"));
    MseqObject* linked = lib.room->link_leaf(riff, lib.songs->owner, MPLACE_LAST_CHILD);
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(linked->type, MTYPE_LEAF_PHRASE);
    EXPECT_EQ(linked->name.str(), "riff");
    // Relative to the music book's file, which lies one folder up from the phrase.
    EXPECT_EQ(linked->path.str(), "<book>.\\pat\\riff.kvnl");
    MseqFullPath a, b;
    ASSERT_TRUE(mseq_path::resolve(riff, false, &a));
    ASSERT_TRUE(mseq_path::resolve(linked, false, &b));
    EXPECT_EQ(a, b);

    MseqObject* song = lib.songs->create_leaf(lib.songs->owner, MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC,
                                              CkvString("s"), MseqDescPath("<book>s.kvnl"));
    EXPECT_EQ(lib.room->link_leaf(song, lib.songs->owner, MPLACE_LAST_CHILD), nullptr);
    MseqObject* inline_riff =
        lib.patterns->create_leaf(lib.patterns->owner, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE,
                                  CkvString("w"), MseqDescPath("<with>"));
    EXPECT_EQ(lib.room->link_leaf(inline_riff, lib.songs->owner, MPLACE_LAST_CHILD), nullptr);
}

TEST(LibraryOps, RenameAndMarkTheFileThatStoresAnIdentifier) {
    Library lib;
    auto& desk = MseqDesk::instance();
    MseqObject* leaf = lib.songs->create_leaf(lib.songs->owner, MPLACE_LAST_CHILD,
                                              MTYPE_LEAF_FOLDER, CkvString("f"), MseqDescPath());
    ASSERT_TRUE(lib.room->rename(MID_ROOM, CkvString("New")));
    EXPECT_EQ(lib.node.name.str(), "New");
    EXPECT_EQ(lib.room->name.str(), "New");
    ASSERT_TRUE(lib.room->rename(lib.songs->owner->id, CkvString("Songs")));
    EXPECT_EQ(lib.songs->name.str(), "Songs");
    EXPECT_TRUE(desk.modified.count(lib.songs));
    desk.clear_modified(lib.songs);
    ASSERT_TRUE(lib.room->rename(leaf->id, CkvString("Folder")));
    EXPECT_EQ(leaf->name.str(), "Folder");
    EXPECT_FALSE(desk.modified.count(lib.songs));  // the caller marks it
    ASSERT_TRUE(lib.room->mark_file_modified(leaf->id));
    EXPECT_TRUE(desk.modified.count(lib.songs));
    ASSERT_TRUE(lib.room->mark_file_modified(lib.patterns->owner->id));
    EXPECT_TRUE(desk.modified.count(lib.room));
    EXPECT_FALSE(lib.room->rename(0x7F010001, CkvString("x")));
    EXPECT_FALSE(lib.room->mark_file_modified(0x7F010001));
}

}  // namespace library_ops_test
