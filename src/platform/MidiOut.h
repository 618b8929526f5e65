#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The system MIDI output: a list of output devices and one open connection to one of them. On
// Linux the devices are the writable MIDI ports of other clients of the ALSA sequencer (a
// software synthesizer, a hardware port); messages leave through a port of our own connected to
// the chosen destination. Nothing here prints or throws; failures are false results.
namespace kv_midi {

// The device number that means "whatever the system plays MIDI on": the first synthesizer
// port found.
inline constexpr uint32_t kMapper = 0xFFFFFFFFu;
// Why the mapper opens nothing when the system is there but offers no synthesizer port.
inline constexpr const char* kNoSynthesizerForTheMapper =
    "none of the MIDI outputs is a synthesizer, so the mapper has nothing to play to";

// What the system says about one output device.
struct midi_out_caps {
    std::string name;    // product name, as shown to the user and kept in the configuration
    bool synth = false;  // a synthesizer (software or hardware) rather than a plain MIDI port
};

// One system MIDI output. One thread at a time: the player's worker during a run, the UI thread
// between runs.
class midi_out {
public:
    virtual ~midi_out() = default;

    // The number of output devices now present; 0 when the system has no MIDI service.
    virtual uint32_t device_count() = 0;

    // The capabilities of device `id` (0 .. count-1, or kMapper for the device the mapper
    // chooses). False, caps untouched, when there is no such device.
    virtual bool device_caps(uint32_t id, midi_out_caps* caps) = 0;

    // Connects to device `id` (or the mapper's choice). False when there is no such device, the
    // system refuses, or a connection is already open.
    virtual bool open(uint32_t id) = 0;

    // True while a connection is open.
    virtual bool is_open() const = 0;

    // Sends one channel message packed as status | data1 << 8 | data2 << 16 (the order of the
    // bytes on the wire). False when closed, malformed or refused.
    virtual bool short_message(uint32_t packed) = 0;

    // Sends a complete system-exclusive message (F0 ... F7) as it stands. False when closed,
    // malformed or refused.
    virtual bool long_message(const uint8_t* data, size_t size) = 0;

    // Silences the device: every note on every channel is turned off. False when closed.
    virtual bool reset() = 0;

    // Ends the connection. False (still open) when the system refuses; true when nothing was open.
    virtual bool close() = 0;

    // Why the last open failed, in the system's words ("no such device", "Connection refused");
    // empty when it did not fail or the system gave no reason.
    virtual std::string last_error() const { return {}; }

    // The same messages, meant to sound at `due_us`: microseconds of the program's clock (the
    // system KvClock's milliseconds × 1000 plus the fraction, the milliseconds wrapping at 2^32
    // as that clock's do). An output that writes messages into a timeline of its own places
    // each one there, a fixed latency later, so that when the caller sends it does not matter;
    // every other output sends at once, as the plain calls do (the default). Messages keep the
    // order they were sent in either way.
    virtual bool short_message_at(uint32_t packed, uint64_t due_us) {
        (void)due_us;
        return short_message(packed);
    }
    virtual bool long_message_at(const uint8_t* data, size_t size, uint64_t due_us) {
        (void)due_us;
        return long_message(data, size);
    }

    // True once the system has taken the open connection away (a server that stopped): nothing
    // is sent any more, last_error says why, and close ends it. False while closed.
    virtual bool lost() const { return false; }
};

// The program clock's time now in the microseconds of short_message_at, read from the steady
// clock the system KvClock counts. Any thread.
uint64_t midi_clock_now_us();

// The system's MIDI output: the devices of the ALSA sequencer when the program was built with
// it, then the MIDI input ports of a running JACK server when built with JACK (see
// MidiOutJack.h), numbered on after the sequencer's. Never null. Any thread.
std::unique_ptr<midi_out> make_system_midi_out();

// An output with no devices, standing in for a service the program was built without: nothing
// opens, and `why` is its last error. Any thread.
std::unique_ptr<midi_out> make_midi_out_without_devices(std::string why);

// A test double: a fixed device list and a log of everything sent. Its faults can be switched
// on to see how callers cope. Every operation is guarded by a lock, so the log may be read from
// another thread while a run writes it.
class midi_out_recorder final : public midi_out {
public:
    enum class kind { open, short_message, long_message, reset, close };

    struct record {
        kind what;
        uint32_t value = 0;          // the device of open, the packed message of short_message
        std::vector<uint8_t> bytes;  // the bytes of short_message (2 or 3) and long_message
        std::chrono::steady_clock::time_point at;
        bool timed = false;   // sent through short_message_at or long_message_at
        uint64_t due_us = 0;  // the time it was meant for, when timed
    };

    // Two devices by default: a synthesizer and a plain port.
    midi_out_recorder();
    explicit midi_out_recorder(std::vector<midi_out_caps> devices);

    uint32_t device_count() override;
    bool device_caps(uint32_t id, midi_out_caps* caps) override;
    bool open(uint32_t id) override;
    bool is_open() const override;
    bool short_message(uint32_t packed) override;
    bool long_message(const uint8_t* data, size_t size) override;
    bool short_message_at(uint32_t packed, uint64_t due_us) override;
    bool long_message_at(const uint8_t* data, size_t size, uint64_t due_us) override;
    bool reset() override;
    bool close() override;
    std::string last_error() const override;
    bool lost() const override;

    // The log so far (a copy) and its clearing. Any thread.
    std::vector<record> log() const;
    void clear_log();
    // The device the connection was opened with (kMapper resolved), or -1 when closed.
    int64_t open_device() const;

    // Faults: open refused; every short message refused once `n` more have been accepted
    // (SIZE_MAX switches it off); close refused.
    void fail_open(bool on);
    void fail_short_after(size_t n);
    void fail_close(bool on);
    // The system takes the connection away: every send fails and lost() is true until close.
    void lose_connection();

private:
    // The device the mapper stands for: the first synthesizer, or -1.
    int64_t mapper_target() const;
    void add(record r);

    mutable std::mutex lock_;
    std::vector<midi_out_caps> devices_;
    std::vector<record> log_;
    int64_t open_ = -1;
    bool fail_open_ = false;
    bool fail_close_ = false;
    bool lost_ = false;
    std::string last_error_;
    size_t short_budget_ = SIZE_MAX;
};

// The number of bytes of a channel message with this status (2 for C0..DF, 3 for 80..BF and
// E0..EF), or 0 when the byte is not a channel status. Any thread.
size_t channel_message_size(uint8_t status);

}  // namespace kv_midi
