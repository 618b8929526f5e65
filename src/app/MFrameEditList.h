#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/MAppUserPort.h"
#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"

class MFrame;
class MseqEntity;

// The view the editor pane shows, chosen by the kind of the shown file's editor.
enum class MAppView { about, music, stage, chord };

// One entry of the edit list: a file opened for editing, with the library node it was opened
// from (null for files opened without one) and the position of its play cursor in ticks.
struct MAppEditEntry {
    ref_ptr<MseqEntity> entity;
    MseqObject* node = nullptr;
    int32_t play_tick = 0;
    // The text a save would write, as of the last time the file was not modified (opened or
    // saved); empty when not known. An undo that returns to it ends the modified state.
    std::string saved_text;
};

// The main frame's edit-list part: the files opened for editing, the selected entry (the file
// the editor pane shows), each entry's play cursor, and the two spare nodes every music editor
// uses as its clipboards. User-interface thread only.
class MFrameEditList {
public:
    explicit MFrameEditList(MFrame& frame);
    ~MFrameEditList();
    MFrameEditList(const MFrameEditList&) = delete;
    MFrameEditList& operator=(const MFrameEditList&) = delete;

    // See MFrame::open_in_edit_list, edit_list, edit_selection, select_edit, shown_file,
    // shown_view, set_play_cursor and play_cursor.
    int open(MseqEntity* entity, MseqObject* node, bool shown);
    const std::vector<MAppEditEntry>& entries() const { return entries_; }
    int selection() const { return selection_; }
    void select(int index);
    MseqEntity* shown_file() const;
    MAppView shown_view() const;
    void set_play_cursor(MseqEntity* entity, int32_t tick);
    int32_t play_cursor(const MseqEntity* entity) const;

    // The index of the entity's entry; -1 when it is not in the list.
    int entry_of(const MseqEntity* entity) const;
    // The node the entity's entry was opened from; nullptr when none or not in the list.
    MseqObject* node_showing(const MseqEntity* entity) const;
    // Puts the music editors of every entry into (or out of) their read-only playback state.
    void set_read_only(bool locked);

    // Closes the selected entry after asking to save it; with the root selected, closes every
    // unmodified entry but the shown one.
    void close_selected();
    // Notes the entity's present text as its saved one (after it was opened or saved).
    void note_saved(const MseqEntity* entity);
    // The saved text of the entity's entry; null when not in the list or not known.
    const std::string* saved_text(const MseqEntity* entity) const;
    // Closes every entry's editor and empties the list, without asking (the library closes).
    void close_all();

private:
    void close_unmodified();

    MFrame& frame_;
    MAppUserPort* port_;
    std::vector<MAppEditEntry> entries_;
    int selection_ = -1;
    MseqObject spare_nodes_[2];  // handed to every music editor
};
