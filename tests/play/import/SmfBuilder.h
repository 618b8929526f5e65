#pragma once

// Writes Standard MIDI Files byte by byte for the import tests: chunks, delta times, channel
// messages with or without running status, metas and exclusives, so that a test can make any
// well-formed or broken file it needs.
#include <cstdint>
#include <string>
#include <vector>

namespace smf_builder {

// The events of one track chunk.
class TrackBytes {
public:
    // A variable-length quantity as a file holds it.
    static std::string vlq(uint32_t v) {
        std::string out(1, static_cast<char>(v & 0x7F));
        while (v >>= 7)
            out.insert(out.begin(), static_cast<char>(0x80 | (v & 0x7F)));
        return out;
    }

    // A channel message at `delta` ticks after the previous event; with `running` the status
    // byte is left out when it equals the previous channel status.
    TrackBytes& msg(uint32_t delta, uint8_t status, uint8_t d1, int d2 = -1) {
        data += vlq(delta);
        if (!running || status != last_) data += static_cast<char>(status);
        last_ = status;
        data += static_cast<char>(d1);
        if (d2 >= 0) data += static_cast<char>(d2);
        return *this;
    }
    TrackBytes& on(uint32_t delta, uint8_t ch, uint8_t key, uint8_t vel) {
        return msg(delta, 0x90 | ch, key, vel);
    }
    // A note-off as a note-on of velocity 0 (the usual form with running status) or as 8x.
    TrackBytes& off(uint32_t delta, uint8_t ch, uint8_t key, bool as_note_on = false) {
        return as_note_on ? msg(delta, 0x90 | ch, key, 0) : msg(delta, 0x80 | ch, key, 64);
    }
    TrackBytes& meta(uint32_t delta, uint8_t type, const std::string& payload) {
        data += vlq(delta) + '\xFF' + static_cast<char>(type) + vlq(payload.size()) + payload;
        return *this;
    }
    TrackBytes& tempo(uint32_t delta, uint32_t us) {
        return meta(delta, 0x51,
                    std::string{static_cast<char>(us >> 16), static_cast<char>(us >> 8),
                                static_cast<char>(us)});
    }
    TrackBytes& sysex(uint32_t delta, const std::string& body) {
        data += vlq(delta) + '\xF0' + vlq(body.size()) + body;
        return *this;
    }
    TrackBytes& end(uint32_t delta = 0) { return meta(delta, 0x2F, ""); }
    TrackBytes& raw(const std::string& bytes) {
        data += bytes;
        return *this;
    }

    bool running = false;
    std::string data;

private:
    uint8_t last_ = 0;
};

inline std::string be32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}
inline std::string be16(uint32_t v) {
    return {static_cast<char>(v >> 8), static_cast<char>(v)};
}

// A chunk of any type.
inline std::string chunk(const std::string& type, const std::string& body) {
    return type + be32(static_cast<uint32_t>(body.size())) + body;
}

// A whole file: header and one track chunk per track.
inline std::string file(uint16_t format, uint16_t division, const std::vector<TrackBytes>& tracks) {
    std::string out =
        chunk("MThd", be16(format) + be16(static_cast<uint16_t>(tracks.size())) + be16(division));
    for (const TrackBytes& t : tracks)
        out += chunk("MTrk", t.data);
    return out;
}

}  // namespace smf_builder
