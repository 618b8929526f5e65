#include "play/engine/MplyKeyLane.h"

#include <algorithm>
#include <memory>
#include <tuple>

#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrack.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyNoteWatch.h"
#include "play/engine/MplyPlayer.h"
#include "play/tracks/MplyTrack.h"

int32_t MplyLaneNote::end() const {
    const int64_t e = static_cast<int64_t>(tick) + length;
    return e > INT32_MAX ? INT32_MAX : static_cast<int32_t>(e);
}

bool MplyLaneNote::operator==(const MplyLaneNote& o) const {
    return tick == o.tick && length == o.length && key == o.key && velocity == o.velocity &&
           block_type == o.block_type && chord_tone == o.chord_tone;
}

bool MplyLaneNote::operator<(const MplyLaneNote& o) const {
    return std::tie(tick, key, velocity, length, block_type) <
           std::tie(o.tick, o.key, o.velocity, o.length, o.block_type);
}

namespace {

// Collects what the tracks settle under the id of the top track being generated.
class LaneWatch final : public MplyNoteWatch {
public:
    LaneWatch(int32_t from, int32_t to) : from_(from), to_(to) {}

    void Seen(const MplyNoteSeen& n) override {
        if (!current_) return;
        const int64_t end = static_cast<int64_t>(n.tick) + n.length;
        if (n.tick >= to_ || end <= from_) return;
        if (n.map_missing) current_->map_missing = true;
        if (!n.sounded) {
            ++current_->skipped;
            return;
        }
        MplyLaneNote note;
        note.tick = n.tick;
        note.length = n.length;
        note.key = n.key;
        note.velocity = n.velocity;
        note.block_type = n.block_type;
        note.chord_tone = n.chord_tone;
        current_->notes.push_back(note);
    }

    void set_current(MplyResolvedKeys* keys) { current_ = keys; }

private:
    int32_t from_;
    int32_t to_;
    MplyResolvedKeys* current_ = nullptr;
};

bool sounds_notes(const MplyTrack& t) {
    return t.IsKindOf(MPLY_TRACK_NOTE) || t.IsKindOf(MPLY_TRACK_REFER);
}

MSEQ_ID id_of(const MplyTrack& t) {
    const MseqTrack* source = t.GetSource();
    return source && source->owner ? mseq_with_file_number(source->owner->id, MFILE_TRACKS) : 0;
}

// Compiles and starts `music` at the look-back before `from`, then generates its tracks once
// up to `to` in the order a run does; only `only` (when nonzero) of the sounding tracks.
std::map<MSEQ_ID, MplyResolvedKeys> run(MseqMusic& music, int32_t from, int32_t to, MSEQ_ID only) {
    std::map<MSEQ_ID, MplyResolvedKeys> out;
    if (to <= from) return out;
    std::unique_ptr<MplyMusic> compiled(music.create_player_model());
    if (!compiled) return out;
    LaneWatch watch(from, to);
    MplyContext& c = compiled->context();
    c.watch = &watch;
    MplyPlayer player(nullptr, false);
    const int32_t seek = from > kMplyLaneLookBack ? from - kMplyLaneLookBack : 0;
    player.SetStartTick(seek);
    const bool started = compiled->Start(&player);
    player.queue().clear();
    if (!started) return out;
    c.window_start = seek;
    c.window_end = to;
    for (MplyTrack* top = compiled->tree(); top; top = top->next()) {
        for (MplyTrack* t = top; t; t = t->next_in(top)) {
            MplyResolvedKeys* keys = nullptr;
            if (sounds_notes(*t)) {
                const MSEQ_ID id = id_of(*t);
                if (only && id != only) continue;
                keys = &out[id];
            }
            watch.set_current(keys);
            t->Generate(c);
            // The events themselves are not played; the watch has seen them.
            player.queue().clear();
        }
    }
    for (auto it = out.begin(); it != out.end();) {
        MplyResolvedKeys& keys = it->second;
        std::sort(keys.notes.begin(), keys.notes.end());
        if (keys.notes.empty() && !keys.map_missing && keys.skipped == 0) {
            it = out.erase(it);
        } else {
            ++it;
        }
    }
    return out;
}

}  // namespace

std::map<MSEQ_ID, MplyResolvedKeys> MplyKeyLane::resolve(MseqMusic& music, int32_t from,
                                                         int32_t to) {
    return run(music, from, to, 0);
}

MplyResolvedKeys MplyKeyLane::resolve_track(MseqMusic& music, MSEQ_ID track, int32_t from,
                                            int32_t to) {
    const MSEQ_ID id = mseq_with_file_number(track, MFILE_TRACKS);
    std::map<MSEQ_ID, MplyResolvedKeys> all = run(music, from, to, id);
    auto it = all.find(id);
    return it == all.end() ? MplyResolvedKeys{} : std::move(it->second);
}
