#pragma once

// The note-ons of a whole offline run of a music or phrase, for the tests that compare what it
// plays before and after a change: (tick, channel, key) in the order the player sends them.
// Header-only, so that the window's test programs use it too.
#include <cstdint>
#include <memory>
#include <tuple>
#include <vector>

#include "model/core/MseqEntity.h"
#include "play/engine/MplyEntity.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyOutput.h"
#include "play/engine/MplyPlayer.h"

namespace offline_notes {

using Note = std::tuple<int32_t, int, int>;  // tick, channel, key

class NoteList final : public MplyOutput {
public:
    bool IsOffline() const override { return true; }
    int SendNoteOn(const MplyEventNoteOn& e) override {
        notes.emplace_back(e.time, e.channel, e.key);
        return 1;
    }
    std::vector<Note> notes;
};

// The note-ons of a run of `music`; none, with `*started` false, when the run does not start.
inline std::vector<Note> offline_note_ons(MseqEntity* music, bool* started = nullptr) {
    NoteList list;
    MplyPlayer player(nullptr, false);
    std::unique_ptr<MplyEntity> run(music->create_player_model());
    const bool ok = player.Start(&list, run);
    if (started) *started = ok;
    return list.notes;
}

}  // namespace offline_notes
