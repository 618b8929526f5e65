#pragma once

// The large music the export benchmarks share.
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"

namespace kv_bench {

constexpr int kBigTracks = 8;
constexpr int kBigNotesPerTrack = 12500;  // 100,000 notes in all

// Eight tracks of sixteenth notes on eight channels, climbing through two octaves.
inline ref_ptr<MseqMusic> big_music() {
    auto music = ref_ptr<MseqMusic>::adopt(new MseqMusic(nullptr));
    music->m_Title = "";
    for (int t = 0; t < kBigTracks; ++t) {
        MseqObject* node = music->create_track(music->detail()->id, MPLACE_LAST_CHILD,
                                               MTYPE_TRACK_NOTE, CkvString("notes"));
        mseq_factory(node);
        auto* track = node->entity()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
        track->m_Beat = 16;
        track->m_Channel = t;
        for (int i = 0; i < kBigNotesPerTrack; ++i) {
            MseqBlockNote note;
            note.set_type(MNBT_PURE);
            note.m_Whole = static_cast<int8_t>(i % 7);
            note.m_Octave = static_cast<int8_t>(4 + i / 7 % 2);
            track->put_block(i, note);
        }
    }
    return music;
}

}  // namespace kv_bench
