#include "model/library/MseqShowState.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace show_state_test {

TEST(ShowState, StoredBitsAreTakenOverWithTheFixedOnes) {
    struct Case {
        uint32_t stored, taken;
    };
    const Case cases[] = {
        {0, 0x1000763},                                    // never shown: the default view
        {MSHOW_CHORD, MSHOW_CHORD | 0x302},                // chords alone stay chords alone
        {MSHOW_VELOCITY, MSHOW_VELOCITY | 0x302 | 0x400},  // neither degrees nor chords
        {MSHOW_DEGREE | MSHOW_CHORD, 0xF02},
        {0xFFFFFFFF, 0xFFFFFFFF},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mseq_show_state_taken(c.stored), c.taken) << std::hex << c.stored;
    // Taking over twice changes nothing more.
    for (const Case& c : cases)
        EXPECT_EQ(mseq_show_state_taken(c.taken), c.taken) << std::hex << c.stored;
}

}  // namespace show_state_test
