#pragma once

#include <cstdint>
#include <initializer_list>

#include "model/core/CkvString.h"
#include "play/engine/MplyEventQueue.h"

// The event factories the player music and its tracks use: each makes an event, fills it and
// inserts it into the queue, and returns false only when no memory could be had. The engine's
// thread only.
namespace mply_event {

// A tempo change.
bool tempo(MplyEventQueue& queue, int32_t time, int32_t bpm);
// A text event over a string of the model, which must outlive the event.
bool text(MplyEventQueue& queue, int32_t time, uint8_t type, const CkvString* str);
// A track-name event at tick 0 that owns its text.
bool track_name(MplyEventQueue& queue, CkvString str);
// A system-exclusive message of a 4-byte body at tick 0.
bool exclusive(MplyEventQueue& queue, std::initializer_list<uint8_t> body);
// A control change at tick 0.
bool control(MplyEventQueue& queue, uint8_t channel, uint8_t controller, uint8_t value);
// A raw MIDI message (status byte first).
bool message(MplyEventQueue& queue, int32_t time, uint8_t channel, std::vector<uint8_t> bytes);
// A program change at tick 0: C0|channel, program.
bool program_change(MplyEventQueue& queue, uint8_t channel, uint8_t program);
// A pitch bend at tick 0: E0|channel, the low and the high 7 bits of `value`.
bool pitch_bend(MplyEventQueue& queue, uint8_t channel, int32_t value);
// A note that starts at `time` and lasts `duration` ticks.
bool note_on(MplyEventQueue& queue, int32_t time, uint8_t channel, int32_t duration, uint8_t key,
             uint8_t velocity);

}  // namespace mply_event
