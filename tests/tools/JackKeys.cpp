// A keyboard for the JACK input's test (tests/app/JackInputTest.cpp): the JACK client
// "kvtest-keys" with the MIDI output port "keys", in a process of its own as a user's keyboard
// program is. Once its client is active it says "ready" on its standard input, a socket the
// test holds the other end of (connections to ports of a client not yet active are refused).
// Each line then read there is a key number, played in the next period as a note-on and its
// note-off (frames 0 and 1); the end of the input closes the client and ends the program, and
// so does the loss of the server.
//
// It is a program of its own, not a client in the test's process: two clients of one process
// hand the port buffer over through the server's graph order, in shared memory the thread
// sanitizer cannot see, so it takes the hand-over for a data race; working out that its report
// is suppressed stalls the reading client's period for a tenth of a second, and the writer's
// next period clears what the reader had not read yet. The program itself never has a second
// client in its process.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Message {
    uint8_t bytes[3];
};

struct Keyboard {
    jack_port_t* port = nullptr;
    std::mutex mutex;
    std::vector<Message> waiting;
};

int process(jack_nframes_t frames, void* arg) {
    auto* keys = static_cast<Keyboard*>(arg);
    void* buffer = jack_port_get_buffer(keys->port, frames);
    jack_midi_clear_buffer(buffer);
    // The reading thread holds the lock only to append: this period or the next.
    std::unique_lock<std::mutex> lock(keys->mutex, std::try_to_lock);
    if (!lock) return 0;
    jack_nframes_t at = 0;
    for (const Message& m : keys->waiting)
        jack_midi_event_write(buffer, at++, m.bytes, 3);
    keys->waiting.clear();
    return 0;
}

// The server went away: nothing is left to play into.
void server_gone(void*) {
    _exit(0);
}

}  // namespace

int main() {
    jack_status_t status;
    jack_client_t* client = jack_client_open("kvtest-keys", JackNoStartServer, &status);
    if (!client) {
        std::fprintf(stderr, "kvtest-keys: no JACK server (status %#x)\n", unsigned(status));
        return 1;
    }
    Keyboard keys;
    keys.port = jack_port_register(client, "keys", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client, &process, &keys);
    jack_on_shutdown(client, &server_gone, nullptr);
    if (!keys.port || jack_activate(client) != 0) {
        std::fprintf(stderr, "kvtest-keys: the port or the activation was refused\n");
        jack_client_close(client);
        return 1;
    }
    const char ready[] = "ready\n";
    if (write(0, ready, sizeof ready - 1) != static_cast<ssize_t>(sizeof ready - 1))
        std::fprintf(stderr, "kvtest-keys: standard input is not a socket: not said ready\n");
    for (std::string line; std::getline(std::cin, line);) {
        const int key = static_cast<int>(std::strtol(line.c_str(), nullptr, 10)) & 0x7F;
        std::lock_guard<std::mutex> lock(keys.mutex);
        keys.waiting.push_back({{0x90, static_cast<uint8_t>(key), 100}});
        keys.waiting.push_back({{0x80, static_cast<uint8_t>(key), 0}});
    }
    jack_deactivate(client);
    jack_client_close(client);
    return 0;
}
