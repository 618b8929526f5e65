// Played keys entered as typed notes on the demo song: whatever the note type, the note the
// entry writes must sound exactly the key played when the player resolves it there, in C major
// and after the change into D major.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "edit/MedtBlockText.h"
#include "edit/MedtKeyEntry.h"
#include "edit/MedtMusic.h"
#include "edit/MedtNoteEntry.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPath.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "text/MrecFileStore.h"

namespace key_entry_test {

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

TEST_F(DemoSong, EveryTypeGivesBackTheKeyPlayedAtEveryFourthBar) {
    MedtTrack* melody = track("メロディ");
    ASSERT_NE(melody, nullptr);
    MseqTrackNote* stored = notes(melody);
    const uint32_t kept = stored->m_NoteType;
    for (uint32_t type : {MNBT_PURE, MNBT_TONE, MNBT_SDEG, MNBT_CDEG}) {
        stored->m_NoteType = type;
        int32_t entered = 0;
        for (int32_t bar = 0; bar < 40; bar += 4) {
            const int32_t pos = bar * melody->beats();
            for (int32_t key : {40, 59, 61, 66, 72, 85}) {
                MseqBlockNote note;
                note.m_Length = 2;
                ASSERT_TRUE(medt_note_for_key(*melody, pos, key, &note))
                    << type << " bar " << bar << " key " << key;
                EXPECT_EQ(note.m_Type, type);
                EXPECT_EQ(note.m_Length, 2);
                int64_t sounds = -1;
                ASSERT_TRUE(medt_block_text::note_key(*melody, pos, note, &sounds));
                EXPECT_EQ(sounds, key) << type << " bar " << bar;
                ++entered;
            }
        }
        EXPECT_EQ(entered, 60);
    }
    stored->m_NoteType = kept;
}

TEST_F(DemoSong, RhythmNotesTakeOnlyTheirDrumSound) {
    MedtTrack* drums = track("タンバリン");
    ASSERT_NE(drums, nullptr);
    notes(drums)->m_NoteType = MNBT_RHYTHM;  // new notes are hits, whatever the view draws
    const int32_t sound = int32_t(notes(drums)->m_Rhythm.m_Index & 0xFF);
    MseqBlockNote note;
    ASSERT_TRUE(medt_note_for_key(*drums, 0, sound, &note));
    EXPECT_EQ(note.m_Type, MNBT_RHYTHM);
    EXPECT_FALSE(medt_note_for_key(*drums, 0, sound + 1, &note));
    EXPECT_FALSE(medt_note_for_key(*drums, 0, 128, &note));
}

TEST_F(DemoSong, AKeyEnteredAtTheCursorIsOneUndoStep) {
    MedtTrack* melody = track("メロディ");
    ASSERT_NE(melody, nullptr);
    const size_t before = notes(melody)->block_count();
    const int32_t pos = 30 * melody->beats();  // in D major
    const MseqBlockNote* old = notes(melody)->block_at(pos);
    const MseqBlockNote was = old ? *old : MseqBlockNote();
    ASSERT_TRUE(editor->set_cursor(melody, pos, pos));
    MedtNoteEntry entry(*editor);
    EXPECT_EQ(entry.enter_key(78), MedtEntryResult::entered);  // F#6: the key's third
    const MseqBlockNote* placed = notes(melody)->block_at(pos);
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(placed->m_Length, 2);  // a quarter of eighths
    EXPECT_EQ(editor->cursor(), pos + 2);
    int64_t sounds = -1;
    ASSERT_TRUE(medt_block_text::note_key(*melody, pos, *placed, &sounds));
    EXPECT_EQ(sounds, 78);
    editor->undo();
    EXPECT_EQ(notes(melody)->block_count(), before);
    const MseqBlockNote* back = notes(melody)->block_at(pos);
    EXPECT_EQ(back != nullptr, old != nullptr);
    if (back) {
        EXPECT_TRUE(*back == was);
    }
    editor->edit_flags |= MEDT_READ_ONLY;
    EXPECT_EQ(entry.enter_key(78), MedtEntryResult::read_only);
}

}  // namespace key_entry_test
