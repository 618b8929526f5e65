#include "play/import/MplySmfReader.h"

#include <utility>

const char* mply_smf_fault_text(MplySmfFault fault) {
    switch (fault) {
        case MplySmfFault::none:
            return "no fault";
        case MplySmfFault::not_midi:
            return "not a Standard MIDI File (no MThd header chunk)";
        case MplySmfFault::header_short:
            return "the header chunk is shorter than six bytes";
        case MplySmfFault::format_2:
            return "format 2 (independent sequences) cannot be imported; only formats 0 and 1";
        case MplySmfFault::format_unknown:
            return "unknown file format (only formats 0 and 1 can be imported)";
        case MplySmfFault::smpte:
            return "the division counts SMPTE frames; only ticks per quarter note can be imported";
        case MplySmfFault::zero_division:
            return "the division is 0 ticks per quarter note";
        case MplySmfFault::no_tracks:
            return "the file has no track chunk";
        case MplySmfFault::chunk_past_end:
            return "the chunk's length runs past the end of the file (truncated file)";
        case MplySmfFault::delta_too_long:
            return "a variable-length number longer than four bytes (over 28 bits)";
        case MplySmfFault::event_past_end:
            return "the event runs past the end of its track chunk";
        case MplySmfFault::no_status:
            return "a data byte where no running status is in effect";
        case MplySmfFault::data_expected:
            return "a status byte where a data byte belongs";
        case MplySmfFault::system_status:
            return "a system common or real-time status byte inside a track";
        case MplySmfFault::too_long:
            return "the music lasts longer than the program can count ticks";
        case MplySmfFault::too_large:
            return "the file is larger than 64 MiB";
    }
    return "unknown fault";
}

namespace {

// A cursor over the bytes of one chunk; every read checks the chunk's end.
class ChunkCursor {
public:
    ChunkCursor(const std::string& bytes, size_t from, size_t end)
        : b_(bytes), at_(from), end_(end) {}

    bool at_end() const { return at_ >= end_; }
    size_t offset() const { return at_; }
    size_t left() const { return end_ - at_; }
    uint8_t peek() const { return static_cast<uint8_t>(b_[at_]); }
    uint8_t take() { return static_cast<uint8_t>(b_[at_++]); }
    void skip(size_t n) { at_ += n; }

    // A variable-length quantity of at most four bytes.
    bool vlq(uint32_t* value, MplySmfError* error) {
        const size_t start = at_;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            if (at_end()) return fail(MplySmfFault::event_past_end, start, error);
            const uint8_t c = take();
            v = (v << 7) | (c & 0x7F);
            if (!(c & 0x80)) {
                *value = v;
                return true;
            }
        }
        return fail(MplySmfFault::delta_too_long, start, error);
    }

    static bool fail(MplySmfFault fault, uint64_t offset, MplySmfError* error) {
        error->fault = fault;
        error->offset = offset;
        return false;
    }

private:
    const std::string& b_;
    size_t at_;
    size_t end_;
};

uint32_t be32(const std::string& b, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3]));
}

uint16_t be16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) << 8 |
                                 static_cast<uint8_t>(b[at + 1]));
}

// Number of data bytes after a channel status.
int data_bytes(uint8_t status) {
    const uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Reads the data bytes of a channel message into the event.
bool channel_data(ChunkCursor& c, MplySmfEvent& e, bool first_taken, MplySmfError* error) {
    const int need = data_bytes(e.status) - (first_taken ? 1 : 0);
    for (int i = 0; i < need; ++i) {
        if (c.at_end()) return ChunkCursor::fail(MplySmfFault::event_past_end, e.offset, error);
        if (c.peek() & 0x80)
            return ChunkCursor::fail(MplySmfFault::data_expected, c.offset(), error);
        const uint8_t d = c.take();
        if (!first_taken && i == 0)
            e.data1 = d;
        else
            e.data2 = d;
    }
    return true;
}

// A meta or exclusive event: a length and the payload.
bool payload_event(ChunkCursor& c, MplySmfEvent& e, MplySmfError* error) {
    uint32_t size = 0;
    if (!c.vlq(&size, error)) return false;
    if (size > c.left()) return ChunkCursor::fail(MplySmfFault::event_past_end, e.offset, error);
    e.payload = static_cast<uint32_t>(c.offset());
    e.size = size;
    c.skip(size);
    return true;
}

class TrackReader {
public:
    TrackReader(MplySmfFile& file, uint16_t division, MplySmfError* error)
        : f_(file), division_(division), error_(error) {}

    bool read(size_t from, size_t end) {
        MplySmfTrack track;
        ChunkCursor c(f_.bytes, from, end);
        uint64_t tick = 0;
        uint8_t running = 0;
        bool after_system = false;
        bool ended = false;
        while (!c.at_end()) {
            MplySmfEvent e;
            uint32_t delta = 0;
            const size_t event_at = c.offset();
            if (!c.vlq(&delta, error_)) return false;
            tick += delta;
            if (tick * 480 / division_ > kMplySmfMaxTick)
                return ChunkCursor::fail(MplySmfFault::too_long, event_at, error_);
            if (c.at_end())
                return ChunkCursor::fail(MplySmfFault::event_past_end, event_at, error_);
            e.tick = tick;
            e.offset = static_cast<uint32_t>(c.offset());
            bool first_taken = false;
            if (c.peek() & 0x80) {
                e.status = c.take();
            } else {
                if (!running) return ChunkCursor::fail(MplySmfFault::no_status, c.offset(), error_);
                if (after_system) ++f_.repairs.status_after_meta;
                e.status = running;
                e.data1 = c.take();
                first_taken = true;
            }
            if (e.status < 0xF0) {
                running = e.status;
                after_system = false;
                if (!channel_data(c, e, first_taken, error_)) return false;
            } else if (e.status == 0xFF) {
                if (c.at_end())
                    return ChunkCursor::fail(MplySmfFault::event_past_end, e.offset, error_);
                e.meta = c.take();
                if (!payload_event(c, e, error_)) return false;
                after_system = true;
            } else if (e.status == 0xF0 || e.status == 0xF7) {
                if (!payload_event(c, e, error_)) return false;
                after_system = true;
            } else {
                return ChunkCursor::fail(MplySmfFault::system_status, e.offset, error_);
            }
            if (ended) {
                ++f_.repairs.events_after_end;
                continue;
            }
            if (e.status == 0xFF && e.meta == 0x2F) {
                ended = true;
                track.end_tick = tick;
                continue;
            }
            track.events.push_back(e);
        }
        if (!ended) {
            ++f_.repairs.missing_end;
            track.end_tick = track.events.empty() ? 0 : track.events.back().tick;
        }
        f_.tracks.push_back(std::move(track));
        return true;
    }

private:
    MplySmfFile& f_;
    uint16_t division_;
    MplySmfError* error_;
};

bool read_header(MplySmfFile* out, size_t* next, uint32_t* announced, MplySmfError* error) {
    const std::string& b = out->bytes;
    if (b.size() < 8 || b.compare(0, 4, "MThd") != 0)
        return ChunkCursor::fail(MplySmfFault::not_midi, 0, error);
    const uint32_t length = be32(b, 4);
    if (length < 6) return ChunkCursor::fail(MplySmfFault::header_short, 4, error);
    if (length > b.size() - 8) return ChunkCursor::fail(MplySmfFault::chunk_past_end, 4, error);
    out->format = be16(b, 8);
    *announced = be16(b, 10);
    out->division = be16(b, 12);
    if (out->format == 2) return ChunkCursor::fail(MplySmfFault::format_2, 8, error);
    if (out->format > 2) return ChunkCursor::fail(MplySmfFault::format_unknown, 8, error);
    if (out->division & 0x8000) return ChunkCursor::fail(MplySmfFault::smpte, 12, error);
    if (out->division == 0) return ChunkCursor::fail(MplySmfFault::zero_division, 12, error);
    *next = 8 + static_cast<size_t>(length);
    return true;
}

}  // namespace

bool mply_read_smf(std::string bytes, MplySmfFile* out, MplySmfError* error) {
    *error = MplySmfError{};
    out->tracks.clear();
    out->repairs = MplySmfRepairs{};
    if (bytes.size() > kMplySmfMaxBytes)
        return ChunkCursor::fail(MplySmfFault::too_large, kMplySmfMaxBytes, error);
    out->bytes = std::move(bytes);
    size_t at = 0;
    uint32_t announced = 0;
    if (!read_header(out, &at, &announced, error)) return false;
    const std::string& b = out->bytes;
    TrackReader reader(*out, out->division, error);
    while (at < b.size()) {
        // A few bytes of padding after the last chunk are common; they are no chunk.
        if (b.size() - at < 8) break;
        const uint32_t length = be32(b, at + 4);
        if (length > b.size() - at - 8)
            return ChunkCursor::fail(MplySmfFault::chunk_past_end, at + 4, error);
        if (b.compare(at, 4, "MTrk") == 0) {
            if (!reader.read(at + 8, at + 8 + length)) return false;
        } else {
            ++out->repairs.foreign_chunks;
        }
        at += 8 + static_cast<size_t>(length);
    }
    if (out->tracks.empty()) return ChunkCursor::fail(MplySmfFault::no_tracks, at, error);
    if (out->tracks.size() != announced) out->repairs.track_count = 1;
    return true;
}
