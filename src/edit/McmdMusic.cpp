#include "edit/McmdMusic.h"

#include "edit/MedtMusic.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrack.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackTree.h"

McmdReplaceLeafs::McmdReplaceLeafs(MSEQ_ID target, std::unique_ptr<MseqObject> source)
    : track(target), owned(std::move(source)) {}

int McmdReplaceLeafs::run(MseqMusic* music) {
    const bool test = (flags & MCMD_TEST_ONLY) != 0;
    std::unique_ptr<MseqObject> snapshot;
    if ((flags & MCMD_RECORD_UNDO) && !test) snapshot = std::make_unique<MseqObject>();
    if (!owned || !music->replace_track(track, owned.get(), test, snapshot.get())) return 0;
    if (snapshot)
        undo = ref_ptr<MgenCommand>::adopt(new McmdReplaceLeafs(track, std::move(snapshot)));
    result = 1;
    return 1;
}

int McmdReplaceLeafs::refresh(MedtMusic* editor) {
    editor->refresh_track(editor->find_track(track));
    return 1;
}

int McmdSetChordLinks::run(MseqMusic* music) {
    if (flags & MCMD_TEST_ONLY) return 1;
    if (flags & MCMD_RECORD_UNDO)
        undo = ref_ptr<MgenCommand>::adopt(
            new McmdSetChordLinks(music->m_MapChordID, music->m_TrackChordID, music->m_NextID));
    music->m_MapChordID = map;
    music->m_TrackChordID = track;
    if (counter) music->m_NextID = counter;
    result = 1;
    return 1;
}

int McmdSetChordLinks::refresh(MedtMusic* editor) {
    editor->refresh_track(editor->find_track(MID_TRACK_ROOT));
    return 1;
}

namespace {

// A track made from the menu: its beats follow the display, a chord track links the music's
// standard chord map, and the track starts in the state its file will read back as (a message
// form gets its default variable, every value its range), so that saving and loading agree.
void start_new_track(MedtMusic* editor, MseqTrack* track, int32_t beats) {
    track->m_Beat = beats;
    auto* chords = dynamic_cast<MseqTrackChord*>(track);
    if (chords && chords->m_MapID == 0 && editor->music())
        chords->m_MapID = editor->music()->m_MapChordID;
    track->validate();
}

// Gives the new tracks editor tracks; the beats of every new sequence follow the display when
// `beats` is positive (a track made from the menu), and stay as copied otherwise.
int follow_new_tracks(MedtMusic* editor, MseqObject* top, int32_t beats) {
    if (!top || !editor->build_tracks(top)) return 0;
    if (beats > 0) {
        if (MseqTrack* t = mseq_track_of(top)) start_new_track(editor, t, beats);
    }
    editor->refresh_track(editor->find_track(top->id));
    return 1;
}

// The editor cannot show the tracks a command made: they go again, and the command fails
// (always 0, for the caller to return).
int take_back_new_tracks(McmdMusic* command, MseqMusic* music, MseqObject*& made) {
    music->remove_track(made->id);
    made = nullptr;
    command->undo = nullptr;
    command->result = 0;
    return 0;
}

}  // namespace

int McmdCreateLeaf::run(MseqMusic* music) {
    music_ = music;
    if (!music->check_create_track(anchor, place, type, forced)) return 0;
    if (flags & MCMD_TEST_ONLY) return 1;
    made = music->create_track(anchor, place, type, name, forced);
    if (!made) return 0;
    if (flags & MCMD_RECORD_UNDO) undo = ref_ptr<MgenCommand>::adopt(new McmdDeleteLeafs(made->id));
    result = 1;
    return 1;
}

int McmdCreateLeaf::refresh(MedtMusic* editor) {
    if (follow_new_tracks(editor, made, editor->display_beats)) return 1;
    return take_back_new_tracks(this, music_, made);
}

int McmdInsertLeafs::run(MseqMusic* music) {
    music_ = music;
    MseqObject* from = source ? source : (editor ? editor->leaf_clipboard : nullptr);
    if (!from || !mseq_has_content(from)) return 0;
    const bool test = (flags & MCMD_TEST_ONLY) != 0;
    if (!music->insert_tracks(anchor, place, from, keep_ids, test, &made)) return 0;
    if (test) return 1;
    if (flags & MCMD_RECORD_UNDO) undo = ref_ptr<MgenCommand>::adopt(new McmdDeleteLeafs(made->id));
    result = 1;
    return 1;
}

int McmdInsertLeafs::refresh(MedtMusic* editor) {
    if (follow_new_tracks(editor, made, 0)) return 1;
    return take_back_new_tracks(this, music_, made);
}

int McmdDeleteLeafs::run(MseqMusic* music) {
    if (!music->delete_tracks(track, true, nullptr, nullptr)) return 0;
    if (flags & MCMD_TEST_ONLY) return 1;
    std::unique_ptr<MseqObject> snapshot;
    if (flags & MCMD_RECORD_UNDO) snapshot = std::make_unique<MseqObject>();
    // The editor's tracks point at the nodes: they go first.
    if (editor) editor->remove_tracks(editor->find_track(track));
    MseqTrackPlace old;
    if (!music->delete_tracks(track, false, snapshot.get(), &old)) {
        if (editor) editor->rebuild();
        return 0;
    }
    if (snapshot)
        undo = ref_ptr<MgenCommand>::adopt(
            new McmdInsertLeafs(old.anchor, old.place, std::move(snapshot)));
    result = 1;
    return 1;
}

int McmdDeleteLeafs::refresh(MedtMusic* editor) {
    editor->refresh_track(nullptr);
    return 1;
}

namespace {

// The root, the header and the part hold the tree together: like deletion, a move never takes
// them (a file keeps them in that order, so a moved part would not read back where it was).
bool fixed_track(const MseqObject* node) {
    switch (node->type) {
        case MTYPE_TRACK_ROOT_MUSIC:
        case MTYPE_TRACK_ROOT_PHRASE:
        case MTYPE_TRACK_HEADER:
        case MTYPE_TRACK_DETAIL:
            return true;
        default:
            return false;
    }
}

}  // namespace

int McmdMoveLeafs::run(MseqMusic* music) {
    const MseqObject* moved = music->find_track(track);
    if (!moved || fixed_track(moved)) return 0;
    const bool test = (flags & MCMD_TEST_ONLY) != 0;
    MseqTrackPlace old;
    if (!music->move_track(track, anchor, place, test, &old)) return 0;
    if (test) return 1;
    if (flags & MCMD_RECORD_UNDO)
        undo = ref_ptr<MgenCommand>::adopt(new McmdMoveLeafs(track, old.anchor, old.place));
    result = 1;
    return 1;
}

int McmdMoveLeafs::refresh(MedtMusic* editor) {
    editor->rebuild();
    return 1;
}

int McmdStoreLeafs::run(MseqMusic* music) {
    if (!editor || !editor->leaf_clipboard) return 0;
    const MSEQ_ID id = track ? track : (editor->current() ? editor->current()->id() : 0);
    MseqObject* node = id ? music->find_track(id) : nullptr;
    if (!node) return 0;
    if (flags & MCMD_TEST_ONLY) return 1;
    result = mseq_copy_tree(node, editor->leaf_clipboard) ? 1 : 0;
    return result;
}
