// Putting blocks into a track as readers do: in index order mostly, but any order, replacing and
// fitting each block whichever way it goes in.
#include <gtest/gtest.h>

#include <string>

#include "model/block/MseqBlockNote.h"
#include "model/block/MseqBlockValue.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackValue.h"

namespace put_block_test {

std::string layout(const MseqTrackNote& track) {
    std::string out;
    for (const auto& [index, note] : track.blocks())
        out += std::to_string(index) + "+" + std::to_string(note.m_Length) + "/" +
               std::to_string(note.m_Velocity) + " ";
    return out;
}

MseqBlockNote note(int32_t length, uint8_t velocity) {
    MseqBlockNote n;
    n.m_Length = length;
    n.m_Velocity = velocity;
    return n;
}

TEST(PutBlock, AnyOrderGivesTheSameTrack) {
    struct Put {
        int32_t index, length;
        uint8_t velocity;
    };
    // After the last, before the first, between two, onto the last, onto the first, onto a
    // middle one; lengths below 1 become 1 whichever way the block goes in.
    const Put puts[] = {{0, 2, 1},
                        {4, 0, 2},
                        {9, 3, 3},
                        {-5, -1, 4},
                        {6, 1, 5},
                        {9, 0, 6},
                        {-5, 2, 7},
                        {4, 4, 8},
                        {12, 1, 9},
                        {2147483647, 0, 10},
                        {-2147483647 - 1, 0, 11}};
    MseqTrackNote track;
    for (const Put& p : puts)
        track.put_block(p.index, note(p.length, p.velocity));
    EXPECT_EQ(layout(track),
              "-2147483648+1/11 -5+2/7 0+2/1 4+4/8 6+1/5 9+1/6 12+1/9 2147483647+1/10 ");

    // The same blocks put in index order make the same track.
    MseqTrackNote ordered;
    for (const auto& [index, n] : track.blocks())
        ordered.put_block(index, n);
    EXPECT_EQ(layout(ordered), layout(track));
}

TEST(PutBlock, ValuesAreClampedWhicheverWayTheyGoIn) {
    MseqTrackTempo tempo;
    tempo.put_block(0, MseqBlockValue(2000));  // the first
    tempo.put_block(8, MseqBlockValue(1));     // after the last
    tempo.put_block(4, MseqBlockValue(3));     // between
    tempo.put_block(8, MseqBlockValue(5000));  // onto the last
    std::string values;
    for (const auto& [index, v] : tempo.blocks())
        values += std::to_string(index) + "=" + std::to_string(v.m_Value) + " ";
    EXPECT_EQ(values, "0=1024 4=4 8=1024 ");
}

}  // namespace put_block_test
