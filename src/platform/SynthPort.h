#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The software synthesizer port: a General MIDI synthesizer inside the program, with a
// performance clock that messages are stamped against. On Linux it is FluidSynth with a GM
// SoundFont, playing through FluidSynth's audio driver. Nothing here prints or throws.
namespace kv_synth {

// A port's identifier: four 32-bit words, stable from run to run so that the configuration can
// keep it. All zero names the first (default) port.
using port_id = std::array<uint32_t, 4>;

// Performance clock units per quarter note; the clock runs at 120 quarter notes a minute, so a
// second is 1536 units.
inline constexpr int64_t kClockPerQuarter = 768;
inline constexpr int64_t kClockPerSecond = kClockPerQuarter * 2;

struct port_info {
    port_id id{};
    std::string name;  // shown to the user; kept in the configuration beside the identifier
};

// One synthesizer port. One thread at a time: the player's worker during a run, the UI thread
// between runs. (The audio driver's own thread is the backend's business.)
class synth_port {
public:
    virtual ~synth_port() = default;

    // The ports that can be opened now; empty when the synthesizer or its sound font is missing.
    virtual std::vector<port_info> ports() = 0;

    // Opens the port with this identifier (all zero: the first port) and loads the sound font.
    // False when the port is not listed, the sound font cannot be loaded, the audio cannot be
    // started, or a port is already open.
    virtual bool open(const port_id& id) = 0;

    // True while a port is open; the identifier it was opened with (resolved), zero when closed.
    virtual bool is_open() const = 0;
    virtual port_id open_port() const = 0;

    // Starts the performance clock running from 0 (again). False when closed.
    virtual bool start_clock() = 0;

    // True once start_clock has run and until close.
    virtual bool clock_running() const = 0;

    // Reads the performance clock (units above). False when closed or the clock is not running.
    virtual bool music_time(int64_t* now) = 0;

    // Schedules one MIDI message to sound at performance time `at`: a channel message of the
    // right length (80..EF) or a complete system exclusive (F0 .. F7). Times already past sound
    // at once. False when closed, malformed or refused.
    virtual bool send(int64_t at, const uint8_t* message, size_t size) = 0;

    // Makes the GM instrument of this program ready on the port; unloading gives it back. False
    // when closed or the sound font has no such instrument.
    virtual bool load_instrument(uint8_t program) = 0;
    virtual bool unload_instrument(uint8_t program) = 0;

    // Pulls the next `frames` stereo frames (interleaved, 44100 Hz, full scale at 1.0, louder
    // parts not clipped) from a port without an audio driver, advancing its clock. False for a
    // port whose audio driver pulls the samples itself, or when closed.
    virtual bool render(float* interleaved, size_t frames) = 0;

    // Closes the port: pending messages are dropped, the sound stops. Always succeeds.
    virtual void close() = 0;
};

// The standard places of General MIDI sound fonts on Debian, in the order they are preferred.
const std::vector<std::string>& soundfont_search_path();

// The first existing sound font of the search path (host path), or empty. Any thread.
std::string find_soundfont();

// True when the program was built with the software synthesizer. Any thread.
bool synth_available();

// The FluidSynth port. `soundfont` is a host path, empty to search the standard places. With
// `offline` the port list holds one port without audio driver, pulled through render();
// otherwise one port per audio driver FluidSynth offers. Without FluidSynth the port list is
// empty. Never null. Any thread.
std::unique_ptr<synth_port> make_fluidsynth_port(const std::string& soundfont, bool offline);

// The stable identifier of a port name (a fixed hash; never all zero). Any thread.
port_id port_id_of(const std::string& name);

// A test double: a fixed port list, a clock that the test sets, and a log of every call.
// Guarded by a lock, so the log may be read from another thread.
class synth_port_recorder final : public synth_port {
public:
    enum class kind { open, start_clock, send, load, unload, close };

    struct record {
        kind what;
        int64_t at = 0;              // the stamp of send
        std::vector<uint8_t> bytes;  // the message of send; the program of load and unload
        port_id id{};                // the port of open
        std::chrono::steady_clock::time_point when;
    };

    // Two ports, "Recording Synth A" and "Recording Synth B".
    synth_port_recorder();

    std::vector<port_info> ports() override;
    bool open(const port_id& id) override;
    bool is_open() const override;
    port_id open_port() const override;
    bool start_clock() override;
    bool clock_running() const override;
    bool music_time(int64_t* now) override;
    bool send(int64_t at, const uint8_t* message, size_t size) override;
    bool load_instrument(uint8_t program) override;
    bool unload_instrument(uint8_t program) override;
    bool render(float* interleaved, size_t frames) override;
    void close() override;

    // The clock reading music_time reports. Any thread.
    void set_time(int64_t now);
    // Faults: open refused; clock unreadable; sending refused.
    void fail_open(bool on);
    void fail_clock(bool on);
    void fail_send(bool on);

    std::vector<record> log() const;
    void clear_log();

private:
    void add(record r);

    mutable std::mutex lock_;
    std::vector<port_info> ports_;
    std::vector<record> log_;
    bool open_ = false;
    bool clock_ = false;
    port_id open_id_{};
    int64_t now_ = 0;
    bool fail_open_ = false, fail_clock_ = false, fail_send_ = false;
};

}  // namespace kv_synth
