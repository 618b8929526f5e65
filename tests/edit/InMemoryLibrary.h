#pragma once

// A library held in memory for the editing tests: one music book holding a music, a chord map
// and a phrase (all stored inside the book's file), loaded through the desk as the program
// would load them.
#include <gtest/gtest.h>

#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "model/theory/MseqMapChord.h"

struct InMemoryLibrary {
    InMemoryLibrary()
        : node(MID_ROOM, MTYPE_ROOM, CkvString("Lib"), MseqDescPath("D:\\lib\\library.kvnr")) {
        room = new MseqRoom(&node);
        node.attach(room);
        MseqObject* b = room->create_book(&node, MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC,
                                          CkvString("songs"), MseqDescPath("<room>songs.kvnb"));
        mseq_factory(b);
        book = b->entity()->cast_to<MseqBook>(MTYPE_BOOK);
        song_node = leaf(MTYPE_LEAF_MUSIC, "song");
        map_node = leaf(MTYPE_LEAF_CHORD, "keys");
        phrase_node = leaf(MTYPE_LEAF_PHRASE, "riff");
        song_ref = mseq_open(song_node);
        song = song_ref->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        map_ref = mseq_open(map_node);
        map = map_ref->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD);
        phrase_ref = mseq_open(phrase_node);
        phrase = phrase_ref->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    }
    ~InMemoryLibrary() { MseqDesk::instance().modified.clear(); }

    MseqObject* leaf(MSEQ_TYPE type, const char* name) {
        MseqObject* n = book->create_leaf(book->owner, MPLACE_LAST_CHILD, type, CkvString(name),
                                          MseqDescPath("<with>"));
        EXPECT_NE(n, nullptr) << name;
        return n;
    }
    // The reference a music stores for a leaf of its own book.
    static MSEQ_ID ref(const MseqObject* leaf) { return (leaf->id & 0xFFFFF) + 0x200000; }

    MseqObject node;
    MseqRoom* room = nullptr;
    MseqBook* book = nullptr;
    MseqObject* song_node = nullptr;
    MseqObject* map_node = nullptr;
    MseqObject* phrase_node = nullptr;
    ref_ptr<MseqEntity> song_ref, map_ref, phrase_ref;
    MseqMusic* song = nullptr;
    MseqMapChord* map = nullptr;
    MseqMusic* phrase = nullptr;
};
