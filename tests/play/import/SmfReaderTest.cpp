// The MIDI file reader: every malformed file refused with the fault and the byte where it was
// met, the flaws it mends counted, and well-formed files read event by event (running status,
// exclusives, metas of any type).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "play/import/MplySmfReader.h"
#include "play/import/SmfBuilder.h"

namespace smf_reader_test {

using smf_builder::be16;
using smf_builder::be32;
using smf_builder::chunk;

// A header of format 1, one track, 480 a quarter: 14 bytes, so a track's data starts at 22.
std::string header(uint16_t format = 1, uint16_t tracks = 1, uint16_t division = 480) {
    return chunk("MThd", be16(format) + be16(tracks) + be16(division));
}

std::string with_track(const std::string& data) {
    return header() + chunk("MTrk", data);
}

struct Refusal {
    const char* what;
    std::string bytes;
    MplySmfFault fault;
    uint64_t offset;
};

TEST(SmfReader, RefusesEveryMalformedFileNamingTheByteAndTheReason) {
    const std::vector<Refusal> cases = {
        {"empty file", "", MplySmfFault::not_midi, 0},
        {"another format", "RIFF\0\0\0\0WAVE", MplySmfFault::not_midi, 0},
        {"short header", "MThd" + be32(4) + std::string(4, '\0'), MplySmfFault::header_short, 4},
        {"header cut off", "MThd" + be32(6) + std::string(2, '\0'), MplySmfFault::chunk_past_end,
         4},
        {"format 2", header(2), MplySmfFault::format_2, 8},
        {"format 7", header(7), MplySmfFault::format_unknown, 8},
        {"SMPTE division", header(1, 1, 0xE728), MplySmfFault::smpte, 12},
        {"zero division", header(1, 1, 0), MplySmfFault::zero_division, 12},
        {"zero tracks", header(1, 0), MplySmfFault::no_tracks, 14},
        {"chunk past the end", header() + "MTrk" + be32(100) + "\x00\x90\x3C\x40",
         MplySmfFault::chunk_past_end, 18},
        {"delta over 28 bits", with_track("\x81\x81\x81\x81\x00\x90\x3C\x40"),
         MplySmfFault::delta_too_long, 22},
        {"delta cut off", with_track("\x81"), MplySmfFault::event_past_end, 22},
        {"note cut off", with_track(std::string("\x00\x90\x3C", 3)), MplySmfFault::event_past_end,
         23},
        {"running status at the start", with_track(std::string("\x00\x3C\x40", 3)),
         MplySmfFault::no_status, 23},
        {"status inside a message", with_track(std::string("\x00\x90\x3C\x90", 4)),
         MplySmfFault::data_expected, 25},
        {"real-time status", with_track(std::string("\x00\xF8", 2)), MplySmfFault::system_status,
         23},
        {"meta past its chunk",
         with_track(std::string("\x00\xFF\x01\x05"
                                "ab",
                                6)),
         MplySmfFault::event_past_end, 23},
        {"exclusive past its chunk", with_track(std::string("\x00\xF0\x7F\x01", 4)),
         MplySmfFault::event_past_end, 23},
        {"music too long",
         header(1, 1, 1) +
             chunk("MTrk", std::string("\x00\x90\x3C\x40\xFF\xFF\xFF\x7F\x80\x3C\x00", 11)),
         MplySmfFault::too_long, 26},
    };
    for (const Refusal& c : cases) {
        MplySmfFile file;
        MplySmfError error;
        EXPECT_FALSE(mply_read_smf(c.bytes, &file, &error)) << c.what;
        EXPECT_EQ(error.fault, c.fault) << c.what;
        EXPECT_EQ(error.offset, c.offset) << c.what;
        EXPECT_STRNE(mply_smf_fault_text(error.fault), mply_smf_fault_text(MplySmfFault::none))
            << c.what;
    }
}

TEST(SmfReader, RefusesAFileLargerThanItTakesWithoutLookingAtIt) {
    MplySmfFile file;
    MplySmfError error;
    EXPECT_FALSE(mply_read_smf(std::string(kMplySmfMaxBytes + 1, 'M'), &file, &error));
    EXPECT_EQ(error.fault, MplySmfFault::too_large);
}

TEST(SmfReader, ReadsRunningStatusExclusivesAndUnknownMetas) {
    smf_builder::TrackBytes t;
    t.running = true;
    t.on(0, 0, 60, 100).on(0, 0, 64, 90);  // the second without status
    t.sysex(10, std::string("\x7E\x7F\x09\x01\xF7", 5));
    t.meta(0, 0x7F, std::string("\x00\x00\x41\x01", 4));  // sequencer specific
    t.meta(0, 0x21, std::string(1, '\x00'));              // port
    t.raw(std::string("\x00\xF7\x02\x12\x34", 5));        // an escape
    t.off(470, 0, 60, true).off(0, 0, 64, true);
    t.msg(5, 0xC3, 33).msg(5, 0xE1, 0x00, 0x40);
    t.end();
    MplySmfFile file;
    MplySmfError error;
    ASSERT_TRUE(mply_read_smf(smf_builder::file(0, 96, {t}), &file, &error))
        << mply_smf_fault_text(error.fault) << " at " << error.offset;
    EXPECT_EQ(file.format, 0);
    EXPECT_EQ(file.division, 96);
    ASSERT_EQ(file.tracks.size(), 1u);
    const std::vector<MplySmfEvent>& e = file.tracks[0].events;
    ASSERT_EQ(e.size(), 10u);
    struct Expect {
        uint64_t tick;
        uint8_t status, meta, d1, d2;
    };
    const Expect want[] = {{0, 0x90, 0, 60, 100},  {0, 0x90, 0, 64, 90},   {10, 0xF0, 0, 0, 0},
                           {10, 0xFF, 0x7F, 0, 0}, {10, 0xFF, 0x21, 0, 0}, {10, 0xF7, 0, 0, 0},
                           {480, 0x90, 0, 60, 0},  {480, 0x90, 0, 64, 0},  {485, 0xC3, 0, 33, 0},
                           {490, 0xE1, 0, 0, 0x40}};
    for (size_t i = 0; i < e.size(); ++i) {
        EXPECT_EQ(e[i].tick, want[i].tick) << i;
        EXPECT_EQ(e[i].status, want[i].status) << i;
        EXPECT_EQ(e[i].meta, want[i].meta) << i;
        EXPECT_EQ(e[i].data1, want[i].d1) << i;
        EXPECT_EQ(e[i].data2, want[i].d2) << i;
    }
    EXPECT_EQ(file.payload(e[2]), std::string("\x7E\x7F\x09\x01\xF7", 5));
    EXPECT_EQ(file.payload(e[5]), std::string("\x12\x34", 2));
    EXPECT_EQ(file.tracks[0].end_tick, 490u);
    EXPECT_EQ(file.repairs.missing_end, 0u);
}

struct Mend {
    const char* what;
    std::string bytes;
    MplySmfRepairs repairs;
    size_t events;
};

TEST(SmfReader, MendsAndCountsWhatItNeedNotRefuse) {
    const std::string note = std::string("\x00\x90\x3C\x40\x60\x80\x3C\x00", 8);
    const std::string end = std::string("\x00\xFF\x2F\x00", 4);
    const std::vector<Mend> cases = {
        {"no end of track", with_track(note), {1, 0, 0, 0, 0}, 2},
        {"events after the end", with_track(note + end + note), {0, 2, 0, 0, 0}, 2},
        {"more tracks announced", header(1, 3) + chunk("MTrk", note + end), {0, 0, 1, 0, 0}, 2},
        {"foreign chunk skipped",
         header() + chunk("XFIH", "abc") + chunk("MTrk", note + end),
         {0, 0, 0, 1, 0},
         2},
        {"running status after a meta",
         with_track(std::string("\x00\x90\x3C\x40\x00\xFF\x01\x01x\x60\x3C\x00", 12) + end),
         {0, 0, 0, 0, 1},
         3},
        {"padding after the last chunk",
         with_track(note + end) + std::string(3, '\0'),
         {0, 0, 0, 0, 0},
         2},
    };
    for (const Mend& c : cases) {
        MplySmfFile file;
        MplySmfError error;
        ASSERT_TRUE(mply_read_smf(c.bytes, &file, &error))
            << c.what << ": " << mply_smf_fault_text(error.fault) << " at " << error.offset;
        EXPECT_EQ(file.repairs.missing_end, c.repairs.missing_end) << c.what;
        EXPECT_EQ(file.repairs.events_after_end, c.repairs.events_after_end) << c.what;
        EXPECT_EQ(file.repairs.track_count, c.repairs.track_count) << c.what;
        EXPECT_EQ(file.repairs.foreign_chunks, c.repairs.foreign_chunks) << c.what;
        EXPECT_EQ(file.repairs.status_after_meta, c.repairs.status_after_meta) << c.what;
        ASSERT_EQ(file.tracks.size(), 1u) << c.what;
        EXPECT_EQ(file.tracks[0].events.size(), c.events) << c.what;
    }
}

}  // namespace smf_reader_test
