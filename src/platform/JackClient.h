#pragma once

// The program's one JACK client, "korvante", which the JACK MIDI output and the JACK MIDI input
// share: each registers its port on it ("midi_out", "midi_in") and hooks its part of the
// server's process callback in. So the server, a patch bay and the user see one client with
// both ports, not two clients of one process. The client is counted: the first user opens it,
// the last one to let go closes it. A server that goes away (or shuts the client out) makes it
// gone() for good; the next acquire() then opens a new client while the users of the old one
// let go of it in their own time.
#ifdef KV_HAVE_JACK
#include <jack/jack.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace kv_midi {

// A part of the process callback: called on the server's process thread every period while it
// is attached.
class jack_process_part {
public:
    virtual void process(jack_nframes_t frames) = 0;

protected:
    ~jack_process_part() = default;
};

class jack_shared_client {
public:
    static constexpr size_t kParts = 4;

    // The program's client: the one open when it still has its server, else a new one; null
    // when no JACK server runs (or it refused the client). Any thread but the process
    // callback's.
    static std::shared_ptr<jack_shared_client> acquire();

    ~jack_shared_client();
    jack_shared_client(const jack_shared_client&) = delete;
    jack_shared_client& operator=(const jack_shared_client&) = delete;

    // The JACK client; null once a client that lost its server was replaced (acquire()).
    jack_client_t* client() const { return client_; }

    // True once the server closed or shut the client out. Any thread.
    bool gone() const { return gone_.load(std::memory_order_acquire); }
    // The server's reason for that, when it gave one. Only after gone() said true.
    std::string shutdown_reason() const { return reason_.data(); }
    // How many ports of any client the server has unregistered since this client opened: a
    // user that connected to another client's port looks again when this moves. Any thread.
    uint64_t unregistered_ports() const { return unregistered_.load(std::memory_order_acquire); }

    // A MIDI port of ours named `name` (or, when a port of that name is there already, the name
    // with a number), JackPortIsInput or JackPortIsOutput; null when refused.
    jack_port_t* register_midi_port(const char* name, unsigned long flags);
    // Gives the port back (nothing to do once the server is gone).
    void unregister_port(jack_port_t* port);

    // Hooks `part` into the process callback; false when all places are taken.
    bool attach(jack_process_part* part);
    // Takes it out again; when this returns, the process callback no longer runs it.
    void detach(jack_process_part* part);

private:
    jack_shared_client() = default;
    bool open();
    // Closes the client once its server is gone; client() is null afterwards.
    void close_gone();

    static int process(jack_nframes_t frames, void* arg);
    static void shutdown(jack_status_t, const char* reason, void* arg);
    static void registration(jack_port_id_t, int registered, void* arg);

    jack_client_t* client_ = nullptr;
    std::array<std::atomic<jack_process_part*>, kParts> parts_{};
    std::atomic<int> in_process_{0};  // process callbacks running now (0 or 1)
    std::atomic<bool> gone_{false};
    std::atomic<uint64_t> unregistered_{0};
    std::array<char, 160> reason_{};
};

}  // namespace kv_midi
#endif
