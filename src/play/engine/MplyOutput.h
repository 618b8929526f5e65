#pragma once

#include <array>
#include <cstdint>

#include "play/engine/MplyEvent.h"

// Where the player's events leave it: a MIDI device, the MIDI file exporter, or a listing.
// Every delivery takes the event and returns nonzero on success. Besides the operations, every
// output keeps two tables that the engine and the devices share:
//   - the note counter: for each channel and key, how many note-ons of that key are sounding
//     (at most 255), so that overlapping notes release the key only when the last one ends;
//   - the channel-used flags: set by the player music for every channel it sets up, so that a
//     device resetting its channels at the end of a run touches only those.
// Both are zero after construction; a device clears them after every Stop and when it closes.
// An output is used by the engine's thread during a run and by its owner's thread otherwise.
class MplyOutput {
public:
    static constexpr int kChannels = 16;
    static constexpr int kKeys = 128;
    static constexpr uint8_t kMaxSounding = 255;

    MplyOutput() = default;
    MplyOutput(const MplyOutput&) = delete;
    MplyOutput& operator=(const MplyOutput&) = delete;
    virtual ~MplyOutput() = default;

    // True when the engine should play everything at once in the caller's thread (the
    // exporter, listings) instead of in real time.
    virtual bool IsOffline() const = 0;
    // Ticks to add to the engine's tick for the position a listener hears; 0 by default.
    virtual int32_t GetPositionOffset() const { return 0; }
    // Gets ready for a run; 0 makes the run fail to start. 1 by default.
    virtual int Open() { return 1; }
    // The music ran to its end (not called when stopped). 1 by default.
    virtual int Finish() { return 1; }
    // The run is over, by itself or stopped: devices release sounding notes here. 1 by default.
    virtual int Stop() { return 1; }
    // Event deliveries; each returns 1 by default and ignores the event.
    virtual int SendTempo(const MplyEventTempo& event);
    virtual int SendNoteOn(const MplyEventNoteOn& event);
    virtual int SendNoteOff(const MplyEventNoteOff& event);
    virtual int SendControl(const MplyEventControl& event);
    // A 14-bit value sent through a pair of controllers (low controller first on devices). No
    // player event produces it; it belongs to the interface for the devices.
    virtual int SendControlPair(int channel, int high_controller, int low_controller, int value);
    virtual int SendExclusive(const MplyEventExclusive& event);
    virtual int SendText(const MplyEventString& event);
    virtual int SendRawMessage(const MplyEventMsg& event);

    // How many note-ons of `key` sound on `channel` (both masked into range).
    uint8_t note_count(int channel, int key) const { return counts_[slot(channel, key)]; }
    // Counts a note-on that is about to be sent: false, and nothing counted, when 255 of that
    // key are already sounding on the channel.
    bool count_note_on(int channel, int key);
    // Counts a note-off: 0 when no such note sounds (the note-off is to be refused), 1 when it
    // ends the last sounding one (the note-off is to be sent), 2 when others still sound.
    int count_note_off(int channel, int key);

    // Marks a channel as set up by the music of the current run (channel masked into range).
    void mark_channel_used(int channel) { used_[channel & 0x0F] = 1; }
    bool channel_used(int channel) const { return used_[channel & 0x0F] != 0; }

    // Zeroes the note counter and the channel-used flags.
    void clear_counters();

    // True when the system has taken the output away during a run (a server that stopped):
    // the engine then ends the run. False by default.
    virtual bool IsLost() const { return false; }

    // When the event being delivered was due, in the microseconds of the program clock
    // (kv_midi::midi_clock_now_us): set by the engine for each real-time event it plays and
    // cleared after it, so that a device writing into a timeline of its own can place the
    // event where it belongs rather than where the engine's wake-up found it. False (and `us`
    // untouched) outside such a delivery: for what a device sends on its own, as at Stop.
    bool due_us(uint64_t* us) const {
        if (!has_due_) return false;
        *us = due_;
        return true;
    }
    void set_due_us(uint64_t us) {
        due_ = us;
        has_due_ = true;
    }
    void clear_due() { has_due_ = false; }

private:
    static int slot(int channel, int key) { return (channel & 0x0F) * kKeys + (key & 0x7F); }

    std::array<uint8_t, kChannels * kKeys> counts_{};
    std::array<uint8_t, kChannels> used_{};
    uint64_t due_ = 0;
    bool has_due_ = false;
};
