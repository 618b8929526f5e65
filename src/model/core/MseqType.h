#pragma once

#include <cstdint>

#include "model/core/CkvString.h"

// Object type codes. A code names both a stored kind and a class; bits 16-23 are its category.
using MSEQ_TYPE = uint32_t;

enum : MSEQ_TYPE {
    MTYPE_EMPTY = 1,  // the shared placeholder entity
    MTYPE_ROOM = 0x10000,
    MTYPE_BOOK = 0x20000,  // any book
    MTYPE_BOOK_LIBRARY = 0x20001,
    MTYPE_BOOK_MUSIC = 0x20002,
    MTYPE_LEAF_FOLDER = 0x30011,
    MTYPE_LEAF_MUSIC = 0x30012,
    MTYPE_LEAF_PHRASE = 0x30013,
    MTYPE_LEAF_CHORD = 0x30021,
    MTYPE_LEAF_STAGE = 0x30022,
    MTYPE_LEAF_SCALE = 0x30031,
    MTYPE_TRACK = 0x31000,  // any track
    MTYPE_TRACK_ROOT_MUSIC = 0x31001,
    MTYPE_TRACK_ROOT_PHRASE = 0x31002,
    MTYPE_TRACK_HEADER = 0x31011,
    MTYPE_TRACK_DETAIL = 0x31012,
    MTYPE_TRACK_GROUP = 0x31021,
    MTYPE_TRACK_TEXT = 0x31031,
    MTYPE_TRACK_CHORD = 0x31041,
    MTYPE_TRACK_REFER = 0x31081,
    MTYPE_TRACK_NOTE = 0x31082,
    MTYPE_TRACK_LABEL = 0x31180,  // any label track
    MTYPE_TRACK_LYRIC = 0x31105,
    MTYPE_TRACK_MARKER = 0x31106,
    MTYPE_TRACK_MEMO = 0x31190,
    MTYPE_TRACK_VALUE = 0x31200,  // any value track
    MTYPE_TRACK_TEMPO = 0x31251,
    MTYPE_TRACK_MSG = 0x31252,
    MTYPE_TRACK_LINK = 0x31300,  // any link track
    MTYPE_TRACK_CHORD_MAP = 0x31321,
    MTYPE_CONFIG = 0x7F0008,
};

// Type categories (bits 16-23 of a type).
enum : uint32_t {
    MCAT_ROOM = 0x01,
    MCAT_BOOK = 0x02,
    MCAT_LEAF = 0x03,  // leaves and tracks
    MCAT_BLOCK = 0x08,
    MCAT_CONFIG = 0x7F,
};

constexpr uint32_t mseq_type_category(MSEQ_TYPE type) {
    return (type >> 16) & 0xFF;
}

// The name a node of this type shows when its own name is empty: CP932 bytes; "タイプ不明"
// for a type without a display name. Any thread.
const CkvString& mseq_type_name(MSEQ_TYPE type);

// The `MTYPE_*` constant name of a type as it is written in files and listings ("MTYPE_ROOM"),
// or nullptr for a type that has no constant. Any thread.
const char* mseq_type_constant(MSEQ_TYPE type);

// The type whose `MTYPE_*` constant is `name`; 0 when there is none. Any thread.
MSEQ_TYPE mseq_type_from_constant(std::string_view name);

// The serial a node of this type takes when it is created without a requested identifier: 1 for
// books and root tracks, the fixed serials of header, part, lyric, marker and tempo tracks, and 0
// (allocate) for every other type. Any thread.
uint32_t mseq_fixed_serial(MSEQ_TYPE type);
