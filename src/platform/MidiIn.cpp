// The MIDI input's decoder, queue, test double and joined port list.
#include "platform/MidiIn.h"

#include <utility>

#include "platform/MidiOut.h"

namespace kv_midi {

bool midi_in_decoder::feed(uint8_t byte, midi_in_message* out) {
    if (byte >= 0xF8) return false;  // real-time: clock, start, active sensing... anywhere
    if (byte >= 0xF0) {
        // System exclusive and the system common messages cancel the running status; their
        // data bytes then fall on no status and are dropped.
        status_ = 0;
        have_first_ = false;
        return false;
    }
    if (byte & 0x80) {
        status_ = byte;
        have_first_ = false;
        return false;
    }
    if (status_ == 0) return false;
    const size_t size = channel_message_size(status_);
    if (size == 3 && !have_first_) {
        first_ = byte;
        have_first_ = true;
        return false;
    }
    out->status = status_;
    out->data1 = size == 3 ? first_ : byte;
    out->data2 = size == 3 ? byte : 0;
    have_first_ = false;
    return true;
}

void midi_in_decoder::reset() {
    status_ = 0;
    have_first_ = false;
}

size_t midi_in_decode(midi_in_decoder& decoder, const uint8_t* data, size_t size, uint64_t at_us,
                      std::vector<midi_in_message>* out) {
    size_t n = 0;
    midi_in_message m;
    m.at_us = at_us;
    for (size_t i = 0; data && i < size; ++i) {
        if (!decoder.feed(data[i], &m)) continue;
        out->push_back(m);
        ++n;
    }
    return n;
}

bool midi_in_queue::push(const midi_in_message& m) {
    const uint64_t w = write_.load(std::memory_order_relaxed);
    if (w - read_.load(std::memory_order_acquire) >= kSlots) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    slots_[w % kSlots] = m;
    write_.store(w + 1, std::memory_order_release);
    return true;
}

size_t midi_in_queue::drain(std::vector<midi_in_message>* out) {
    uint64_t r = read_.load(std::memory_order_relaxed);
    const uint64_t w = write_.load(std::memory_order_acquire);
    const size_t n = static_cast<size_t>(w - r);
    for (; r < w; ++r)
        out->push_back(slots_[r % kSlots]);
    read_.store(r, std::memory_order_release);
    return n;
}

midi_in_fake::midi_in_fake() : midi_in_fake(std::vector<std::string>{"Fake Keyboard"}) {}

midi_in_fake::midi_in_fake(std::vector<std::string> ports) : ports_(std::move(ports)) {}

uint32_t midi_in_fake::device_count() {
    std::lock_guard<std::mutex> g(lock_);
    return static_cast<uint32_t>(ports_.size());
}

bool midi_in_fake::device_caps(uint32_t id, midi_in_caps* caps) {
    std::lock_guard<std::mutex> g(lock_);
    if (id >= ports_.size()) return false;
    if (caps) caps->name = ports_[id];
    return true;
}

bool midi_in_fake::open(uint32_t id) {
    std::lock_guard<std::mutex> g(lock_);
    if (open_ >= 0 || id >= ports_.size()) return false;
    open_ = id;
    lost_ = false;
    decoder_.reset();
    return true;
}

bool midi_in_fake::is_open() const {
    std::lock_guard<std::mutex> g(lock_);
    return open_ >= 0;
}

size_t midi_in_fake::read(std::vector<midi_in_message>* out) {
    std::lock_guard<std::mutex> g(lock_);
    const size_t n = waiting_.size();
    out->insert(out->end(), waiting_.begin(), waiting_.end());
    waiting_.clear();
    return n;
}

bool midi_in_fake::close() {
    std::lock_guard<std::mutex> g(lock_);
    open_ = -1;
    lost_ = false;
    return true;
}

std::string midi_in_fake::last_error() const {
    std::lock_guard<std::mutex> g(lock_);
    return lost_ ? "the port went away" : std::string();
}

bool midi_in_fake::lost() const {
    std::lock_guard<std::mutex> g(lock_);
    return open_ >= 0 && lost_;
}

void midi_in_fake::feed(const std::vector<uint8_t>& bytes, uint64_t at_us) {
    std::lock_guard<std::mutex> g(lock_);
    if (open_ < 0 || lost_) return;
    midi_in_decode(decoder_, bytes.data(), bytes.size(), at_us ? at_us : midi_clock_now_us(),
                   &waiting_);
}

void midi_in_fake::key(int key, int velocity, uint64_t at_us) {
    feed({static_cast<uint8_t>(velocity > 0 ? 0x90 : 0x80), static_cast<uint8_t>(key & 0x7F),
          static_cast<uint8_t>(velocity & 0x7F)},
         at_us);
}

void midi_in_fake::lose_port() {
    std::lock_guard<std::mutex> g(lock_);
    lost_ = open_ >= 0;
}

int64_t midi_in_fake::open_port() const {
    std::lock_guard<std::mutex> g(lock_);
    return open_;
}

midi_in_join::midi_in_join(std::vector<std::unique_ptr<midi_in>> parts)
    : parts_(std::move(parts)) {}

midi_in* midi_in_join::locate(uint32_t id, uint32_t* local) {
    for (auto& p : parts_) {
        const uint32_t n = p->device_count();
        if (id < n) {
            *local = id;
            return p.get();
        }
        id -= n;
    }
    return nullptr;
}

uint32_t midi_in_join::device_count() {
    uint32_t n = 0;
    for (auto& p : parts_)
        n += p->device_count();
    return n;
}

bool midi_in_join::device_caps(uint32_t id, midi_in_caps* caps) {
    uint32_t local = 0;
    midi_in* p = locate(id, &local);
    return p && p->device_caps(local, caps);
}

bool midi_in_join::open(uint32_t id) {
    if (open_) {
        error_ = "a connection is already open";
        return false;
    }
    uint32_t local = 0;
    midi_in* p = locate(id, &local);
    if (!p) {
        error_ = "no such input port";
        return false;
    }
    if (!p->open(local)) {
        error_ = p->last_error();
        if (error_.empty()) error_ = "the port refused the connection";
        return false;
    }
    error_.clear();
    open_ = p;
    return true;
}

bool midi_in_join::is_open() const {
    return open_ && open_->is_open();
}

size_t midi_in_join::read(std::vector<midi_in_message>* out) {
    return open_ ? open_->read(out) : 0;
}

bool midi_in_join::close() {
    if (!open_) return true;
    if (!open_->close()) return false;
    open_ = nullptr;
    return true;
}

std::string midi_in_join::last_error() const {
    if (open_ && open_->lost()) return open_->last_error();
    return error_;
}

bool midi_in_join::lost() const {
    return open_ && open_->lost();
}

int64_t midi_in_find(midi_in& in, const std::string& name) {
    const uint32_t n = in.device_count();
    for (uint32_t i = 0; i < n; ++i) {
        midi_in_caps caps;
        if (in.device_caps(i, &caps) && caps.name == name) return i;
    }
    return -1;
}

std::unique_ptr<midi_in> make_system_midi_in() {
    std::vector<std::unique_ptr<midi_in>> parts;
    parts.push_back(make_alsa_midi_in());
    // The JACK ports come after the sequencer's, as the outputs do.
    parts.push_back(make_jack_midi_in());
    return std::make_unique<midi_in_join>(std::move(parts));
}

}  // namespace kv_midi
