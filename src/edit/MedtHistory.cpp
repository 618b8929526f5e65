#include "edit/MedtHistory.h"

#include "edit/McmdTrack.h"

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
    current_group_ = 1;
    auto_advance_ = 1;
}

size_t MedtHistory::group_count() const {
    size_t groups = 0;
    uint32_t last = 0;
    for (const Entry& e : entries_) {
        if (groups == 0 || e.group != last) ++groups;
        last = e.group;
    }
    return groups;
}
