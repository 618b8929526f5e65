#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The system MIDI input: a list of the ports that send MIDI (a keyboard on the ALSA sequencer,
// the MIDI output port of a JACK client) and one open connection from one of them into a port
// of our own. What arrives is decoded into channel messages stamped with the time they came
// (microseconds of the program clock, as kv_midi::midi_clock_now_us counts) and waits in a queue
// the user-interface thread drains with read(); nothing calls back into the program. Nothing
// here prints or throws; failures are false results.
namespace kv_midi {

// One channel message that arrived: status (0x80-0xEF) and its data bytes (0 when it has only
// one), when it arrived.
struct midi_in_message {
    uint64_t at_us = 0;
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

// What the system says about one input port.
struct midi_in_caps {
    std::string name;  // as shown to the user and kept in the settings
};

// The bytes of a MIDI stream turned into channel messages. Running status is followed; system
// real-time bytes (F8-FF) are skipped wherever they fall; system-exclusive messages and the
// other system messages are skipped with their data; data bytes without a status before them
// are dropped. So any byte sequence gives only whole channel messages. Any thread, one at a time.
class midi_in_decoder {
public:
    // Takes one byte; true when it completed a channel message, then written to `out` (its time
    // untouched).
    bool feed(uint8_t byte, midi_in_message* out);
    // Forgets a message begun and the running status (a new connection).
    void reset();

private:
    uint8_t status_ = 0;  // the running status, 0 when there is none
    uint8_t first_ = 0;   // the first data byte of a three-byte message
    bool have_first_ = false;
};

// Decodes `size` bytes and appends the channel messages they make, at `at_us`, to `out`; the
// number appended. Any thread.
size_t midi_in_decode(midi_in_decoder& decoder, const uint8_t* data, size_t size, uint64_t at_us,
                      std::vector<midi_in_message>* out);

// The queue between the thread a port's messages arrive on (a server's process callback, a
// reader thread) and the thread that reads them: one producer, one consumer, no locks. A full
// queue drops what comes and counts it.
class midi_in_queue {
public:
    static constexpr size_t kSlots = 1024;

    // Producer: false (counted in dropped()) when full.
    bool push(const midi_in_message& m);
    // Consumer: appends everything waiting to `out`; the number taken.
    size_t drain(std::vector<midi_in_message>* out);
    // Messages refused because the queue was full. Any thread.
    uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    std::array<midi_in_message, kSlots> slots_{};
    std::atomic<uint64_t> write_{0};
    std::atomic<uint64_t> read_{0};
    std::atomic<uint64_t> dropped_{0};
};

// One system MIDI input. Listing and opening on the user-interface thread; the messages arrive
// on the system's threads and wait for read().
class midi_in {
public:
    virtual ~midi_in() = default;

    // The number of input ports now present; 0 when the system has no MIDI service.
    virtual uint32_t device_count() = 0;
    // What port `id` (0 .. count-1) is; false, caps untouched, when there is no such port.
    virtual bool device_caps(uint32_t id, midi_in_caps* caps) = 0;
    // Connects port `id` to our input; false when there is no such port, the system refuses,
    // or a connection is already open.
    virtual bool open(uint32_t id) = 0;
    virtual bool is_open() const = 0;
    // Appends every message that arrived since the last read to `out`, oldest first; the
    // number appended. Nothing when closed.
    virtual size_t read(std::vector<midi_in_message>* out) = 0;
    // Ends the connection; true when nothing was open.
    virtual bool close() = 0;
    // Why the last open failed, or why the connection was lost; empty otherwise.
    virtual std::string last_error() const { return {}; }
    // True once the port the connection came from went away (unplugged, its program ended, the
    // server stopped): nothing more arrives, last_error says why, close ends it. What arrived
    // before can still be read.
    virtual bool lost() const { return false; }
};

// The system's MIDI input: the readable ports of the ALSA sequencer when the program was built
// with it (our port "Korvante input", which other clients may also connect to), then the MIDI
// output ports of a running JACK server when built with JACK (our port "midi_in"), numbered on
// after the sequencer's. Never null. User-interface thread.
std::unique_ptr<midi_in> make_system_midi_in();
std::unique_ptr<midi_in> make_alsa_midi_in();
std::unique_ptr<midi_in> make_jack_midi_in();

// A test double: a fixed port list; tests feed it bytes as a port would send them, and can take
// the port away. Every operation is guarded by a lock, so a test thread may feed it while the
// user-interface thread reads.
class midi_in_fake final : public midi_in {
public:
    // One port by default: "Fake Keyboard".
    midi_in_fake();
    explicit midi_in_fake(std::vector<std::string> ports);

    uint32_t device_count() override;
    bool device_caps(uint32_t id, midi_in_caps* caps) override;
    bool open(uint32_t id) override;
    bool is_open() const override;
    size_t read(std::vector<midi_in_message>* out) override;
    bool close() override;
    std::string last_error() const override;
    bool lost() const override;

    // Bytes as the open port sends them, decoded as a port's are, at `at_us` (now when 0).
    // Ignored when closed or lost.
    void feed(const std::vector<uint8_t>& bytes, uint64_t at_us = 0);
    // A note-on (velocity > 0) or note-off (velocity 0) on channel 1.
    void key(int key, int velocity, uint64_t at_us = 0);
    // The port goes away: lost() is true until close.
    void lose_port();
    // The port that is open, or -1.
    int64_t open_port() const;

private:
    mutable std::mutex lock_;
    std::vector<std::string> ports_;
    std::vector<midi_in_message> waiting_;
    midi_in_decoder decoder_;
    int64_t open_ = -1;
    bool lost_ = false;
};

// Several inputs shown as one: the ports of the first, then those of the next, numbered on.
class midi_in_join final : public midi_in {
public:
    explicit midi_in_join(std::vector<std::unique_ptr<midi_in>> parts);

    uint32_t device_count() override;
    bool device_caps(uint32_t id, midi_in_caps* caps) override;
    bool open(uint32_t id) override;
    bool is_open() const override;
    size_t read(std::vector<midi_in_message>* out) override;
    bool close() override;
    std::string last_error() const override;
    bool lost() const override;

private:
    midi_in* locate(uint32_t id, uint32_t* local);

    std::vector<std::unique_ptr<midi_in>> parts_;
    midi_in* open_ = nullptr;
    std::string error_;
};

// The number of the port named `name` among `in`'s, or -1. User-interface thread.
int64_t midi_in_find(midi_in& in, const std::string& name);

}  // namespace kv_midi
