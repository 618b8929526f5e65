#include "app/MAppAudition.h"

#include <algorithm>

#include "app/MAppText.h"
#include "app/MAppUserPort.h"
#include "app/MFramePlayback.h"
#include "edit/MedtMusic.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "platform/Clock.h"
#include "play/devices/MplyDevice.h"

namespace {

// A gesture of many blocks (a paste-like press) is heard by its first few.
constexpr size_t kAuditionMaxBlocks = 16;

// True when the clock's `now` has reached `due` (the milliseconds wrap: the difference says).
bool reached(uint32_t now, uint32_t due) {
    return static_cast<int32_t>(now - due) >= 0;
}

}  // namespace

MAppAudition::MAppAudition(MFramePlayback& playback, MAppUserPort& port, KvClock* clock)
    : playback_(playback), port_(port), clock_(clock ? *clock : KvClock::system()) {}

MAppAudition::~MAppAudition() {
    silence();
}

void MAppAudition::blocks_placed(MedtMusic& editor, const std::vector<MedtPlacedBlock>& blocks) {
    audition(editor.music(), blocks);
}

bool MAppAudition::resolve(MseqMusic* music, const MedtPlacedBlock& block, MplyAudition* heard) {
    const MseqObject* node = music ? music->find_track(block.track) : nullptr;
    if (!node) return false;
    if (node->type == MTYPE_TRACK_CHORD)
        return heard->resolve_chord(music, block.track, block.position);
    return node->type == MTYPE_TRACK_NOTE &&
           heard->resolve_note(music, block.track, block.position);
}

bool MAppAudition::audition(MseqMusic* music, const std::vector<MedtPlacedBlock>& blocks) {
    if (!enabled_ || !music || blocks.empty() || playback_.playing()) return false;
    silence();
    std::vector<MplyAudition> heard;
    for (size_t i = 0; i < blocks.size() && i < kAuditionMaxBlocks; ++i) {
        MplyAudition a;
        if (resolve(music, blocks[i], &a)) heard.push_back(std::move(a));
    }
    if (heard.empty()) return false;
    MplyDevice* out = open_output();
    if (!out) return false;
    // Every block sounds together, and all end together with the longest (at most a second).
    const uint32_t now = clock_.now_ms();
    uint32_t ms = 0;
    for (const MplyAudition& a : heard) {
        a.send_setup(*out);
        bool sent = false;
        for (const MplyAuditionNote& n : a.notes()) {
            if (!MplyAudition::note_on(*out, n)) continue;
            timed_.push_back({n, now, now, true});
            sent = true;
        }
        if (sent) ms = std::max(ms, a.length_ms(kMaxMs));
    }
    if (timed_.empty()) return false;
    for (Timed& t : timed_)
        t.off_ms = now + ms;
    sounding_on_ = out;
    return true;
}

bool MAppAudition::audition_phrase(MseqMusic* music, MSEQ_ID track, int64_t tick,
                                   MseqMusic* phrase) {
    if (!enabled_ || !music || !phrase || playback_.playing()) return false;
    silence();
    output_missing_ = false;
    MplyAudition heard;
    if (!heard.resolve_phrase(music, track, tick, phrase)) return false;
    MplyDevice* out = open_output();
    if (!out) return false;
    const uint32_t now = clock_.now_ms();
    for (const MplyAuditionNote& n : heard.notes()) {
        const uint32_t on = now + heard.ms_of(n.at);
        timed_.push_back({n, on, on + std::max<uint32_t>(heard.ms_of(n.ticks), 1), false});
    }
    sounding_on_ = out;
    heard.send_setup(*out);
    // The first notes go out now; the rest as the frame's timer finds them due.
    send_due(now);
    return true;
}

void MAppAudition::property_changing(MedtMusic& editor, const MedtPlacedBlock& block) {
    before_.clear();
    before_known_ = false;
    if (!enabled_ || playback_.playing()) return;
    MplyAudition a;
    if (resolve(editor.music(), block, &a)) before_ = a.notes();
    before_known_ = true;
}

void MAppAudition::property_changed(MedtMusic& editor, const MedtPlacedBlock& block) {
    if (!before_known_) return;
    before_known_ = false;
    MplyAudition a;
    // Only a change of what the block sounds is heard: a new name, say, stays silent.
    if (!resolve(editor.music(), block, &a) || a.notes() == before_) return;
    audition(editor.music(), {block});
}

MplyDevice* MAppAudition::open_output() {
    MplyDevice* device = playback_.device();
    output_missing_ = false;
    if (device && (device->IsDeviceOpen() || device->Open())) {
        reported_ = false;
        return device;
    }
    output_missing_ = true;
    if (!reported_) {
        port_.status(mapp_text(mapp_msg::AUDITION_DEVICE_FAILED));
        reported_ = true;
    }
    return nullptr;
}

void MAppAudition::set_enabled(bool on) {
    enabled_ = on;
    if (!on) silence();
}

void MAppAudition::silence() {
    if (timed_.empty()) return;
    // The device is the player's worker's during a run; a run never starts without a silence
    // first, so notes still sounding here went out between runs.
    if (sounding_on_ && !playback_.playing()) {
        std::vector<MplyAuditionNote> on;
        for (const Timed& t : timed_) {
            if (t.on) on.push_back(t.note);
        }
        MplyAudition::release(*sounding_on_, on);
    }
    timed_.clear();
    sounding_on_ = nullptr;
}

void MAppAudition::send_due(uint32_t now) {
    if (!sounding_on_) return;
    for (auto it = timed_.begin(); it != timed_.end();) {
        if (it->on && reached(now, it->off_ms)) {
            MplyAudition::release(*sounding_on_, {it->note});
            it = timed_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = timed_.begin(); it != timed_.end();) {
        if (it->on) {
            ++it;
            continue;
        }
        if (!reached(now, it->on_ms)) break;  // in the order of their note-ons
        if (MplyAudition::note_on(*sounding_on_, it->note)) {
            it->on = true;
            ++it;
        } else {
            it = timed_.erase(it);
        }
    }
}

void MAppAudition::pump() {
    if (timed_.empty()) return;
    if (playback_.playing()) {
        silence();
        return;
    }
    send_due(clock_.now_ms());
    if (timed_.empty()) sounding_on_ = nullptr;
}

int32_t MAppAudition::next_due_ms() {
    if (timed_.empty()) return -1;
    const uint32_t now = clock_.now_ms();
    int64_t next = INT32_MAX;
    for (const Timed& t : timed_) {
        const uint32_t due = t.on ? t.off_ms : t.on_ms;
        next = std::min<int64_t>(next, std::max<int32_t>(static_cast<int32_t>(due - now), 0));
    }
    return static_cast<int32_t>(next);
}
