#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "text/bank.h"

// The byte encoder of one track of a Standard MIDI File: events, each a delta time followed by
// the event's bytes, wrapped at the end into the header and track chunks (a format-0 file), or
// taken out as one track chunk of a file of several tracks. Every channel event carries its full
// status byte. The exporter drives it; it knows nothing of note counters. One thread at a time
// (the thread running the export).
class MplySmfWriter {
public:
    // Ticks per quarter note written into the header.
    static constexpr uint16_t kDivision = 480;

    // Empties the track data and sets the last tick to 0. Never fails.
    void Clear();

    // Appends `value` as a variable-length quantity: groups of 7 bits, most significant first,
    // bit 7 set on every byte but the last (1 to 5 bytes). Never fails.
    static void AppendVlq(std::vector<uint8_t>& out, uint32_t value);

    // Each writer below puts the delta from the last tick, then the event, and makes `tick` the
    // last tick. An event due before the last tick (a message track with a negative lag can
    // produce one) is written with a delta of 0 at the current position, leaving the last tick
    // where it was, and counted in LateEvents.

    // Tempo meta event FF 51 03 with 60000000 / bpm microseconds a quarter; false (nothing
    // written) when bpm is 0.
    bool Tempo(int32_t tick, uint32_t bpm);
    // 90+ch key velocity and 80+ch key 00. Data bytes are masked to 7 bits, the channel to 4.
    void NoteOn(int32_t tick, uint8_t channel, uint8_t key, uint8_t velocity);
    void NoteOff(int32_t tick, uint8_t channel, uint8_t key);
    // B0+ch controller value.
    void Control(int32_t tick, uint8_t channel, uint8_t controller, uint8_t value);
    // The low controller with value & 7F, then (delta 0) the high one with (value >> 7) & 7F.
    void ControlPair(int32_t tick, uint8_t channel, uint8_t high, uint8_t low, uint32_t value);
    // F0, the length of body + F7, the body, F7.
    void Exclusive(int32_t tick, const uint8_t* body, size_t size);
    // FF type length text (the bytes unchanged); nothing for an empty text.
    void Text(int32_t tick, uint8_t type, std::string_view text);
    // A complete message: a channel message A0..EF of the right length (2 for C0..DF, 3 for the
    // others) with its data bytes masked to 7 bits, or a system exclusive F0 .. F7 of more than
    // 3 bytes as F0, length, rest. False, nothing written, for anything else (80..9F included).
    bool Raw(int32_t tick, const uint8_t* message, size_t size);
    // Delta 0 and FF 2F 00; the last tick stays.
    void EndOfTrack();
    // FF 2F 00 at `tick` (or at the last tick when that is later), so that every track of a
    // file of several tracks ends where the longest does. Never fails.
    void EndOfTrackAt(int32_t tick);
    // Meta event FF type with the data bytes as they stand (time and key signatures). Never
    // fails.
    void Meta(int32_t tick, uint8_t type, std::initializer_list<uint8_t> data);

    // Appends the header chunk: "MThd", 6, the format, the number of tracks and the division.
    // Never fails.
    static void AppendHeader(std::vector<uint8_t>& out, uint16_t format, uint16_t tracks);
    // Moves the track data into `out` as one track chunk ("MTrk", length, data), leaving the
    // writer empty with last tick 0. False, `out` untouched, when there is no track data.
    bool AppendTrackChunk(std::vector<uint8_t>& out);

    // Moves the track data into a complete file image (header, track chunk) in `out`, leaving
    // the writer empty with last tick 0. False, `out` untouched, when there is no track data.
    bool BuildFile(std::vector<uint8_t>* out);

    int32_t LastTick() const { return m_LastTick; }
    size_t TrackSize() const { return m_Size; }
    // Events written at the current position because they were due earlier (since Clear).
    size_t LateEvents() const { return m_Late; }

private:
    void Delta(int32_t tick);
    void Put(std::initializer_list<uint8_t> bytes);
    void Put(const uint8_t* bytes, size_t size);

    bank_block m_Data;       // track bytes written so far
    size_t m_Size = 0;       // their count
    int32_t m_LastTick = 0;  // tick of the last event written
    size_t m_Late = 0;       // events written later than due
};
