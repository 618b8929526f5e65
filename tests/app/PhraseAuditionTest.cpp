// Hearing a phrase of the library at the edit cursor: the keys are those the phrase track would
// play there over the chord in effect, every note-on is followed by its note-off (on time, on
// stop, at the next audition and at exit), the music is left as it was, and a property change
// of a track is heard when it changes the key at the cursor. A phrase dropped on a phrase track
// takes the phrase's length.
#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <thread>
#include <tuple>

#include "app/AppFixture.h"
#include "app/MAppAudition.h"
#include "app/MAppTexts.h"
#include "app/MFramePlayback.h"
#include "edit/McmdKind.h"
#include "edit/MedtMusic.h"
#include "edit/MedtPropertyEdit.h"
#include "edit/MedtPropertyRow.h"
#include "edit/MedtTrack.h"
#include "edit/press/MedtTrackPress.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackInherit.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackTree.h"
#include "play/OfflineNotes.h"
#include "play/engine/MplyEntity.h"
#include "play/engine/MplyKeyLane.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyOutput.h"
#include "play/engine/MplyPlayer.h"
#include "play/tracks/MplyAudition.h"

namespace phrase_audition_test {

using Rec = kv_midi::midi_out_recorder;

// One note message the recorder got: note-on (true) or note-off, channel, key, when.
struct Heard {
    bool on;
    int channel;
    int key;
    std::chrono::steady_clock::time_point at;
};

std::vector<Heard> note_messages(const Rec& midi) {
    std::vector<Heard> out;
    for (const auto& r : midi.log()) {
        if (r.what != Rec::kind::short_message || r.bytes.size() < 3) continue;
        const int high = r.bytes[0] & 0xF0;
        const int channel = r.bytes[0] & 0x0F;
        if (high == 0x90 && r.bytes[2] > 0) out.push_back({true, channel, r.bytes[1], r.at});
        if (high == 0x80 || (high == 0x90 && r.bytes[2] == 0))
            out.push_back({false, channel, r.bytes[1], r.at});
    }
    return out;
}

size_t count_ons(const std::vector<Heard>& heard) {
    return static_cast<size_t>(
        std::count_if(heard.begin(), heard.end(), [](const Heard& h) { return h.on; }));
}

// True when every note-on has had its note-off, and no note-off came without a note-on.
bool balanced(const std::vector<Heard>& heard) {
    std::map<std::pair<int, int>, int> open;
    for (const Heard& h : heard) {
        int& n = open[{h.channel, h.key}];
        n += h.on ? 1 : -1;
        if (n < 0) return false;
    }
    for (const auto& [key, n] : open) {
        if (n != 0) return false;
    }
    return true;
}

class PhraseAudition : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(start_on_demo());
        ASSERT_NO_FATAL_FAILURE(open_first_music(&music, &editor));
        refer = phrase_track();
        ASSERT_NE(refer, nullptr);
        track = editor->find_track(refer->owner->id);
        ASSERT_NE(track, nullptr);
        phrase_node = other_book_phrase();
        ASSERT_NE(phrase_node, nullptr);
        phrase = mseq_open(phrase_node)->cast_to<MseqMusic>(MTYPE_LEAF_PHRASE);
        ASSERT_NE(phrase, nullptr);
        midi_.clear_log();
        port_.log.clear();
    }
    void TearDown() override {
        stop_playing();
        AppTest::TearDown();
    }

    MAppAudition& audition() { return *frame().playback().audition(); }

    // The first phrase track of the song that sounds.
    MseqTrackRefer* phrase_track() {
        for (MseqObject* t = music->root(); t; t = t->next_in(music->root())) {
            auto* r = t->type == MTYPE_TRACK_REFER
                          ? mseq_track_of(t)->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER)
                          : nullptr;
            if (r && r->m_Beat > 0 && (r->m_Flags & MTF_OUTPUT)) return r;
        }
        return nullptr;
    }
    // The first phrase with notes of a book other than the song's (the standard pattern book).
    MseqObject* other_book_phrase() {
        MseqObject* own = mseq_find_book_ancestor(music->owner);
        for (MseqObject* b = frame().room_node()->first_child(); b; b = b->next()) {
            if (b == own) continue;
            mseq_open(b);
            for (MseqObject* p = b->first_child(); p; p = p->next_in(b)) {
                if (p->type != MTYPE_LEAF_PHRASE) continue;
                ref_ptr<MseqEntity> e = mseq_open(p);
                auto* m = e->cast_to<MseqMusic>(MTYPE_LEAF_PHRASE);
                if (m && !alone_keys(m).empty()) return p;
            }
        }
        return nullptr;
    }
    // The keys of a phrase played on its own, in the order of its note-ons.
    static std::vector<int> alone_keys(MseqMusic* m) {
        std::vector<int> keys;
        for (const auto& [tick, ch, key] : offline_notes::offline_note_ons(m))
            keys.push_back(key);
        return keys;
    }
    int64_t unit() const { return MseqTrack::kTicksPerBar / refer->m_Beat; }
    // Empties the phrase track (one edit), so that a phrase put anywhere plays alone on it.
    void clear_phrase_track() {
        ASSERT_TRUE(
            editor->set_cursor(track, 0, static_cast<int32_t>(refer->end_index(refer->m_Beat))));
        ASSERT_EQ(editor->action(MACT_DELETE), 1);
        ASSERT_EQ(refer->block_count(), 0u);
    }
    // The chord track of the song with the most chord blocks.
    MseqTrackChord* chord_track() {
        MseqTrackChord* best = nullptr;
        for (MseqObject* t = music->root(); t; t = t->next_in(music->root())) {
            auto* c = t->type == MTYPE_TRACK_CHORD
                          ? mseq_track_of(t)->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD)
                          : nullptr;
            if (c && c->m_Beat > 0 && (!best || c->block_count() > best->block_count())) best = c;
        }
        return best;
    }
    // The shown audition: the phrase selected, the cursor on the phrase track at `pos`, the key.
    bool hear_at(int32_t pos) {
        EXPECT_TRUE(editor->set_cursor(track, pos, pos));
        frame().select_node(phrase_node);
        return frame().run(ID_AUDITION_PHRASE);
    }
    // Pumps the frame until the audition is silent (at most 10 s of real time).
    bool wait_silent() {
        for (int i = 0; i < 10000 && audition().sounding(); ++i) {
            frame().pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return !audition().sounding();
    }
    // The song as this program writes it.
    std::string song_bytes() {
        MseqDesk::instance().mark_modified(music);
        EXPECT_TRUE(frame().run(ID_FILE_SAVE_ALL));
        return read(kv_fs::to_host(music->full_path.str()));
    }

    MseqMusic* music = nullptr;
    MedtMusicInvoker* editor = nullptr;
    MseqTrackRefer* refer = nullptr;
    MedtTrack* track = nullptr;
    MseqObject* phrase_node = nullptr;
    MseqMusic* phrase = nullptr;
};

// Heard over a chord of the song that is not the phrase's own: the keys differ from the phrase
// played alone and are, note for note and on time, those a run plays once the phrase is put on
// the phrase track there.
TEST_F(PhraseAudition, TheKeysAreThoseThePhraseTrackPlaysOverTheChordAtTheCursor) {
    ASSERT_NO_FATAL_FAILURE(clear_phrase_track());
    const std::vector<int> alone = alone_keys(phrase);
    MseqTrackChord* chords = chord_track();
    ASSERT_NE(chords, nullptr);
    // The first chord of the song over which the phrase sounds other keys than on its own.
    int32_t pos = -1;
    MplyAudition expected;
    for (const auto& [index, chord] : chords->blocks()) {
        const int64_t tick = int64_t{index} * (MseqTrack::kTicksPerBar / chords->m_Beat);
        if (tick % unit() != 0) continue;
        MplyAudition a;
        if (!a.resolve_phrase(music, refer->owner->id, tick, phrase)) continue;
        std::vector<int> keys;
        for (const MplyAuditionNote& n : a.notes())
            keys.push_back(n.key);
        if (keys == alone) continue;
        pos = static_cast<int32_t>(tick / unit());
        expected = a;
        break;
    }
    ASSERT_GE(pos, 0) << "no chord of the song changes the phrase";

    ASSERT_TRUE(hear_at(pos));
    ASSERT_TRUE(wait_silent());
    const std::vector<Heard> heard = note_messages(midi_);
    EXPECT_TRUE(balanced(heard));
    std::vector<int> keys;
    for (const Heard& h : heard) {
        if (!h.on) continue;
        keys.push_back(h.key);
        EXPECT_EQ(h.channel, mseq_effective_channel(refer));
    }
    std::vector<int> wanted;
    for (const MplyAuditionNote& n : expected.notes())
        wanted.push_back(n.key);
    EXPECT_EQ(keys, wanted);
    EXPECT_NE(keys, alone);
    // The later notes come when their time does (the clock runs 16 times as fast).
    const auto first =
        std::find_if(heard.begin(), heard.end(), [](const Heard& h) { return h.on; });
    const auto last =
        std::find_if(heard.rbegin(), heard.rend(), [](const Heard& h) { return h.on; });
    const auto waited = std::chrono::duration_cast<std::chrono::microseconds>(last->at - first->at);
    const int64_t due_us =
        int64_t{expected.ms_of(expected.notes().back().at)} * 1000 / FastClock::kFactor;
    EXPECT_GE(waited.count(), due_us * 8 / 10);

    // What a run plays with the phrase put there: the same keys, velocities, starts and lengths.
    ASSERT_TRUE(MedtTrackPress::drop_phrase(*editor, *track, pos, phrase_node));
    const int64_t start = pos * unit();
    const MplyResolvedKeys run =
        MplyKeyLane::resolve_track(*music, refer->owner->id, static_cast<int32_t>(start),
                                   static_cast<int32_t>(start + music->length_ticks()));
    std::vector<std::tuple<int64_t, int, int, int32_t>> played, audition_notes;
    for (const MplyLaneNote& n : run.notes)
        played.emplace_back(n.tick - start, n.key, n.velocity, n.length);
    for (const MplyAuditionNote& n : expected.notes())
        audition_notes.emplace_back(n.at, n.key, n.velocity, n.ticks);
    std::sort(audition_notes.begin(), audition_notes.end());
    EXPECT_EQ(audition_notes, played);
}

TEST_F(PhraseAudition, NoNoteHangsAfterAStopTheNextAuditionOrTheEnd) {
    // A stop ends what sounds at once, and nothing more comes.
    ASSERT_TRUE(hear_at(0));
    ASSERT_TRUE(audition().sounding());
    ASSERT_GT(count_ons(note_messages(midi_)), 0u) << "the first notes go out at once";
    ASSERT_TRUE(frame().run(ID_STOP));
    EXPECT_FALSE(audition().sounding());
    EXPECT_TRUE(balanced(note_messages(midi_)));
    const size_t after_stop = note_messages(midi_).size();
    for (int i = 0; i < 50; ++i) {
        frame().pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(note_messages(midi_).size(), after_stop);

    // A second audition ends the first before its own first note.
    midi_.clear_log();
    ASSERT_TRUE(hear_at(0));
    const size_t first_ons = count_ons(note_messages(midi_));
    ASSERT_TRUE(hear_at(0));
    const std::vector<Heard> twice = note_messages(midi_);
    std::vector<Heard> before_second(twice.begin(), twice.begin() + 2 * first_ons);
    EXPECT_TRUE(balanced(before_second));
    EXPECT_EQ(count_ons(twice), 2 * first_ons);

    // The end of the application ends the second.
    app_.end();
    EXPECT_TRUE(balanced(note_messages(midi_)));
}

TEST_F(PhraseAudition, TheMusicIsLeftAsItWas) {
    const std::string before = song_bytes();
    const size_t groups = editor->history().group_count();
    ASSERT_FALSE(music->flags & MEF_MODIFIED);
    const size_t tracks = music->tracks.size();
    const size_t blocks = refer->block_count();
    ASSERT_TRUE(hear_at(0));
    ASSERT_TRUE(wait_silent());
    EXPECT_GT(count_ons(note_messages(midi_)), 0u);
    EXPECT_FALSE(music->flags & MEF_MODIFIED);
    EXPECT_TRUE(MseqDesk::instance().modified.empty());
    EXPECT_EQ(editor->history().group_count(), groups);
    EXPECT_EQ(music->tracks.size(), tracks);
    EXPECT_EQ(refer->block_count(), blocks);
    EXPECT_EQ(song_bytes(), before);
}

TEST_F(PhraseAudition, SwitchedOffOrWhileARunPlaysNothingSounds) {
    ASSERT_TRUE(frame().run(ID_AUDITION));
    ASSERT_FALSE(frame().checked(ID_AUDITION));
    EXPECT_TRUE(hear_at(0));
    EXPECT_TRUE(note_messages(midi_).empty());
    EXPECT_TRUE(port_.log.empty()) << "switched off is no fault to report";
    ASSERT_TRUE(frame().run(ID_AUDITION));
    ASSERT_TRUE(frame().run(ID_PLAY));
    ASSERT_TRUE(frame().playing());
    EXPECT_FALSE(audition().audition_phrase(music, refer->owner->id, 0, phrase));
    EXPECT_FALSE(audition().sounding());
}

TEST_F(PhraseAudition, WithoutAPhraseAMusicOrAPhraseTrackTheStatusBarSaysWhy) {
    // The music's own node selected: no phrase.
    frame().select_node(music->owner);
    ASSERT_TRUE(frame().run(ID_AUDITION_PHRASE));
    EXPECT_TRUE(shown(kv_text(mapp_msg::PHRASE_AUDITION_NO_PHRASE)));
    EXPECT_TRUE(note_messages(midi_).empty());
    // No music shown.
    port_.log.clear();
    frame().select_edit(-1);
    ASSERT_EQ(frame().shown_file(), nullptr);
    frame().select_node(phrase_node);
    ASSERT_TRUE(frame().run(ID_AUDITION_PHRASE));
    EXPECT_TRUE(shown(kv_text(mapp_msg::PHRASE_AUDITION_NO_MUSIC)));
    EXPECT_TRUE(note_messages(midi_).empty());
}

// The command is in the command table with its key, label and tip, and in the library menu.
TEST_F(PhraseAudition, TheCommandHasItsKeyLabelTipAndMenuEntry) {
    bool keyed = false;
    for (const MAppAccelerator& a : mapp_commands::accelerators())
        keyed = keyed || (a.id == ID_AUDITION_PHRASE && std::string(a.keys) == "Shift+F6");
    EXPECT_TRUE(keyed);
    EXPECT_NE(mapp_commands::label(ID_AUDITION_PHRASE).str().find("Shift+F6"), std::string::npos);
    EXPECT_FALSE(mapp_commands::status_text(ID_AUDITION_PHRASE).empty());
    bool listed = false;
    for (const MAppMenuEntry& e : frame().menu(MAppMenu::library))
        listed = listed || (e.id == ID_AUDITION_PHRASE && e.enabled);
    EXPECT_TRUE(listed);
}

// A property change of a track that changes the key at the cursor is heard as the run now plays
// it; one that changes nothing heard stays silent.
TEST_F(PhraseAudition, APropertyChangeThatMovesTheKeyAtTheCursorIsHeard) {
    MseqTrackNote* notes = nullptr;
    for (MseqObject* t = music->root(); t && !notes; t = t->next_in(music->root())) {
        auto* n = t->type == MTYPE_TRACK_NOTE
                      ? mseq_track_of(t)->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE)
                      : nullptr;
        MplyAudition a;
        if (n && !n->blocks().empty() && a.resolve_note(music, t->id, n->blocks().begin()->first))
            notes = n;
    }
    ASSERT_NE(notes, nullptr);
    MedtTrack* t = editor->find_track(notes->owner->id);
    const int32_t pos = notes->blocks().begin()->first;
    const int32_t inside = pos + std::max(notes->blocks().begin()->second.m_Length / 2, 0);
    ASSERT_TRUE(editor->set_cursor(t, inside, inside));
    MplyAudition before;
    ASSERT_TRUE(before.resolve_note(music, notes->owner->id, pos));

    // A new name changes no key: nothing sounds.
    ASSERT_EQ(editor->rename_track(notes->owner->id, cp("別名")), 1);
    EXPECT_TRUE(note_messages(midi_).empty());

    // The octave, one choice up (or down at the top).
    int32_t current = -1, count = 0;
    for (;; ++count) {
        MseqBlockWord w;
        const int answer = t->property_choice(MROW_NOTE_OCTAVE, count, &w, nullptr);
        if (answer != MCHOICE_ITEM && answer != MCHOICE_CURRENT) break;
        if (answer == MCHOICE_CURRENT) current = count;
    }
    ASSERT_GE(current, 0);
    const int32_t other = current + 1 < count ? current + 1 : current - 1;
    ASSERT_EQ(MedtPropertyEdit::set_choice(*editor, *t, MROW_NOTE_OCTAVE, other),
              MedtPropertyProblem::None);
    MplyAudition after;
    ASSERT_TRUE(after.resolve_note(music, notes->owner->id, pos));
    ASSERT_NE(after.notes()[0].key, before.notes()[0].key);
    std::vector<Heard> heard = note_messages(midi_);
    ASSERT_EQ(count_ons(heard), 1u);
    EXPECT_EQ(heard[0].key, after.notes()[0].key);
    EXPECT_EQ(heard[0].channel, after.notes()[0].channel);
    ASSERT_TRUE(wait_silent());
    EXPECT_TRUE(balanced(note_messages(midi_)));

    // The music's transposition, set on its own row while the cursor stays on the note: heard.
    midi_.clear_log();
    MedtTrack* root = editor->find_track(music->root()->id);
    ASSERT_NE(root, nullptr);
    const int32_t shift = music->m_Transpose < 12 ? music->m_Transpose + 1 : music->m_Transpose - 1;
    ASSERT_EQ(MedtPropertyEdit::set_text(*editor, *root, MROW_MUSIC_TRANSPOSE,
                                         CkvString(std::to_string(shift))),
              MedtPropertyProblem::None);
    ASSERT_EQ(music->m_Transpose, shift);
    MplyAudition transposed;
    ASSERT_TRUE(transposed.resolve_note(music, notes->owner->id, pos));
    heard = note_messages(midi_);
    ASSERT_EQ(count_ons(heard), 1u);
    EXPECT_EQ(heard[0].key, transposed.notes()[0].key);
    EXPECT_NE(transposed.notes()[0].key, after.notes()[0].key);

    // Undo is not heard.
    midi_.clear_log();
    editor->undo();
    EXPECT_EQ(count_ons(note_messages(midi_)), 0u);
}

// A dropped phrase is as long as the phrase: a run plays every note of it there.
TEST_F(PhraseAudition, ADroppedPhrasePlaysWhole) {
    ASSERT_NO_FATAL_FAILURE(clear_phrase_track());
    const size_t notes = alone_keys(phrase).size();
    ASSERT_GT(notes, 1u);
    const int32_t pos = 4 * refer->m_Beat;  // the fifth bar
    ASSERT_TRUE(MedtTrackPress::drop_phrase(*editor, *track, pos, phrase_node));
    ASSERT_NE(refer->block_at(pos), nullptr);
    const int32_t length = refer->block_at(pos)->m_Length;
    EXPECT_GT(length, 1);
    const int64_t start = pos * unit();
    const MplyResolvedKeys run =
        MplyKeyLane::resolve_track(*music, refer->owner->id, static_cast<int32_t>(start),
                                   static_cast<int32_t>(start + 64 * MseqTrack::kTicksPerBar));
    EXPECT_EQ(run.notes.size(), notes);
    // A block after it limits it: a second drop just before that block ends where it starts.
    const int32_t before = pos - 1;
    ASSERT_TRUE(MedtTrackPress::drop_phrase(*editor, *track, before, phrase_node));
    ASSERT_NE(refer->block_at(before), nullptr);
    EXPECT_EQ(refer->block_at(before)->m_Length, 1);
    ASSERT_NE(refer->block_at(pos), nullptr);
    EXPECT_EQ(refer->block_at(pos)->m_Length, length);
}

}  // namespace phrase_audition_test
