#pragma once

#include <cstdint>

// The kind codes of the editing layer's reference-counted objects: commands (0x8001xxxx), the
// editor's observer (0x80020001) and the editors (0x8003xxxx). The view picks its class by the
// editor's kind; the editor dispatches commands by theirs.
enum : uint32_t {
    // Leaf commands: changes of a music's track tree.
    MKIND_CMD_MUSIC = 0x80010100,
    MKIND_CMD_CREATE_LEAF = 0x80010101,
    MKIND_CMD_INSERT_LEAFS = 0x80010102,
    MKIND_CMD_DELETE_LEAFS = 0x80010103,
    MKIND_CMD_MOVE_LEAFS = 0x80010104,
    MKIND_CMD_REPLACE_LEAFS = 0x80010105,
    MKIND_CMD_BOOK_LINK = 0x80010106,    // a link of the music's book, added or removed
    MKIND_CMD_CHORD_LINKS = 0x80010107,  // the music's standard chord map and chord track
    MKIND_CMD_STORE_LEAFS = 0x80011101,  // copy only, never undone
    // Track commands: the first parameter is always the target track's identifier.
    MKIND_CMD_TRACK = 0x80010160,
    MKIND_CMD_SPACE_SEQS = 0x80010161,
    MKIND_CMD_ERASE_SEQS = 0x80010162,
    MKIND_CMD_CUT_SEQS = 0x80010163,
    MKIND_CMD_INSERT_SEQS = 0x80010164,
    MKIND_CMD_COVER_SEQS = 0x80010165,
    MKIND_CMD_REPLACE_SEQS = 0x80010166,
    MKIND_CMD_SET_BLOCK = 0x8001016A,
    MKIND_CMD_SET_PROPERTY = 0x8001016B,
    MKIND_CMD_STORE_SEQS = 0x80011141,      // copy only, never undone
    MKIND_CMD_STORE_CUT_SEQS = 0x80011142,  // copy, then a cut that records its own undo
    // The observer a music editor attaches to its music.
    MKIND_NOTIFY_MUSIC = 0x80020001,
    // Editors.
    MKIND_EDT_MAP_CHORD = 0x80030101,
    MKIND_EDT_MAP_STAGE = 0x80030201,
    MKIND_EDT_MUSIC = 0x80030301,
    MKIND_EDT_MUSIC_INVOKER = 0x80030302,
};
