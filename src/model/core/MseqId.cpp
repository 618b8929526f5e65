#include "model/core/MseqId.h"

namespace {

bool is_book_file(uint32_t file_number) {
    return file_number >= MFILE_BOOK_FIRST && file_number <= MFILE_BOOK_LAST;
}

// In a track space each fixed serial is reserved for its own type: no other type may take it.
// A fixed type with another serial is still accepted (0x110011 is a valid header identifier).
bool fixed_track_serials_match(uint32_t serial, MSEQ_TYPE type) {
    switch (serial) {
        case 1:
            return type == MTYPE_TRACK_ROOT_MUSIC || type == MTYPE_TRACK_ROOT_PHRASE;
        case 0x11:
            return type == MTYPE_TRACK_HEADER;
        case 0x12:
            return type == MTYPE_TRACK_DETAIL;
        case 0x105:
            return type == MTYPE_TRACK_LYRIC;
        case 0x106:
            return type == MTYPE_TRACK_MARKER;
        case 0x251:
            return type == MTYPE_TRACK_TEMPO;
        default:
            return true;
    }
}

}  // namespace

bool mseq_id_valid(MSEQ_ID id, MSEQ_TYPE type) {
    const bool high_bit = (id & 0x80000000u) != 0;
    const uint32_t file = mseq_file_number(id);
    const uint32_t serial = mseq_serial(id);
    switch (mseq_type_category(type)) {
        case MCAT_ROOM:
            return id == MID_ROOM;
        case MCAT_BOOK:
            return !high_bit && is_book_file(file) && serial == 1;
        case MCAT_LEAF:
            if (high_bit || serial < 1 || serial > 0xFFFFF) return false;
            if (is_book_file(file)) return true;
            return file == MFILE_TRACKS && fixed_track_serials_match(serial, type);
        default:
            return false;
    }
}
