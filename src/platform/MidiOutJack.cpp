// MIDI output through a JACK server: the ring between the sender and the process callback,
// and the client.
#include "platform/MidiOutJack.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/JackClient.h"
#include "platform/JackPorts.h"
#include "platform/JackTimeline.h"

#ifdef KV_HAVE_JACK
#include <jack/jack.h>
#include <jack/midiport.h>
#endif

namespace kv_midi {

bool jack_midi_ring::push(uint32_t frame, const uint8_t* data, size_t size) {
    if (!data || size == 0 || size > kMaxBytes) return false;
    const uint64_t w = write_.load(std::memory_order_relaxed);
    if (w - read_.load(std::memory_order_acquire) >= kSlots) return false;
    slot& s = slots_[w % kSlots];
    s.frame = frame;
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

#ifdef KV_HAVE_JACK

uint64_t steady_us() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(since).count());
}

class midi_out_jack final : public midi_out, jack_process_part {
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
        if (!connect(list[id])) {
            error_ = "JACK refused the connection to " + list[id];
            return false;
        }
        if (!wait_for_periods()) {
            jack_disconnect(client_, jack_port_name(port_), list[id].c_str());
            error_ = "the JACK server runs no periods";
            return false;
        }
        error_.clear();
        dest_ = list[id];
        timeline_->restart();
        open_ = true;
        return true;
    }

    std::string last_error() const override {
        if (!gone()) return error_;
        std::string why = "the JACK server went away";
        const std::string reason = shared_->shutdown_reason();
        if (!reason.empty()) why += ": " + reason;
        return why;
    }
    bool is_open() const override { return open_; }
    bool lost() const override { return open_ && gone(); }

    bool short_message(uint32_t packed) override {
        return short_message_at(packed, midi_clock_now_us());
    }

    bool short_message_at(uint32_t packed, uint64_t due_us) override {
        const uint8_t status = packed & 0xFF;
        const size_t size = channel_message_size(status);
        if (!sendable() || size == 0) return false;
        const uint8_t bytes[3] = {status, static_cast<uint8_t>((packed >> 8) & 0x7F),
                                  static_cast<uint8_t>((packed >> 16) & 0x7F)};
        return ring_.push(frame_of(due_us), bytes, size);
    }

    bool long_message(const uint8_t* data, size_t size) override {
        return long_message_at(data, size, midi_clock_now_us());
    }

    bool long_message_at(const uint8_t* data, size_t size, uint64_t due_us) override {
        if (!sendable() || !data || size < 2 || data[0] != 0xF0 || data[size - 1] != 0xF7)
            return false;
        return ring_.push(frame_of(due_us), data, size);
    }

    bool reset() override {
        if (!sendable()) return false;
        // What waits to be written is not to sound any more. The process callback frees the
        // dropped slots; a full ring gets a few periods for it before the silencing goes in.
        ring_.drop_pending();
        wait_written(3 * lead_us_);
        const bool ok = send_silence();
        // A reset ends a run: the next one lays its line of frames down afresh.
        timeline_->restart();
        return ok;
    }

    bool close() override {
        if (!open_) return true;
        open_ = false;
        if (gone()) {
            drop_client();
            silence_after_loss();
            return true;
        }
        // The messages still in the ring are written first, as a drained ALSA output's are.
        wait_written(2 * lead_us_ + 100000);
        jack_disconnect(client_, jack_port_name(port_), dest_.c_str());
        return true;
    }

private:
    bool gone() const { return shared_ && shared_->gone(); }
    bool sendable() const { return open_ && client_ && !gone(); }

    bool connect(const std::string& dest) {
        const int err = jack_connect(client_, jack_port_name(port_), dest.c_str());
        return err == 0 || err == EEXIST;
    }

    // Messages are placed by the server's frames, which the process callback reports: waits
    // (at most half a second) for its first period; false when none came.
    bool wait_for_periods() {
        const uint64_t until = steady_us() + 500000;
        while (!clock_->ready() && steady_us() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return clock_->ready();
    }

    // Waits (at most `limit_us`) until the process callback has taken everything in the ring.
    void wait_written(uint64_t limit_us) {
        const uint64_t until = steady_us() + limit_us;
        while (!ring_.empty() && steady_us() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    // Sustain released, then all notes off, on every channel.
    bool send_silence() {
        bool ok = true;
        for (uint8_t ch = 0; ch < 16; ++ch) {
            // Sustain first, or held notes would ring on after "all notes off".
            ok = short_message(0xB0u | ch | 64u << 8) && ok;
            ok = short_message(0xB0u | ch | 123u << 8) && ok;
        }
        return ok;
    }

    // The server shut our client out. When it still runs (it only dropped a client it found too
    // slow), a new client silences the device the old one played on.
    void silence_after_loss() {
        if (dest_.empty() || !ensure_client()) return;
        if (!connect(dest_)) return;
        if (wait_for_periods()) {
            open_ = true;
            timeline_->restart();
            send_silence();
            open_ = false;
            wait_written(2 * lead_us_ + 100000);
        }
        jack_disconnect(client_, jack_port_name(port_), dest_.c_str());
    }

    // The server frame a message due at `due_us` of the program clock is written at.
    uint32_t frame_of(uint64_t due_us) {
        constexpr int64_t kWrapUs = (int64_t{1} << 32) * 1000;
        int64_t ahead = static_cast<int64_t>(due_us) - static_cast<int64_t>(midi_clock_now_us());
        if (ahead > kWrapUs / 2) ahead -= kWrapUs;
        if (ahead < -kWrapUs / 2) ahead += kWrapUs;
        const int64_t now = static_cast<int64_t>(steady_us());
        return timeline_->frame_of(now + ahead, now, clock_->base_us());
    }

    // The program's JACK client with our port on it, its part of the process callback ours.
    bool ensure_client() {
        if (client_ && gone() && !open_) drop_client();
        if (client_) return true;
        shared_ = jack_shared_client::acquire();
        if (!shared_) return false;
        client_ = shared_->client();
        // What a client that went away left unwritten is not for this one.
        ring_.drop_pending();
        const uint32_t rate = jack_get_sample_rate(client_);
        lead_us_ = jack_midi_lead_us(jack_get_buffer_size(client_), rate);
        clock_ = std::make_unique<jack_frame_clock>(rate);
        timeline_ = std::make_unique<jack_timeline>(rate, lead_us_);
        port_ = shared_->register_midi_port("midi_out", JackPortIsOutput);
        if (!port_ || !shared_->attach(this)) {
            drop_client();
            return false;
        }
        return true;
    }

    void drop_client() {
        if (!shared_) return;
        shared_->detach(this);
        shared_->unregister_port(port_);
        shared_.reset();
        client_ = nullptr;
        port_ = nullptr;
    }

    // The MIDI input ports of every other client, in the server's order.
    std::vector<std::string> scan() {
        if (!ensure_client()) return {};
        return jack_midi_ports_of_others(client_, JackPortIsInput);
    }

    // The process callback: every message whose frame falls into this period, at its offset.
    void process(jack_nframes_t frames) override {
        const jack_nframes_t first = jack_last_frame_time(client_);
        clock_->observe(first, static_cast<int64_t>(steady_us()));
        void* buffer = jack_port_get_buffer(port_, frames);
        jack_midi_clear_buffer(buffer);
        int64_t last = 0;
        while (const jack_midi_ring::slot* s = ring_.front()) {
            int64_t offset = jack_period_offset(s->frame, first, frames);
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

    std::shared_ptr<jack_shared_client> shared_;
    jack_client_t* client_ = nullptr;  // shared_'s
    jack_port_t* port_ = nullptr;
    jack_midi_ring ring_;
    std::unique_ptr<jack_frame_clock> clock_;
    std::unique_ptr<jack_timeline> timeline_;
    uint64_t lead_us_ = 0;
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
    return make_midi_out_without_devices("the program was built without JACK");
#endif
}

}  // namespace kv_midi
