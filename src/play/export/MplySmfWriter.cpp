#include "play/export/MplySmfWriter.h"

namespace {

// Track data grows in chunks of this many bytes, so that a long export never moves what it has
// already written.
constexpr size_t kChunk = 1024;

void put_be(std::vector<uint8_t>& out, uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

void MplySmfWriter::Clear() {
    m_Data.clear();
    m_Size = 0;
    m_LastTick = 0;
    m_Late = 0;
}

void MplySmfWriter::AppendVlq(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = value & 0x7F;
        value >>= 7;
    } while (value);
    while (n > 1)
        out.push_back(groups[--n] | 0x80);
    out.push_back(groups[0]);
}

void MplySmfWriter::Put(std::initializer_list<uint8_t> bytes) {
    Put(bytes.begin(), bytes.size());
}

void MplySmfWriter::Put(const uint8_t* bytes, size_t size) {
    std::vector<uint8_t>* c = &m_Data.current();
    if (c->size() >= kChunk) c = &m_Data.start_chunk();
    if (c->capacity() < kChunk) c->reserve(kChunk);
    c->insert(c->end(), bytes, bytes + size);
    m_Size += size;
}

void MplySmfWriter::Delta(int32_t tick) {
    uint32_t delta = 0;
    if (tick >= m_LastTick) {
        delta = static_cast<uint32_t>(static_cast<int64_t>(tick) - m_LastTick);
        m_LastTick = tick;
    } else {
        // Earlier than what is already written: a file cannot go back in time, and the
        // difference taken as an unsigned number would push the rest of the track days away.
        ++m_Late;
    }
    uint8_t buf[5];
    size_t n = 0;
    for (int shift = 28; shift > 0; shift -= 7) {
        if (n || (delta >> shift))
            buf[n++] = static_cast<uint8_t>(((delta >> shift) & 0x7F) | 0x80);
    }
    buf[n++] = delta & 0x7F;
    Put(buf, n);
}

bool MplySmfWriter::Tempo(int32_t tick, uint32_t bpm) {
    if (bpm == 0) return false;
    const uint32_t us = 60000000u / bpm;
    Delta(tick);
    Put({0xFF, 0x51, 0x03, static_cast<uint8_t>(us >> 16), static_cast<uint8_t>(us >> 8),
         static_cast<uint8_t>(us)});
    return true;
}

void MplySmfWriter::NoteOn(int32_t tick, uint8_t channel, uint8_t key, uint8_t velocity) {
    Delta(tick);
    Put({static_cast<uint8_t>(0x90 | (channel & 0x0F)), static_cast<uint8_t>(key & 0x7F),
         static_cast<uint8_t>(velocity & 0x7F)});
}

void MplySmfWriter::NoteOff(int32_t tick, uint8_t channel, uint8_t key) {
    Delta(tick);
    Put({static_cast<uint8_t>(0x80 | (channel & 0x0F)), static_cast<uint8_t>(key & 0x7F), 0});
}

void MplySmfWriter::Control(int32_t tick, uint8_t channel, uint8_t controller, uint8_t value) {
    Delta(tick);
    Put({static_cast<uint8_t>(0xB0 | (channel & 0x0F)), static_cast<uint8_t>(controller & 0x7F),
         static_cast<uint8_t>(value & 0x7F)});
}

void MplySmfWriter::ControlPair(int32_t tick, uint8_t channel, uint8_t high, uint8_t low,
                                uint32_t value) {
    const uint8_t status = static_cast<uint8_t>(0xB0 | (channel & 0x0F));
    Delta(tick);
    Put({status, static_cast<uint8_t>(low & 0x7F), static_cast<uint8_t>(value & 0x7F)});
    Put({0x00, status, static_cast<uint8_t>(high & 0x7F),
         static_cast<uint8_t>((value >> 7) & 0x7F)});
}

void MplySmfWriter::Exclusive(int32_t tick, const uint8_t* body, size_t size) {
    Delta(tick);
    std::vector<uint8_t> head{0xF0};
    AppendVlq(head, static_cast<uint32_t>(size + 1));
    Put(head.data(), head.size());
    if (size) Put(body, size);
    Put({0xF7});
}

void MplySmfWriter::Text(int32_t tick, uint8_t type, std::string_view text) {
    if (text.empty()) return;
    Delta(tick);
    std::vector<uint8_t> head{0xFF, type};
    AppendVlq(head, static_cast<uint32_t>(text.size()));
    Put(head.data(), head.size());
    Put(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

bool MplySmfWriter::Raw(int32_t tick, const uint8_t* m, size_t size) {
    if (!m || size == 0) return false;
    const uint8_t status = m[0];
    if (status >= 0xA0 && status <= 0xEF) {
        const size_t need = status >= 0xC0 && status <= 0xDF ? 2 : 3;
        if (size != need) return false;
        Delta(tick);
        // A data byte with bit 7 set would read as a status byte and derail every reader.
        const uint8_t bytes[3] = {status, static_cast<uint8_t>(m[1] & 0x7F),
                                  static_cast<uint8_t>(size > 2 ? m[2] & 0x7F : 0)};
        Put(bytes, size);
        return true;
    }
    if (status == 0xF0 && size > 3 && m[size - 1] == 0xF7) {
        Delta(tick);
        std::vector<uint8_t> head{0xF0};
        AppendVlq(head, static_cast<uint32_t>(size - 1));
        Put(head.data(), head.size());
        Put(m + 1, size - 1);
        return true;
    }
    return false;
}

void MplySmfWriter::EndOfTrack() {
    Put({0x00, 0xFF, 0x2F, 0x00});
}

void MplySmfWriter::EndOfTrackAt(int32_t tick) {
    Delta(tick > m_LastTick ? tick : m_LastTick);
    Put({0xFF, 0x2F, 0x00});
}

void MplySmfWriter::Meta(int32_t tick, uint8_t type, std::initializer_list<uint8_t> data) {
    Delta(tick);
    Put({0xFF, type, static_cast<uint8_t>(data.size())});
    Put(data.begin(), data.size());
}

void MplySmfWriter::AppendHeader(std::vector<uint8_t>& out, uint16_t format, uint16_t tracks) {
    out.insert(out.end(), {'M', 'T', 'h', 'd', 0, 0, 0, 6});
    put_be(out, format, 2);
    put_be(out, tracks, 2);
    put_be(out, kDivision, 2);
}

bool MplySmfWriter::AppendTrackChunk(std::vector<uint8_t>& out) {
    std::vector<uint8_t> track;
    m_Data.flatten(track);
    if (track.empty()) return false;
    out.reserve(out.size() + 8 + track.size());
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    put_be(out, static_cast<uint32_t>(track.size()), 4);
    out.insert(out.end(), track.begin(), track.end());
    m_Data.clear();
    m_Size = 0;
    m_LastTick = 0;
    return true;
}

bool MplySmfWriter::BuildFile(std::vector<uint8_t>* out) {
    if (m_Size == 0 || !out) return false;
    std::vector<uint8_t> file;
    AppendHeader(file, 0, 1);
    AppendTrackChunk(file);
    *out = std::move(file);
    return true;
}
