#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqReplace.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackText.h"
#include "model/track/MseqTrackTree.h"
#include "model/track/MseqTrackValue.h"

namespace track_tree_test {

// A music with tracks made the way the editor makes them.
struct Song {
    MseqObject* add(MseqObject* anchor, int place, MSEQ_TYPE type, int32_t beat,
                    const char* name = "t") {
        MseqObject* node = music.create_track(anchor->id, place, type, CkvString(name));
        if (node) mseq_track_of(node)->m_Beat = beat;
        return node;
    }
    template <class T>
    static T* track(MseqObject* node) {
        return dynamic_cast<T*>(mseq_track_of(node));
    }
    MseqMusic music{nullptr};
};

MseqBlockNote note_of_length(int32_t length) {
    MseqBlockNote n;
    n.m_Length = length;
    return n;
}

std::string notes(MseqObject* node) {
    auto* t = Song::track<MseqTrackNote>(node);
    if (!t) return "?";
    std::string out;
    for (const auto& [index, note] : t->blocks()) {
        if (!out.empty()) out += ' ';
        out += std::to_string(index) + "+" + std::to_string(note.m_Length);
    }
    return out;
}

// The node types of a subtree in pre-order, each prefixed by its depth.
std::string shape(MseqObject* top) {
    std::string out;
    for (MseqObject* n = top; n; n = n->next_in(top)) {
        int depth = 0;
        for (MseqObject* p = n; p != top; p = p->parent())
            ++depth;
        out += std::to_string(depth) + ":" + std::to_string(n->type & 0xFFF) + " ";
    }
    return out;
}

std::vector<MSEQ_ID> ids(MseqObject* top) {
    std::vector<MSEQ_ID> out;
    for (MseqObject* n = top; n; n = n->next_in(top))
        out.push_back(n->id);
    return out;
}

// A group on grid 4 holding a note track on 16, a phrase track on 8 and a text.
struct GroupSong : Song {
    GroupSong() {
        group = add(music.detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 4, "g");
        note = add(group, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16, "n");
        refer = add(group, MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 8, "r");
        text = add(group, MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, 1, "x");
        auto* n = track<MseqTrackNote>(note);
        n->put_block(0, note_of_length(4));
        n->put_block(4, note_of_length(4));
        n->put_block(8, note_of_length(8));
        MseqBlockRefer r;
        r.m_Length = 2;
        track<MseqTrackRefer>(refer)->put_block(2, r);
        track<MseqTrackText>(text)->m_Text = "words";
    }
    // An empty group of the same shape and grids.
    MseqObject* add_empty_twin() {
        MseqObject* g = add(music.detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 4);
        add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16);
        add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 8);
        add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, 1);
        return g;
    }
    MseqObject* group;
    MseqObject* note;
    MseqObject* refer;
    MseqObject* text;
};

TEST(TrackTree, SubtreeStoreBuildsADetachedTreeOfTheSameShape) {
    GroupSong s;
    MseqObject clip;
    ASSERT_TRUE(mseq_subtree_store(s.group, 1, 3, &clip));  // bars 1/4 to 3/4
    EXPECT_EQ(shape(&clip), shape(s.group));
    for (MseqObject* n = &clip; n; n = n->next_in(&clip))
        EXPECT_EQ(mseq_file_number(n->id), MFILE_DETACHED);
    MseqObject* note = clip.first_child();
    MseqObject* refer = note->next();
    MseqObject* text = refer->next();
    EXPECT_EQ(notes(note), "0+4 4+8");  // [4, 12) of grid 16; the last note stays whole
    EXPECT_EQ(Song::track<MseqTrackNote>(note)->stored_length, 8);
    EXPECT_EQ(Song::track<MseqTrackRefer>(refer)->stored_length, 4);
    EXPECT_EQ(Song::track<MseqTrackRefer>(refer)->block_at(0)->m_Length, 2);
    EXPECT_EQ(Song::track<MseqTrackText>(text)->m_Text, "words");
    EXPECT_EQ(mseq_stored_span(s.group, &clip), 2);
    EXPECT_EQ(mseq_stored_span(s.note, note), 8);

    // A second store replaces the whole content, children included.
    ASSERT_TRUE(mseq_subtree_store(s.note, 0, 4, &clip));
    EXPECT_EQ(clip.first_child(), nullptr);
    EXPECT_EQ(notes(&clip), "0+4");

    // Only an empty or detached node takes a store; a bad start changes nothing.
    EXPECT_FALSE(mseq_subtree_store(s.group, 1, 3, s.text));
    EXPECT_FALSE(mseq_subtree_store(s.group, -1, 3, &clip));
    EXPECT_EQ(notes(&clip), "0+4");
}

TEST(TrackTree, MultiTrackPasteAndOverwrite) {
    GroupSong s;
    MseqObject clip;
    ASSERT_TRUE(mseq_subtree_store(s.group, 1, 3, &clip));
    MseqObject* twin = s.add_empty_twin();
    MseqObject* twin_note = twin->first_child();
    MseqObject* twin_refer = twin_note->next();
    auto* twin_text = Song::track<MseqTrackText>(twin_refer->next());
    Song::track<MseqTrackNote>(twin_note)->put_block(4, note_of_length(1));
    int64_t end = 0;
    ASSERT_TRUE(mseq_subtree_insert(twin, 1, 1, &clip, MSEQ_OP_CLIP, &end));
    EXPECT_EQ(end, 3);
    EXPECT_EQ(notes(twin_note), "4+4 8+4 12+1");  // the old note moved behind the paste
    EXPECT_EQ(Song::track<MseqTrackRefer>(twin_refer)->block_at(2)->m_Length, 2);
    EXPECT_TRUE(twin_text->m_Text.empty());  // texts are not sequences: untouched

    ASSERT_TRUE(mseq_subtree_cover(twin, 0, 1, &clip, 0, &end));
    EXPECT_EQ(end, 1);
    EXPECT_EQ(notes(twin_note), "0+4 4+4 8+4 12+1");

    // Another shape is refused and nothing changes.
    MseqObject* other = s.add(s.music.detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 4);
    MseqObject* lone = s.add(other, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16);
    EXPECT_FALSE(mseq_same_shape(other, &clip));
    EXPECT_FALSE(mseq_subtree_insert(other, 0, 0, &clip, 0, &end));
    EXPECT_FALSE(mseq_subtree_cover(other, 0, 0, &clip, 0, &end));
    EXPECT_FALSE(mseq_subtree_insert(twin, 0, 0, nullptr, 0, &end));
    EXPECT_EQ(notes(lone), "");
    // Same types in pre-order at other depths are another shape too.
    MseqObject flat;
    flat.set(0xE00001, MTYPE_TRACK_GROUP, CkvString("g"), MseqDescPath(kPathWith));
    auto* a = new MseqObject(0xE00002, MTYPE_TRACK_GROUP, CkvString("g"), MseqDescPath());
    a->link_last_child(&flat);
    MseqObject deep;
    deep.set(0xE00001, MTYPE_TRACK_GROUP, CkvString("g"), MseqDescPath(kPathWith));
    auto* b = new MseqObject(0xE00002, MTYPE_TRACK_GROUP, CkvString("g"), MseqDescPath());
    b->link_last_child(&deep);
    EXPECT_TRUE(mseq_same_shape(&flat, &deep));
    auto* c = new MseqObject(0xE00003, MTYPE_TRACK_NOTE, CkvString("n"), MseqDescPath());
    c->link_last_child(a);
    auto* d = new MseqObject(0xE00003, MTYPE_TRACK_NOTE, CkvString("n"), MseqDescPath());
    d->link_last_child(&deep);
    EXPECT_FALSE(mseq_same_shape(&flat, &deep));
}

TEST(TrackTree, GridsOfTheSubtreeMustFitTheTarget) {
    GroupSong s;
    EXPECT_TRUE(mseq_subtree_grid_fits(s.group));  // gcd(16, 8) = 8, a multiple of 4
    EXPECT_TRUE(mseq_subtree_grid_fits(s.text));   // no sequence at all
    MseqObject* odd = s.add(s.group, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 6);
    Song::track<MseqTrackNote>(odd)->put_block(0, note_of_length(1));
    EXPECT_FALSE(mseq_subtree_grid_fits(s.group));  // gcd 2
    MseqObject clip;
    EXPECT_FALSE(mseq_subtree_store(s.group, 0, 1, &clip));
    EXPECT_EQ(clip.id, 0u);
    EXPECT_FALSE(mseq_subtree_space(s.group, 0, 1, 0));
    EXPECT_FALSE(mseq_subtree_cut(s.group, 0, 1, 0));
    EXPECT_EQ(notes(s.note), "0+4 4+4 8+8");
    EXPECT_EQ(notes(odd), "0+1");
    // On its own grid the odd track is fine.
    EXPECT_TRUE(mseq_subtree_space(odd, 0, 1, 0));
    EXPECT_EQ(notes(odd), "1+1");
}

TEST(TrackTree, SubtreeEditsChangeAllTracksOrNone) {
    GroupSong s;
    ASSERT_TRUE(mseq_subtree_space(s.group, 1, 1, 0));
    // One step of grid 4 is four steps of the note track and two of the phrase track.
    EXPECT_EQ(notes(s.note), "0+4 8+4 12+8");
    ASSERT_NE(Song::track<MseqTrackRefer>(s.refer)->block_at(4), nullptr);
    ASSERT_TRUE(mseq_subtree_cut(s.group, 1, 2, 0));
    EXPECT_EQ(notes(s.note), "0+4 4+4 8+8");
    ASSERT_TRUE(mseq_subtree_erase(s.group, 0, 1, MSEQ_OP_SPLIT));
    EXPECT_EQ(notes(s.note), "4+4 8+8");
    ASSERT_NE(Song::track<MseqTrackRefer>(s.refer)->block_at(2), nullptr);  // after [0, 2)
    ASSERT_TRUE(mseq_subtree_erase(s.group, 1, 2, MSEQ_OP_SPLIT));
    EXPECT_EQ(notes(s.note), "8+8");
    EXPECT_EQ(Song::track<MseqTrackRefer>(s.refer)->block_count(), 0u);
    // A test run changes nothing.
    EXPECT_TRUE(mseq_subtree_cut(s.group, 0, 3, MSEQ_OP_TEST_ONLY));
    EXPECT_EQ(notes(s.note), "8+8");

    // One track that cannot take the change stops all of them.
    MseqObject* far = s.add(s.group, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 4);
    Song::track<MseqTrackNote>(far)->put_block(INT32_MAX - 1, note_of_length(1));
    EXPECT_FALSE(mseq_subtree_space(s.group, 0, 2, 0));
    EXPECT_EQ(notes(s.note), "8+8");
}

TEST(TrackTree, SubtreeReplaceWorksInEachTracksGrid) {
    Song s;
    MseqObject* group = s.add(s.music.detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 2);
    MseqObject* fine = s.add(group, MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 8);
    MseqObject* coarse = s.add(group, MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 2);
    MseqBlockRefer r;
    r.m_PhraseID = 0x200001;
    for (int32_t i : {0, 3, 4, 7})
        Song::track<MseqTrackRefer>(fine)->put_block(i, r);
    for (int32_t i : {0, 1, 2})
        Song::track<MseqTrackRefer>(coarse)->put_block(i, r);
    MseqReplaceRefer replacement;
    replacement.m_From = 0;
    replacement.m_To = 1;  // half a bar: [0, 4) of the fine track, [0, 1) of the coarse one
    replacement.m_Set = MREPLACE_PHRASE;
    replacement.m_NewBlock.m_PhraseID = 0x200002;
    ASSERT_TRUE(mseq_subtree_replace(group, &replacement));
    EXPECT_EQ(replacement.m_Count, 3);
    EXPECT_EQ(replacement.m_To, 1);
    EXPECT_EQ(Song::track<MseqTrackRefer>(fine)->block_at(3)->m_PhraseID, 0x200002u);
    EXPECT_EQ(Song::track<MseqTrackRefer>(fine)->block_at(4)->m_PhraseID, 0x200001u);
    EXPECT_EQ(Song::track<MseqTrackRefer>(coarse)->block_at(1)->m_PhraseID, 0x200001u);
    EXPECT_FALSE(mseq_subtree_replace(group, nullptr));
}

TEST(TrackTree, ValidationRunsOverTheWholeTree) {
    GroupSong s;
    Song::track<MseqTrackNote>(s.note)->m_Channel = 40;
    Song::track<MseqTrackGroup>(s.group)->m_Beat = 0;
    EXPECT_TRUE(mseq_validate_tracks(s.music.root()));
    EXPECT_EQ(Song::track<MseqTrackNote>(s.note)->m_Channel, 15);
    EXPECT_EQ(Song::track<MseqTrackGroup>(s.group)->m_Beat, 1);
    MseqObject folder(0x01010001, MTYPE_LEAF_FOLDER, CkvString("f"), MseqDescPath());
    EXPECT_FALSE(mseq_validate_tracks(&folder));
    EXPECT_FALSE(mseq_validate_tracks(nullptr));
}

TEST(TrackTree, ContainerLengthIsTheLongestTrackInItsGrid) {
    GroupSong s;
    // Note track: end 16 of grid 16 = 1920 ticks; phrase track: end 4 of grid 8 = 960.
    EXPECT_EQ(mseq_track_length(s.note), 16);
    EXPECT_EQ(mseq_track_length(s.group), 4);
    EXPECT_EQ(mseq_track_length(s.music.detail()), 1);
    EXPECT_EQ(mseq_track_length(s.text), 0);
    Song::track<MseqTrackNote>(s.note)->put_block(16, note_of_length(1));  // 2040 ticks
    EXPECT_EQ(mseq_track_length(s.group), 5);
    EXPECT_EQ(mseq_track_length(s.music.detail()), 2);
    EXPECT_EQ(mseq_track_length(s.music.root()), 2);
    EXPECT_EQ(mseq_track_length(s.music.header()), 0);
}

TEST(TrackTree, DeleteTakesASnapshotThatInsertRestores) {
    GroupSong s;
    MseqObject* first = s.add(s.music.detail(), MPLACE_FIRST_CHILD, MTYPE_TRACK_NOTE, 4);
    const std::vector<MSEQ_ID> before = ids(s.group);
    const std::string before_shape = shape(s.music.root());
    const size_t count = s.music.tracks.size();

    EXPECT_TRUE(s.music.delete_tracks(s.group->id, true, nullptr, nullptr));
    EXPECT_EQ(s.music.tracks.size(), count);  // the test changed nothing

    MseqObject snapshot;
    MseqTrackPlace place;
    ASSERT_TRUE(s.music.delete_tracks(before[0], false, &snapshot, &place));
    EXPECT_EQ(place, (MseqTrackPlace{first->id, MPLACE_AFTER}));
    EXPECT_EQ(s.music.tracks.size(), count - 4);
    for (MSEQ_ID id : before)
        EXPECT_EQ(s.music.find_track(id), nullptr);
    EXPECT_EQ(snapshot.id, mseq_with_file_number(before[0], MFILE_DETACHED));
    EXPECT_EQ(notes(snapshot.first_child()), "0+4 4+4 8+8");

    MseqObject* restored = nullptr;
    ASSERT_TRUE(
        s.music.insert_tracks(place.anchor, place.place, &snapshot, true, false, &restored));
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(ids(restored), before);
    EXPECT_EQ(shape(s.music.root()), before_shape);
    EXPECT_EQ(notes(restored->first_child()), "0+4 4+4 8+8");
    EXPECT_EQ(Song::track<MseqTrackGroup>(restored)->m_Beat, 4);
    EXPECT_EQ(Song::track<MseqTrackText>(restored->last_child())->m_Text, "words");

    // A first child remembers its parent.
    ASSERT_TRUE(s.music.delete_tracks(first->id, false, nullptr, &place));
    EXPECT_EQ(place, (MseqTrackPlace{MID_TRACK_DETAIL, MPLACE_FIRST_CHILD}));
}

TEST(TrackTree, DeleteRefusesFixedTracksAndContentInUse) {
    GroupSong s;
    MseqObject snapshot;
    for (MSEQ_ID fixed : {MID_TRACK_ROOT, MID_TRACK_HEADER, MID_TRACK_DETAIL})
        EXPECT_FALSE(s.music.delete_tracks(fixed, false, &snapshot, nullptr));
    EXPECT_FALSE(s.music.delete_tracks(0x100999, false, nullptr, nullptr));
    ref_ptr<MseqEntity> editor = mseq_open(s.note);
    ref_ptr<MseqEntity> player = mseq_open(s.note);
    EXPECT_FALSE(s.music.delete_tracks(s.group->id, false, &snapshot, nullptr));
    EXPECT_FALSE(s.music.delete_tracks(s.group->id, true, nullptr, nullptr));
    EXPECT_EQ(snapshot.id, 0u);
    EXPECT_NE(s.music.find_track(s.note->id), nullptr);
}

TEST(TrackTree, InsertCopiesAllocatesIdentifiersAndKeepsTheShape) {
    GroupSong s;
    MseqObject clip;
    ASSERT_TRUE(mseq_copy_tree(s.group, &clip));
    MseqObject* copy = nullptr;
    ASSERT_TRUE(s.music.insert_tracks(s.group->id, MPLACE_AFTER, &clip, false, false, &copy));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->prev(), s.group);
    EXPECT_EQ(shape(copy), shape(s.group));
    for (MSEQ_ID id : ids(copy)) {
        EXPECT_EQ(mseq_file_number(id), MFILE_TRACKS);
        EXPECT_EQ(s.music.find_track(id) != nullptr, true);
    }
    EXPECT_NE(copy->id, s.group->id);
    EXPECT_EQ(notes(copy->first_child()), notes(s.note));
    // Copies are independent of their source.
    Song::track<MseqTrackNote>(copy->first_child())->put_block(30, note_of_length(1));
    EXPECT_EQ(notes(s.note), "0+4 4+4 8+8");

    // Keeping identifiers that are taken fails without leaving anything behind.
    const size_t count = s.music.tracks.size();
    EXPECT_FALSE(
        s.music.insert_tracks(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, &clip, true, false, &copy));
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(s.music.tracks.size(), count);
    // The group refuses to go where groups cannot be.
    EXPECT_FALSE(s.music.insert_tracks(s.note->id, MPLACE_LAST_CHILD, &clip, false, true, &copy));
    EXPECT_FALSE(
        s.music.insert_tracks(MID_TRACK_HEADER, MPLACE_LAST_CHILD, &clip, false, false, &copy));
    EXPECT_FALSE(
        s.music.insert_tracks(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, nullptr, false, true, &copy));
    EXPECT_TRUE(
        s.music.insert_tracks(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, &clip, false, true, &copy));
    EXPECT_EQ(s.music.tracks.size(), count);
}

TEST(TrackTree, InsertCopiesRollsBackWhenALaterCopyFails) {
    GroupSong s;
    MseqObject clip;
    ASSERT_TRUE(mseq_copy_tree(s.group, &clip));
    // The group's own serial is free again but its members' serials are taken: the group and
    // perhaps a member are made before the failure, and must go again.
    clip.id = mseq_make_id(MFILE_DETACHED, 0x20000);
    const size_t count = s.music.tracks.size();
    const std::string before = shape(s.music.root());
    MseqObject* copy = nullptr;
    EXPECT_FALSE(
        s.music.insert_tracks(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, &clip, true, false, &copy));
    EXPECT_EQ(s.music.tracks.size(), count);
    EXPECT_EQ(s.music.find_track(0x120000), nullptr);
    EXPECT_EQ(shape(s.music.root()), before);

    // The music fills up half-way through the copies: allocated identifiers are undone too.
    while (s.music.tracks.size() < MseqMusic::kMaxTracks - 2)
        ASSERT_NE(s.add(s.music.detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, 1), nullptr);
    const size_t full = s.music.tracks.size();
    const uint32_t next_full = s.music.m_NextID;
    EXPECT_FALSE(
        s.music.insert_tracks(MID_TRACK_DETAIL, MPLACE_LAST_CHILD, &clip, false, false, &copy));
    EXPECT_EQ(s.music.tracks.size(), full);
    EXPECT_EQ(s.music.m_NextID, next_full);
}

TEST(TrackTree, MoveFollowsTheMovingRules) {
    GroupSong s;
    MseqObject* tempo = s.add(s.music.header(), MPLACE_LAST_CHILD, MTYPE_TRACK_TEMPO, 1);
    MseqObject* solo = s.add(s.music.detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 1);
    ASSERT_NE(tempo, nullptr);
    ASSERT_NE(solo, nullptr);
    struct Case {
        MseqObject* node;
        MseqObject* anchor;
        int place;
    };
    const std::string before = shape(s.music.root());
    const Case refused[] = {
        {s.group, s.note, MPLACE_AFTER},        // into one of its own members
        {s.group, s.group, MPLACE_AFTER},       // relative to itself
        {s.group, s.group, MPLACE_LAST_CHILD},  // into itself
        {s.note, s.refer, MPLACE_LAST_CHILD},   // a phrase track holds no tracks
        {s.note, tempo, MPLACE_AFTER},          // the header takes no note track
        {tempo, solo, MPLACE_BEFORE},           // the part takes no tempo track
        {s.group, s.text, MPLACE_BEFORE},       // groups do not nest
        {s.note, s.refer, 0},
        {s.note, s.refer, 5},
    };
    for (const Case& c : refused) {
        EXPECT_FALSE(s.music.move_track(c.node->id, c.anchor->id, c.place, true, nullptr));
        EXPECT_FALSE(s.music.move_track(c.node->id, c.anchor->id, c.place, false, nullptr));
    }
    EXPECT_FALSE(s.music.move_track(0x100999, s.refer->id, MPLACE_AFTER, false, nullptr));
    EXPECT_EQ(shape(s.music.root()), before);

    EXPECT_TRUE(s.music.move_track(solo->id, s.text->id, MPLACE_AFTER, true, nullptr));
    EXPECT_EQ(solo->parent(), s.music.detail());  // a test moves nothing
    MseqTrackPlace old;
    ASSERT_TRUE(s.music.move_track(solo->id, s.text->id, MPLACE_AFTER, false, &old));
    EXPECT_EQ(solo->parent(), s.group);
    EXPECT_EQ(s.group->last_child(), solo);
    EXPECT_EQ(old, (MseqTrackPlace{s.group->id, MPLACE_AFTER}));
    // Moving back to the recorded place undoes the move.
    ASSERT_TRUE(s.music.move_track(solo->id, old.anchor, old.place, false, &old));
    EXPECT_EQ(shape(s.music.root()), before);
    EXPECT_EQ(s.music.detail()->last_child(), solo);
}

TEST(TrackTree, ReplaceCopiesContentAndSnapshotsTheOld) {
    GroupSong s;
    MseqObject* other = s.add(s.music.detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 2);
    Song::track<MseqTrackNote>(other)->put_block(1, note_of_length(3));
    Song::track<MseqTrackNote>(other)->m_Channel = 5;
    MseqObject source;
    ASSERT_TRUE(mseq_copy_track(other, &source));
    EXPECT_TRUE(s.music.replace_track(s.note->id, &source, true, nullptr));
    EXPECT_EQ(notes(s.note), "0+4 4+4 8+8");
    MseqObject snapshot;
    ASSERT_TRUE(s.music.replace_track(s.note->id, &source, false, &snapshot));
    EXPECT_EQ(notes(s.note), "1+3");
    EXPECT_EQ(Song::track<MseqTrackNote>(s.note)->m_Beat, 2);
    EXPECT_EQ(Song::track<MseqTrackNote>(s.note)->m_Channel, 5);
    EXPECT_EQ(notes(&snapshot), "0+4 4+4 8+8");
    EXPECT_EQ(Song::track<MseqTrackNote>(&snapshot)->m_Beat, 16);
    // Undo: the snapshot goes back in.
    ASSERT_TRUE(s.music.replace_track(s.note->id, &snapshot, false, nullptr));
    EXPECT_EQ(notes(s.note), "0+4 4+4 8+8");
    // Replacing the group keeps its members.
    MseqObject group_copy;
    ASSERT_TRUE(mseq_copy_track(s.group, &group_copy));
    EXPECT_EQ(group_copy.first_child(), nullptr);
    ASSERT_TRUE(s.music.replace_track(s.group->id, &group_copy, false, nullptr));
    EXPECT_EQ(s.group->first_child(), s.note);
    // Another class cannot take the content.
    EXPECT_FALSE(s.music.replace_track(s.refer->id, &source, false, nullptr));
    EXPECT_FALSE(s.music.replace_track(s.note->id, nullptr, false, nullptr));
    EXPECT_FALSE(s.music.replace_track(s.note->id, s.note, false, nullptr));
}

TEST(TrackTree, ToggleOutputSwitchesTheSoundingTracksTogether) {
    GroupSong s;
    MseqObject* memo = s.add(s.music.header(), MPLACE_LAST_CHILD, MTYPE_TRACK_MEMO, 1);
    MseqObject* tempo = s.add(s.music.header(), MPLACE_LAST_CHILD, MTYPE_TRACK_TEMPO, 1);
    mseq_track_of(memo)->m_Flags = 0;
    mseq_track_of(tempo)->m_Flags = 0;
    EXPECT_TRUE(s.music.toggle_output());  // not all on: all on
    for (MseqObject* n : {s.note, s.refer, tempo})
        EXPECT_EQ(mseq_track_of(n)->m_Flags & MTF_OUTPUT, MTF_OUTPUT);
    EXPECT_FALSE(s.music.toggle_output());  // all on: all off
    for (MseqObject* n : {s.note, s.refer, tempo})
        EXPECT_EQ(mseq_track_of(n)->m_Flags & MTF_OUTPUT, 0u);
    EXPECT_EQ(mseq_track_of(memo)->m_Flags, 0u);            // memos never sound
    EXPECT_EQ(mseq_track_of(s.text)->m_Flags, MTF_OUTPUT);  // nor do texts
}

}  // namespace track_tree_test
