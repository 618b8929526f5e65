#pragma once

// The demo song of the program's data opened through the desk, with an editor over it, for the
// tests that enter notes on it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPath.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "text/MrecFileStore.h"

namespace demo_song_fixture {

// The demo song of the program's data opened through the desk, with an editor over it. Nothing
// is saved.
class DemoSong : public ::testing::Test {
protected:
    void SetUp() override {
        saved_program_ = mseq_path::program_file();
        MseqDesk::instance().set_store(&store_);
        mseq_path::set_program_file(CkvString(kv_fs::from_host(KV_APP_DATA) + "\\korvante"));
        room_ = std::make_unique<MseqObject>(
            MID_ROOM, MTYPE_ROOM, CkvString(),
            MseqDescPath(
                CkvString(kv_fs::from_host(std::string(KV_APP_DATA) + "/mymusic/library.kvnr"))));
        keep_.push_back(mseq_open(room_.get()));
        MseqObject* song_node = nullptr;
        for (MseqObject* book = room_->first_child(); book; book = book->next()) {
            keep_.push_back(mseq_open(book));
            for (MseqObject* leaf = book->first_child(); leaf; leaf = leaf->next()) {
                if (leaf->name.str() == kv_codec::cp932_from_utf8("はじまりの朝")) song_node = leaf;
            }
        }
        ASSERT_NE(song_node, nullptr);
        keep_.push_back(mseq_open(song_node));
        song_ = keep_.back()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        ASSERT_NE(song_, nullptr);
        editor = ref_ptr<MedtMusicInvoker>::adopt(new MedtMusicInvoker(song_, &seq_, &leaf_));
    }
    void TearDown() override {
        editor = nullptr;
        keep_.clear();
        MseqDesk::instance().modified.clear();
        MseqDesk::instance().cache.clear();
        room_.reset();
        MseqDesk::instance().set_store(nullptr);
        mseq_path::set_program_file(saved_program_);
    }

    // The editor track of the note track named `name` (UTF-8).
    MedtTrack* track(const char* name) {
        for (MseqObject* node = song_->detail()->first_child(); node; node = node->next()) {
            if (node->name.str() == kv_codec::cp932_from_utf8(name))
                return editor->find_track(node->id);
        }
        ADD_FAILURE() << name;
        return nullptr;
    }
    // The editor track of `name` (UTF-8) anywhere in the track tree (a header track, say).
    MedtTrack* track_anywhere(const char* name) {
        for (MseqObject* t = song_->root(); t; t = t->next_in(song_->root())) {
            if (t->name.str() == kv_codec::cp932_from_utf8(name)) return editor->find_track(t->id);
        }
        ADD_FAILURE() << name;
        return nullptr;
    }
    static MseqTrackNote* notes(MedtTrack* t) {
        return t->stored()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
    }

    ref_ptr<MedtMusicInvoker> editor;

private:
    MrecFileStore store_;
    CkvString saved_program_;
    std::unique_ptr<MseqObject> room_;
    std::vector<ref_ptr<MseqEntity>> keep_;
    MseqMusic* song_ = nullptr;
    MseqObject seq_, leaf_;
};

}  // namespace demo_song_fixture
