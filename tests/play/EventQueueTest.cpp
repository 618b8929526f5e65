#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "play/MplyEventQueue.h"

namespace {

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

TEST(PlyEventQueue, ManyEventsComeOutSortedAndStable) {
    MplyEventQueue q;
    // 5000 events over 50 ticks and 3 channels, keyed so that the expected order is known.
    for (int i = 0; i < 5000; ++i) {
        const int time = (i * 7919) % 50;
        q.add<MplyEventNoteOn>(time, static_cast<uint8_t>(i % 3), 1, static_cast<uint8_t>(i % 128),
                               static_cast<uint8_t>(i / 128));
    }
    EXPECT_EQ(q.peak_size(), 5000u);
    int last_time = -1, last_channel = -1, last_serial = -1;
    while (MplyEvent* e = q.pop()) {
        auto* on = static_cast<MplyEventNoteOn*>(e);
        const int serial = on->velocity * 128 + on->key;
        if (e->time == last_time && e->channel == last_channel) {
            EXPECT_GT(serial, last_serial);
        } else {
            EXPECT_TRUE(e->time > last_time || (e->time == last_time && e->channel > last_channel));
        }
        last_time = e->time;
        last_channel = e->channel;
        last_serial = serial;
        q.destroy(e);
    }
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

}  // namespace
