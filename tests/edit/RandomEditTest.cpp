// Long random editing sessions on the demo song, from a fixed random start so that a failure
// reproduces: edit actions, single blocks, beats and other property changes, and track
// commands (add, delete, copy, paste, move), all through the music editor. One session undoes
// everything and must save the song's original bytes; the other saves after every step and
// checks that each file loads, writes back unchanged and plays.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "edit/EditFixture.h"
#include "edit/McmdMusic.h"
#include "model/core/MseqPath.h"
#include "model/core/MseqPathOps.h"
#include "platform/FileSystem.h"
#include "play/PlayFixture.h"
#include "text/MrecCompiler.h"
#include "text/MrecFileStore.h"
#include "tools/AppData.h"

namespace random_edit_test {

// The application folder copied into a temporary folder, with the desk reading from there and
// the demo song open.
class DemoCopy {
public:
    DemoCopy() : saved_program_(mseq_path::program_file()) {
        char tmpl[] = "/tmp/kvrandom-XXXXXX";
        if (!::mkdtemp(tmpl)) return;
        dir_ = tmpl;
        std::error_code ec;
        std::filesystem::copy(KV_APP_DATA, dir_, std::filesystem::copy_options::recursive, ec);
        if (ec) return;
        MseqDesk::instance().set_store(&store_);
        mseq_path::set_program_file(CkvString(kv_fs::from_host(dir_) + "\\korvante"));
        room_node_ = std::make_unique<MseqObject>(
            MID_ROOM, MTYPE_ROOM, CkvString(),
            MseqDescPath(CkvString(kv_fs::from_host(dir_ + "/mymusic/library.kvnr"))));
        keep_.push_back(mseq_open(room_node_.get()));
        for (MseqObject* book = room_node_->first_child(); book; book = book->next()) {
            keep_.push_back(mseq_open(book));
            for (MseqObject* leaf = book->first_child(); leaf; leaf = leaf->next()) {
                if (leaf->name.str() == kv_codec::cp932_from_utf8("はじまりの朝"))
                    song_node_ = leaf;
            }
        }
        if (!song_node_) return;
        keep_.push_back(mseq_open(song_node_));
        song_ = keep_.back()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    }
    ~DemoCopy() {
        keep_.clear();
        MseqDesk::instance().modified.clear();
        MseqDesk::instance().cache.clear();
        room_node_.reset();
        MseqDesk::instance().set_store(nullptr);
        mseq_path::set_program_file(saved_program_);
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }
    DemoCopy(const DemoCopy&) = delete;
    DemoCopy& operator=(const DemoCopy&) = delete;

    MseqMusic* song() const { return song_; }
    std::string song_file() const { return dir_ + "/mymusic/demo/song.kvnl"; }

    // The song file read into a fresh music under the same node (so that its references into
    // the book resolve); nullptr when it does not load.
    ref_ptr<MseqMusic> reload() {
        auto fresh = ref_ptr<MseqMusic>::adopt(new MseqMusic(song_node_));
        MrecCompiler compiler;
        if (!compiler.load(fresh.get(), MseqFullPath(CkvString(kv_fs::from_host(song_file()))),
                           false))
            return nullptr;
        return fresh;
    }

private:
    std::string dir_;
    MrecFileStore store_;
    CkvString saved_program_;
    std::unique_ptr<MseqObject> room_node_;
    MseqObject* song_node_ = nullptr;
    MseqMusic* song_ = nullptr;
    std::vector<ref_ptr<MseqEntity>> keep_;
};

// The add-track commands of the menu that need no pop-up.
const int kAddCommands[] = {40281, 40282, 40283, 40284, 40285, 40286, 40287,
                            40288, 40289, 40290, 40292, 40301, 40302, 40303,
                            40304, 40305, 40306, 40307, 40308, 40309, 40310};

// Drives an editor with random steps.
class RandomEditor {
public:
    RandomEditor(MedtMusicInvoker* editor, QueuePort* port, unsigned start)
        : editor_(editor), port_(port), random_(start) {}

    // One random step. With `undoable_only` only changes that undo records (every property
    // change but the beats is left out).
    void step(bool undoable_only) {
        MseqObject* node = any_track();
        if (!node) return;
        MedtTrack* track = editor_->find_track(node->id);
        if (!track) return;
        const int32_t length = static_cast<int32_t>(
            std::min<int64_t>(mseq_track_length(node), 1 << 20));  // in the track's own units
        const int32_t pos = pick(0, length + 4);
        const int32_t end = chance(2) ? pos : pick(0, length + 4);
        editor_->set_cursor(track, pos, end);
        port_->answers.clear();
        // Mostly sequence edits; track commands now and then, a deletion rarely enough that the
        // song keeps most of its tracks.
        const int kind = pick(0, undoable_only ? 18 : 19);
        if (kind <= 9) {
            editor_->action(MACT_CUT + pick(0, 6));
        } else if (kind <= 11) {
            set_block(node, length);
        } else if (kind == 12) {
            change_beats(node);
        } else if (kind <= 14) {
            select_container();
            editor_->command(
                kAddCommands[pick(0, static_cast<int32_t>(std::size(kAddCommands)) - 1)]);
        } else if (kind == 15) {
            port_->answers = {true};
            editor_->command(40273);
        } else if (kind == 16) {
            editor_->command(40274);
        } else if (kind == 17) {
            select_container();
            editor_->command(40275);
        } else if (kind == 18) {
            move(node);
        } else {
            set_other_property(node);
        }
        port_->log.clear();
    }

private:
    int32_t pick(int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(random_);
    }
    bool chance(int32_t one_in) { return pick(1, one_in) == 1; }

    MseqObject* any_track() {
        auto& tracks = editor_->music()->tracks;
        auto it = tracks.begin();
        std::advance(it, pick(0, static_cast<int32_t>(tracks.size()) - 1));
        return it->second;
    }

    // Makes the part, the header or a group the current track: the places new tracks go.
    void select_container() {
        std::vector<MseqObject*> places;
        for (auto& [id, node] : editor_->music()->tracks) {
            if (node->type == MTYPE_TRACK_DETAIL || node->type == MTYPE_TRACK_HEADER ||
                node->type == MTYPE_TRACK_GROUP)
                places.push_back(node);
        }
        MseqObject* place =
            places[static_cast<size_t>(pick(0, static_cast<int32_t>(places.size()) - 1))];
        editor_->set_cursor(editor_->find_track(place->id), 0, 0);
    }

    // Copies a block of the track to a free place (as the block editing does, never over or
    // across another block: overlapping blocks are a damaged file), or erases one.
    void set_block(MseqObject* node, int32_t length) {
        MseqTrack* t = mseq_track_of(node);
        if (!t || !t->is_sequence()) return;
        const int32_t to = pick(0, length + 4);
        const int32_t from = pick(0, length);
        const MseqBlock* block = chance(3) ? nullptr : t->get_block(t->m_Beat, from);
        if (block) {
            const int64_t size = reach(node, from, from + 1);
            if (size <= 0 || to + size > INT32_MAX) return;
            if (reach(node, to, static_cast<int32_t>(to + size)) != 0) return;
        }
        auto command = mcmd_make<McmdSetBlock>(node->id, to, block);
        editor_->execute(command.get());
    }
    // How far the blocks starting in or reaching into [from, to) of a track extend from `from`
    // (0 when none do).
    static int64_t reach(MseqObject* node, int32_t from, int32_t to) {
        MseqObject probe;
        if (!mseq_subtree_store(node, from, to, &probe)) return INT32_MAX;
        MseqTrack* stored = mseq_track_of(&probe);
        return stored ? stored->end_index(stored->m_Beat) : INT32_MAX;
    }

    void change_beats(MseqObject* node) {
        port_->answers = {chance(2)};
        const int32_t beats = MseqTrack::kGridBeats[pick(0, 15)];
        auto command = mcmd_make<McmdSetProperty>(node->id, 5, MseqBlockWord(0, 0, beats));
        editor_->execute(command.get());
    }

    void move(MseqObject* node) {
        MseqObject* anchor = any_track();
        auto command = mcmd_make<McmdMoveLeafs>(node->id, anchor->id, pick(1, 4));
        editor_->execute(command.get());
    }

    // The properties that are not undoable: the name, the lags of a note track, the tempo.
    void set_other_property(MseqObject* node) {
        MseqBlockWord value(0, 0, static_cast<uint32_t>(pick(-300, 300)));
        int32_t number = 21 + pick(0, 1);
        if (chance(3)) {
            number = 1;
            value = MseqBlockWord(0, 0, 0, CkvString("t" + std::to_string(pick(0, 99))));
        } else if (chance(4)) {
            node = editor_->music()->root();
            number = 21;
        }
        auto command = mcmd_make<McmdSetProperty>(node->id, number, value);
        editor_->execute(command.get());
    }

    MedtMusicInvoker* editor_;
    QueuePort* port_;
    std::mt19937 random_;
};

class RandomEditing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(demo_.song(), nullptr);
        original_ = kv_test::read_bytes(demo_.song_file());
        ASSERT_FALSE(original_.empty());
        editor_ = ref_ptr<MedtMusicInvoker>::adopt(
            new MedtMusicInvoker(demo_.song(), &sequence_clip_, &leaf_clip_));
        editor_->port = &port_;
    }
    void TearDown() override { editor_ = nullptr; }

    DemoCopy demo_;
    MseqObject sequence_clip_;
    MseqObject leaf_clip_;
    QueuePort port_;
    ref_ptr<MedtMusicInvoker> editor_;
    std::string original_;
};

TEST_F(RandomEditing, UndoingThousandsOfRandomStepsSavesTheOriginalBytes) {
    MseqMusic* song = demo_.song();
    // Opening the editor writes the view settings back into range (the demo file leaves them
    // 0); that is the state every undo must come back to.
    std::string opened;
    ASSERT_TRUE(mrec_write_entity(song, &opened));
    const uint32_t next_id = song->m_NextID;
    // Three sessions from three fixed random starts, each undone completely before the next.
    for (unsigned start : {20261208u, 12u, 2u}) {
        SCOPED_TRACE("random start " + std::to_string(start));
        // The bytes every 250 steps, with the undo steps recorded up to there: undoing back to
        // that many steps must give those bytes again, which tells roughly where a wrong undo
        // lies.
        struct Mark {
            size_t groups;
            uint32_t next_id;
            std::string bytes;
        };
        std::vector<Mark> marks;
        RandomEditor random(editor_.get(), &port_, start);
        for (int i = 1; i <= 1500; ++i) {
            random.step(true);
            if (i % 250 != 0) continue;
            Mark mark{editor_->history().group_count(), song->m_NextID, {}};
            ASSERT_TRUE(mrec_write_entity(song, &mark.bytes));
            marks.push_back(std::move(mark));
        }
        EXPECT_GT(editor_->history().group_count(), 500u);  // many steps changed something
        size_t checked = 0;
        while (!editor_->nothing_to_undo()) {
            for (const Mark& mark : marks) {
                if (mark.groups != editor_->history().group_count()) continue;
                const uint32_t now = song->m_NextID;
                song->m_NextID = mark.next_id;  // see below
                std::string bytes;
                ASSERT_TRUE(mrec_write_entity(song, &bytes));
                song->m_NextID = now;
                ASSERT_EQ(bytes, mark.bytes) << "undoing back to " << mark.groups << " steps";
                ++checked;
            }
            editor_->undo();
        }
        EXPECT_EQ(checked, marks.size());
        // Undo gives the identifiers of added tracks back to the tree but not to the allocation
        // counter, which only ever moves on.
        EXPECT_GE(song->m_NextID, next_id);
        song->m_NextID = next_id;
        ASSERT_TRUE(MrecCompiler::save(song));
        ASSERT_EQ(kv_test::read_bytes(demo_.song_file()), opened);
    }
    // Apart from the view settings, the file is the one the demo library ships.
    song->m_GpM = song->m_GxB = song->m_ShowState = 0;
    std::string as_shipped;
    ASSERT_TRUE(mrec_write_entity(song, &as_shipped));
    EXPECT_EQ(as_shipped, original_);
}

TEST_F(RandomEditing, EveryFileSavedAlongTheWayLoadsWritesBackAndPlays) {
    RandomEditor random(editor_.get(), &port_, 4242u);
    for (int i = 0; i < 200; ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        random.step(false);
        ASSERT_TRUE(MrecCompiler::save(demo_.song()));
        const std::string saved = kv_test::read_bytes(demo_.song_file());
        ref_ptr<MseqMusic> loaded = demo_.reload();
        ASSERT_NE(loaded, nullptr);
        std::string again;
        ASSERT_TRUE(mrec_write_entity(loaded.get(), &again));
        ASSERT_EQ(again, saved);
        // The file plays to its end, exactly as the music in the editor does.
        const std::vector<std::string> calls = kv_test::run_offline(loaded.get());
        ASSERT_GE(calls.size(), 2u);
        EXPECT_EQ(calls[calls.size() - 2], "finish");
        EXPECT_EQ(calls.back(), "stop");
        EXPECT_EQ(calls, kv_test::run_offline(demo_.song()));
    }
}

}  // namespace random_edit_test
