#pragma once

#include <cstdint>
#include <vector>

#include "model/core/CkvString.h"

class MplyPlayer;
class MplyEventQueue;

// Ticks: 480 to a quarter note. The largest tick stands for an open end: nothing is ever due
// there, so every event the player makes lies before it.
inline constexpr int32_t kMplyOpenEnd = INT32_MAX;
inline constexpr int32_t kMplyLastTick = INT32_MAX - 1;

// The order of events that fall on one tick (and one channel).
enum : uint8_t {
    MPLY_RANK_TEMPO = 0,
    MPLY_RANK_STRING = 1,
    MPLY_RANK_EXCLUSIVE = 2,
    MPLY_RANK_CONTROL = 5,
    MPLY_RANK_MSG = 5,
    MPLY_RANK_NOTE_OFF = 6,
    MPLY_RANK_NOTE_ON = 7,
};

// Text types of text events: the meta-event types they become in a MIDI file.
enum : uint8_t {
    MPLY_TEXT_COPYRIGHT = 2,
    MPLY_TEXT_TRACK_NAME = 3,
    MPLY_TEXT_LYRIC = 5,
    MPLY_TEXT_MARKER = 6,
};

// One thing the player sends at a tick. Events are made by and belong to an event queue
// (MplyEventQueue::make) from then until they are played or discarded, so they are never
// deleted by anyone else. The engine's thread only.
class MplyEvent {
public:
    MplyEvent(const MplyEvent&) = delete;
    MplyEvent& operator=(const MplyEvent&) = delete;

    // Delivers the event to the player's output; returns what the output answered (0 when the
    // event was refused or dropped).
    virtual int Play(MplyPlayer& player) = 0;

    // The second ordering key: the little-endian word of sort rank, channel and the two zero
    // bytes, that is channel × 256 + rank.
    uint32_t order_word() const {
        return static_cast<uint32_t>(rank) | static_cast<uint32_t>(channel) << 8 |
               static_cast<uint32_t>(zero[0]) << 16 | static_cast<uint32_t>(zero[1]) << 24;
    }

    int32_t time = 0;     // tick at which the event is due
    uint8_t rank = 0;     // order among events of equal time
    uint8_t channel = 0;  // MIDI channel 0-15; 0 for tempo, text and exclusive events
    uint8_t zero[2] = {0, 0};

protected:
    MplyEvent(int32_t t, uint8_t r, uint8_t ch) : time(t), rank(r), channel(ch) {}
    virtual ~MplyEvent() = default;

private:
    friend class MplyEventQueue;
    uint8_t pooled_ = 0;  // where the queue took the event's memory from
};

// A change of tempo in beats per minute.
class MplyEventTempo final : public MplyEvent {
public:
    MplyEventTempo(int32_t t, int32_t bpm) : MplyEvent(t, MPLY_RANK_TEMPO, 0), tempo(bpm) {}
    // Accepted only for 4-1024 beats per minute differing from the player's tempo: the tempo
    // becomes the player's and the output's answer is returned; otherwise 0.
    int Play(MplyPlayer& player) override;
    int32_t tempo;
};

// A text meta event over a string of the model (not owned: the model outlives the run).
class MplyEventString : public MplyEvent {
public:
    MplyEventString(int32_t t, uint8_t type, const CkvString* str)
        : MplyEvent(t, MPLY_RANK_STRING, 0), text_type(type), text(str) {}
    int Play(MplyPlayer& player) override;
    uint8_t text_type;      // MPLY_TEXT_*
    const CkvString* text;  // never null once made by a factory
};

// A track-name text event that owns its text (the expanded title).
class MplyEventStringEx final : public MplyEventString {
public:
    MplyEventStringEx(int32_t t, CkvString str)
        : MplyEventString(t, MPLY_TEXT_TRACK_NAME, nullptr), own(std::move(str)) {
        text = &own;
    }
    CkvString own;
};

// A system-exclusive message: the body without the leading F0 and the trailing F7.
class MplyEventExclusive final : public MplyEvent {
public:
    MplyEventExclusive(int32_t t, std::vector<uint8_t> bytes)
        : MplyEvent(t, MPLY_RANK_EXCLUSIVE, 0), body(std::move(bytes)) {}
    int Play(MplyPlayer& player) override;
    std::vector<uint8_t> body;
};

// A control change on a channel.
class MplyEventControl final : public MplyEvent {
public:
    MplyEventControl(int32_t t, uint8_t ch, uint8_t ctl, uint8_t v)
        : MplyEvent(t, MPLY_RANK_CONTROL, ch), controller(ctl), value(v) {}
    int Play(MplyPlayer& player) override;
    uint8_t controller;
    uint8_t value;
};

// A complete MIDI message, status byte first.
class MplyEventMsg final : public MplyEvent {
public:
    MplyEventMsg(int32_t t, uint8_t ch, std::vector<uint8_t> bytes)
        : MplyEvent(t, MPLY_RANK_MSG, ch), message(std::move(bytes)) {}
    int Play(MplyPlayer& player) override;
    std::vector<uint8_t> message;
};

// The end of a note.
class MplyEventNoteOff final : public MplyEvent {
public:
    MplyEventNoteOff(int32_t t, uint8_t ch, uint8_t k)
        : MplyEvent(t, MPLY_RANK_NOTE_OFF, ch), key(k) {}
    int Play(MplyPlayer& player) override;
    uint8_t key;
};

// The start of a note that lasts `duration` ticks.
class MplyEventNoteOn final : public MplyEvent {
public:
    MplyEventNoteOn(int32_t t, uint8_t ch, int32_t len, uint8_t k, uint8_t vel)
        : MplyEvent(t, MPLY_RANK_NOTE_ON, ch), duration(len), key(k), velocity(vel) {}
    // Sends the note; when the output accepts it, its note-off is queued at time + duration
    // (kept before the open end). Returns the output's answer.
    int Play(MplyPlayer& player) override;
    int32_t duration;  // ticks, at least 1
    uint8_t key;
    uint8_t velocity;
};
