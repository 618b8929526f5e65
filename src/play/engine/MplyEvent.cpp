#include "play/engine/MplyEvent.h"

#include "play/engine/MplyOutput.h"
#include "play/engine/MplyPlayer.h"

int MplyEventTempo::Play(MplyPlayer& player) {
    if (tempo < 4 || tempo > 1024 || tempo == player.tempo()) return 0;
    player.set_tempo(tempo);
    MplyOutput* out = player.output();
    return out ? out->SendTempo(*this) : 0;
}

int MplyEventString::Play(MplyPlayer& player) {
    MplyOutput* out = player.output();
    return out ? out->SendText(*this) : 0;
}

int MplyEventExclusive::Play(MplyPlayer& player) {
    MplyOutput* out = player.output();
    return out ? out->SendExclusive(*this) : 0;
}

int MplyEventControl::Play(MplyPlayer& player) {
    MplyOutput* out = player.output();
    return out ? out->SendControl(*this) : 0;
}

int MplyEventMsg::Play(MplyPlayer& player) {
    MplyOutput* out = player.output();
    return out ? out->SendRawMessage(*this) : 0;
}

int MplyEventNoteOff::Play(MplyPlayer& player) {
    MplyOutput* out = player.output();
    return out ? out->SendNoteOff(*this) : 0;
}

int MplyEventNoteOn::Play(MplyPlayer& player) {
    MplyOutput* out = player.output();
    if (!out) return 0;
    const int sent = out->SendNoteOn(*this);
    if (sent) {
        // The note-off stays before the open end, where nothing would ever be due.
        const int64_t end = static_cast<int64_t>(time) + duration;
        const int32_t off = end > kMplyLastTick ? kMplyLastTick : static_cast<int32_t>(end);
        player.queue().add<MplyEventNoteOff>(off, channel, key);
    }
    return sent;
}
