#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "play/engine/MplyEventQueue.h"

namespace event_queue_test {

// Every popped event, as "time:channel:rank:tag" where the tag tells equal keys apart.
std::vector<std::string> drain(MplyEventQueue& q) {
    std::vector<std::string> out;
    while (MplyEvent* e = q.pop()) {
        std::string tag;
        if (auto* on = dynamic_cast<MplyEventNoteOn*>(e)) tag = std::to_string(on->key);
        if (auto* t = dynamic_cast<MplyEventTempo*>(e)) tag = std::to_string(t->tempo);
        if (auto* c = dynamic_cast<MplyEventControl*>(e)) tag = std::to_string(c->controller);
        out.push_back(std::to_string(e->time) + ":" + std::to_string(e->channel) + ":" +
                      std::to_string(e->rank) + ":" + tag);
        q.destroy(e);
    }
    return out;
}

TEST(PlyEventQueue, OrdersByTimeThenChannelAndRankThenInsertion) {
    MplyEventQueue q;
    q.add<MplyEventNoteOn>(10, 1, 5, 60, 100);
    q.add<MplyEventNoteOn>(10, 0, 5, 61, 100);
    q.add<MplyEventNoteOff>(10, 1, 60);
    q.add<MplyEventControl>(10, 0, 7, 1);
    q.add<MplyEventTempo>(10, 90);
    q.add<MplyEventNoteOn>(-5, 15, 5, 62, 100);  // negative times come first
    q.add<MplyEventControl>(10, 0, 8, 1);        // equal key: after the first control
    q.add<MplyEventNoteOn>(10, 0, 5, 63, 100);   // equal key: after key 61
    q.add<MplyEventTempo>(2147483646, 91);
    EXPECT_EQ(q.size(), 9u);
    EXPECT_EQ(drain(q), (std::vector<std::string>{
                            "-5:15:7:62",
                            "10:0:0:90",
                            "10:0:5:7",
                            "10:0:5:8",
                            "10:0:7:61",
                            "10:0:7:63",
                            "10:1:6:",  // a note-off precedes the note-on of its channel
                            "10:1:7:60",
                            "2147483646:0:0:91",
                        }));
    EXPECT_TRUE(q.empty());
}

TEST(PlyEventQueue, AgreesWithAStableReferenceUnderMixedBatches) {
    // Batches of every size (some large enough to be sorted as a whole, some going through the
    // heap) alternate with pops; the queue must hand out exactly what a multimap keyed by
    // (time, channel × 256 + rank) hands out, equal keys in insertion order.
    std::mt19937 random(7);
    MplyEventQueue q;
    std::multimap<std::pair<int32_t, uint32_t>, int> reference;
    int serial = 0;
    for (int round = 0; round < 60; ++round) {
        const int batch = std::uniform_int_distribution<int>(0, 400)(random);
        const int base = std::uniform_int_distribution<int>(-50, 500)(random);
        for (int i = 0; i < batch; ++i) {
            // Mostly ascending within a batch, as tracks generate, with stragglers.
            const int32_t time = base + i / 4 - (i % 13 == 0 ? 40 : 0);
            const auto channel = static_cast<uint8_t>(random() % 3);
            const bool off = random() % 2;
            const auto tag = static_cast<uint8_t>(serial % 128);
            const auto tag_hi = static_cast<uint8_t>(serial / 128);
            if (off) {
                q.add<MplyEventNoteOff>(time, channel, tag);
            } else {
                q.add<MplyEventNoteOn>(time, channel, tag_hi, tag, 0);
            }
            const uint32_t word = channel * 256u + (off ? MPLY_RANK_NOTE_OFF : MPLY_RANK_NOTE_ON);
            reference.emplace(std::make_pair(time, word), serial++);
        }
        const int pops = std::uniform_int_distribution<int>(0, 300)(random);
        for (int i = 0; i < pops && !reference.empty(); ++i) {
            MplyEvent* e = q.pop();
            ASSERT_NE(e, nullptr);
            const auto expected = reference.begin();
            EXPECT_EQ(e->time, expected->first.first);
            EXPECT_EQ(e->order_word(), expected->first.second);
            if (auto* on = dynamic_cast<MplyEventNoteOn*>(e)) {
                EXPECT_EQ(on->duration * 128 + on->key, expected->second);
            } else {
                EXPECT_EQ(static_cast<MplyEventNoteOff*>(e)->key, expected->second % 128);
            }
            reference.erase(expected);
            q.destroy(e);
        }
        EXPECT_EQ(q.size(), reference.size());
    }
    q.clear();
    EXPECT_TRUE(q.empty());
}

TEST(PlyEventQueue, ClearDestroysOwnedBuffersUnplayed) {
    MplyEventQueue q;
    q.add<MplyEventMsg>(0, 0, std::vector<uint8_t>{0xB0, 7, 100});
    q.add<MplyEventExclusive>(0, std::vector<uint8_t>(300, 0x11));
    q.add<MplyEventStringEx>(0, CkvString("a title long enough to leave the small buffer"));
    EXPECT_EQ(q.size(), 3u);
    q.clear();  // the sanitizer build reports anything left behind
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(q.front(), nullptr);
    EXPECT_EQ(q.pop(), nullptr);
}

}  // namespace event_queue_test
