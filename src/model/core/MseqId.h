#pragma once

#include <cstdint>

#include "model/core/MseqType.h"

// Object identifiers: bit 31 only in the room's identifier; bits 20-30 the file number; bits
// 0-19 the serial.
using MSEQ_ID = uint32_t;

enum : MSEQ_ID {
    MID_ROOM = 0x80000001,
    MID_TRACK_ROOT = 0x100001,
    MID_TRACK_HEADER = 0x100011,
    MID_TRACK_DETAIL = 0x100012,
    MID_TRACK_LYRIC = 0x100105,
    MID_TRACK_MARKER = 0x100106,
    MID_TRACK_TEMPO = 0x100251,
};

// File numbers with a meaning of their own.
enum : uint32_t {
    MFILE_TRACKS = 1,     // the track space of one music or phrase
    MFILE_OWN_BOOK = 2,   // a reference stored in a music: the book the music belongs to
    MFILE_DETACHED = 14,  // a detached snapshot of tracks outside any music
    MFILE_BOOK_FIRST = 16,
    MFILE_BOOK_LAST = 2032,
};

constexpr uint32_t mseq_file_number(MSEQ_ID id) {
    return (id >> 20) & 0x7FF;
}
constexpr uint32_t mseq_serial(MSEQ_ID id) {
    return id & 0xFFFFF;
}
constexpr MSEQ_ID mseq_make_id(uint32_t file_number, uint32_t serial) {
    return ((file_number & 0x7FF) << 20) | (serial & 0xFFFFF);
}
constexpr MSEQ_ID mseq_with_file_number(MSEQ_ID id, uint32_t file_number) {
    return (id & 0x800FFFFF) | ((file_number & 0x7FF) << 20);
}
constexpr MSEQ_ID mseq_book_id(uint32_t file_number) {
    return mseq_make_id(file_number, 1);
}
// The form in which a music names a leaf of its own book: the leaf's serial in file number 2,
// whatever book number `id` carries. Any thread.
constexpr MSEQ_ID mseq_own_book_id(MSEQ_ID id) {
    return mseq_make_id(MFILE_OWN_BOOK, mseq_serial(id));
}
// The form in which a music or phrase names one of its own tracks: the serial in file number 1.
// Any thread.
constexpr MSEQ_ID mseq_own_track_id(MSEQ_ID id) {
    return mseq_make_id(MFILE_TRACKS, mseq_serial(id));
}

// True when `id` may be given to a new node of `type`: the room's fixed identifier, a book's
// (file number, serial 1), a leaf in a book, or a track whose fixed serials match its type.
// Any thread.
bool mseq_id_valid(MSEQ_ID id, MSEQ_TYPE type);
