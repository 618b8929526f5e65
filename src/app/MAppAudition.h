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
// A phrase selected in the library is heard the same way, as a phrase track of the music would
// play it at the edit cursor (MplyAudition::resolve_phrase): its first notes go out at once,
// the later ones and every note-off when their time comes.
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
    // Sounds `phrase` as the phrase track `track` of `music` would play it from `tick`, after
    // silencing what still sounds. False when nothing sounded: switched off, a run playing, no
    // output, or nothing the phrase sounds there.
    bool audition_phrase(MseqMusic* music, MSEQ_ID track, int64_t tick, MseqMusic* phrase);
    // True when the last audition found no working output (and said so, once).
    bool output_missing() const { return output_missing_; }

    // A property change of a track, told before it runs and after it was carried out: the
    // block at the cursor is heard again when what it sounds has changed (the key above all).
    void property_changing(MedtMusic& editor, const MedtPlacedBlock& block) override;
    void property_changed(MedtMusic& editor, const MedtPlacedBlock& block) override;

    // Switched on by default; switching off silences what sounds.
    bool enabled() const { return enabled_; }
    void set_enabled(bool on);

    // Sends the note-off of everything the audition sounds. Nothing when nothing sounds.
    void silence();
    // Sends the note-ons and note-offs whose time has come (the frame's timer calls it).
    void pump();
    // True while notes of an audition sound or are still to come.
    bool sounding() const { return !timed_.empty(); }
    // Milliseconds until the next note-on or note-off is due (0 when one is due now); -1 when
    // nothing is to come. A front end pumps sooner than its timer when this is shorter.
    int32_t next_due_ms();

private:
    // One note of the audition and when it starts and ends, on the clock.
    struct Timed {
        MplyAuditionNote note;
        uint32_t on_ms = 0;
        uint32_t off_ms = 0;
        bool on = false;  // its note-on went out
    };

    // The output to sound through, opened; null (reported once) when there is none.
    MplyDevice* open_output();
    // What the block sounds, resolved; false when it sounds nothing.
    static bool resolve(MseqMusic* music, const MedtPlacedBlock& block, MplyAudition* heard);
    // Sends what is due at `now`: note-offs first, so that a key struck again sounds again.
    void send_due(uint32_t now);

    MFramePlayback& playback_;
    MAppUserPort& port_;
    KvClock& clock_;
    bool enabled_ = true;
    bool reported_ = false;  // the missing output was reported and has not worked since
    bool output_missing_ = false;
    std::vector<Timed> timed_;           // in the order of their note-ons
    MplyDevice* sounding_on_ = nullptr;  // the output the notes go to
    // What the block at the cursor sounded before a property change, while one runs.
    bool before_known_ = false;
    std::vector<MplyAuditionNote> before_;
};
