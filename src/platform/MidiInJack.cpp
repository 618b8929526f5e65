// The MIDI input through a JACK server: the MIDI input port "midi_in" on the program's one client
// "korvante" (shared with the JACK output: JackClient.h); the ports offered are the MIDI output
// ports of the other clients, and opening one connects it to ours. The process callback decodes
// what each period brings, stamps it with the time of its frame and queues it.
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/JackClient.h"
#include "platform/JackPorts.h"
#include "platform/MidiIn.h"
#include "platform/MidiOut.h"

#ifdef KV_HAVE_JACK
#include <jack/jack.h>
#include <jack/midiport.h>
#endif

namespace kv_midi {

namespace {

class midi_in_no_jack final : public midi_in {
public:
    uint32_t device_count() override { return 0; }
    bool device_caps(uint32_t, midi_in_caps*) override { return false; }
    bool open(uint32_t) override { return false; }
    bool is_open() const override { return false; }
    size_t read(std::vector<midi_in_message>*) override { return 0; }
    bool close() override { return true; }
    std::string last_error() const override { return "the program was built without JACK"; }
};

#ifdef KV_HAVE_JACK

class midi_in_jack final : public midi_in, jack_process_part {
public:
    ~midi_in_jack() override {
        close();
        drop_client();
    }

    uint32_t device_count() override { return static_cast<uint32_t>(scan().size()); }

    bool device_caps(uint32_t id, midi_in_caps* caps) override {
        const std::vector<std::string> list = scan();
        if (id >= list.size()) return false;
        if (caps) caps->name = "JACK " + list[id];
        return true;
    }

    bool open(uint32_t id) override {
        if (open_) {
            error_ = "a connection is already open";
            return false;
        }
        const std::vector<std::string> list = scan();
        if (id >= list.size()) {
            error_ = client_ ? "no such input port" : "no JACK server runs";
            return false;
        }
        const int err = jack_connect(client_, list[id].c_str(), jack_port_name(port_));
        if (err != 0 && err != EEXIST) {
            error_ = "JACK refused the connection from " + list[id];
            return false;
        }
        source_ = list[id];
        error_.clear();
        port_gone_ = false;
        unregistered_seen_ = shared_->unregistered_ports();
        open_ = true;
        return true;
    }

    bool is_open() const override { return open_; }

    size_t read(std::vector<midi_in_message>* out) override {
        if (!open_) return 0;
        // A source port that was unregistered shows as a port of that name no longer found.
        const uint64_t unregistered = shared_->unregistered_ports();
        if (!port_gone_ && !gone() && unregistered != unregistered_seen_) {
            unregistered_seen_ = unregistered;
            port_gone_ = !jack_port_by_name(client_, source_.c_str());
        }
        return queue_.drain(out);
    }

    bool close() override {
        if (!open_) return true;
        open_ = false;
        if (!gone()) {
            if (!port_gone_) jack_disconnect(client_, source_.c_str(), jack_port_name(port_));
        } else {
            drop_client();
        }
        std::vector<midi_in_message> rest;
        queue_.drain(&rest);
        return true;
    }

    std::string last_error() const override {
        if (open_ && gone()) return "the JACK server went away";
        if (open_ && port_gone_) return "the input port went away";
        return error_;
    }
    bool lost() const override { return open_ && (gone() || port_gone_); }

private:
    bool gone() const { return shared_ && shared_->gone(); }

    // The program's JACK client with our port on it, its part of the process callback ours.
    bool ensure_client() {
        if (client_ && gone() && !open_) drop_client();
        if (client_) return true;
        shared_ = jack_shared_client::acquire();
        if (!shared_) return false;
        client_ = shared_->client();
        rate_ = jack_get_sample_rate(client_);
        decoder_.reset();
        port_ = shared_->register_midi_port("midi_in", JackPortIsInput);
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

    // The MIDI output ports of every other client, in the server's order.
    std::vector<std::string> scan() {
        if (!ensure_client()) return {};
        return jack_midi_ports_of_others(client_, JackPortIsOutput);
    }

    // The process callback: every event of the period, decoded, at the time of its frame.
    void process(jack_nframes_t frames) override {
        void* buffer = jack_port_get_buffer(port_, frames);
        const uint32_t count = jack_midi_get_event_count(buffer);
        if (count == 0) return;
        const uint64_t now = midi_clock_now_us();
        const jack_nframes_t since = jack_frames_since_cycle_start(client_);
        const uint64_t rate = rate_ ? rate_ : 48000;
        midi_in_message m;
        for (uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t ev;
            if (jack_midi_event_get(&ev, buffer, i) != 0) continue;
            // The period's frames arrived one period ago; frame f of it came at that time plus f.
            const int64_t back_frames = int64_t{since} + frames - ev.time;
            const uint64_t back_us =
                static_cast<uint64_t>(back_frames > 0 ? back_frames : 0) * 1000000 / rate;
            for (size_t b = 0; b < ev.size; ++b) {
                if (!decoder_.feed(ev.buffer[b], &m)) continue;
                m.at_us = now > back_us ? now - back_us : now;
                queue_.push(m);
            }
        }
    }

    std::shared_ptr<jack_shared_client> shared_;
    jack_client_t* client_ = nullptr;  // shared_'s
    jack_port_t* port_ = nullptr;
    bool port_gone_ = false;
    // The server's count of unregistered ports when the source's presence was last looked at:
    // any port that goes away may be the source.
    uint64_t unregistered_seen_ = 0;
    uint32_t rate_ = 0;
    midi_in_decoder decoder_;  // the process callback's
    midi_in_queue queue_;
    std::string source_;
    std::string error_;
    bool open_ = false;
};

#endif

}  // namespace

std::unique_ptr<midi_in> make_jack_midi_in() {
#ifdef KV_HAVE_JACK
    return std::make_unique<midi_in_jack>();
#else
    return std::make_unique<midi_in_no_jack>();
#endif
}

}  // namespace kv_midi
