#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "model/track/MseqTrack.h"
#include "play/export/MplyExport.h"
#include "play/export/MplyExportParts.h"
#include "play/export/MplyScoreCapture.h"

class MplyEntity;
class MplyPlayer;

// What a score can hold of a run, and how the rest is fitted to it. Notes are placed on a grid
// of 32nd notes (60 ticks): onsets and ends are rounded to the nearest step, a note shorter
// than a step lasts one step, and of two notes of one key starting on one step only the longer
// stays. Everything else of the run (velocities, controllers, pitch bends, system exclusives,
// message tracks) has no place in the score beyond the instrument's program, volume and pan at
// the start.
struct MplyScoreGrid {
    static constexpr int32_t kStep = 60;                      // ticks of a 32nd note
    static constexpr int32_t kBar = MseqTrack::kTicksPerBar;  // ticks of a 4/4 bar
    static constexpr int32_t kVoices = 4;  // voices of a part a notation program keeps apart
    static constexpr int32_t kDrumChannel = 9;

    // `tick` on the nearest step (halves round up). Any thread.
    static int32_t Snap(int32_t tick);
};

// The MusicXML 4.0 score (score-partwise, UTF-8) of what a run played: one part per channel that
// plays, in channel order, named after `parts` and with the program, volume and pan the channel
// started with; bars of 4/4 at 480 divisions a quarter; pitches spelt with sharps in a sharp
// key and flats in a flat one (`parts.key_fifths` at the start, then `events.keys`, with a new
// key signature at each bar the key changes); notes split at bar lines with ties, rests
// between them, notes of equal span as chords and overlapping ones in further voices, each note
// keeping its voice across bar lines (up to kVoices; beyond that a note joins the chord
// starting with it, or shortens the voice's last note); the drum channel as a percussion part
// of unpitched hits, each lasting until the next; chord symbols (root, kind, bass) from the
// music's first chord track above the first part; tempo marks, markers as
// rehearsal marks and the title and copyright in the first part and the header; lyrics under
// the part whose notes start on most of them. Never fails. Any thread.
std::string mply_musicxml(const MplyScoreEvents& events, const MplyExportParts& parts);

// Runs `music` (taken on success, as MplyPlayer::Start does) through `player` with `capture`
// as output from tick 0 and makes its score in `xml`. The parts are described from the music
// first, so this is called on the user-interface thread, while no run is active. The result
// codes are the MIDI export's (write_failed is never returned: the caller writes).
MplyExportResult MplyExportScore(MplyPlayer& player, MplyScoreCapture& capture,
                                 std::unique_ptr<MplyEntity>& music, std::string* xml);
