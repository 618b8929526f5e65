// The program's shared JACK client: opening it once, the process callback that runs the parts
// hooked in, and the server's notices.
#include "platform/JackClient.h"

#ifdef KV_HAVE_JACK
#include <jack/midiport.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace kv_midi {

namespace {

// JACK reports on stderr unless told otherwise; the library stays quiet.
void quiet_jack(const char*) {}

// The client now shared; a new one replaces it once it is gone.
std::mutex& current_mutex() {
    static std::mutex m;
    return m;
}

std::weak_ptr<jack_shared_client>& current() {
    static std::weak_ptr<jack_shared_client> c;
    return c;
}

}  // namespace

std::shared_ptr<jack_shared_client> jack_shared_client::acquire() {
    std::lock_guard<std::mutex> lock(current_mutex());
    std::shared_ptr<jack_shared_client> c = current().lock();
    if (c && !c->gone()) return c;
    // The JACK library tears down every client it still has when an open finds the server gone,
    // and closing one of those afterwards crashes it: a client whose server went away is closed
    // before the next open, while its users still hold it (they make no JACK calls on a client
    // that is gone).
    if (c) c->close_gone();
    c.reset(new jack_shared_client());
    if (!c->open()) return nullptr;
    current() = c;
    return c;
}

bool jack_shared_client::open() {
    jack_set_error_function(quiet_jack);
    jack_set_info_function(quiet_jack);
    jack_status_t status;
    client_ = jack_client_open("korvante", JackNoStartServer, &status);
    if (!client_) return false;
    // Every callback is set before the client is activated: JACK takes none afterwards.
    jack_set_process_callback(client_, &jack_shared_client::process, this);
    jack_on_info_shutdown(client_, &jack_shared_client::shutdown, this);
    jack_set_port_registration_callback(client_, &jack_shared_client::registration, this);
    if (jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
        return false;
    }
    return true;
}

jack_shared_client::~jack_shared_client() {
    if (!client_) return;
    if (!gone()) jack_deactivate(client_);
    jack_client_close(client_);
}

void jack_shared_client::close_gone() {
    if (!client_ || !gone()) return;
    jack_client_close(client_);
    client_ = nullptr;
}

jack_port_t* jack_shared_client::register_midi_port(const char* name, unsigned long flags) {
    if (gone()) return nullptr;
    // A second output (or input) of the process gets the name with a number: "midi_out-2".
    std::string candidate = name;
    for (int n = 2; n <= 9; ++n) {
        if (jack_port_t* port =
                jack_port_register(client_, candidate.c_str(), JACK_DEFAULT_MIDI_TYPE, flags, 0))
            return port;
        candidate = std::string(name) + "-" + std::to_string(n);
    }
    return nullptr;
}

void jack_shared_client::unregister_port(jack_port_t* port) {
    if (port && !gone()) jack_port_unregister(client_, port);
}

bool jack_shared_client::attach(jack_process_part* part) {
    for (std::atomic<jack_process_part*>& slot : parts_) {
        jack_process_part* empty = nullptr;
        if (slot.compare_exchange_strong(empty, part)) return true;
    }
    return false;
}

void jack_shared_client::detach(jack_process_part* part) {
    for (std::atomic<jack_process_part*>& slot : parts_) {
        jack_process_part* mine = part;
        slot.compare_exchange_strong(mine, nullptr);
    }
    // A callback that took the part before it was taken out may still be running it; one that
    // starts now cannot see it. A server gone runs no more callbacks; a second is more than
    // any period lasts.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (in_process_.load() != 0 && !gone() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}

int jack_shared_client::process(jack_nframes_t frames, void* arg) {
    auto* self = static_cast<jack_shared_client*>(arg);
    self->in_process_.fetch_add(1);
    for (std::atomic<jack_process_part*>& slot : self->parts_) {
        if (jack_process_part* part = slot.load()) part->process(frames);
    }
    self->in_process_.fetch_sub(1);
    return 0;
}

// On a thread of the JACK library: the server closed, or it shut our client out.
void jack_shared_client::shutdown(jack_status_t, const char* reason, void* arg) {
    auto* self = static_cast<jack_shared_client*>(arg);
    std::snprintf(self->reason_.data(), self->reason_.size(), "%s", reason ? reason : "");
    self->gone_.store(true, std::memory_order_release);
}

void jack_shared_client::registration(jack_port_id_t, int registered, void* arg) {
    if (!registered) static_cast<jack_shared_client*>(arg)->unregistered_.fetch_add(1);
}

}  // namespace kv_midi
#endif
