#include "play/export/MplyScoreCapture.h"

#include "play/engine/MplyEvent.h"

namespace {

int sound_slot(int channel, int key) {
    return (channel & 0x0F) * MplyOutput::kKeys + (key & 0x7F);
}

}  // namespace

int MplyScoreCapture::Open() {
    m_Events = MplyScoreEvents();
    m_Sounding.fill(-1);
    clear_counters();
    return 1;
}

int MplyScoreCapture::Stop() {
    for (int ch = 0; ch < kChannels; ++ch) {
        for (int key = 0; key < kKeys; ++key)
            EndNote(ch, key, m_Events.end);
    }
    return 1;
}

void MplyScoreCapture::Reach(int32_t tick) {
    if (tick > m_Events.end) m_Events.end = tick;
}

void MplyScoreCapture::EndNote(int channel, int key, int32_t tick) {
    int32_t& at = m_Sounding[static_cast<size_t>(sound_slot(channel, key))];
    if (at < 0) return;
    MplyScoreNote& n = m_Events.notes[static_cast<size_t>(at)];
    n.off = tick > n.on ? tick : n.on;
    at = -1;
}

int MplyScoreCapture::SendTempo(const MplyEventTempo& e) {
    if (e.tempo == 0) return 0;
    Reach(e.time);
    m_Events.tempos.push_back({e.time, e.tempo});
    return 1;
}

int MplyScoreCapture::SendNoteOn(const MplyEventNoteOn& e) {
    if (!count_note_on(e.channel, e.key)) return 0;
    Reach(e.time);
    // The key already sounds: the file ends it here and starts the new note.
    EndNote(e.channel, e.key, e.time);
    m_Sounding[static_cast<size_t>(sound_slot(e.channel, e.key))] =
        static_cast<int32_t>(m_Events.notes.size());
    m_Events.notes.push_back({e.time, e.time, static_cast<uint8_t>(e.channel & 0x0F),
                              static_cast<uint8_t>(e.key & 0x7F),
                              static_cast<uint8_t>(e.velocity & 0x7F)});
    return 1;
}

int MplyScoreCapture::SendNoteOff(const MplyEventNoteOff& e) {
    const int r = count_note_off(e.channel, e.key);
    if (r == 0) return 0;
    Reach(e.time);
    if (r == 1) EndNote(e.channel, e.key, e.time);
    return 1;
}

int MplyScoreCapture::SendControl(const MplyEventControl& e) {
    Reach(e.time);
    MplyScoreChannel& c = m_Events.channels[e.channel & 0x0F];
    if (e.time == 0 && e.controller == 7) c.volume = e.value & 0x7F;
    if (e.time == 0 && e.controller == 10) c.pan = e.value & 0x7F;
    return 1;
}

int MplyScoreCapture::SendText(const MplyEventString& e) {
    if (!e.text || e.text->empty()) return 1;
    Reach(e.time);
    m_Events.texts.push_back({e.time, e.text_type, std::string(*e.text)});
    return 1;
}

int MplyScoreCapture::SendRawMessage(const MplyEventMsg& e) {
    const std::vector<uint8_t>& m = e.message;
    if (m.empty()) return 0;
    const uint8_t status = m[0];
    if (status >= 0xA0 && status <= 0xEF) {
        const size_t need = status >= 0xC0 && status <= 0xDF ? 2 : 3;
        if (m.size() != need) return 0;
        Reach(e.time);
        // The program a channel starts with names its instrument in the score.
        if ((status & 0xF0) == 0xC0 && e.time == 0)
            m_Events.channels[status & 0x0F].program = m[1] & 0x7F;
        return 1;
    }
    if (status == 0xF0 && m.size() > 3 && m.back() == 0xF7) {
        Reach(e.time);
        return 1;
    }
    return 0;
}
