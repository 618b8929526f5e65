// The sorted block list of sequence tracks: lookups by any integer, putting at a taken index,
// putting a block the list itself holds, and putting many at once.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "model/block/MseqBlockNote.h"
#include "model/track/MseqBlockList.h"
#include "model/track/MseqTrackNote.h"

namespace block_list_test {

using List = MseqBlockList<MseqBlockNote>;

MseqBlockNote note(int32_t length) {
    MseqBlockNote n;
    n.m_Length = length;
    return n;
}

std::string layout(const List& list) {
    std::string out;
    for (const auto& [index, n] : list)
        out += std::to_string(index) + "+" + std::to_string(n.m_Length) + " ";
    return out;
}

List made(std::initializer_list<std::pair<int32_t, int32_t>> blocks) {
    List list;
    for (auto [index, length] : blocks)
        list.try_emplace(index, note(length));
    return list;
}

TEST(BlockList, LooksUpByValueWhateverTheIntegerType) {
    const List list = made({{INT32_MAX, 1}, {-5, 2}, {7, 3}, {0, 4}});
    EXPECT_EQ(layout(list), "-5+2 0+4 7+3 2147483647+1 ");
    // Wide positions compare as they are, never cut to 32 bits.
    EXPECT_EQ(list.find(int64_t{7} + (int64_t{1} << 32)), list.end());
    EXPECT_EQ(list.lower_bound(int64_t{INT32_MAX} + 1), list.end());
    EXPECT_EQ(list.upper_bound(int64_t{INT32_MIN} - 1), list.begin());
    EXPECT_EQ(list.lower_bound(uint32_t{0x80000000u}), list.end());
    EXPECT_EQ(list.lower_bound(1)->first, 7);
    EXPECT_EQ(list.upper_bound(7)->first, INT32_MAX);
    EXPECT_EQ(list.find(0)->second.m_Length, 4);
    EXPECT_EQ(list.find(1), list.end());
}

TEST(BlockList, ATakenIndexKeepsItsBlockAndErasingCounts) {
    List list = made({{0, 1}, {4, 2}});
    const auto [at, put] = list.try_emplace(4, note(9));
    EXPECT_FALSE(put);
    EXPECT_EQ(at->second.m_Length, 2);
    list[2].m_Length = 5;  // a new block at a free index, between the two
    EXPECT_EQ(layout(list), "0+1 2+5 4+2 ");
    EXPECT_EQ(list.erase(3), 0u);
    EXPECT_EQ(list.erase(2), 1u);
    EXPECT_EQ(layout(list), "0+1 4+2 ");
}

TEST(BlockList, PutsACopyOfItsOwnBlockWhileGrowing) {
    List list;
    for (int32_t i = 0; i < 8; ++i)
        list.append(i * 10, note(i + 1));
    // Both ways of putting may move every block: the one put must be read before that.
    for (int32_t round = 0; round < 40; ++round)
        list.try_emplace(round * 10 + 5, list.begin()->second);
    for (int32_t round = 0; round < 40; ++round)
        list.append(1000 + round, list.rbegin()->second);
    EXPECT_EQ(list.size(), 88u);
    for (const auto& [index, n] : list)
        EXPECT_EQ(n.m_Length, index < 1000 && index % 10 == 0 ? index / 10 + 1 : 1) << index;

    // The track's own put takes a block of the same track at another index.
    MseqTrackNote track;
    track.m_Beat = 16;
    for (int32_t i = 0; i < 8; ++i)
        track.put_block(i * 4, note(i + 1));
    for (int32_t i = 0; i < 40; ++i)
        ASSERT_TRUE(track.set_block(16, 1 + i * 4 % 28, track.get_block(16, 28)));
    EXPECT_EQ(track.block_at(1)->m_Length, 8);
    EXPECT_EQ(track.block_at(25)->m_Length, 8);
}

TEST(BlockList, PutsManyAtOnceWithoutReplacing) {
    List between = made({{0, 1}, {10, 2}});
    List::Items gap;
    gap.emplace_back(3, note(7));
    gap.emplace_back(6, note(8));
    between.insert_sorted(std::move(gap));
    EXPECT_EQ(layout(between), "0+1 3+7 6+8 10+2 ");

    // Across blocks that are there already: those stay, the others go between them.
    List across = made({{2, 1}, {5, 2}, {9, 3}});
    List::Items many;
    for (int32_t i : {0, 2, 4, 5, 7, 12})
        many.emplace_back(i, note(20 + i));
    across.insert_sorted(std::move(many));
    EXPECT_EQ(layout(across), "0+20 2+1 4+24 5+2 7+27 9+3 12+32 ");
}

}  // namespace block_list_test
