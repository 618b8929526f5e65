// The MIDI input on the ALSA sequencer: our port "Korvante input", which the chosen port is
// connected to (and other clients may connect to as well), and a reader thread that stamps what
// arrives and queues it. The sequencer's announcements say when the chosen port goes away.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/MidiIn.h"
#include "platform/MidiOut.h"

#ifdef KV_HAVE_ALSA
#include <alsa/asoundlib.h>
#include <poll.h>

#include "platform/AlsaPorts.h"
#endif

namespace kv_midi {

namespace {

// Used without ALSA, and where the sequencer cannot be opened: no ports.
class midi_in_none final : public midi_in {
public:
    explicit midi_in_none(std::string why) : why_(std::move(why)) {}
    uint32_t device_count() override { return 0; }
    bool device_caps(uint32_t, midi_in_caps*) override { return false; }
    bool open(uint32_t) override { return false; }
    bool is_open() const override { return false; }
    size_t read(std::vector<midi_in_message>*) override { return 0; }
    bool close() override { return true; }
    std::string last_error() const override { return why_; }

private:
    std::string why_;
};

#ifdef KV_HAVE_ALSA

class midi_in_alsa final : public midi_in {
public:
    ~midi_in_alsa() override {
        close();
        stop_reader();
        if (seq_) snd_seq_close(seq_);
    }

    uint32_t device_count() override { return static_cast<uint32_t>(scan().size()); }

    bool device_caps(uint32_t id, midi_in_caps* caps) override {
        const std::vector<source> list = scan();
        if (id >= list.size()) return false;
        if (caps) caps->name = list[id].name;
        return true;
    }

    bool open(uint32_t id) override {
        if (open_) {
            error_ = "a connection is already open";
            return false;
        }
        const std::vector<source> list = scan();
        if (id >= list.size()) {
            error_ = seq_ ? "no such input port" : "the ALSA sequencer cannot be opened";
            return false;
        }
        if (!start_reader()) return false;
        if (const int err =
                snd_seq_connect_from(seq_, port_, list[id].addr.client, list[id].addr.port);
            err < 0) {
            error_ = snd_strerror(err);
            return false;
        }
        from_ = list[id].addr;
        from_packed_.store(list[id].addr.client << 8 | list[id].addr.port,
                           std::memory_order_release);
        gone_.store(false, std::memory_order_release);
        error_.clear();
        open_ = true;
        return true;
    }

    bool is_open() const override { return open_; }

    size_t read(std::vector<midi_in_message>* out) override {
        return open_ ? queue_.drain(out) : 0;
    }

    bool close() override {
        if (!open_) return true;
        open_ = false;
        from_packed_.store(-1, std::memory_order_release);
        if (!gone_.load(std::memory_order_acquire))
            snd_seq_disconnect_from(seq_, port_, from_.client, from_.port);
        std::vector<midi_in_message> rest;
        queue_.drain(&rest);
        return true;
    }

    std::string last_error() const override { return lost() ? "the input port went away" : error_; }
    bool lost() const override { return open_ && gone_.load(std::memory_order_acquire); }

private:
    struct source {
        snd_seq_addr_t addr;
        std::string name;
    };

    bool ensure_seq() {
        if (seq_) return true;
        snd_lib_error_set_handler(alsa_quiet);
        if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) {
            seq_ = nullptr;
            return false;
        }
        snd_seq_set_client_name(seq_, "Korvante");
        port_ = snd_seq_create_simple_port(
            seq_, "Korvante input", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
            SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        if (port_ < 0) {
            snd_seq_close(seq_);
            seq_ = nullptr;
            return false;
        }
        // The announcements tell when a port goes away.
        snd_seq_connect_from(seq_, port_, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
        return true;
    }

    // The readable MIDI ports of every other client, in client and port order.
    std::vector<source> scan() {
        std::vector<source> out;
        if (!ensure_seq()) return out;
        for (alsa_port& p :
             alsa_midi_ports_of_others(seq_, SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ))
            out.push_back(source{p.addr, std::move(p.name)});
        return out;
    }

    bool start_reader() {
        if (reader_.joinable()) return true;
        stop_.store(false);
        reader_ = std::thread([this] { read_loop(); });
        return true;
    }

    void stop_reader() {
        stop_.store(true);
        if (reader_.joinable()) reader_.join();
    }

    // The reader thread: waits on the sequencer and queues every channel message that comes.
    void read_loop() {
        const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
        std::vector<pollfd> fds(static_cast<size_t>(count > 0 ? count : 1));
        snd_seq_poll_descriptors(seq_, fds.data(), static_cast<unsigned>(fds.size()), POLLIN);
        while (!stop_.load()) {
            if (::poll(fds.data(), fds.size(), 50) <= 0) continue;
            snd_seq_event_t* ev = nullptr;
            while (snd_seq_event_input(seq_, &ev) >= 0 && ev)
                take(*ev);
        }
    }

    void take(const snd_seq_event_t& ev) {
        midi_in_message m;
        m.at_us = midi_clock_now_us();
        const uint8_t ch = ev.data.note.channel & 0x0F;
        switch (ev.type) {
            case SND_SEQ_EVENT_NOTEON:
                m = {m.at_us, static_cast<uint8_t>(0x90 | ch), ev.data.note.note,
                     ev.data.note.velocity};
                break;
            case SND_SEQ_EVENT_NOTEOFF:
                m = {m.at_us, static_cast<uint8_t>(0x80 | ch), ev.data.note.note,
                     ev.data.note.velocity};
                break;
            case SND_SEQ_EVENT_CONTROLLER:
                m = {m.at_us, static_cast<uint8_t>(0xB0 | (ev.data.control.channel & 0x0F)),
                     static_cast<uint8_t>(ev.data.control.param & 0x7F),
                     static_cast<uint8_t>(ev.data.control.value & 0x7F)};
                break;
            case SND_SEQ_EVENT_PORT_EXIT:
            case SND_SEQ_EVENT_CLIENT_EXIT: {
                const int from = from_packed_.load(std::memory_order_acquire);
                if (from >= 0 && ev.data.addr.client == (from >> 8) &&
                    (ev.type == SND_SEQ_EVENT_CLIENT_EXIT || ev.data.addr.port == (from & 0xFF)))
                    gone_.store(true, std::memory_order_release);
                return;
            }
            default:
                return;  // everything else the keyboard may send is of no use here
        }
        queue_.push(m);
    }

    snd_seq_t* seq_ = nullptr;
    int port_ = -1;
    snd_seq_addr_t from_{};
    std::atomic<int> from_packed_{-1};  // client << 8 | port of from_ for the reader, or -1
    bool open_ = false;
    std::string error_;
    std::atomic<bool> gone_{false};
    std::atomic<bool> stop_{false};
    std::thread reader_;
    midi_in_queue queue_;
};

#endif

}  // namespace

std::unique_ptr<midi_in> make_alsa_midi_in() {
#ifdef KV_HAVE_ALSA
    return std::make_unique<midi_in_alsa>();
#else
    return std::make_unique<midi_in_none>("the program was built without ALSA");
#endif
}

}  // namespace kv_midi
