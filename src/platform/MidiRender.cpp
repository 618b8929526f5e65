#include "platform/MidiRender.h"

#include <algorithm>
#include <cmath>

namespace kv_synth {

namespace {

// Reads a big-endian number of `n` bytes.
uint32_t read_be(const uint8_t* p, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = v << 8 | p[i];
    return v;
}

struct raw_event {
    uint64_t tick;
    size_t track;
    size_t order;
    uint32_t tempo;  // microseconds per quarter for a tempo change, else 0
    std::vector<uint8_t> bytes;
};

// Reads a variable-length quantity (at most four bytes, as files hold them).
bool read_vlq(const uint8_t*& p, const uint8_t* end, uint32_t* v) {
    *v = 0;
    for (int i = 0; i < 4; ++i) {
        if (p >= end) return false;
        const uint8_t b = *p++;
        *v = *v << 7 | (b & 0x7F);
        if (!(b & 0x80)) return true;
    }
    return false;
}

bool decode_track(const uint8_t* p, const uint8_t* end, size_t track, std::vector<raw_event>* out) {
    uint64_t tick = 0;
    uint8_t running = 0;
    while (p < end) {
        uint32_t delta;
        if (!read_vlq(p, end, &delta) || p >= end) return false;
        tick += delta;
        uint8_t status = *p;
        if (status < 0x80) {
            if (!running) return false;
            status = running;  // running status: the data byte is already the first one
        } else {
            ++p;
        }
        raw_event e{tick, track, out->size(), 0, {}};
        if (status == 0xFF) {
            if (p >= end) return false;
            const uint8_t type = *p++;
            uint32_t len;
            if (!read_vlq(p, end, &len) || static_cast<size_t>(end - p) < len) return false;
            if (type == 0x51 && len == 3) {
                e.tempo = read_be(p, 3);
                if (e.tempo) out->push_back(e);
            }
            p += len;
            if (type == 0x2F) {
                e.tempo = 0;
                out->push_back(e);  // the end of track: an empty message that marks the length
                return true;
            }
            continue;
        }
        if (status == 0xF0 || status == 0xF7) {
            uint32_t len;
            if (!read_vlq(p, end, &len) || static_cast<size_t>(end - p) < len) return false;
            if (status == 0xF0) {
                e.bytes.push_back(0xF0);
                e.bytes.insert(e.bytes.end(), p, p + len);
                out->push_back(std::move(e));
            }
            p += len;
            running = 0;
            continue;
        }
        // System common and real-time messages (F1-F6, F8-FE) have no place in a file: a file
        // holding them is damaged.
        if (status >= 0xF0) return false;
        const size_t data = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
        if (static_cast<size_t>(end - p) < data) return false;
        for (size_t i = 0; i < data; ++i) {
            if (p[i] & 0x80) return false;  // a data byte never has its top bit set
        }
        e.bytes.push_back(status);
        e.bytes.insert(e.bytes.end(), p, p + data);
        p += data;
        running = status;
        out->push_back(std::move(e));
    }
    return true;
}

}  // namespace

bool decode_midi_file(std::span<const uint8_t> file, std::vector<timed_message>* out,
                      double* length) {
    if (!out) return false;
    out->clear();
    const uint8_t* p = file.data();
    const uint8_t* end = p + file.size();
    if (file.size() < 14 || std::string_view(reinterpret_cast<const char*>(p), 4) != "MThd")
        return false;
    const uint32_t header = read_be(p + 4, 4);
    if (header < 6 || file.size() < 8 + static_cast<size_t>(header)) return false;
    const uint32_t format = read_be(p + 8, 2), tracks = read_be(p + 10, 2);
    const uint32_t division = read_be(p + 12, 2);
    if (format > 1 || division == 0 || (division & 0x8000)) return false;
    p += 8 + header;
    std::vector<raw_event> events;
    for (uint32_t t = 0; t < tracks; ++t) {
        if (end - p < 8) return false;
        const uint32_t size = read_be(p + 4, 4);
        if (static_cast<size_t>(end - p - 8) < size) return false;
        const bool is_track = std::string_view(reinterpret_cast<const char*>(p), 4) == "MTrk";
        if (is_track && !decode_track(p + 8, p + 8 + size, t, &events)) return false;
        p += 8 + size;
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const raw_event& a, const raw_event& b) { return a.tick < b.tick; });
    double seconds = 0;
    uint64_t at_tick = 0;
    uint32_t tempo = 500000;
    for (raw_event& e : events) {
        seconds += static_cast<double>(e.tick - at_tick) * tempo / 1e6 / division;
        at_tick = e.tick;
        if (e.tempo) tempo = e.tempo;
        if (!e.bytes.empty()) out->push_back({seconds, std::move(e.bytes)});
    }
    if (length) *length = seconds;
    return true;
}

bool render_messages(const std::vector<timed_message>& messages, double length, double tail,
                     synth_port& port, std::vector<float>* samples) {
    if (!samples || !port.open({})) return false;
    bool ok = port.start_clock();
    uint64_t done = 0;
    // Pulls audio up to `frame` (absolute from the start).
    auto pull = [&](uint64_t frame) {
        if (!ok || frame <= done) return;
        const size_t n = static_cast<size_t>(frame - done);
        const size_t at = samples->size();
        samples->resize(at + 2 * n);
        ok = port.render(samples->data() + at, n);
        done = frame;
    };
    for (const timed_message& m : messages) {
        pull(static_cast<uint64_t>(std::llround(std::max(0.0, m.seconds) * kRenderRate)));
        int64_t now = 0;
        if (ok) ok = port.music_time(&now);
        // A message the port refuses (one it has no use for) does not spoil the rendering.
        if (ok) port.send(now, m.bytes.data(), m.bytes.size());
    }
    pull(static_cast<uint64_t>(std::llround(std::max(0.0, length + tail) * kRenderRate)));
    port.close();
    return ok;
}

float clip_free_gain(std::span<const float> samples) {
    float peak = 0;
    for (float v : samples)
        peak = std::max(peak, std::fabs(v));
    constexpr float kFullScale = 32767.0f / 32768.0f;
    return peak > kFullScale ? kFullScale / peak : 1.0f;
}

std::vector<int16_t> pcm16(std::span<const float> samples, float gain) {
    std::vector<int16_t> out(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        const float v = std::round(samples[i] * gain * 32768.0f);
        out[i] = static_cast<int16_t>(std::clamp(v, -32768.0f, 32767.0f));
    }
    return out;
}

std::vector<int> sounding_channels(const std::vector<timed_message>& messages) {
    bool plays[16] = {};
    for (const timed_message& m : messages) {
        if (m.bytes.size() == 3 && (m.bytes[0] & 0xF0) == 0x90 && m.bytes[2] != 0)
            plays[m.bytes[0] & 0x0F] = true;
    }
    std::vector<int> out;
    for (int ch = 0; ch < 16; ++ch) {
        if (plays[ch]) out.push_back(ch);
    }
    return out;
}

std::vector<timed_message> channel_messages(const std::vector<timed_message>& messages,
                                            int channel) {
    std::vector<timed_message> out;
    for (const timed_message& m : messages) {
        if (m.bytes.empty()) continue;
        const uint8_t status = m.bytes[0];
        if (status == 0xF0 || (status < 0xF0 && (status & 0x0F) == (channel & 0x0F)))
            out.push_back(m);
    }
    return out;
}

std::vector<uint8_t> wav_image(std::span<const int16_t> s) {
    const uint32_t data = static_cast<uint32_t>(s.size() * 2);
    std::vector<uint8_t> out(44 + static_cast<size_t>(data));
    size_t at = 0;
    auto text = [&](const char* t) {
        for (int i = 0; i < 4; ++i)
            out[at++] = static_cast<uint8_t>(t[i]);
    };
    auto le = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            out[at++] = static_cast<uint8_t>(v >> (8 * i));
    };
    text("RIFF");
    le(36 + data, 4);
    text("WAVE");
    text("fmt ");
    le(16, 4);
    le(1, 2);                    // integer samples
    le(2, 2);                    // stereo
    le(kRenderRate, 4);          // frames a second
    le(kRenderRate * 2 * 2, 4);  // bytes a second
    le(4, 2);                    // bytes a frame
    le(16, 2);                   // bits a sample
    text("data");
    le(data, 4);
    for (int16_t v : s)
        le(static_cast<uint16_t>(v), 2);
    return out;
}

}  // namespace kv_synth
