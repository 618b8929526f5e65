#include "play/export/MplySmfWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace smf_writer_test {

using Bytes = std::vector<uint8_t>;

// The track data of the writer: the file image less its 22-byte head.
Bytes Track(MplySmfWriter& w) {
    Bytes file;
    if (!w.BuildFile(&file)) return {};
    return Bytes(file.begin() + 22, file.end());
}

TEST(SmfVlq, GroupsOfSevenBitsMostSignificantFirst) {
    const struct {
        uint32_t value;
        Bytes bytes;
    } cases[] = {
        {0, {0x00}},
        {127, {0x7F}},
        {128, {0x81, 0x00}},
        {480, {0x83, 0x60}},
        {1920, {0x8F, 0x00}},
        {0x3FFF, {0xFF, 0x7F}},
        {0x4000, {0x81, 0x80, 0x00}},
        {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
        {0x10000000, {0x81, 0x80, 0x80, 0x80, 0x00}},
        {0xFFFFFFFF, {0x8F, 0xFF, 0xFF, 0xFF, 0x7F}},
    };
    for (const auto& c : cases) {
        Bytes out{0xAA};  // appends, keeps what was there
        MplySmfWriter::AppendVlq(out, c.value);
        Bytes want{0xAA};
        want.insert(want.end(), c.bytes.begin(), c.bytes.end());
        EXPECT_EQ(out, want) << c.value;
    }
}

TEST(SmfWriter, DeltasAreMeasuredFromTheLastEvent) {
    MplySmfWriter w;
    w.NoteOn(0, 0, 60, 100);
    w.NoteOff(480, 0, 60);
    w.NoteOn(480, 0, 62, 100);
    w.NoteOff(607, 0, 62);
    w.NoteOn(735, 0, 64, 100);
    EXPECT_EQ(w.LastTick(), 735);
    EXPECT_EQ(Track(w), (Bytes{0x00, 0x90, 60,   100,  0x83, 0x60, 0x80, 60,   0,    0x00, 0x90,
                               62,   100,  0x7F, 0x80, 62,   0,    0x81, 0x00, 0x90, 64,   100}));
    EXPECT_EQ(w.LastTick(), 0);  // building the file empties the writer
}

TEST(SmfWriter, TempoIsMicrosecondsPerQuarter) {
    MplySmfWriter w;
    EXPECT_TRUE(w.Tempo(0, 140));
    EXPECT_FALSE(w.Tempo(0, 0));
    EXPECT_TRUE(w.Tempo(0, 120));
    EXPECT_TRUE(w.Tempo(0, 1024));
    EXPECT_EQ(Track(w), (Bytes{0x00, 0xFF, 0x51, 0x03, 0x06, 0x8A, 0x1B,     // 428571
                               0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,     // 500000
                               0x00, 0xFF, 0x51, 0x03, 0x00, 0xE4, 0xE1}));  // 58593
}

TEST(SmfWriter, ChannelEventsMaskTheirBytes) {
    MplySmfWriter w;
    w.NoteOn(0, 0x1F, 0xBC, 0xE4);  // channel 15, key 3C, velocity 64
    w.Control(0, 9, 7, 120);
    w.ControlPair(0, 3, 6, 38, 0x3FFF & 0x1F85);
    EXPECT_EQ(Track(w), (Bytes{0x00, 0x9F, 0x3C, 0x64, 0x00, 0xB9, 7, 120,
                               // low controller first, then the high one at delta 0
                               0x00, 0xB3, 38, 0x05, 0x00, 0xB3, 6, 0x3F}));
}

TEST(SmfWriter, ExclusiveAndTextCarryTheirLengths) {
    MplySmfWriter w;
    const uint8_t gm_on[] = {0x7E, 0x7F, 0x09, 0x01};
    w.Exclusive(0, gm_on, 4);
    w.Text(0, 3, "");  // nothing at all for an empty text
    w.Text(10, 3, "Song");
    const std::string long_text(200, 'x');
    w.Text(10, 5, long_text);
    Bytes want{0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x0A, 0xFF, 0x03,
               0x04, 'S',  'o',  'n',  'g',  0x00, 0xFF, 0x05, 0x81, 0x48};
    want.insert(want.end(), long_text.begin(), long_text.end());
    EXPECT_EQ(Track(w), want);
}

TEST(SmfWriter, RawMessagesAcceptOnlyWhatAFileMayHold) {
    const struct {
        Bytes message;
        bool accepted;
        Bytes written;
    } cases[] = {
        {{0x90, 0x3C, 0x64}, false, {}},  // a note-on written into a message form
        {{0x80, 0x3C, 0x00}, false, {}},
        {{0xA0, 0x3C, 0x10}, true, {0x00, 0xA0, 0x3C, 0x10}},
        {{0xB1, 0x07, 0x64}, true, {0x00, 0xB1, 0x07, 0x64}},
        {{0xC2, 0x05}, true, {0x00, 0xC2, 0x05}},
        {{0xC2, 0x05, 0x00}, false, {}},
        {{0xD3, 0x40}, true, {0x00, 0xD3, 0x40}},
        {{0xE0, 0x00, 0x40}, true, {0x00, 0xE0, 0x00, 0x40}},
        {{0xE0, 0x00}, false, {}},
        {{0xB3, 0x87, 0xC0}, true, {0x00, 0xB3, 0x07, 0x40}},  // data bytes kept below 80
        {{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7},
         true,
         {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
        {{0xF0, 0x01, 0xF7}, false, {}},        // too short
        {{0xF0, 0x7E, 0x7F, 0x09}, false, {}},  // no closing F7
        {{0xF8, 0x00, 0x00}, false, {}},
        {{0x3C, 0x64}, false, {}},
    };
    for (const auto& c : cases) {
        MplySmfWriter w;
        EXPECT_EQ(w.Raw(0, c.message.data(), c.message.size()), c.accepted) << int(c.message[0]);
        Bytes file;
        EXPECT_EQ(w.BuildFile(&file), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(Bytes(file.begin() + 22, file.end()), c.written);
        }
    }
}

TEST(SmfWriter, AnEventDueEarlierIsWrittenAtTheCurrentPosition) {
    MplySmfWriter w;
    w.NoteOn(960, 0, 60, 100);
    const uint8_t msg[] = {0xB0, 0x0B, 0x40};
    EXPECT_TRUE(w.Raw(-120, msg, 3));  // a message track with a negative lag
    w.NoteOff(1440, 0, 60);
    EXPECT_EQ(w.LateEvents(), 1u);
    EXPECT_EQ(w.LastTick(), 1440);
    EXPECT_EQ(Track(w),
              (Bytes{0x87, 0x40, 0x90, 60, 100, 0x00, 0xB0, 0x0B, 0x40, 0x83, 0x60, 0x80, 60, 0}));
}

TEST(SmfWriter, BuildFileWrapsTheTrackAndRefusesNothing) {
    MplySmfWriter w;
    Bytes file{1, 2, 3};
    EXPECT_FALSE(w.BuildFile(&file));
    EXPECT_EQ(file, (Bytes{1, 2, 3}));  // untouched on failure
    w.NoteOn(0, 0, 60, 100);
    w.EndOfTrack();
    EXPECT_EQ(w.LastTick(), 0);
    ASSERT_TRUE(w.BuildFile(&file));
    EXPECT_EQ(file,
              (Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6,    0,    0,  0,   1,    0x01, 0xE0, 'M',
                     'T', 'r', 'k', 0,   0, 0, 8, 0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_FALSE(w.BuildFile(&file));  // the data went into the first file
}

TEST(SmfWriter, LongTracksSpanManyChunksWithoutSeams) {
    MplySmfWriter w;
    Bytes want;
    for (int i = 0; i < 3000; ++i) {
        const uint8_t key = static_cast<uint8_t>(i % 128);
        w.NoteOn(i * 10, 1, key, 90);
        Bytes ev{static_cast<uint8_t>(i ? 10 : 0), 0x91, key, 90};
        want.insert(want.end(), ev.begin(), ev.end());
        const uint8_t body[] = {0x41, 0x10, 0x42};
        w.Exclusive(i * 10, body, 3);  // odd sizes so that events straddle chunk ends
        want.insert(want.end(), {0x00, 0xF0, 0x04, 0x41, 0x10, 0x42, 0xF7});
    }
    EXPECT_EQ(w.TrackSize(), want.size());
    EXPECT_EQ(Track(w), want);
}

}  // namespace smf_writer_test
