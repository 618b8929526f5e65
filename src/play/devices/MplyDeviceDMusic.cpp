#include "play/devices/MplyDeviceDMusic.h"

#include <algorithm>

#include "model/library/MseqConfig.h"
#include "play/engine/MplyEvent.h"

MplyDeviceDMusic::MplyDeviceDMusic(const MseqConfig& config, kv_synth::synth_port& port,
                                   KvClock* clock)
    : MplyDevice(config, clock), m_Port(port) {}

MplyDeviceDMusic::~MplyDeviceDMusic() {
    CloseDevice();
}

int MplyDeviceDMusic::OpenDevice() {
    return OpenPort(m_Config.m_DmPortGUID);
}

int MplyDeviceDMusic::OpenPort(const kv_synth::port_id& wanted) {
    if (m_Port.is_open() && wanted != m_OpenGuid) CloseDevice();
    if (m_Port.is_open()) return 1;
    if (!m_Port.open(wanted)) return 0;
    m_OpenGuid = wanted;
    return 1;
}

int MplyDeviceDMusic::Open() {
    TakeRunSettings();
    if (!OpenDevice()) return 0;
    // The clock keeps running between runs, as long as the port stays open.
    if (!m_Port.clock_running() && !m_Port.start_clock()) return 0;
    return 1;
}

int MplyDeviceDMusic::CloseDevice() {
    UnloadInstruments();
    clear_counters();
    m_Port.close();
    m_OpenGuid = {};
    return 1;
}

bool MplyDeviceDMusic::IsDeviceOpen() const {
    return m_Port.is_open();
}

int MplyDeviceDMusic::Finish() {
    m_Clock->sleep_ms(300);
    return 1;
}

bool MplyDeviceDMusic::Send(std::initializer_list<uint8_t> message) {
    return Send(message.begin(), message.size());
}

int64_t MplyDeviceDMusic::LateUnits() const {
    uint64_t due = 0;
    if (!due_us(&due)) return 0;
    // Both in the program clock's microseconds, which wrap with its 32-bit milliseconds.
    constexpr int64_t kWrapUs = (int64_t{1} << 32) * 1000;
    int64_t late = static_cast<int64_t>(uint64_t{m_Clock->now_ms()} * 1000) -
                   static_cast<int64_t>(due % static_cast<uint64_t>(kWrapUs));
    if (late > kWrapUs / 2) late -= kWrapUs;
    if (late < -kWrapUs / 2) late += kWrapUs;
    const int64_t units = late * kv_synth::kClockPerSecond / 1000000;
    return std::clamp<int64_t>(units, 0, kLead);
}

bool MplyDeviceDMusic::Send(const uint8_t* message, size_t size) {
    int64_t now = 0;
    if (!m_Port.music_time(&now)) return false;
    return m_Port.send(now + kLead - LateUnits(), message, size);
}

void MplyDeviceDMusic::UnloadInstruments() {
    for (uint8_t program : m_Instruments)
        m_Port.unload_instrument(program);
    m_Instruments.clear();
}

int MplyDeviceDMusic::SendNoteOn(const MplyEventNoteOn& e) {
    if (note_count(e.channel, e.key) >= kMaxSounding) return 0;
    if (!Send({static_cast<uint8_t>(0x90 | (e.channel & 0x0F)), static_cast<uint8_t>(e.key & 0x7F),
               static_cast<uint8_t>(e.velocity & 0x7F)}))
        return 0;
    count_note_on(e.channel, e.key);
    return 1;
}

int MplyDeviceDMusic::SendNoteOff(const MplyEventNoteOff& e) {
    return Release(e.channel, e.key);
}

int MplyDeviceDMusic::Release(int channel, int key) {
    const uint8_t n = note_count(channel, key);
    if (n == 0) return 0;
    if (n == 1 &&
        !Send({static_cast<uint8_t>(0x80 | (channel & 0x0F)), static_cast<uint8_t>(key & 0x7F), 0}))
        return 0;
    count_note_off(channel, key);
    return 1;
}

int MplyDeviceDMusic::SendControl(const MplyEventControl& e) {
    return Send({static_cast<uint8_t>(0xB0 | (e.channel & 0x0F)),
                 static_cast<uint8_t>(e.controller & 0x7F), static_cast<uint8_t>(e.value & 0x7F)})
               ? 1
               : 0;
}

int MplyDeviceDMusic::SendControlPair(int channel, int high, int low, int value) {
    const uint8_t status = static_cast<uint8_t>(0xB0 | (channel & 0x0F));
    const bool first =
        Send({status, static_cast<uint8_t>(low & 0x7F), static_cast<uint8_t>(value & 0x7F)});
    const bool second = Send(
        {status, static_cast<uint8_t>(high & 0x7F), static_cast<uint8_t>((value >> 7) & 0x7F)});
    return first && second ? 1 : 0;
}

int MplyDeviceDMusic::SendExclusive(const MplyEventExclusive& e) {
    std::vector<uint8_t> m;
    m.reserve(e.body.size() + 2);
    m.push_back(0xF0);
    m.insert(m.end(), e.body.begin(), e.body.end());
    m.push_back(0xF7);
    return Send(m.data(), m.size()) ? 1 : 0;
}

int MplyDeviceDMusic::SendRawMessage(const MplyEventMsg& e) {
    const std::vector<uint8_t>& m = e.message;
    if (m.empty()) return 0;
    const uint8_t high = m[0] & 0xF0;
    if (high < 0xA0 || high > 0xE0) return 0;
    const size_t need = (high == 0xC0 || high == 0xD0) ? 2 : 3;
    if (m.size() != need) return 0;
    // The synthesizer takes the channel from the event, not from the message's status byte.
    const uint8_t status = static_cast<uint8_t>(high | (e.channel & 0x0F));
    if (high == 0xC0) {
        const uint8_t program = m[1] & 0x7F;
        if (!Send({status, program})) return 0;
        if (std::find(m_Instruments.begin(), m_Instruments.end(), program) == m_Instruments.end() &&
            m_Port.load_instrument(program))
            m_Instruments.push_back(program);
        return 1;
    }
    if (need == 2) return Send({status, static_cast<uint8_t>(m[1] & 0x7F)}) ? 1 : 0;
    return Send({status, static_cast<uint8_t>(m[1] & 0x7F), static_cast<uint8_t>(m[2] & 0x7F)}) ? 1
                                                                                                : 0;
}

int MplyDeviceDMusic::Stop() {
    bool ok = true;
    for (int ch = 0; ch < kChannels; ++ch) {
        for (int key = 0; key < kKeys; ++key) {
            while (note_count(ch, key) > 0) {
                if (!Release(ch, key)) {
                    // The port is gone or its clock unreadable: give the key up rather than
                    // try for ever.
                    ok = false;
                    forget_note(ch, key);
                }
            }
        }
    }
    UnloadInstruments();
    if (m_RunStopClose) CloseDevice();
    clear_counters();
    return ok ? 1 : 0;
}
