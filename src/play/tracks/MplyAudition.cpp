#include "play/tracks/MplyAudition.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#include "model/core/MseqObject.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrack.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackTree.h"
#include "play/engine/MplyEvent.h"
#include "play/engine/MplyEventQueue.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyOutput.h"
#include "play/engine/MplyRunSet.h"
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

// An identifier of the music's own book that names no leaf of it: the one the heard phrase is
// reached under, so that it can never be taken for a leaf the music names itself.
MSEQ_ID audition_free_leaf_id(MseqMusic& music) {
    for (uint32_t serial = 0xFFFFF; serial > 0xFFF00; --serial) {
        const MSEQ_ID id = mseq_make_id(MFILE_OWN_BOOK, serial);
        if (!music.find(id)) return id;
    }
    return 0;
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
    take_setup(*player, queue, notes_.front().channel);
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
    take_setup(*player, queue, channel);
    return true;
}

bool MplyAudition::resolve_phrase(MseqMusic* music, MSEQ_ID track, int64_t tick,
                                  MseqMusic* phrase) {
    clear();
    MseqObject* node = music && phrase ? music->find_track(track) : nullptr;
    if (!node || node->type != MTYPE_TRACK_REFER || tick < 0 || tick >= kMplyOpenEnd) return false;
    ref_ptr<MseqEntity> stored_entity = mseq_open(node);
    auto* stored = stored_entity->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER);
    if (!stored || stored->m_Beat < 1) return false;
    const int64_t unit = MseqTrack::kTicksPerBar / stored->m_Beat;
    const int64_t position = tick / unit;
    const int64_t start = position * unit;
    const int64_t steps = (phrase->length_ticks() + unit - 1) / unit;
    if (steps < 1 || position > INT32_MAX || position + steps > INT32_MAX) return false;

    // The stand-in keeps every setting of the track (and its node, for what its group hands
    // down) and holds the one block.
    auto stand_in = ref_ptr<MseqTrackRefer>::adopt(new (std::nothrow) MseqTrackRefer);
    if (!stand_in || !stored->copy_to(stand_in.get())) return false;
    stand_in->owner = node;
    stand_in->erase(stand_in->m_Beat, 0, INT32_MAX, 0);
    const MSEQ_ID as = audition_free_leaf_id(*music);
    if (!as) return false;
    MseqBlockRefer block;
    block.m_Length = static_cast<int32_t>(steps);
    block.m_PhraseID = as;
    if (!stand_in->set_block(stand_in->m_Beat, static_cast<int32_t>(position), &block))
        return false;
    std::shared_ptr<const MplyRunSet> reach =
        MplyRunSet::collect_hearing(music, track, stand_in.get(), as, phrase);
    if (!reach) return false;

    MplyEventQueue queue;
    MplyMusic player(music, reach);
    player.PrepareOffline(queue, static_cast<int32_t>(start), mseq_config().m_PlayMode);
    MplyTrack* t = player.FindTrack(track);
    if (!t || !t->IsKindOf(MPLY_TRACK_REFER)) return false;
    MplyContext& c = player.context();
    c.window_start = static_cast<int32_t>(start);
    c.window_end = mply_clamp32(start + steps * unit);
    t->Generate(c);
    std::vector<std::pair<int32_t, MplyAuditionNote>> found;
    while (MplyEvent* e = queue.pop()) {
        if (const auto* on = dynamic_cast<const MplyEventNoteOn*>(e))
            found.push_back({on->time, {on->channel, on->key, on->velocity, on->duration}});
        queue.destroy(e);
    }
    if (found.empty()) return false;
    // A track's negative start lag moves its first notes before the block: the audition starts
    // with the earliest one.
    int64_t origin = start;
    for (const auto& [time, note] : found)
        origin = std::min<int64_t>(origin, time);
    for (auto& [time, note] : found) {
        note.at = static_cast<int32_t>(time - origin);
        notes_.push_back(note);
    }
    std::stable_sort(
        notes_.begin(), notes_.end(),
        [](const MplyAuditionNote& a, const MplyAuditionNote& b) { return a.at < b.at; });
    tempo_ = music->m_Tempo;
    take_setup(player, queue, notes_.front().channel);
    return true;
}

void MplyAudition::take_setup(MplyMusic& player, MplyEventQueue& queue, int channel) {
    player.ChannelSetup(queue, channel);
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
}

uint32_t MplyAudition::length_ms(uint32_t cap_ms) const {
    int64_t ticks = 0;
    for (const MplyAuditionNote& n : notes_)
        ticks = std::max<int64_t>(ticks, n.ticks);
    return static_cast<uint32_t>(std::clamp<int64_t>(ms_of(ticks), 1, cap_ms));
}

uint32_t MplyAudition::ms_of(int64_t ticks) const {
    const int64_t tempo = std::clamp<int64_t>(tempo_, 4, 1024);
    const int64_t ms = std::max<int64_t>(ticks, 0) * 60000 / (kAuditionTicksPerBeat * tempo);
    return static_cast<uint32_t>(std::min<int64_t>(ms, UINT32_MAX / 2));
}

int MplyAudition::sound(MplyOutput& out) const {
    send_setup(out);
    int sent = 0;
    for (const MplyAuditionNote& n : notes_) {
        if (note_on(out, n)) ++sent;
    }
    return sent;
}

void MplyAudition::send_setup(MplyOutput& out) const {
    for (const MplyAuditionSetup& s : setup_) {
        if (s.kind == MplyAuditionSetup::control && s.bytes.size() == 2) {
            out.SendControl(MplyEventControl(0, s.channel, s.bytes[0], s.bytes[1]));
        } else if (s.kind == MplyAuditionSetup::message) {
            out.SendRawMessage(MplyEventMsg(0, s.channel, s.bytes));
        } else if (s.kind == MplyAuditionSetup::exclusive) {
            out.SendExclusive(MplyEventExclusive(0, s.bytes));
        }
    }
}

bool MplyAudition::note_on(MplyOutput& out, const MplyAuditionNote& n) {
    return out.SendNoteOn(MplyEventNoteOn(0, n.channel, n.ticks, n.key, n.velocity)) != 0;
}

void MplyAudition::release(MplyOutput& out, const std::vector<MplyAuditionNote>& notes) {
    for (const MplyAuditionNote& n : notes) {
        if (out.note_count(n.channel, n.key) > 0)
            out.SendNoteOff(MplyEventNoteOff(0, n.channel, n.key));
    }
}
