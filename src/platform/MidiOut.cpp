#include "platform/MidiOut.h"

#include <utility>

namespace kv_midi {

namespace {

class midi_out_without_devices final : public midi_out {
public:
    explicit midi_out_without_devices(std::string why) : why_(std::move(why)) {}
    uint32_t device_count() override { return 0; }
    bool device_caps(uint32_t, midi_out_caps*) override { return false; }
    bool open(uint32_t) override { return false; }
    bool is_open() const override { return false; }
    bool short_message(uint32_t) override { return false; }
    bool long_message(const uint8_t*, size_t) override { return false; }
    bool reset() override { return false; }
    bool close() override { return true; }
    std::string last_error() const override { return why_; }

private:
    std::string why_;
};

}  // namespace

std::unique_ptr<midi_out> make_midi_out_without_devices(std::string why) {
    return std::make_unique<midi_out_without_devices>(std::move(why));
}

uint64_t midi_clock_now_us() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(since).count();
    // The milliseconds wrap as the system clock's 32-bit milliseconds do.
    const uint64_t u = static_cast<uint64_t>(us);
    return (u / 1000 % (uint64_t{1} << 32)) * 1000 + u % 1000;
}

size_t channel_message_size(uint8_t status) {
    if (status < 0x80 || status >= 0xF0) return 0;
    const uint8_t high = status & 0xF0;
    return (high == 0xC0 || high == 0xD0) ? 2 : 3;
}

midi_out_recorder::midi_out_recorder()
    : midi_out_recorder({{"Recording Synth", true}, {"Recording Port", false}}) {}

midi_out_recorder::midi_out_recorder(std::vector<midi_out_caps> devices)
    : devices_(std::move(devices)) {}

uint32_t midi_out_recorder::device_count() {
    std::lock_guard<std::mutex> g(lock_);
    return static_cast<uint32_t>(devices_.size());
}

int64_t midi_out_recorder::mapper_target() const {
    for (size_t i = 0; i < devices_.size(); ++i) {
        if (devices_[i].synth) return static_cast<int64_t>(i);
    }
    return -1;
}

bool midi_out_recorder::device_caps(uint32_t id, midi_out_caps* caps) {
    std::lock_guard<std::mutex> g(lock_);
    const int64_t index = id == kMapper ? mapper_target() : static_cast<int64_t>(id);
    if (index < 0 || index >= static_cast<int64_t>(devices_.size())) return false;
    if (caps) *caps = devices_[static_cast<size_t>(index)];
    return true;
}

void midi_out_recorder::add(record r) {
    r.at = std::chrono::steady_clock::now();
    log_.push_back(std::move(r));
}

bool midi_out_recorder::open(uint32_t id) {
    std::lock_guard<std::mutex> g(lock_);
    const int64_t index = id == kMapper ? mapper_target() : static_cast<int64_t>(id);
    if (fail_open_ || open_ >= 0 || index < 0 || index >= static_cast<int64_t>(devices_.size())) {
        last_error_ = fail_open_   ? "the device refused the connection"
                      : open_ >= 0 ? "a connection is already open"
                                   : "no such device";
        return false;
    }
    last_error_.clear();
    open_ = index;
    add({kind::open, id, {}, {}});
    return true;
}

std::string midi_out_recorder::last_error() const {
    std::lock_guard<std::mutex> g(lock_);
    return last_error_;
}

bool midi_out_recorder::is_open() const {
    std::lock_guard<std::mutex> g(lock_);
    return open_ >= 0;
}

bool midi_out_recorder::short_message(uint32_t packed) {
    std::lock_guard<std::mutex> g(lock_);
    const uint8_t status = packed & 0xFF;
    const size_t size = channel_message_size(status);
    if (open_ < 0 || lost_ || size == 0) return false;
    if (short_budget_ == 0) return false;
    if (short_budget_ != SIZE_MAX) --short_budget_;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < size; ++i)
        bytes.push_back(static_cast<uint8_t>(packed >> (8 * i)));
    add({kind::short_message, packed, std::move(bytes), {}});
    return true;
}

bool midi_out_recorder::long_message(const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> g(lock_);
    if (open_ < 0 || lost_ || !data || size < 2 || data[0] != 0xF0 || data[size - 1] != 0xF7)
        return false;
    add({kind::long_message, 0, std::vector<uint8_t>(data, data + size), {}});
    return true;
}

bool midi_out_recorder::short_message_at(uint32_t packed, uint64_t due_us) {
    if (!short_message(packed)) return false;
    std::lock_guard<std::mutex> g(lock_);
    log_.back().timed = true;
    log_.back().due_us = due_us;
    return true;
}

bool midi_out_recorder::long_message_at(const uint8_t* data, size_t size, uint64_t due_us) {
    if (!long_message(data, size)) return false;
    std::lock_guard<std::mutex> g(lock_);
    log_.back().timed = true;
    log_.back().due_us = due_us;
    return true;
}

bool midi_out_recorder::lost() const {
    std::lock_guard<std::mutex> g(lock_);
    return open_ >= 0 && lost_;
}

void midi_out_recorder::lose_connection() {
    std::lock_guard<std::mutex> g(lock_);
    lost_ = open_ >= 0;
    if (lost_) last_error_ = "the server went away";
}

bool midi_out_recorder::reset() {
    std::lock_guard<std::mutex> g(lock_);
    if (open_ < 0 || lost_) return false;
    add({kind::reset, 0, {}, {}});
    return true;
}

bool midi_out_recorder::close() {
    std::lock_guard<std::mutex> g(lock_);
    if (open_ < 0) return true;
    if (fail_close_) return false;
    open_ = -1;
    lost_ = false;
    add({kind::close, 0, {}, {}});
    return true;
}

std::vector<midi_out_recorder::record> midi_out_recorder::log() const {
    std::lock_guard<std::mutex> g(lock_);
    return log_;
}

void midi_out_recorder::clear_log() {
    std::lock_guard<std::mutex> g(lock_);
    log_.clear();
}

int64_t midi_out_recorder::open_device() const {
    std::lock_guard<std::mutex> g(lock_);
    return open_;
}

void midi_out_recorder::fail_open(bool on) {
    std::lock_guard<std::mutex> g(lock_);
    fail_open_ = on;
}

void midi_out_recorder::fail_short_after(size_t n) {
    std::lock_guard<std::mutex> g(lock_);
    short_budget_ = n;
}

void midi_out_recorder::fail_close(bool on) {
    std::lock_guard<std::mutex> g(lock_);
    fail_close_ = on;
}

}  // namespace kv_midi
