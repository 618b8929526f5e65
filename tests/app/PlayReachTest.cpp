#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "app/AppFixture.h"
#include "model/core/MseqDesk.h"

namespace play_reach_test {

// The desk and the files belong to the user-interface thread. While the demo song plays on the
// worker (with the standard patterns it places, its chord maps and its stage map), this thread
// keeps opening, closing and unloading library nodes; the worker must never use the desk.
class PlayReachTest : public AppTest {};

void each_leaf(MseqObject* node, std::vector<MseqObject*>* out) {
    for (MseqObject* c = node->first_child(); c; c = c->next()) {
        if (mseq_type_category(c->type) == MCAT_BOOK) mseq_open(c);
        if (c->type == MTYPE_LEAF_PHRASE || c->type == MTYPE_LEAF_CHORD ||
            c->type == MTYPE_LEAF_STAGE || c->type == MTYPE_LEAF_MUSIC)
            out->push_back(c);
        each_leaf(c, out);
    }
}

TEST_F(PlayReachTest, TheWorkerNeverTouchesTheDeskWhileTheLibraryIsBusy) {
    ASSERT_NO_FATAL_FAILURE(start_on_demo());
    MseqObject* song = find_node(MTYPE_LEAF_MUSIC);
    ASSERT_NE(song, nullptr);
    std::vector<MseqObject*> leaves;
    each_leaf(frame().room_node(), &leaves);
    ASSERT_GT(leaves.size(), 10u);

    MseqDesk::watch_thread(std::this_thread::get_id());
    frame().select_node(song);
    ASSERT_TRUE(frame().run(ID_LINK_OPEN));
    ASSERT_TRUE(frame().run(ID_PLAY));
    ASSERT_TRUE(frame().playing());
    // Every leaf is opened in the editor pane and closed again, and the cache is trimmed, while
    // the run plays the start of the song.
    for (int round = 0; round < 3 && frame().playing(); ++round) {
        for (MseqObject* leaf : leaves) {
            if (leaf == song) continue;
            frame().select_node(leaf);
            frame().run(ID_LINK_OPEN);
            frame().pump();
            frame().run(ID_EDIT_CLOSE);
            MseqDesk::instance().trim_cache();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const bool was_playing = frame().playing();
    frame().run(ID_STOP);
    ASSERT_TRUE(frame().wait_play_end(5000));
    MseqDesk::stop_watching();
    EXPECT_TRUE(was_playing);
    EXPECT_EQ(MseqDesk::foreign_uses(), 0u);
}

}  // namespace play_reach_test
