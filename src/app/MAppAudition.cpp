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

}  // namespace

MAppAudition::MAppAudition(MFramePlayback& playback, MAppUserPort& port, KvClock* clock)
    : playback_(playback), port_(port), clock_(clock ? *clock : KvClock::system()) {}

MAppAudition::~MAppAudition() {
    silence();
}

void MAppAudition::blocks_placed(MedtMusic& editor, const std::vector<MedtPlacedBlock>& blocks) {
    audition(editor.music(), blocks);
}

bool MAppAudition::audition(MseqMusic* music, const std::vector<MedtPlacedBlock>& blocks) {
    if (!enabled_ || !music || blocks.empty() || playback_.playing()) return false;
    silence();
    std::vector<MplyAudition> heard;
    for (size_t i = 0; i < blocks.size() && i < kAuditionMaxBlocks; ++i) {
        const MseqObject* node = music->find_track(blocks[i].track);
        if (!node) continue;
        MplyAudition a;
        const bool found = node->type == MTYPE_TRACK_CHORD
                               ? a.resolve_chord(music, blocks[i].track, blocks[i].position)
                               : node->type == MTYPE_TRACK_NOTE &&
                                     a.resolve_note(music, blocks[i].track, blocks[i].position);
        if (found) heard.push_back(std::move(a));
    }
    if (heard.empty()) return false;
    MplyDevice* out = open_output();
    if (!out) return false;
    uint32_t ms = 0;
    for (const MplyAudition& a : heard) {
        if (a.sound(*out) == 0) continue;
        sounding_.insert(sounding_.end(), a.notes().begin(), a.notes().end());
        ms = std::max(ms, a.length_ms(kMaxMs));
    }
    if (sounding_.empty()) return false;
    sounding_on_ = out;
    off_at_ms_ = clock_.now_ms() + ms;
    return true;
}

MplyDevice* MAppAudition::open_output() {
    MplyDevice* device = playback_.device();
    if (device && (device->IsDeviceOpen() || device->Open())) {
        reported_ = false;
        return device;
    }
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
    if (sounding_.empty()) return;
    // The device is the player's worker's during a run; a run never starts without a silence
    // first, so notes still sounding here went out between runs.
    if (sounding_on_ && !playback_.playing()) MplyAudition::release(*sounding_on_, sounding_);
    sounding_.clear();
    sounding_on_ = nullptr;
}

void MAppAudition::pump() {
    if (sounding_.empty()) return;
    // The clock's milliseconds wrap: the difference says whether the time has come.
    if (static_cast<int32_t>(clock_.now_ms() - off_at_ms_) >= 0) silence();
}
