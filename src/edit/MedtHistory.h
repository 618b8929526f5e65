#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "model/core/MgenRef.h"
#include "model/core/ref_ptr.h"

class McmdSetBlock;

// The undo history of a music editor: the inverse commands of the executed ones, oldest first,
// each with the number of the group it belongs to. One user gesture is one group and is undone
// as one step. Beside it the redo list: what undoing a group recorded (the inverse of each
// inverse it carried out), so that redoing the group puts back exactly what the undo took away.
// No size limit. User-interface thread only.
class MedtHistory {
public:
    struct Entry {
        uint32_t group;
        ref_ptr<MgenCommand> command;
    };

    // Appends `command` (a reference is added) to the current group. With auto-advance the
    // next entry opens a new group; without, every further entry joins this one.
    void append(MgenCommand* command);
    // Closes the open group: the next entry starts a new one. Nothing when empty.
    void close_group();
    // True when `command` may join the open group without recording an inverse: an entry of
    // the open group, looked at from the newest back, restores the same block of the same
    // track, so that undoing the group already puts that block back as it was.
    bool merges(const McmdSetBlock& command) const;
    // Removes the newest entry and returns its command; the current group becomes the group
    // after the new newest entry (1 when empty). Null when empty.
    ref_ptr<MgenCommand> take_last();
    // Makes the group of the newest entry the open one again, for the part of a gesture that
    // remains after a later part of it was taken back. Nothing when empty.
    void reopen_last_group() {
        if (!entries_.empty()) current_group_ = entries_.back().group;
    }
    // Drops every entry of both lists; group 1, auto-advance on.
    void clear();

    // The redo list. An undo opens a redo group and appends, in the order it undoes, the command
    // that redoes each entry; take_last_redo() gives them back newest first, i.e. in the order
    // the gesture first ran them. Null when empty.
    void open_redo_group();
    void append_redo(MgenCommand* command);
    ref_ptr<MgenCommand> take_last_redo();
    // Drops the redo list (a new edit makes it stale).
    void clear_redo() { redo_.clear(); }
    bool redo_empty() const { return redo_.empty(); }
    size_t redo_size() const { return redo_.size(); }
    // The number of redo groups, i.e. how many redo steps there are.
    size_t redo_group_count() const;
    // The redo group of the newest redo entry; 0 when empty.
    uint32_t last_redo_group() const { return redo_.empty() ? 0 : redo_.back().group; }

    // Whether there is any entry, and how many there are.
    bool empty() const { return entries_.empty(); }
    size_t size() const { return entries_.size(); }
    // The number of groups, i.e. how many undo steps there are.
    size_t group_count() const;
    // The group of the newest entry; 0 when empty.
    uint32_t last_group() const { return entries_.empty() ? 0 : entries_.back().group; }
    // The group the next entry joins.
    uint32_t current_group() const { return current_group_; }
    // Auto-advance (1) or not (0); see append().
    int auto_advance() const { return auto_advance_; }
    void set_auto_advance(int on) { auto_advance_ = on ? 1 : 0; }
    // Every entry, oldest first.
    const std::deque<Entry>& entries() const { return entries_; }

private:
    std::deque<Entry> entries_;
    std::deque<Entry> redo_;
    uint32_t redo_group_ = 0;
    uint32_t current_group_ = 1;
    int auto_advance_ = 1;
};
