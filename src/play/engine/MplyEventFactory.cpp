#include "play/engine/MplyEventFactory.h"

#include <utility>

namespace mply_event {

bool tempo(MplyEventQueue& queue, int32_t time, int32_t bpm) {
    return queue.add<MplyEventTempo>(time, bpm);
}

bool text(MplyEventQueue& queue, int32_t time, uint8_t type, const CkvString* str) {
    return str && queue.add<MplyEventString>(time, type, str);
}

bool track_name(MplyEventQueue& queue, CkvString str) {
    return queue.add<MplyEventStringEx>(0, std::move(str));
}

bool exclusive(MplyEventQueue& queue, std::initializer_list<uint8_t> body) {
    std::vector<uint8_t> data;
    data.assign(body);
    return queue.add<MplyEventExclusive>(0, std::move(data));
}

bool control(MplyEventQueue& queue, uint8_t channel, uint8_t controller, uint8_t value) {
    return queue.add<MplyEventControl>(0, channel, controller, value);
}

bool message(MplyEventQueue& queue, int32_t time, uint8_t channel, std::vector<uint8_t> data) {
    return queue.add<MplyEventMsg>(time, channel, std::move(data));
}

bool program_change(MplyEventQueue& queue, uint8_t channel, uint8_t program) {
    std::vector<uint8_t> data;
    const uint8_t status = static_cast<uint8_t>(0xC0 | (channel & 0x0F));
    data.assign({status, program});
    return queue.add<MplyEventMsg>(0, channel, std::move(data));
}

bool pitch_bend(MplyEventQueue& queue, uint8_t channel, int32_t value) {
    std::vector<uint8_t> data;
    const uint8_t status = static_cast<uint8_t>(0xE0 | (channel & 0x0F));
    const auto lsb = static_cast<uint8_t>(value & 0x7F);
    const auto msb = static_cast<uint8_t>((value >> 7) & 0x7F);
    data.assign({status, lsb, msb});
    return queue.add<MplyEventMsg>(0, channel, std::move(data));
}

bool note_on(MplyEventQueue& queue, int32_t time, uint8_t channel, int32_t duration, uint8_t key,
             uint8_t velocity) {
    return queue.add<MplyEventNoteOn>(time, channel, duration, key, velocity);
}

}  // namespace mply_event
