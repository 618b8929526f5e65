#include "model/core/MseqObject.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "model/track/MseqTrackRoot.h"
#include "platform/TextCodec.h"

namespace object_tree_test {

using kv_codec::cp932_from_utf8;

std::unique_ptr<MseqObject> node(MSEQ_ID id, MSEQ_TYPE type, const char* name) {
    return std::make_unique<MseqObject>(id, type, CkvString(name), MseqDescPath());
}

// Names of the children of `parent`, first to last, checking the back links on the way.
std::string children(const MseqObject* parent) {
    std::string out;
    const MseqObject* prev = nullptr;
    for (const MseqObject* c = parent->first_child(); c; c = c->next()) {
        EXPECT_EQ(c->parent(), parent);
        EXPECT_EQ(c->prev(), prev);
        out += c->name;
        prev = c;
    }
    EXPECT_EQ(parent->last_child(), prev);
    return out;
}

TEST(ObjectTree, EmptyNameTakesDisplayName) {
    MseqObject folder(0x01010001, MTYPE_LEAF_FOLDER, CkvString(), MseqDescPath());
    EXPECT_EQ(folder.name.str(), cp932_from_utf8("フォルダ"));
    MseqObject odd(0x01010002, 0x30099, CkvString(), MseqDescPath());
    EXPECT_EQ(odd.name.str(), cp932_from_utf8("タイプ不明"));
    MseqObject empty;
    EXPECT_EQ(empty.id, 0u);
    EXPECT_EQ(empty.type, 0u);
    EXPECT_TRUE(empty.name.empty());
}

TEST(ObjectTree, LinkPlacesAndPositionOfRestores) {
    auto top = node(0x01000001, MTYPE_BOOK_MUSIC, "B");
    MseqObject* a = node(0x01010001, MTYPE_LEAF_FOLDER, "a").release();
    MseqObject* b = node(0x01010002, MTYPE_LEAF_FOLDER, "b").release();
    MseqObject* c = node(0x01010003, MTYPE_LEAF_FOLDER, "c").release();
    MseqObject* d = node(0x01010004, MTYPE_LEAF_FOLDER, "d").release();
    ASSERT_TRUE(mseq_link(top.get(), b, MPLACE_LAST_CHILD));
    ASSERT_TRUE(mseq_link(top.get(), a, MPLACE_FIRST_CHILD));
    ASSERT_TRUE(mseq_link(b, d, MPLACE_AFTER));
    ASSERT_TRUE(mseq_link(d, c, MPLACE_BEFORE));
    EXPECT_EQ(children(top.get()), "abcd");

    // Placing a node where it already is changes nothing.
    EXPECT_TRUE(mseq_link(b, c, MPLACE_AFTER));
    EXPECT_TRUE(mseq_link(top.get(), a, MPLACE_FIRST_CHILD));
    EXPECT_EQ(children(top.get()), "abcd");

    // Move c into a, then back where position_of said it was.
    MseqPosition pos = mseq_position_of(c);
    EXPECT_EQ(pos.anchor, b);
    EXPECT_EQ(pos.place, MPLACE_AFTER);
    ASSERT_TRUE(mseq_link(a, c, MPLACE_LAST_CHILD));
    EXPECT_EQ(children(top.get()), "abd");
    EXPECT_EQ(children(a), "c");
    EXPECT_EQ(mseq_position_of(c).anchor, a);
    EXPECT_EQ(mseq_position_of(c).place, MPLACE_FIRST_CHILD);
    ASSERT_TRUE(mseq_link(pos.anchor, c, pos.place));
    EXPECT_EQ(children(top.get()), "abcd");
    EXPECT_EQ(children(a), "");
    EXPECT_EQ(mseq_position_of(top.get()).place, MPLACE_NONE);
}

TEST(ObjectTree, LinkRefusesCyclesAndBadCodes) {
    auto top = node(0x01000001, MTYPE_BOOK_MUSIC, "B");
    MseqObject* outer = node(0x01010001, MTYPE_LEAF_FOLDER, "o").release();
    MseqObject* inner = node(0x01010002, MTYPE_LEAF_FOLDER, "i").release();
    MseqObject* leaf = node(0x01010003, MTYPE_LEAF_PHRASE, "p").release();
    ASSERT_TRUE(mseq_link(top.get(), outer, MPLACE_LAST_CHILD));
    ASSERT_TRUE(mseq_link(outer, inner, MPLACE_LAST_CHILD));
    ASSERT_TRUE(mseq_link(inner, leaf, MPLACE_LAST_CHILD));

    // A folder into its own sub-folder, or next to a node inside it, or onto itself.
    EXPECT_FALSE(mseq_link(inner, outer, MPLACE_LAST_CHILD));
    EXPECT_FALSE(mseq_link(leaf, outer, MPLACE_AFTER));
    EXPECT_FALSE(mseq_link(outer, outer, MPLACE_FIRST_CHILD));
    EXPECT_FALSE(mseq_link(top.get(), leaf, 0));
    EXPECT_FALSE(mseq_link(top.get(), leaf, 5));
    // The top has no parent, so nothing can go beside it.
    EXPECT_FALSE(mseq_link(top.get(), leaf, MPLACE_AFTER));
    EXPECT_EQ(children(top.get()), "o");
    EXPECT_EQ(children(outer), "i");
    EXPECT_EQ(children(inner), "p");
}

TEST(ObjectTree, AncestorsAndDisplayPath) {
    auto room = node(MID_ROOM, MTYPE_ROOM, "Lib");
    MseqObject* book = node(0x01000001, MTYPE_BOOK_MUSIC, "Book").release();
    MseqObject* folder = node(0x01010001, MTYPE_LEAF_FOLDER, "Folder").release();
    MseqObject* leaf = node(0x01010002, MTYPE_LEAF_PHRASE, "Riff").release();
    mseq_link(room.get(), book, MPLACE_LAST_CHILD);
    mseq_link(book, folder, MPLACE_LAST_CHILD);
    mseq_link(folder, leaf, MPLACE_LAST_CHILD);

    EXPECT_EQ(mseq_find_book_ancestor(leaf), book);
    EXPECT_EQ(mseq_find_book_ancestor(book), book);
    EXPECT_EQ(mseq_find_room_ancestor(leaf), room.get());
    EXPECT_EQ(mseq_find_book_ancestor(room.get()), nullptr);
    EXPECT_TRUE(mseq_is_ancestor_or_self(folder, leaf));
    EXPECT_TRUE(mseq_is_ancestor_or_self(leaf, leaf));
    EXPECT_FALSE(mseq_is_ancestor_or_self(leaf, folder));

    EXPECT_EQ(leaf->display_path().str(), "Book/Folder/Riff");
    EXPECT_EQ(book->display_path().str(), "Lib/Book");
    EXPECT_EQ(room->display_path().str(), "Lib");
}

TEST(ObjectTree, Containment) {
    MseqMusic music(nullptr);
    MseqPhrase phrase;
    auto book_music = node(0x01000001, MTYPE_BOOK_MUSIC, "M");
    auto book_pattern = node(0x01100001, MTYPE_BOOK_LIBRARY, "P");
    auto folder = node(0x01100002, MTYPE_LEAF_FOLDER, "F");
    auto room = node(MID_ROOM, MTYPE_ROOM, "R");
    auto group =
        std::make_unique<MseqObject>(0x110001, MTYPE_TRACK_GROUP, CkvString(), MseqDescPath());
    auto note =
        std::make_unique<MseqObject>(0x110002, MTYPE_TRACK_NOTE, CkvString(), MseqDescPath());
    struct Case {
        const MseqObject* parent;
        MSEQ_TYPE child;
        bool ok;
    };
    const Case cases[] = {
        {room.get(), MTYPE_BOOK_MUSIC, true},
        {room.get(), MTYPE_BOOK_LIBRARY, true},
        {room.get(), MTYPE_LEAF_MUSIC, false},
        {room.get(), 0, true},
        {book_music.get(), MTYPE_LEAF_MUSIC, true},
        {book_music.get(), MTYPE_LEAF_STAGE, true},
        {book_pattern.get(), MTYPE_LEAF_MUSIC, false},
        {book_pattern.get(), MTYPE_LEAF_PHRASE, true},
        {folder.get(), MTYPE_LEAF_MUSIC, false},  // musics only directly in music books
        {folder.get(), MTYPE_LEAF_FOLDER, true},
        {folder.get(), MTYPE_LEAF_SCALE, false},
        {music.root(), MTYPE_TRACK_HEADER, true},
        {music.root(), MTYPE_TRACK_NOTE, false},
        {phrase.root(), MTYPE_TRACK_DETAIL, true},
        // A chord track goes under a music's header, never under a phrase's.
        {music.header(), MTYPE_TRACK_CHORD, true},
        {phrase.header(), MTYPE_TRACK_CHORD, false},
        {phrase.header(), MTYPE_TRACK_MARKER, true},
        {phrase.header(), MTYPE_TRACK_TEMPO, false},
        {music.header(), MTYPE_TRACK_TEMPO, true},
        {music.header(), MTYPE_TRACK_NOTE, false},
        {music.header(), MTYPE_TRACK_LABEL, false},
        {music.detail(), MTYPE_TRACK_GROUP, true},
        {phrase.detail(), MTYPE_TRACK_GROUP, false},
        {phrase.detail(), MTYPE_TRACK_NOTE, true},
        {phrase.detail(), MTYPE_TRACK_REFER, false},
        {music.detail(), MTYPE_TRACK_VALUE, false},
        {music.detail(), MTYPE_TRACK_MSG, true},
        {music.detail(), MTYPE_TRACK_LINK, false},
        {group.get(), MTYPE_TRACK_GROUP, false},  // groups do not nest
        {group.get(), 0, true},
        {note.get(), MTYPE_TRACK_TEXT, false},
        {note.get(), 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(mseq_can_contain(c.parent, c.child), c.ok)
            << std::hex << c.parent->type << " <- " << c.child;
    }
}

TEST(ObjectTree, DestroyingANodeUnlinksItAndItsChildren) {
    auto top = node(0x01000001, MTYPE_BOOK_MUSIC, "B");
    MseqObject* a = node(0x01010001, MTYPE_LEAF_FOLDER, "a").release();
    MseqObject* b = node(0x01010002, MTYPE_LEAF_FOLDER, "b").release();
    MseqObject* c = node(0x01010003, MTYPE_LEAF_FOLDER, "c").release();
    mseq_link(top.get(), a, MPLACE_LAST_CHILD);
    mseq_link(top.get(), b, MPLACE_LAST_CHILD);
    mseq_link(top.get(), c, MPLACE_LAST_CHILD);
    mseq_link(b, node(0x01010004, MTYPE_LEAF_FOLDER, "x").release(), MPLACE_LAST_CHILD);
    delete b;  // the sanitizer catches a child left behind or a dangling link
    EXPECT_EQ(children(top.get()), "ac");
    delete a;
    delete c;
    EXPECT_EQ(top->first_child(), nullptr);
    EXPECT_EQ(top->last_child(), nullptr);
}

}  // namespace object_tree_test
