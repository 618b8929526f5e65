#include "play/engine/MplyOutput.h"

int MplyOutput::SendTempo(const MplyEventTempo&) {
    return 1;
}

int MplyOutput::SendNoteOn(const MplyEventNoteOn&) {
    return 1;
}

int MplyOutput::SendNoteOff(const MplyEventNoteOff&) {
    return 1;
}

int MplyOutput::SendControl(const MplyEventControl&) {
    return 1;
}

int MplyOutput::SendControlPair(int, int, int, int) {
    return 1;
}

int MplyOutput::SendExclusive(const MplyEventExclusive&) {
    return 1;
}

int MplyOutput::SendText(const MplyEventString&) {
    return 1;
}

int MplyOutput::SendRawMessage(const MplyEventMsg&) {
    return 1;
}

bool MplyOutput::count_note_on(int channel, int key) {
    uint8_t& n = counts_[slot(channel, key)];
    if (n >= kMaxSounding) return false;
    ++n;
    return true;
}

int MplyOutput::count_note_off(int channel, int key) {
    uint8_t& n = counts_[slot(channel, key)];
    if (n == 0) return 0;
    --n;
    return n == 0 ? 1 : 2;
}

void MplyOutput::clear_counters() {
    counts_.fill(0);
    used_.fill(0);
}
