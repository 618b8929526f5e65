#include "edit/MedtHistory.h"

#include "edit/McmdTrack.h"

namespace {

size_t count_groups(const std::deque<MedtHistory::Entry>& entries) {
    size_t groups = 0;
    uint32_t last = 0;
    for (const MedtHistory::Entry& e : entries) {
        if (groups == 0 || e.group != last) ++groups;
        last = e.group;
    }
    return groups;
}

}  // namespace

void MedtHistory::append(MgenCommand* command) {
    entries_.push_back(Entry{current_group_, ref_ptr<MgenCommand>(command)});
    if (auto_advance_) current_group_ = entries_.back().group + 1;
}

void MedtHistory::close_group() {
    if (!entries_.empty()) current_group_ = entries_.back().group + 1;
}

bool MedtHistory::merges(const McmdSetBlock& command) const {
    for (auto it = entries_.rbegin(); it != entries_.rend() && it->group == current_group_; ++it) {
        auto* set = static_cast<McmdSetBlock*>(it->command->cast(MKIND_CMD_SET_BLOCK));
        if (set && set->track == command.track && set->position == command.position) return true;
    }
    return false;
}

ref_ptr<MgenCommand> MedtHistory::take_last() {
    if (entries_.empty()) return nullptr;
    ref_ptr<MgenCommand> command = std::move(entries_.back().command);
    entries_.pop_back();
    current_group_ = entries_.empty() ? 1 : entries_.back().group + 1;
    return command;
}

void MedtHistory::clear() {
    entries_.clear();
    redo_.clear();
    current_group_ = 1;
    auto_advance_ = 1;
}

size_t MedtHistory::group_count() const {
    return count_groups(entries_);
}

void MedtHistory::open_redo_group() {
    redo_group_ = redo_.empty() ? 1 : redo_.back().group + 1;
}

void MedtHistory::append_redo(MgenCommand* command) {
    redo_.push_back(Entry{redo_group_, ref_ptr<MgenCommand>(command)});
}

ref_ptr<MgenCommand> MedtHistory::take_last_redo() {
    if (redo_.empty()) return nullptr;
    ref_ptr<MgenCommand> command = std::move(redo_.back().command);
    redo_.pop_back();
    return command;
}

size_t MedtHistory::redo_group_count() const {
    return count_groups(redo_);
}
