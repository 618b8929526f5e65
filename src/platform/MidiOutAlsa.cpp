// The system MIDI output: the ALSA sequencer (or an output without devices when the program was
// built without ALSA) followed by the JACK ports.
#include "platform/MidiOutAlsa.h"

#include "platform/AlsaPorts.h"
#include "platform/MidiOut.h"
#include "platform/MidiOutJack.h"
#include "platform/MidiOutJoin.h"

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

namespace kv_midi {

namespace {

#ifdef KV_HAVE_ALSA

class midi_out_alsa final : public midi_out {
public:
    ~midi_out_alsa() override {
        close();
        if (seq_) snd_seq_close(seq_);
    }

    uint32_t device_count() override { return static_cast<uint32_t>(scan().size()); }

    bool device_caps(uint32_t id, midi_out_caps* caps) override {
        const std::vector<destination> list = scan();
        const destination* d = pick(list, id);
        if (!d) return false;
        if (caps) *caps = d->caps;
        return true;
    }

    bool open(uint32_t id) override {
        if (open_) {
            error_ = "a connection is already open";
            return false;
        }
        const std::vector<destination> list = scan();
        const destination* d = pick(list, id);
        if (!d) {
            error_ = !seq_           ? sequencer_reason()
                     : id == kMapper ? kNoSynthesizerForTheMapper
                                     : "no such device";
            return false;
        }
        if (port_ < 0) {
            port_ = snd_seq_create_simple_port(
                seq_, "Korvante output", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
            if (port_ < 0) {
                error_ = snd_strerror(port_);
                return false;
            }
        }
        if (const int err = snd_seq_connect_to(seq_, port_, d->addr.client, d->addr.port);
            err < 0) {
            error_ = snd_strerror(err);
            return false;
        }
        error_.clear();
        dest_ = d->addr;
        open_ = true;
        start_queue();
        return true;
    }

    // Before any open the reason is the sequencer's own, when it could not be opened: the
    // device list is empty then, and that is why.
    std::string last_error() const override {
        return error_.empty() && !seq_ && !seq_error_.empty() ? sequencer_reason() : error_;
    }

    bool is_open() const override { return open_; }

    bool short_message(uint32_t packed) override {
        if (!open_) return false;
        snd_seq_event_t ev;
        return alsa_event_from_short(packed, &ev) && send(&ev);
    }

    bool short_message_at(uint32_t packed, uint64_t due_us) override {
        if (!open_) return false;
        snd_seq_event_t ev;
        return alsa_event_from_short(packed, &ev) && send_at(&ev, due_us);
    }

    bool long_message(const uint8_t* data, size_t size) override {
        snd_seq_event_t ev;
        return sysex_event(data, size, &ev) && send(&ev);
    }

    bool long_message_at(const uint8_t* data, size_t size, uint64_t due_us) override {
        snd_seq_event_t ev;
        return sysex_event(data, size, &ev) && send_at(&ev, due_us);
    }

    bool reset() override {
        if (!open_) return false;
        snd_seq_drop_output(seq_);
        // What the queue holds is not to sound any more.
        if (queue_ >= 0) {
            snd_seq_remove_events_t* remove;
            snd_seq_remove_events_alloca(&remove);
            snd_seq_remove_events_set_condition(remove, SND_SEQ_REMOVE_OUTPUT);
            snd_seq_remove_events_set_queue(remove, queue_);
            snd_seq_remove_events(seq_, remove);
            last_queued_us_ = 0;
        }
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
        snd_seq_drain_output(seq_);
        // The queue delivers what it holds before the connection goes.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (last_queued_us_ > queue_now_us() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        snd_seq_disconnect_to(seq_, port_, dest_.client, dest_.port);
        stop_queue();
        open_ = false;
        return true;
    }

private:
    struct destination {
        snd_seq_addr_t addr;
        midi_out_caps caps;
    };

    std::string sequencer_reason() const {
        return "the ALSA sequencer cannot be opened: " + seq_error_;
    }

    bool ensure_seq() {
        if (seq_) return true;
        snd_lib_error_set_handler(alsa_quiet);
        if (const int err = snd_seq_open(&seq_, "default", SND_SEQ_OPEN_OUTPUT, 0); err < 0) {
            seq_ = nullptr;
            seq_error_ = snd_strerror(err);
            return false;
        }
        snd_seq_set_client_name(seq_, "Korvante");
        return true;
    }

    // The writable MIDI ports of every other client, in client and port order.
    std::vector<destination> scan() {
        std::vector<destination> out;
        if (!ensure_seq()) return out;
        for (alsa_port& p : alsa_midi_ports_of_others(
                 seq_, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE)) {
            destination d;
            d.addr = p.addr;
            d.caps.name = std::move(p.name);
            d.caps.synth =
                (p.type & (SND_SEQ_PORT_TYPE_SYNTH | SND_SEQ_PORT_TYPE_SYNTHESIZER |
                           SND_SEQ_PORT_TYPE_DIRECT_SAMPLE | SND_SEQ_PORT_TYPE_SAMPLE)) != 0;
            out.push_back(d);
        }
        return out;
    }

    static const destination* pick(const std::vector<destination>& list, uint32_t id) {
        if (id == kMapper) {
            for (const destination& d : list) {
                if (d.caps.synth) return &d;
            }
            return nullptr;
        }
        return id < list.size() ? &list[id] : nullptr;
    }

    bool sysex_event(const uint8_t* data, size_t size, snd_seq_event_t* ev) const {
        if (!open_ || !data || size < 2 || data[0] != 0xF0 || data[size - 1] != 0xF7) return false;
        snd_seq_ev_clear(ev);
        snd_seq_ev_set_sysex(ev, static_cast<unsigned>(size), const_cast<uint8_t*>(data));
        return true;
    }

    bool send(snd_seq_event_t* ev) {
        snd_seq_ev_set_source(ev, port_);
        snd_seq_ev_set_subs(ev);
        snd_seq_ev_set_direct(ev);
        return snd_seq_event_output_direct(seq_, ev) >= 0;
    }

    // A message the engine says the time of goes onto the queue, stamped with that time and the
    // lead, so that the kernel delivers it then whenever it was handed over. Without a queue it
    // goes at once.
    bool send_at(snd_seq_event_t* ev, uint64_t due_us) {
        if (queue_ < 0) return send(ev);
        const snd_seq_real_time_t at = alsa_queue_time(due_us, queue_start_us_, kAlsaQueueLeadUs);
        snd_seq_ev_set_source(ev, port_);
        snd_seq_ev_set_subs(ev);
        snd_seq_ev_schedule_real(ev, queue_, 0, &at);
        const uint64_t at_us = uint64_t{at.tv_sec} * 1000000 + at.tv_nsec / 1000;
        if (at_us > last_queued_us_) last_queued_us_ = at_us;
        return snd_seq_event_output_direct(seq_, ev) >= 0;
    }

    // Starts the queue of this connection, and learns where its time stands on the program
    // clock. A sequencer that gives no queue leaves the output sending at once.
    void start_queue() {
        if (queue_ < 0) queue_ = snd_seq_alloc_named_queue(seq_, "Korvante");
        if (queue_ < 0) return;
        if (snd_seq_start_queue(seq_, queue_, nullptr) < 0 || snd_seq_drain_output(seq_) < 0) {
            stop_queue();
            return;
        }
        snd_seq_sync_output_queue(seq_);
        // Both on the program clock, which wraps.
        constexpr uint64_t kWrapUs = (uint64_t{1} << 32) * 1000;
        queue_start_us_ = (midi_clock_now_us() + kWrapUs - queue_now_us() % kWrapUs) % kWrapUs;
        last_queued_us_ = 0;
    }

    void stop_queue() {
        if (queue_ < 0) return;
        snd_seq_stop_queue(seq_, queue_, nullptr);
        snd_seq_drain_output(seq_);
        snd_seq_free_queue(seq_, queue_);
        queue_ = -1;
    }

    // The queue's real time now, in microseconds; 0 without a queue.
    uint64_t queue_now_us() const {
        if (queue_ < 0) return 0;
        snd_seq_queue_status_t* status;
        snd_seq_queue_status_alloca(&status);
        if (snd_seq_get_queue_status(seq_, queue_, status) < 0) return 0;
        const snd_seq_real_time_t* t = snd_seq_queue_status_get_real_time(status);
        return uint64_t{t->tv_sec} * 1000000 + t->tv_nsec / 1000;
    }

    snd_seq_t* seq_ = nullptr;
    std::string error_;      // why the last open failed
    std::string seq_error_;  // why the sequencer did not open
    int port_ = -1;
    int queue_ = -1;               // the connection's queue, or -1: messages go at once
    uint64_t queue_start_us_ = 0;  // program clock when the queue's time was 0
    uint64_t last_queued_us_ = 0;  // queue time of the latest message on it
    snd_seq_addr_t dest_{};
    bool open_ = false;
};

#endif

}  // namespace

#ifdef KV_HAVE_ALSA
bool alsa_event_from_short(uint32_t packed, snd_seq_event_t* ev) {
    const uint8_t status = packed & 0xFF;
    const uint8_t d1 = (packed >> 8) & 0x7F, d2 = (packed >> 16) & 0x7F;
    const uint8_t ch = status & 0x0F;
    snd_seq_ev_clear(ev);
    switch (status & 0xF0) {
        case 0x80:
            snd_seq_ev_set_noteoff(ev, ch, d1, d2);
            break;
        case 0x90:
            snd_seq_ev_set_noteon(ev, ch, d1, d2);
            break;
        case 0xA0:
            snd_seq_ev_set_keypress(ev, ch, d1, d2);
            break;
        case 0xB0:
            snd_seq_ev_set_controller(ev, ch, d1, d2);
            break;
        case 0xC0:
            snd_seq_ev_set_pgmchange(ev, ch, d1);
            break;
        case 0xD0:
            snd_seq_ev_set_chanpress(ev, ch, d1);
            break;
        // The sequencer counts the bend from its centre.
        case 0xE0:
            snd_seq_ev_set_pitchbend(ev, ch, ((d2 << 7) | d1) - 8192);
            break;
        default:
            return false;
    }
    return true;
}
#endif

#ifdef KV_HAVE_ALSA
snd_seq_real_time_t alsa_queue_time(uint64_t due_us, uint64_t start_us, uint64_t lead_us) {
    constexpr uint64_t kWrap = (uint64_t{1} << 32) * 1000;
    constexpr int64_t kWrapUs = static_cast<int64_t>(kWrap);
    int64_t since = static_cast<int64_t>(due_us % kWrap) - static_cast<int64_t>(start_us % kWrap);
    if (since > kWrapUs / 2) since -= kWrapUs;
    if (since < -kWrapUs / 2) since += kWrapUs;
    since += static_cast<int64_t>(lead_us);
    snd_seq_real_time_t t{};
    if (since <= 0) return t;
    t.tv_sec = static_cast<unsigned>(since / 1000000);
    t.tv_nsec = static_cast<unsigned>(since % 1000000 * 1000);
    return t;
}
#endif

std::unique_ptr<midi_out> make_system_midi_out() {
    std::vector<std::unique_ptr<midi_out>> parts;
#ifdef KV_HAVE_ALSA
    parts.push_back(std::make_unique<midi_out_alsa>());
#else
    parts.push_back(make_midi_out_without_devices("the program was built without ALSA"));
#endif
    // The JACK ports come after the sequencer's, whose numbers stay as they were.
    parts.push_back(make_jack_midi_out());
    return std::make_unique<midi_out_join>(std::move(parts));
}

}  // namespace kv_midi
