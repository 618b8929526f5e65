#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The reader of Standard MIDI Files that import brings music in through: formats 0 and 1 with
// any division in ticks per quarter note. It checks every byte it takes and never reads past
// the data; what it cannot read is refused with the byte offset and the reason, and the few
// flaws it mends (listed in MplySmfRepairs) are counted. Any thread; one file per call.

// Why a file was refused.
enum class MplySmfFault : uint8_t {
    none,
    not_midi,        // no "MThd" header chunk at the start
    header_short,    // the header chunk is shorter than its six bytes
    format_2,        // format 2 (independent sequences) is not read
    format_unknown,  // a format number other than 0, 1 or 2
    smpte,           // the division counts SMPTE frames, not quarter notes
    zero_division,   // a division of 0 ticks per quarter note
    no_tracks,       // not a single track chunk
    chunk_past_end,  // a chunk's length runs past the end of the file
    delta_too_long,  // a variable-length quantity of more than four bytes (over 28 bits)
    event_past_end,  // an event runs past the end of its track chunk
    no_status,       // a data byte where no running status is in effect
    data_expected,   // a status byte where a data byte belongs
    system_status,   // a system common or real-time status byte inside a track
    too_long,        // the music would last longer than the program can count ticks
    too_large,       // the file is larger than the importer takes
};

// A short English text for the fault ("the header chunk is shorter than six bytes", ...).
// Never fails; any thread.
const char* mply_smf_fault_text(MplySmfFault fault);

// A refusal: the fault and the byte offset in the file where it was met.
struct MplySmfError {
    MplySmfFault fault = MplySmfFault::none;
    uint64_t offset = 0;
};

// What the reader mended instead of refusing the file.
struct MplySmfRepairs {
    uint32_t missing_end = 0;  // tracks without an end-of-track event, ended at their last event
    uint32_t events_after_end = 0;   // events after an end-of-track event, ignored
    uint32_t track_count = 0;        // 1 when the header announced another number of tracks
    uint32_t foreign_chunks = 0;     // chunks of unknown type, skipped
    uint32_t status_after_meta = 0;  // running status taken across a meta or exclusive event
};

// One event of a track. Channel messages keep their bytes in status, data1 and data2; meta and
// exclusive events point at their payload in the file's bytes.
struct MplySmfEvent {
    uint64_t tick = 0;     // absolute, in the file's division
    uint32_t offset = 0;   // where the event starts in the file
    uint8_t status = 0;    // 0x80-0xEF channel message, 0xF0 or 0xF7 exclusive, 0xFF meta
    uint8_t meta = 0;      // the meta type (status 0xFF)
    uint8_t data1 = 0;     // first data byte of a channel message
    uint8_t data2 = 0;     // second data byte (0 for program change and channel pressure)
    uint32_t payload = 0;  // offset of the meta or exclusive payload in the file
    uint32_t size = 0;     // its length in bytes
};

struct MplySmfTrack {
    std::vector<MplySmfEvent> events;  // in file order, so in time order
    uint64_t end_tick = 0;             // the tick of the end-of-track event (or the last event)
};

// A file as read: the header's values, the tracks and the file's own bytes (the payloads of
// meta and exclusive events point into them).
struct MplySmfFile {
    uint16_t format = 0;
    uint16_t division = 0;  // ticks per quarter note
    std::vector<MplySmfTrack> tracks;
    MplySmfRepairs repairs;
    std::string bytes;

    // The payload of a meta or exclusive event. Never fails for an event of this file.
    std::string_view payload(const MplySmfEvent& e) const {
        return std::string_view(bytes).substr(e.payload, e.size);
    }
};

// The largest file taken (64 MiB: a hundred times the longest orchestral score).
inline constexpr uint64_t kMplySmfMaxBytes = uint64_t{64} << 20;

// The largest tick the music may reach, counted in 480ths of a quarter note (2^30).
inline constexpr uint64_t kMplySmfMaxTick = uint64_t{1} << 30;

// Reads the file's bytes (taken over into `out->bytes`). True with `out` filled; false with
// the fault and its offset in `error` and `out` left partly filled. Never throws except for
// memory running out. Any thread.
bool mply_read_smf(std::string bytes, MplySmfFile* out, MplySmfError* error);
