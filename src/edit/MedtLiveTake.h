#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

class MedtMusicInvoker;

// One key kept by a live recording: when it went down and up (ticks of the music) and how hard.
struct MedtTakenNote {
    int64_t on = 0;
    int64_t off = 0;
    int32_t key = 0;
    int32_t velocity = 0;
};

// The keys played while a run plays, kept with their times and velocities. While the sustain
// pedal is down a released key sounds on until the pedal comes up (or the key is struck again).
// A note-off of a key not held is ignored. User-interface thread.
class MedtLiveTake {
public:
    MedtLiveTake() { on_.fill(-1); }

    // A note-on (velocity above 0) or note-off (velocity 0) at `tick`.
    void note(int64_t tick, int32_t key, int32_t velocity);
    // The sustain pedal (controller 64) down or up at `tick`.
    void pedal(int64_t tick, bool down);
    // Ends every key still sounding at `tick` (the run stopped).
    void finish(int64_t tick);
    // The notes kept, in the order they ended.
    const std::vector<MedtTakenNote>& notes() const { return notes_; }

private:
    void end(size_t key, int64_t tick);

    std::array<int64_t, 128> on_{};  // when each sounding key went down, -1 when it does not sound
    std::array<int32_t, 128> velocity_{};
    std::bitset<128> held_;  // keys down on the keyboard (a sounding key not held is sustained)
    bool pedal_ = false;
    std::vector<MedtTakenNote> notes_;
};

// What entering a take did.
struct MedtTakeEntry {
    int32_t entered = 0;   // blocks written
    int32_t skipped = 0;   // notes the track's type cannot sound (a rhythm track's other keys)
    bool refused = false;  // the music refused a change: nothing of the take stays
};

// Enters `notes` on the editor's current note track as blocks of its type, as one undo group:
// each start is moved towards the nearest step of the track's grid by `strength` percent
// (100: onto it); the rest of the way, when there is any, becomes the note's own start offset,
// and the length is the quantised end's steps (at least one). The track plays one note at a
// time: of notes starting on one step the highest is kept, and a note ends where the next one
// starts. A note held over a bar line where the note written at its start would sound another
// key (a degree note under a new chord) is split there, so that it sounds the key played
// throughout. What the notes cover is cleared as typed notes clear it. The velocities are kept.
// User-interface thread.
MedtTakeEntry medt_enter_take(MedtMusicInvoker& editor, const std::vector<MedtTakenNote>& notes,
                              int32_t strength);
