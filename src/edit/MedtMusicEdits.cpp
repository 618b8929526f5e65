// The editor operations every front end shares beyond posting commands: where the cursor starts
// and linking a node to a link row.
#include <vector>

#include "edit/McmdTrack.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTransaction.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"

bool MedtMusic::place_first_cursor() {
    if (current_) return true;
    for (MedtTrack* t = root_.get(); t; t = t->next_in(root_.get())) {
        // A track of one beat a bar (a group, the part) would hold the cursor only at bar starts.
        if (navigable(t) && t->beats() > 1) return set_cursor(t, 0, 0);
    }
    return false;
}

namespace {

bool is_link_row(const MedtTrack& track, int32_t number) {
    std::vector<MedtProperty> rows;
    track.build_properties(rows);
    for (const MedtProperty& row : rows) {
        if (row.number == number) return row.style == MPS_LINK;
    }
    return false;
}

}  // namespace

MedtLink MedtMusicInvoker::link_node(MSEQ_ID track, int32_t number, const MseqObject* node) {
    MedtTrack* row = find_track(track);
    if (!row || !node || !is_link_row(*row, number)) return MedtLink::not_a_link_row;
    // The node must be the one its identifier names from this music: a track of this music, or
    // the leaf of the music's own book with that serial.
    const bool track_node = mseq_file_number(node->id) == MFILE_TRACKS;
    const MseqObject* same = !music_ ? nullptr
                             : track_node
                                 ? music_->find_track(node->id)
                                 : music_->find(mseq_with_file_number(node->id, MFILE_OWN_BOOK));
    if (same != node) return track_node ? MedtLink::other_music : MedtLink::other_book;
    MseqBlockWord value;
    value.m_Index = node->id;
    auto set = mcmd_make<McmdSetProperty>(track, number, value);
    return MedtTransaction(*this).post(set.get()) ? MedtLink::linked : MedtLink::refused;
}
