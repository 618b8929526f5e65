#include "model/core/MseqId.h"

#include <gtest/gtest.h>

#include "model/core/MseqType.h"
#include "platform/TextCodec.h"

namespace identifier_test {

TEST(Identifier, ValidityForTypes) {
    struct Case {
        MSEQ_ID id;
        MSEQ_TYPE type;
        bool valid;
    };
    const Case cases[] = {
        {0x80000001, MTYPE_ROOM, true},
        {0x80000002, MTYPE_ROOM, false},
        {0x00000001, MTYPE_ROOM, false},
        // Books: file number 16 to 2032, serial exactly 1.
        {0x01000001, MTYPE_BOOK_MUSIC, true},
        {0x7F000001, MTYPE_BOOK_LIBRARY, true},
        {0x01000002, MTYPE_BOOK_MUSIC, false},
        {0x00F00001, MTYPE_BOOK_MUSIC, false},  // file number 15
        {0x7F100001, MTYPE_BOOK_MUSIC, false},  // file number 2033
        {0x81000001, MTYPE_BOOK_MUSIC, false},  // bit 31
        // Leaves in a book: any type, any serial but 0.
        {0x01010001, MTYPE_LEAF_MUSIC, true},
        {0x01000001, MTYPE_LEAF_FOLDER, true},
        {0x01000000, MTYPE_LEAF_FOLDER, false},
        {0x00E10001, MTYPE_LEAF_FOLDER, false},  // detached copies are not a place for new nodes
        // Tracks: the fixed serials belong to their types, both ways round.
        {0x100011, MTYPE_TRACK_HEADER, true},
        {0x100011, MTYPE_TRACK_NOTE, false},
        {0x110011, MTYPE_TRACK_HEADER, true},
        {0x110011, MTYPE_TRACK_NOTE, true},
        {0x100001, MTYPE_TRACK_ROOT_MUSIC, true},
        {0x100001, MTYPE_TRACK_ROOT_PHRASE, true},
        {0x100002, MTYPE_TRACK_ROOT_MUSIC, true},  // fixed serials bind the serial, not the type
        {0x100001, MTYPE_TRACK_NOTE, false},
        {0x100012, MTYPE_TRACK_DETAIL, true},
        {0x100105, MTYPE_TRACK_LYRIC, true},
        {0x100106, MTYPE_TRACK_MARKER, true},
        {0x100105, MTYPE_TRACK_MARKER, false},
        {0x100251, MTYPE_TRACK_TEMPO, true},
        {0x100251, MTYPE_TRACK_MSG, false},
        {0x110001, MTYPE_TRACK_NOTE, true},
        {0x200001, MTYPE_TRACK_NOTE, false},  // file number 2 is only for references
        // Other categories never.
        {0x110001, 0x80101, false},
        {0x110001, MTYPE_CONFIG, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(mseq_id_valid(c.id, c.type), c.valid) << std::hex << c.id << " " << c.type;
    }
}

TEST(Identifier, Parts) {
    EXPECT_EQ(mseq_file_number(0x7F000001), 2032u);
    EXPECT_EQ(mseq_serial(0x7F012345), 0x12345u);
    EXPECT_EQ(mseq_file_number(MID_ROOM), 0u);
    EXPECT_EQ(mseq_with_file_number(0x100123, 2), 0x200123u);
    EXPECT_EQ(mseq_book_id(256), 0x10000001u);
}

TEST(Identifier, OwnBookAndOwnTrackForms) {
    struct Case {
        MSEQ_ID id, own_book, own_track;
    };
    const Case cases[] = {
        {0x7F012345, 0x212345, 0x112345},  // a leaf of book 2032
        {0x100007, 0x200007, 0x100007},    // a track
        {0x200007, 0x200007, 0x100007},    // already in the own-book form
        {MID_ROOM, 0x200001, 0x100001},    // the room's bit 31 does not survive
        {0, 0x200000, 0x100000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(mseq_own_book_id(c.id), c.own_book) << std::hex << c.id;
        EXPECT_EQ(mseq_own_track_id(c.id), c.own_track) << std::hex << c.id;
    }
}

TEST(ObjectType, DisplayNamesAndConstants) {
    using kv_codec::cp932_from_utf8;
    struct Case {
        MSEQ_TYPE type;
        const char* display;
        const char* constant;
    };
    const Case cases[] = {
        {MTYPE_ROOM, "ライブラリ", "MTYPE_ROOM"},
        {MTYPE_LEAF_FOLDER, "フォルダ", "MTYPE_LEAF_FOLDER"},
        {MTYPE_TRACK_ROOT_PHRASE, "フレーズ", "MTYPE_TRACK_ROOT_PHRASE"},
        {MTYPE_TRACK_CHORD_MAP, "転調トラック", nullptr},
        {MTYPE_LEAF_SCALE, "タイプ不明", "MTYPE_LEAF_SCALE"},
        {MTYPE_TRACK_LABEL, "タイプ不明", "MTYPE_TRACK_LABEL"},
        {MTYPE_CONFIG, "タイプ不明", "MTYPE_CONFIG"},
        {0x31000, "タイプ不明", nullptr},
        {0x12345, "タイプ不明", nullptr},
        {0, "タイプ不明", nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(mseq_type_name(c.type).str(), cp932_from_utf8(c.display)) << std::hex << c.type;
        if (c.constant) {
            EXPECT_STREQ(mseq_type_constant(c.type), c.constant);
            EXPECT_EQ(mseq_type_from_constant(c.constant), c.type);
        } else {
            EXPECT_EQ(mseq_type_constant(c.type), nullptr);
        }
    }
    EXPECT_EQ(mseq_type_from_constant("MTYPE_NOPE"), 0u);
}

TEST(ObjectType, FixedSerials) {
    EXPECT_EQ(mseq_fixed_serial(MTYPE_BOOK_MUSIC), 1u);
    EXPECT_EQ(mseq_fixed_serial(MTYPE_TRACK_ROOT_PHRASE), 1u);
    EXPECT_EQ(mseq_fixed_serial(MTYPE_TRACK_HEADER), 0x11u);
    EXPECT_EQ(mseq_fixed_serial(MTYPE_TRACK_DETAIL), 0x12u);
    EXPECT_EQ(mseq_fixed_serial(MTYPE_TRACK_LYRIC), 0x105u);
    EXPECT_EQ(mseq_fixed_serial(MTYPE_TRACK_MARKER), 0x106u);
    EXPECT_EQ(mseq_fixed_serial(MTYPE_TRACK_TEMPO), 0x251u);
    EXPECT_EQ(mseq_fixed_serial(MTYPE_TRACK_NOTE), 0u);
    EXPECT_EQ(mseq_fixed_serial(MTYPE_TRACK_MEMO), 0u);
}

}  // namespace identifier_test
