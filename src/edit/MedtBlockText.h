#pragma once

#include <cstdint>

#include "model/core/CkvString.h"

class MedtNoteNames;
class MedtTrack;
class MseqBlockChord;
class MseqBlockLabel;
class MseqBlockNote;
class MseqBlockRefer;
class MseqBlockValue;
class MseqMusic;
class MseqTrackChord;

// What the music view writes on the blocks of every track kind, band by band, and the tip that
// names a block in full where its drawn text is cut short. Texts are CP932. The user-interface
// thread (note names and pitches read the music and its chord maps).
namespace medt_block_text {

// --- note tracks ---
// The block band: the note's name where it stands (MedtNoteNames).
CkvString note_name(const MedtNoteNames& names, const MseqBlockNote& note, int32_t pos);
// The octave band: the octave field ("5", "-1"); the accidental band: the accidental with its
// sign ("+1", "-2"), empty for none.
CkvString note_octave(const MseqBlockNote& note);
CkvString note_accidental(const MseqBlockNote& note);
// The lag bands: true, with the ticks in `text`, when the note has its own start (end) lag;
// false (no box drawn) when it follows the track's.
bool note_start_lag(const MseqBlockNote& note, CkvString* text);
bool note_end_lag(const MseqBlockNote& note, CkvString* text);

// --- phrase tracks ---
// The block band: the phrase's name ("?" and its identifier in hex when the music has no such
// leaf), "@" and the start marker when there is one, the degree shift when not 0 (" +2"), and
// with the mode icons shown (`show` has MSHOW_MODE_ICONS) the fitting mode in brackets.
CkvString refer_text(const MseqMusic* music, const MseqBlockRefer& block, uint32_t show);
// The shift band: the degree shift with its sign ("+0" too).
CkvString refer_shift(const MseqBlockRefer& block);
// The mode band: the fitting mode's short name ("保持", "ブロック切", "音切", "伸縮"); empty
// for an unknown mode.
CkvString refer_mode(uint32_t mode);

// --- chord tracks ---
// The degree row: "*" for a chord of its own (no palette slot), else the slot's degree label.
CkvString chord_degree(const MseqBlockChord& block);
// The chord row: the name of the chord in effect at `pos` of `track`.
CkvString chord_name(const MseqTrackChord& track, int32_t pos, const MseqMusic* music);

// --- label, value and link tracks ---
CkvString label_text(const MseqBlockLabel& block);
CkvString value_text(const MseqBlockValue& block);
// The linked leaf's name and identifier (the link track's item text at `pos`).
CkvString link_text(const MedtTrack& track, int32_t pos);

// --- tips ---
// A length in ticks as note values: one value where it is one ("4 分音符", "付点 8 分音符",
// "3 連 8 分音符", "5 連 4 分音符", "全音符"), whole bars ("2 小節") and up to three values
// joined by " + " ("2 小節 + 8 分音符"), else the ticks ("50 [Tick]").
CkvString length_text(int64_t ticks);
// An absolute pitch: the note name with its octave and the key number ("C#5 (ノート番号 61)";
// key 60 is C5, the octave a pure note is written with).
CkvString key_text(int64_t key);
// The key `note` at `pos` of note track `track` sounds at when played, found by the player's own
// note resolution (chord track, chord map, the track's octave, the music's transposition); false
// when it sounds at none (a muted or empty track, no chord where one is needed).
bool note_key(const MedtTrack& track, int32_t pos, const MseqBlockNote& note, int64_t* key);
// The tip of the block under `pos` of `track`: a note's name, absolute pitch, length in note
// values and velocity; a chord's name; a phrase's name; a label's text, a value, a link's leaf.
// Empty when no block is there or the row is not drawn.
CkvString tip(const MedtTrack& track, int32_t pos);

}  // namespace medt_block_text
