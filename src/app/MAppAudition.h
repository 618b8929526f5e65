#pragma once

#include <cstdint>
#include <vector>

#include "edit/MedtEditObserver.h"
#include "model/core/MseqId.h"
#include "play/tracks/MplyAudition.h"

class KvClock;
class MAppUserPort;
class MFramePlayback;
class MplyDevice;
class MseqMusic;

// Hearing what one places: every note block a gesture places or changes sounds its key as
// playback resolves it (MplyAudition: the player's own tracks over the block), on its track's
// channel with the stage map's set-up of that channel, through the output playback uses, for
// the note's length but at most one second; a chord block sounds its chord. It listens on every
// music editor of the edit list (MedtEditObserver), so every way of editing is heard.
//
// No note is left hanging: the note-offs go out when the time is up (from pump(), the frame's
// timer), before the next audition, before a run starts, on stop and at exit (silence()). It
// never waits: the note-on goes out at once and the note-off is due later. It only sounds
// between runs: while the player's worker owns the device it does nothing. With no working
// output it does nothing and says so once in the status bar (again only after the output has
// worked in between). User-interface thread only.
class MAppAudition final : public MedtEditObserver {
public:
    static constexpr uint32_t kMaxMs = 1000;  // the longest an audition sounds

    // Plays through `playback`'s device, timed by `clock` (the system clock when null), and
    // reports through `port`.
    MAppAudition(MFramePlayback& playback, MAppUserPort& port, KvClock* clock);
    ~MAppAudition() override;
    MAppAudition(const MAppAudition&) = delete;
    MAppAudition& operator=(const MAppAudition&) = delete;

    void blocks_placed(MedtMusic& editor, const std::vector<MedtPlacedBlock>& blocks) override;
    // Sounds the blocks (note or chord blocks of tracks of `music`) together, after silencing
    // what still sounds. False when nothing sounded: switched off, a run playing, no output,
    // or no block that sounds.
    bool audition(MseqMusic* music, const std::vector<MedtPlacedBlock>& blocks);

    // Switched on by default; switching off silences what sounds.
    bool enabled() const { return enabled_; }
    void set_enabled(bool on);

    // Sends the note-off of everything the audition sounds. Nothing when nothing sounds.
    void silence();
    // Sends the note-offs once their time is up (the frame's timer calls it).
    void pump();
    // True while notes of an audition sound.
    bool sounding() const { return !sounding_.empty(); }

private:
    // The output to sound through, opened; null (reported once) when there is none.
    MplyDevice* open_output();

    MFramePlayback& playback_;
    MAppUserPort& port_;
    KvClock& clock_;
    bool enabled_ = true;
    bool reported_ = false;  // the missing output was reported and has not worked since
    std::vector<MplyAuditionNote> sounding_;
    MplyDevice* sounding_on_ = nullptr;  // the output the sounding notes went to
    uint32_t off_at_ms_ = 0;             // when their note-offs are due, on the clock
};
