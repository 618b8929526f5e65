// Records of numbers kept packed as rows: the same records, the same errors at the same places
// and the same entities as without packing, in far less memory.
#include "text/AnalyzeRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "model/library/MseqMusic.h"
#include "text/AnalyzeErrors.h"
#include "text/AnalyzeFields.h"
#include "text/AnalyzeRecord.h"
#include "text/LoadWrite.h"
#include "text/MrecCompiler.h"
#include "text/MrecReader.h"
#include "text/SampleMusic.h"

namespace packed_rows_test {

const char kHeader[] =
    "KORVANTE-TEXT-TYPE\r\n"
    "header { soft_version = 0x000a0200; data_version = 0x0100000d; target = \"leaf\";\r\n"
    " type = \"MTYPE_LEAF_SCALE\"; name = \"s\"; }\r\n";

std::string file(const std::string& statements) {
    return std::string(kHeader) + statements;
}

// Everything a reader can see of a cell and a record, numbers to the last bit.
std::string dump(const AnalyzeRecord& record);

std::string dump(const analyze_value& v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "k%x.%x:", v.kind_word(), v.aux());
    std::string out = buffer;
    if (v.is_number()) {
        std::snprintf(buffer, sizeof buffer, "%a", v.number());
        out += buffer;
    } else if (v.is_string()) {
        out += "\"" + std::string(v.text()) + "\"";
    } else if (const AnalyzeRecord* r = v.record()) {
        out += dump(*r);
    }
    return out;
}

std::string dump(const AnalyzeRecord& record) {
    std::string out = "[";
    for (const auto& [name, value] : record.attributes())
        out += "@" + name + "=" + dump(value) + ";";
    out += "{";
    for (std::size_t i = 0; i < record.size(); ++i)
        out += dump(*record.item(i)) + ";";
    return out + "}]";
}

struct Read {
    bool ok = false;
    MrecReadResult result;
};

void read(const std::string& text, bool pack, Read& out) {
    MrecReader reader;
    reader.set_pack_rows(pack);
    EXPECT_EQ(reader.packs_rows(), pack);
    out.ok = reader.parse_file_text(text.c_str(), text.size() + 1, out.result);
}

// The number of records in `record` and below whose items are kept as rows.
int packed_records(const AnalyzeRecord& record) {
    int n = record.has_rows() ? 1 : 0;
    if (record.has_rows()) return n;  // rows hold numbers only
    for (const analyze_value& v : record.items())
        if (const AnalyzeRecord* r = v.record()) n += packed_records(*r);
    return n;
}

TEST(PackedRows, NumbersReadBackExactly) {
    const double values[] = {0,
                             1,
                             -1,
                             63,
                             64,
                             -64,
                             -65,
                             127,
                             128,
                             255,
                             -129,
                             2147483647.0,
                             -2147483648.0,
                             4294967295.0,
                             4294967296.0,
                             9007199254740992.0,
                             -9007199254740992.0};
    AnalyzeRows rows;
    std::vector<analyze_value> cells(std::size(values));
    for (std::size_t i = 0; i < std::size(values); ++i) {
        cells[i].set_number(values[i]);
        ASSERT_TRUE(AnalyzeRows::fits(cells[i])) << values[i];
    }
    ASSERT_TRUE(rows.append(cells.data(), cells.size()));
    ASSERT_TRUE(rows.append(cells.data(), 0));  // an empty row is a row too
    ASSERT_TRUE(rows.append(cells.data() + 3, 2));
    ASSERT_EQ(rows.size(), 3u);

    std::pmr::vector<analyze_value> out;
    rows.read(0, out);
    ASSERT_EQ(out.size(), std::size(values));
    for (std::size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(out[i].kind_word(), AVK_NUMBER);
        EXPECT_EQ(out[i].number(), values[i]);
    }
    rows.read(1, out);
    EXPECT_TRUE(out.empty());
    rows.read(2, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].number(), 63.0);
    EXPECT_EQ(out[1].number(), 64.0);

    // A copy holds the same rows.
    AnalyzeRows copy(rows, nullptr);
    copy.read(0, out);
    EXPECT_EQ(out.back().number(), -9007199254740992.0);
}

TEST(PackedRows, OnlyWhatReadsBackUnchangedFits) {
    auto number = [](double d) {
        analyze_value v;
        v.set_number(d);
        return v;
    };
    EXPECT_TRUE(AnalyzeRows::fits(number(0.0)));
    EXPECT_FALSE(AnalyzeRows::fits(number(-0.0)));
    EXPECT_FALSE(AnalyzeRows::fits(number(0.5)));
    EXPECT_FALSE(AnalyzeRows::fits(number(-2.25)));
    EXPECT_FALSE(AnalyzeRows::fits(number(9007199254740994.0)));
    EXPECT_FALSE(AnalyzeRows::fits(number(std::numeric_limits<double>::infinity())));
    EXPECT_FALSE(AnalyzeRows::fits(number(std::nan(""))));
    analyze_value read_only = number(3);
    read_only.set_read_only(true);
    EXPECT_FALSE(AnalyzeRows::fits(read_only));
    analyze_value text;
    text.set_string("3");
    EXPECT_FALSE(AnalyzeRows::fits(text));
    EXPECT_FALSE(AnalyzeRows::fits(analyze_value()));
}

// Every shape of record reads to the same cells whether rows are packed or not; the blocks of
// a track are packed.
TEST(PackedRows, RecordsAreTheSameWithAndWithoutPacking) {
    struct Shape {
        const char* main;
        int packed;  // records kept as rows when packing
    };
    const Shape shapes[] = {
        {"{ @array; type=\"B\"; { { 0; 1; 2; } { 4; MTF; -3; } {} { 8; 0x10; 0b11; 010; } } }", 1},
        // A value, a string or a record with attributes among rows: no rows for that record.
        {"{ @array; type=\"B\"; { { 0; 1; } { 4; 5; } 7; { 8; 9; } } }", 0},
        {"{ @array; type=\"B\"; { { 0; 1; } { 4; \"x\"; } { 8; 9; } } }", 0},
        {"{ @array; type=\"B\"; { { 0; 1; } @null;{} { 8; 9; } } }", 0},
        {"{ @array; type=\"B\"; { 1; { 0; 1; } { 8; 9; } } }", 0},
        // Numbers that would not read back the same keep their records.
        {"{ @array; type=\"B\"; { { 0; 1; } { -0; 1; } } }", 0},
        {"{ @array; type=\"B\"; { { 0; 1.5; } { 2; 1; } } }", 0},
        {"{ @array; type=\"B\"; { { 0; 0x100000000000000; } } }", 0},
        {"{ @array; type=\"B\"; { { 0; 1 + 2; 3 | 4; -MTF; ~0; } } }", 1},
        // An `@` record without attributes is a record like `{`.
        {"{ @array; type=\"B\"; { @{ 1; } { 2; } } }", 1},
        // A record holding rows is no row itself; the rows inside it are packed.
        {"{ { { 3; } { 4; } } { 5; } }", 1},
        {"{ { 1; 2; } { 3; } }", 1},
        {"{ @array; type=\"C\"; { { 0; \"C\"; @array; type=\"K\"; { { 1; 2; } { 3; 4; } } }"
         " { 1; \"D\"; @array; type=\"K\"; { { 5; 6; } } } } }",
         2},
        {"{ \"title\"; { 1; 2; } }", 0},
        {"{ }", 0},
    };
    for (const Shape& s : shapes) {
        const std::string text =
            file("define { MTF = 1; } data main; type=\"X\"; " + std::string(s.main) + " tail");
        Read plain, packed;
        read(text, false, plain);
        read(text, true, packed);
        ASSERT_TRUE(plain.ok) << s.main << " " << plain.result.error;
        ASSERT_TRUE(packed.ok) << s.main;
        // Counted before the dumps below unpack whatever they look at.
        EXPECT_EQ(packed_records(*packed.result.main), s.packed) << s.main;
        EXPECT_EQ(packed_records(*plain.result.main), 0) << s.main;
        EXPECT_EQ(dump(*packed.result.main), dump(*plain.result.main)) << s.main;
    }
}

// A damaged text fails with the same code at the same line and column either way.
TEST(PackedRows, DamagedTextFailsAtTheSamePlace) {
    const char* damaged[] = {
        "{ @array; type=\"B\"; { { 0; 1; } { 4; 5 } } }",
        "{ @array; type=\"B\"; { { 0; 1; } { 4; 09; } } }",
        "{ @array; type=\"B\"; { { 0; 1; }\r\n { 4; 5; }\r\n { 8; 1.2.3; } } }",
        "{ @array; type=\"B\"; { { 0; 1; } { 4; NOPE; } } }",
        "{ @array; type=\"B\"; { { 0; 1; } { 4; 5; } 6 } }",
        "{ @array; type=\"B\"; { { 0; 1; } { 4; 5; } \"open } }",
        "{ @array; type=\"B\"; { { 0; 1; } @x { } } }",
        "{ @array; type=\"B\"; { { 0; 1; } { 4; 5; }",
        "{ @array; type=\"B\"; { { 0; 1; } /* never closed",
        "{ @array; type=\"B\"; { { 0; 1; } { 2; 3 / 0; } } }",
    };
    for (const char* d : damaged) {
        const std::string text = file("data main; type=\"X\";\r\n" + std::string(d));
        Read plain, packed;
        read(text, false, plain);
        read(text, true, packed);
        EXPECT_FALSE(plain.ok) << d;
        EXPECT_FALSE(packed.ok) << d;
        EXPECT_NE(plain.result.error, 0u) << d;
        EXPECT_EQ(packed.result.error, plain.result.error) << d;
        EXPECT_EQ(packed.result.line, plain.result.line) << d;
        EXPECT_EQ(packed.result.column, plain.result.column) << d;
        EXPECT_EQ(packed.result.hint, plain.result.hint) << d;
    }
}

// Rows read by field name give what the records give, and a packed record reached some other
// way (as a nested record, by index, copied) is unpacked into the same records.
TEST(PackedRows, FieldReadersSeeTheSameValues) {
    const std::string text = file(
        "type name=\"NUM\"; base; {} type name=\"B\"; { NUM m_Index; NUM m_Value; }"
        "type name=\"T\"; { B m_Blocks array; B m_Other; }"
        "data main; type=\"T\"; { @array; type=\"B\"; { { 3; 30; } { 5; -50; } }"
        " { { 1; 2; } { 7; 8; } } }");
    for (bool pack : {false, true}) {
        Read r;
        read(text, pack, r);
        ASSERT_TRUE(r.ok) << pack;
        EXPECT_EQ(packed_records(*r.result.main), pack ? 2 : 0);
        AnalyzeFieldReader main(r.result.types, "T", *r.result.main);
        AnalyzeArrayReader blocks;
        ASSERT_TRUE(main.read_array("m_Blocks", blocks));
        ASSERT_EQ(blocks.size(), 2u);
        int32_t index = 0, value = 0;
        AnalyzeFieldReader b;
        ASSERT_TRUE(blocks.read_element(1, b));
        EXPECT_TRUE(b.read_int("m_Index", index));
        EXPECT_TRUE(b.read_int("m_Value", value));
        EXPECT_EQ(index, 5);
        EXPECT_EQ(value, -50);
        // An element past the last fails.
        AnalyzeFieldReader past;
        EXPECT_FALSE(blocks.read_element(2, past));
        EXPECT_EQ(main.error(), MREC_E_BAD_FIELD);
        // A row is a record, not a number.
        AnalyzeFieldReader again(r.result.types, "T", *r.result.main);
        AnalyzeArrayReader blocks_again;
        ASSERT_TRUE(again.read_array("m_Blocks", blocks_again));
        EXPECT_FALSE(blocks_again.read_int(0, index));
        EXPECT_EQ(again.error(), MREC_E_BAD_FIELD);

        // The second field holds rows too, read here as one record of type B: its items are
        // the records the rows stand for, so a number field there is of the wrong kind.
        AnalyzeFieldReader third(r.result.types, "T", *r.result.main);
        AnalyzeFieldReader other;
        ASSERT_TRUE(third.read_nested("m_Other", other));
        const AnalyzeRecord* first = nullptr;
        ASSERT_TRUE(other.read_record("m_Index", first));
        EXPECT_EQ(dump(*first), "[{k2.0:0x1p+0;k2.0:0x1p+1;}]");
        EXPECT_FALSE(other.read_int("m_Value", value));
        EXPECT_EQ(third.error(), MREC_E_BAD_FIELD);

        // Copies are deep and equal.
        auto copy = r.result.main->clone();
        EXPECT_EQ(dump(*copy), dump(*r.result.main));
    }
}

// The main record of every kind of track loads to the same music with packing or without, and
// writes back the same bytes.
TEST(PackedRows, MusicLoadsTheSameAndWritesTheSameBytes) {
    MseqMusic sample(nullptr);
    sample.name = CkvString("All");
    fill_sample_music(sample);
    auto* notes =
        add_track<MseqTrackNote>(sample, MID_TRACK_DETAIL, MTYPE_TRACK_NOTE, "Many notes");
    MseqBlockNote n;
    for (int i = 0; i < 300; ++i) {
        n.m_Type = static_cast<uint32_t>(1 + i % 5);
        n.m_Octave = static_cast<int8_t>(i % 9 - 4);
        n.m_Length = 1 + i % 3;
        n.m_Velocity = static_cast<uint8_t>(i % 256);
        n.m_STime = -i * 1000;
        notes->put_block(i * 3, n);
    }
    const std::string text = write(&sample);
    for (bool pack : {false, true}) {
        MseqMusic m(nullptr);
        MrecCompiler c;
        c.set_pack_rows(pack);
        ASSERT_TRUE(c.load_text(&m, text.c_str(), text.size() + 1)) << c.result.error;
        EXPECT_EQ(write(&m), text) << pack;
        ASSERT_NE(c.result.main, nullptr);
        EXPECT_EQ(packed_records(*c.result.main) > 0, pack);
    }
}

// A block that cannot be read fails the load with the same code either way, and the music keeps
// exactly the tracks and blocks read before it.
TEST(PackedRows, BadBlocksFailTheSameWay) {
    MseqMusic sample(nullptr);
    auto* notes = add_track<MseqTrackNote>(sample, MID_TRACK_DETAIL, MTYPE_TRACK_NOTE, "Notes");
    MseqBlockNote n;
    for (int i = 0; i < 4; ++i)
        notes->put_block(i * 2, n);
    auto* second = add_track<MseqTrackNote>(sample, MID_TRACK_DETAIL, MTYPE_TRACK_NOTE, "Two");
    second->put_block(0, n);
    const std::string text = write(&sample);
    const std::string good_block = "{  4; 0x00; MNBT_TONE; 1; 0; 0; 0; 0; 0; 100; }";
    ASSERT_NE(text.find(good_block), std::string::npos);
    const std::string bad_blocks[] = {
        "{  4; 0x00; MNBT_TONE; 1; 0; 0; 0; 0; 0; }",                      // an item short
        "{  4; 0x00; MNBT_TONE; 1; 0; 0; 0; 0; 0; 4294967296; }",          // out of range
        "{  4; 0x00; -1; 1; 0; 0; 0; 0; 0; 100; }",                        // unsigned field
        "{  4; 0x00; MNBT_TONE; 1; 0; 0; 0; 0; 0; \"x\"; }",               // a string
        "{  4; 0x00; MNBT_TONE; 1; 0; 0; 0; 0; 0; 100; { 1; } }",          // more items: fine
        "{  4294967296; 0x00; MNBT_TONE; 1; 0; 0; 0; 0; 0; 100; }",        // index out of range
        "{  2147483648; 0x00; MNBT_TONE; 1; 0; 0; 0; 0; 0; 100; }",        // past the last place
        "{  4; 0x00; MNBT_TONE; 1.5; 0; 0; 0; 0; 0; 100; }",               // truncated
        "{  4; 0x00; MNBT_TONE; 1; 0; 0; 0; 0; 0; 100; 1; 2; 3; 4; 5; }",  // ignored items
    };
    for (const std::string& bad : bad_blocks) {
        std::string damaged = text;
        const size_t at = damaged.find(good_block);
        damaged.replace(at, good_block.size(), bad);
        // Where the damaged block opens: a field it cannot give is placed there.
        const auto line =
            uint32_t(std::count(damaged.begin(), damaged.begin() + long(at), '\n') + 1);
        const auto column = uint32_t(at - damaged.rfind('\n', at));
        std::string written[2];
        uint32_t errors[2];
        for (int pack = 0; pack < 2; ++pack) {
            MseqMusic m(nullptr);
            MrecCompiler c;
            c.set_pack_rows(pack == 1);
            c.load_text(&m, damaged.c_str(), damaged.size() + 1);
            errors[pack] = c.result.error;
            if (c.result.error == MREC_E_BAD_FIELD) {
                EXPECT_EQ(c.result.line, line) << bad << pack;
                EXPECT_EQ(c.result.column, column) << bad << pack;
                EXPECT_EQ(c.result.field.rfind("MSEQ_BLOCK_NOTE", 0), 0u) << c.result.field;
            }
            written[pack] = write(&m);
        }
        EXPECT_EQ(errors[1], errors[0]) << bad;
        EXPECT_EQ(written[1], written[0]) << bad;
    }
}

// A field of the wrong kind names the field and the line where its record opens, whether it
// is in the main record, in a track's own record or in a block; the load problem carries both.
TEST(PackedRows, BadFieldsAreNamedWithTheirLine) {
    MseqMusic sample(nullptr);
    sample.name = CkvString("All");
    fill_sample_music(sample);
    auto* notes = add_track<MseqTrackNote>(sample, MID_TRACK_DETAIL, MTYPE_TRACK_NOTE, "N");
    MseqBlockNote n;
    for (int i = 0; i < 3; ++i)
        notes->put_block(i * 2, n);
    const std::string text = write(&sample);
    auto line_of = [](const std::string& t, size_t at) {
        return uint32_t(std::count(t.begin(), t.begin() + long(at), '\n') + 1);
    };
    // The velocity of the third note, a block packed as a row.
    const std::string third = "{  4; 0x00; MNBT_TONE; 1; 0; 0; 0; 0; 0; 100; }";
    ASSERT_NE(text.find(third), std::string::npos);
    std::string damaged = text;
    const size_t at = damaged.find(third);
    damaged.replace(at, third.size(), "{  4; 0x00; MNBT_TONE; 1; 0; 0; 0; 0; 0; \"v\"; }");
    MseqMusic m(nullptr);
    MrecCompiler c;
    EXPECT_FALSE(c.load_text(&m, damaged.c_str(), damaged.size() + 1));
    EXPECT_EQ(c.result.error, MREC_E_BAD_FIELD);
    EXPECT_EQ(c.result.field, "MSEQ_BLOCK_NOTE.m_Velocity");
    EXPECT_EQ(c.result.line, line_of(damaged, at));
    const MrecLoadProblem problem = c.problem(MseqFullPath(CkvString("x.kvnl")));
    EXPECT_EQ(problem.line, line_of(damaged, at));
    EXPECT_EQ(problem.field, CkvString("MSEQ_BLOCK_NOTE.m_Velocity"));

    // The title of the music: a number where a string belongs, in the main record.
    const size_t main_at = text.find("data main;");
    ASSERT_NE(main_at, std::string::npos);
    const size_t title_at = text.find("\"", text.find('{', main_at));
    std::string titled = text;
    titled.replace(title_at, titled.find(';', title_at) - title_at, "17");
    MseqMusic t(nullptr);
    MrecCompiler tc;
    EXPECT_FALSE(tc.load_text(&t, titled.c_str(), titled.size() + 1));
    EXPECT_EQ(tc.result.field, "MSEQ_MUSIC.m_Title");
    EXPECT_EQ(tc.result.line, line_of(titled, titled.find('{', main_at)));
    EXPECT_EQ(tc.result.column, 1u);

    // Other failures name no field; a good load clears what a failed one said.
    MseqMusic ok(nullptr);
    EXPECT_TRUE(tc.load_text(&ok, text.c_str(), text.size() + 1));
    EXPECT_TRUE(tc.result.field.empty());
    EXPECT_EQ(tc.result.line, 0u);
}

}  // namespace packed_rows_test
