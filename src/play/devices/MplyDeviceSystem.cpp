#include "play/devices/MplyDeviceSystem.h"

#include "model/library/MseqConfig.h"
#include "play/engine/MplyEvent.h"

namespace {

// The size the long-message block starts with and grows in steps of.
constexpr size_t kLongBlockMin = 16 + 64;

}  // namespace

MplyDeviceSystem::MplyDeviceSystem(const MseqConfig& config, kv_midi::midi_out& midi,
                                   KvClock* clock)
    : MplyDevice(config, clock), m_Midi(midi) {}

MplyDeviceSystem::~MplyDeviceSystem() {
    CloseDevice();
}

int MplyDeviceSystem::OpenDevice() {
    // A connection the system took away is made again, not kept: the next play finds the
    // server back or says why not.
    if (m_Config.m_DeviceID != m_OpenId || IsLost()) CloseDevice();
    if (m_LongBlock.capacity() < kLongBlockMin) m_LongBlock.reserve(kLongBlockMin);
    if (m_Midi.is_open() && m_OpenId != kClosed) return 1;
    if (!m_Midi.open(m_Config.m_DeviceID)) return 0;
    m_OpenId = m_Config.m_DeviceID;
    return 1;
}

int MplyDeviceSystem::CloseDevice() {
    clear_counters();
    if (m_OpenId != kClosed || m_Midi.is_open()) {
        if (!m_Midi.close()) return 0;
        m_OpenId = kClosed;
    }
    m_LongBlock = std::vector<uint8_t>();
    return 1;
}

bool MplyDeviceSystem::IsLost() const {
    return m_OpenId != kClosed && m_Midi.lost();
}

bool MplyDeviceSystem::IsDeviceOpen() const {
    return m_OpenId != kClosed && m_Midi.is_open();
}

int MplyDeviceSystem::Finish() {
    m_Clock->sleep_ms(100);
    return 1;
}

bool MplyDeviceSystem::Short(uint8_t status, uint8_t data1, uint8_t data2) {
    const uint32_t packed = static_cast<uint32_t>(status) |
                            static_cast<uint32_t>(data1 & 0x7F) << 8 |
                            static_cast<uint32_t>(data2 & 0x7F) << 16;
    uint64_t due = 0;
    return due_us(&due) ? m_Midi.short_message_at(packed, due) : m_Midi.short_message(packed);
}

bool MplyDeviceSystem::Long(const uint8_t* head, size_t head_size, const uint8_t* body,
                            size_t body_size, bool close_f7) {
    // Sized once and filled by index. Inserting ranges into the cleared block made GCC 12, in
    // optimised builds, report a write past its end (array-bounds and stringop-overflow) for
    // the one-byte head of an exclusive message: a false alarm, since insert grows the block.
    const size_t size = head_size + body_size + (close_f7 ? 1 : 0);
    m_LongBlock.resize(size);
    uint8_t* out = m_LongBlock.data();
    for (size_t i = 0; i < head_size; ++i)
        out[i] = head[i];
    for (size_t i = 0; i < body_size; ++i)
        out[head_size + i] = body[i];
    if (close_f7) out[size - 1] = 0xF7;
    uint64_t due = 0;
    if (due_us(&due)) return m_Midi.long_message_at(m_LongBlock.data(), m_LongBlock.size(), due);
    return m_Midi.long_message(m_LongBlock.data(), m_LongBlock.size());
}

int MplyDeviceSystem::SendNoteOn(const MplyEventNoteOn& e) {
    if (note_count(e.channel, e.key) >= kMaxSounding) return 0;
    if (!Short(static_cast<uint8_t>(0x90 | (e.channel & 0x0F)), e.key, e.velocity)) return 0;
    count_note_on(e.channel, e.key);
    return 1;
}

int MplyDeviceSystem::SendNoteOff(const MplyEventNoteOff& e) {
    const uint8_t n = note_count(e.channel, e.key);
    if (n == 0) return 0;
    if (n == 1 && !Short(static_cast<uint8_t>(0x80 | (e.channel & 0x0F)), e.key, 0)) return 0;
    count_note_off(e.channel, e.key);
    return 1;
}

int MplyDeviceSystem::SendControl(const MplyEventControl& e) {
    return Short(static_cast<uint8_t>(0xB0 | (e.channel & 0x0F)), e.controller, e.value) ? 1 : 0;
}

int MplyDeviceSystem::SendControlPair(int channel, int high, int low, int value) {
    const uint8_t status = static_cast<uint8_t>(0xB0 | (channel & 0x0F));
    const bool first = Short(status, static_cast<uint8_t>(low), static_cast<uint8_t>(value));
    const bool second = Short(status, static_cast<uint8_t>(high), static_cast<uint8_t>(value >> 7));
    return first && second ? 1 : 0;
}

int MplyDeviceSystem::SendExclusive(const MplyEventExclusive& e) {
    const uint8_t f0 = 0xF0;
    return Long(&f0, 1, e.body.data(), e.body.size(), true) ? 1 : 0;
}

int MplyDeviceSystem::SendRawMessage(const MplyEventMsg& e) {
    const std::vector<uint8_t>& m = e.message;
    if (m.empty()) return 0;
    const uint8_t status = m[0];
    if (status >= 0xA0 && status <= 0xEF) {
        if (m.size() != kv_midi::channel_message_size(status)) return 0;
        return Short(status, m[1], m.size() > 2 ? m[2] : 0) ? 1 : 0;
    }
    if (status == 0xF0 && m.size() > 3 && m.back() == 0xF7)
        return Long(m.data(), m.size(), nullptr, 0, false) ? 1 : 0;
    return 0;
}

int MplyDeviceSystem::Stop() {
    bool ok = true;
    for (int ch = 0; ch < kChannels; ++ch) {
        for (int key = 0; key < kKeys; ++key) {
            if (note_count(ch, key) == 0) continue;
            // However many note-ons of the key sound, one note-off releases it.
            ok = Short(static_cast<uint8_t>(0x80 | ch), static_cast<uint8_t>(key), 0) && ok;
            forget_note(ch, key);
        }
    }
    ok = m_Midi.reset() && ok;
    if (m_RunStopResetMsg) {
        for (int ch = 0; ch < kChannels; ++ch) {
            if (channel_used(ch)) ok = Short(static_cast<uint8_t>(0xB0 | ch), 121, 0) && ok;
        }
    }
    if (m_RunStopClose) ok = CloseDevice() && ok;
    clear_counters();
    return ok ? 1 : 0;
}
