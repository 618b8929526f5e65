// MIDI output through a JACK server: the ring, the frame placement and the client.
#include "platform/MidiOutJack.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#ifdef KV_HAVE_JACK
#include <jack/jack.h>
#include <jack/midiport.h>
#endif

namespace kv_midi {

uint64_t jack_midi_lead_us(uint32_t period_frames, uint32_t sample_rate) {
    const uint64_t rate = sample_rate ? sample_rate : 48000;
    return 2 * uint64_t{period_frames} * 1000000 / rate + 5000;
}

int64_t jack_frame_offset(uint64_t target_us, uint64_t cycle_us, uint64_t next_us,
                          uint32_t frames) {
    if (target_us <= cycle_us || frames == 0) return 0;
    if (target_us >= next_us) return -1;
    const uint64_t span = next_us - cycle_us;
    const uint64_t offset = (target_us - cycle_us) * frames / span;
    return offset >= frames ? frames - 1 : static_cast<int64_t>(offset);
}

bool jack_midi_ring::push(uint64_t target_us, const uint8_t* data, size_t size) {
    if (!data || size == 0 || size > kMaxBytes) return false;
    const uint64_t w = write_.load(std::memory_order_relaxed);
    if (w - read_.load(std::memory_order_acquire) >= kSlots) return false;
    slot& s = slots_[w % kSlots];
    s.target_us = target_us;
    s.size = static_cast<uint16_t>(size);
    std::memcpy(s.bytes.data(), data, size);
    write_.store(w + 1, std::memory_order_release);
    return true;
}

void jack_midi_ring::drop_pending() {
    drop_to_.store(write_.load(std::memory_order_relaxed), std::memory_order_release);
}

const jack_midi_ring::slot* jack_midi_ring::front() {
    uint64_t r = read_.load(std::memory_order_relaxed);
    const uint64_t w = write_.load(std::memory_order_acquire);
    const uint64_t drop = drop_to_.load(std::memory_order_acquire);
    if (r < drop) {
        r = drop < w ? drop : w;
        read_.store(r, std::memory_order_release);
    }
    return r < w ? &slots_[r % kSlots] : nullptr;
}

void jack_midi_ring::pop() {
    read_.store(read_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

bool jack_midi_ring::empty() const {
    return read_.load(std::memory_order_acquire) >= write_.load(std::memory_order_acquire);
}

namespace {

// Used when the program was built without JACK.
class midi_out_no_jack final : public midi_out {
public:
    uint32_t device_count() override { return 0; }
    bool device_caps(uint32_t, midi_out_caps*) override { return false; }
    bool open(uint32_t) override { return false; }
    bool is_open() const override { return false; }
    bool short_message(uint32_t) override { return false; }
    bool long_message(const uint8_t*, size_t) override { return false; }
    bool reset() override { return false; }
    bool close() override { return true; }
    std::string last_error() const override { return "the program was built without JACK"; }
};

#ifdef KV_HAVE_JACK

// JACK reports on stderr unless told otherwise; the library stays quiet.
void quiet_jack(const char*) {}

uint64_t steady_us() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(since).count());
}

class midi_out_jack final : public midi_out {
public:
    ~midi_out_jack() override {
        close();
        drop_client();
    }

    uint32_t device_count() override { return static_cast<uint32_t>(scan().size()); }

    bool device_caps(uint32_t id, midi_out_caps* caps) override {
        const std::vector<std::string> list = scan();
        if (id >= list.size()) return false;
        if (caps) *caps = {"JACK " + list[id], false};
        return true;
    }

    bool open(uint32_t id) override {
        if (open_) {
            error_ = "a connection is already open";
            return false;
        }
        const std::vector<std::string> list = scan();
        if (id >= list.size()) {
            error_ = client_ ? "no such device" : "no JACK server runs";
            return false;
        }
        const int err = jack_connect(client_, jack_port_name(port_), list[id].c_str());
        if (err != 0 && err != EEXIST) {
            error_ = "JACK refused the connection to " + list[id];
            return false;
        }
        error_.clear();
        dest_ = list[id];
        open_ = true;
        return true;
    }

    std::string last_error() const override {
        return gone_.load(std::memory_order_acquire) ? "the JACK server went away" : error_;
    }
    bool is_open() const override { return open_; }
    bool lost() const override { return open_ && gone_.load(std::memory_order_acquire); }

    bool short_message(uint32_t packed) override {
        return short_message_at(packed, midi_clock_now_us());
    }

    bool short_message_at(uint32_t packed, uint64_t due_us) override {
        const uint8_t status = packed & 0xFF;
        const size_t size = channel_message_size(status);
        if (!sendable() || size == 0) return false;
        const uint8_t bytes[3] = {status, static_cast<uint8_t>((packed >> 8) & 0x7F),
                                  static_cast<uint8_t>((packed >> 16) & 0x7F)};
        return ring_.push(target_of(due_us), bytes, size);
    }

    bool long_message(const uint8_t* data, size_t size) override {
        return long_message_at(data, size, midi_clock_now_us());
    }

    bool long_message_at(const uint8_t* data, size_t size, uint64_t due_us) override {
        if (!sendable() || !data || size < 2 || data[0] != 0xF0 || data[size - 1] != 0xF7)
            return false;
        return ring_.push(target_of(due_us), data, size);
    }

    bool reset() override {
        if (!sendable()) return false;
        // What waits to be written is not to sound any more. The process callback frees the
        // dropped slots; a full ring gets a few periods for it before the silencing goes in.
        ring_.drop_pending();
        const uint64_t until = steady_us() + 3 * lead_us_;
        while (!ring_.empty() && steady_us() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        bool ok = true;
        for (uint8_t ch = 0; ch < 16; ++ch) {
            // Sustain released first, or held notes would ring on after "all notes off".
            ok = short_message(0xB0u | ch | 64u << 8) && ok;
            ok = short_message(0xB0u | ch | 123u << 8) && ok;
        }
        return ok;
    }

    bool close() override {
        if (!open_) return true;
        open_ = false;
        if (gone_.load(std::memory_order_acquire)) {
            drop_client();
            return true;
        }
        // The messages still in the ring are written first, as a drained ALSA output's are.
        const uint64_t until = steady_us() + 2 * lead_us_ + 100000;
        while (!ring_.empty() && steady_us() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        jack_disconnect(client_, jack_port_name(port_), dest_.c_str());
        return true;
    }

private:
    bool sendable() const { return open_ && client_ && !gone_.load(std::memory_order_acquire); }

    // The server time a message due at `due_us` of the program clock is written at.
    uint64_t target_of(uint64_t due_us) const {
        constexpr int64_t kWrapUs = (int64_t{1} << 32) * 1000;
        int64_t ahead = static_cast<int64_t>(due_us) - static_cast<int64_t>(midi_clock_now_us());
        if (ahead > kWrapUs / 2) ahead -= kWrapUs;
        if (ahead < -kWrapUs / 2) ahead += kWrapUs;
        const int64_t at = static_cast<int64_t>(steady_us()) + clock_offset_us_ + ahead +
                           static_cast<int64_t>(lead_us_);
        return at < 0 ? 0 : static_cast<uint64_t>(at);
    }

    bool ensure_client() {
        if (client_ && gone_.load(std::memory_order_acquire) && !open_) drop_client();
        if (client_) return true;
        jack_set_error_function(quiet_jack);
        jack_set_info_function(quiet_jack);
        jack_status_t status;
        client_ = jack_client_open("korvante", JackNoStartServer, &status);
        if (!client_) return false;
        gone_.store(false, std::memory_order_release);
        port_ =
            jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &midi_out_jack::process, this);
        jack_on_shutdown(client_, &midi_out_jack::shutdown, this);
        if (!port_ || jack_activate(client_) != 0) {
            drop_client();
            return false;
        }
        lead_us_ = jack_midi_lead_us(jack_get_buffer_size(client_), jack_get_sample_rate(client_));
        calibrate();
        return true;
    }

    // The difference between the server's clock and the steady clock, read with the closest
    // pair of readings of a few.
    void calibrate() {
        uint64_t best_gap = UINT64_MAX;
        for (int i = 0; i < 5; ++i) {
            const uint64_t before = steady_us();
            const uint64_t server = jack_get_time();
            const uint64_t after = steady_us();
            if (after - before >= best_gap) continue;
            best_gap = after - before;
            clock_offset_us_ =
                static_cast<int64_t>(server) - static_cast<int64_t>(before + (after - before) / 2);
        }
    }

    void drop_client() {
        if (!client_) return;
        if (!gone_.load(std::memory_order_acquire)) jack_deactivate(client_);
        jack_client_close(client_);
        client_ = nullptr;
        port_ = nullptr;
    }

    // The MIDI input ports of every other client, in the server's order.
    std::vector<std::string> scan() {
        std::vector<std::string> out;
        if (!ensure_client()) return out;
        const char** ports =
            jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
        if (!ports) return out;
        const std::string self = std::string(jack_get_client_name(client_)) + ":";
        for (const char** p = ports; *p; ++p) {
            if (std::strncmp(*p, self.c_str(), self.size()) != 0) out.emplace_back(*p);
        }
        jack_free(ports);
        return out;
    }

    static int process(jack_nframes_t frames, void* arg) {
        static_cast<midi_out_jack*>(arg)->write_period(frames);
        return 0;
    }

    static void shutdown(void* arg) {
        auto* self = static_cast<midi_out_jack*>(arg);
        self->gone_.store(true, std::memory_order_release);
    }

    // The process callback: every message whose time falls into this period, at its frame.
    void write_period(jack_nframes_t frames) {
        void* buffer = jack_port_get_buffer(port_, frames);
        jack_midi_clear_buffer(buffer);
        jack_nframes_t cycle_frames = 0;
        jack_time_t cycle_us = 0, next_us = 0;
        float period_us = 0;
        if (jack_get_cycle_times(client_, &cycle_frames, &cycle_us, &next_us, &period_us) != 0)
            return;
        int64_t last = 0;
        while (const jack_midi_ring::slot* s = ring_.front()) {
            int64_t offset = jack_frame_offset(s->target_us, cycle_us, next_us, frames);
            if (offset < 0) break;
            // Frames must not go backwards within a period; order is kept.
            if (offset < last) offset = last;
            if (jack_midi_event_write(buffer, static_cast<jack_nframes_t>(offset), s->bytes.data(),
                                      s->size) != 0)
                break;  // the period's buffer is full: the rest goes into the next one
            last = offset;
            ring_.pop();
        }
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    std::atomic<bool> gone_{false};  // the server shut us down
    jack_midi_ring ring_;
    uint64_t lead_us_ = 0;
    int64_t clock_offset_us_ = 0;  // server microseconds minus steady microseconds
    std::string error_;
    std::string dest_;
    bool open_ = false;
};

#endif

}  // namespace

std::unique_ptr<midi_out> make_jack_midi_out() {
#ifdef KV_HAVE_JACK
    return std::make_unique<midi_out_jack>();
#else
    return std::make_unique<midi_out_no_jack>();
#endif
}

}  // namespace kv_midi
