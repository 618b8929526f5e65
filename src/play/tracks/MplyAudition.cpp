#include "play/tracks/MplyAudition.h"

#include <algorithm>
#include <memory>

#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrack.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackTree.h"
#include "play/engine/MplyEvent.h"
#include "play/engine/MplyEventQueue.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyOutput.h"
#include "play/tracks/MplyTrackChord.h"
#include "play/tracks/MplyTrackNote.h"

namespace {

constexpr int32_t kAuditionTicksPerBeat = 480;
constexpr uint8_t kAuditionChordVelocity = 100;

// The player music of `music`, built and prepared from `tick` as a run starting there would
// have it; null when it cannot be made.
std::unique_ptr<MplyMusic> audition_prepared(MseqMusic* music, int64_t tick,
                                             MplyEventQueue& queue) {
    if (!music || tick < 0 || tick >= kMplyOpenEnd) return nullptr;
    std::unique_ptr<MplyMusic> player(music->create_player_model());
    if (!player) return nullptr;
    player->PrepareOffline(queue, static_cast<int32_t>(tick), mseq_config().m_PlayMode);
    return player;
}

// The tick of `position` on the stored track `id`; -1 when the track has no grid.
int64_t audition_tick_of(MseqMusic* music, MSEQ_ID id, int32_t position) {
    MseqTrack* track = music ? mseq_track_of(music->find_track(id)) : nullptr;
    if (!track || track->m_Beat < 1 || position < 0) return -1;
    return static_cast<int64_t>(position) * (MseqTrack::kTicksPerBar / track->m_Beat);
}

// The first note track of the tree that sounds and follows `chords`; null when none does.
MplyTrackNote* audition_follower(MplyMusic& music, const MplyTrackChord* chords) {
    for (MplyTrack* top = music.tree(); top; top = top->next()) {
        for (MplyTrack* t = top; t; t = t->next_in(top)) {
            if (!t->IsKindOf(MPLY_TRACK_NOTE)) continue;
            auto* note = static_cast<MplyTrackNote*>(t);
            if (note->sounding() && note->chord_source() == chords) return note;
        }
    }
    return nullptr;
}

}  // namespace

void MplyAudition::clear() {
    notes_.clear();
    setup_.clear();
    tempo_ = 120;
}

bool MplyAudition::resolve_note(MseqMusic* music, MSEQ_ID track, int32_t position) {
    clear();
    const int64_t tick = audition_tick_of(music, track, position);
    MplyEventQueue queue;
    std::unique_ptr<MplyMusic> player = audition_prepared(music, tick, queue);
    MplyTrack* t = player ? player->FindTrack(track) : nullptr;
    if (!t || !t->IsKindOf(MPLY_TRACK_NOTE) || !static_cast<MplyTrackNote*>(t)->sounding())
        return false;
    // Only the block's own track generates, over the block's first tick.
    MplyContext& c = player->context();
    c.window_start = static_cast<int32_t>(tick);
    c.window_end = static_cast<int32_t>(tick + 1);
    t->Generate(c);
    while (MplyEvent* e = queue.pop()) {
        if (const auto* on = dynamic_cast<const MplyEventNoteOn*>(e))
            notes_.push_back({on->channel, on->key, on->velocity, on->duration});
        queue.destroy(e);
    }
    if (notes_.empty()) return false;
    tempo_ = music->m_Tempo;
    player->ChannelSetup(queue, notes_.front().channel);
    while (MplyEvent* e = queue.pop()) {
        if (const auto* ctl = dynamic_cast<const MplyEventControl*>(e)) {
            setup_.push_back(
                {MplyAuditionSetup::control, ctl->channel, {ctl->controller, ctl->value}});
        } else if (const auto* msg = dynamic_cast<const MplyEventMsg*>(e)) {
            setup_.push_back({MplyAuditionSetup::message, msg->channel, msg->message});
        } else if (const auto* ex = dynamic_cast<const MplyEventExclusive*>(e)) {
            setup_.push_back({MplyAuditionSetup::exclusive, 0, ex->body});
        }
        queue.destroy(e);
    }
    return true;
}

bool MplyAudition::resolve_chord(MseqMusic* music, MSEQ_ID track, int32_t position) {
    clear();
    const int64_t tick = audition_tick_of(music, track, position);
    MplyEventQueue queue;
    std::unique_ptr<MplyMusic> player = audition_prepared(music, tick, queue);
    MplyTrackChord* chords = player ? mply_chord_track(player.get(), track) : nullptr;
    const MseqBlockChord* chord = chords ? chords->ChordAt(tick) : nullptr;
    if (!chord) return false;
    // The chord holds until the next chord block.
    auto* stored = static_cast<MseqTrackChord*>(chords->GetSource());
    auto next = stored->blocks().upper_bound(position);
    const int64_t unit = MseqTrack::kTicksPerBar / stored->m_Beat;
    const int64_t held = next == stored->blocks().end()
                             ? kAuditionTicksPerBeat * 1024
                             : (static_cast<int64_t>(next->first) - position) * unit;
    MplyTrackNote* voice = audition_follower(*player, chords);
    const int32_t channel = voice ? voice->channel() & 0x0F : 0;
    const int64_t octave = voice ? voice->octave() : 0;
    const int64_t tones = std::min<int64_t>(chord->key_count, MseqBlockChord::kMaxKeys);
    for (int64_t degree = 0; degree < tones; ++degree) {
        int64_t key = 0;
        if (!mply_chord_degree_key(*chord, chords->ChordMapAt(tick), degree, octave,
                                   player->context().transpose, &key) ||
            key < 0 || key > 127)
            continue;
        notes_.push_back({static_cast<uint8_t>(channel), static_cast<uint8_t>(key),
                          kAuditionChordVelocity, mply_clamp32(std::max<int64_t>(held, 1))});
    }
    if (notes_.empty()) return false;
    tempo_ = music->m_Tempo;
    player->ChannelSetup(queue, channel);
    while (MplyEvent* e = queue.pop()) {
        if (const auto* ctl = dynamic_cast<const MplyEventControl*>(e)) {
            setup_.push_back(
                {MplyAuditionSetup::control, ctl->channel, {ctl->controller, ctl->value}});
        } else if (const auto* msg = dynamic_cast<const MplyEventMsg*>(e)) {
            setup_.push_back({MplyAuditionSetup::message, msg->channel, msg->message});
        }
        queue.destroy(e);
    }
    return true;
}

uint32_t MplyAudition::length_ms(uint32_t cap_ms) const {
    int64_t ticks = 0;
    for (const MplyAuditionNote& n : notes_)
        ticks = std::max<int64_t>(ticks, n.ticks);
    const int64_t tempo = std::clamp<int64_t>(tempo_, 4, 1024);
    const int64_t ms = ticks * 60000 / (kAuditionTicksPerBeat * tempo);
    return static_cast<uint32_t>(std::clamp<int64_t>(ms, 1, cap_ms));
}

int MplyAudition::sound(MplyOutput& out) const {
    for (const MplyAuditionSetup& s : setup_) {
        if (s.kind == MplyAuditionSetup::control && s.bytes.size() == 2) {
            out.SendControl(MplyEventControl(0, s.channel, s.bytes[0], s.bytes[1]));
        } else if (s.kind == MplyAuditionSetup::message) {
            out.SendRawMessage(MplyEventMsg(0, s.channel, s.bytes));
        } else if (s.kind == MplyAuditionSetup::exclusive) {
            out.SendExclusive(MplyEventExclusive(0, s.bytes));
        }
    }
    int sent = 0;
    for (const MplyAuditionNote& n : notes_) {
        if (out.SendNoteOn(MplyEventNoteOn(0, n.channel, n.ticks, n.key, n.velocity))) ++sent;
    }
    return sent;
}

void MplyAudition::release(MplyOutput& out, const std::vector<MplyAuditionNote>& notes) {
    for (const MplyAuditionNote& n : notes) {
        if (out.note_count(n.channel, n.key) > 0)
            out.SendNoteOff(MplyEventNoteOff(0, n.channel, n.key));
    }
}
