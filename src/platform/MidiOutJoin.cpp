#include "platform/MidiOutJoin.h"

#include <utility>

namespace kv_midi {

midi_out_join::midi_out_join(std::vector<std::unique_ptr<midi_out>> parts)
    : parts_(std::move(parts)) {}

uint32_t midi_out_join::device_count() {
    uint32_t n = 0;
    for (auto& p : parts_)
        n += p->device_count();
    return n;
}

midi_out* midi_out_join::locate(uint32_t id, uint32_t* local) {
    for (auto& p : parts_) {
        if (id == kMapper) {
            if (!p->device_caps(kMapper, nullptr)) continue;
            *local = kMapper;
            return p.get();
        }
        const uint32_t n = p->device_count();
        if (id < n) {
            *local = id;
            return p.get();
        }
        id -= n;
    }
    return nullptr;
}

bool midi_out_join::device_caps(uint32_t id, midi_out_caps* caps) {
    uint32_t local = 0;
    midi_out* p = locate(id, &local);
    return p && p->device_caps(local, caps);
}

bool midi_out_join::open(uint32_t id) {
    if (open_) {
        error_ = "a connection is already open";
        return false;
    }
    uint32_t local = 0;
    midi_out* p = locate(id, &local);
    if (!p) {
        // The first output's reason: it is the one the numbers begin with.
        error_ = parts_.empty() ? "" : parts_.front()->last_error();
        if (error_.empty()) error_ = id == kMapper ? kNoSynthesizerForTheMapper : "no such device";
        return false;
    }
    if (!p->open(local)) {
        error_ = p->last_error();
        return false;
    }
    error_.clear();
    open_ = p;
    return true;
}

bool midi_out_join::is_open() const {
    return open_ && open_->is_open();
}

bool midi_out_join::short_message(uint32_t packed) {
    return open_ && open_->short_message(packed);
}

bool midi_out_join::long_message(const uint8_t* data, size_t size) {
    return open_ && open_->long_message(data, size);
}

bool midi_out_join::short_message_at(uint32_t packed, uint64_t due_us) {
    return open_ && open_->short_message_at(packed, due_us);
}

bool midi_out_join::long_message_at(const uint8_t* data, size_t size, uint64_t due_us) {
    return open_ && open_->long_message_at(data, size, due_us);
}

bool midi_out_join::reset() {
    return open_ && open_->reset();
}

bool midi_out_join::close() {
    if (!open_) return true;
    if (!open_->close()) return false;
    open_ = nullptr;
    return true;
}

std::string midi_out_join::last_error() const {
    if (open_ && open_->lost()) return open_->last_error();
    return error_;
}

bool midi_out_join::lost() const {
    return open_ && open_->lost();
}

}  // namespace kv_midi
