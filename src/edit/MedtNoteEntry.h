#pragma once

#include <cstdint>
#include <string_view>

#include "edit/MedtNoteValue.h"
#include "model/block/MseqBlockNote.h"

class MedtMusicInvoker;
class MedtTrack;
class MseqTrackNote;

// What one typed key came to.
enum class MedtEntryResult {
    entered,    // a note was placed at the cursor and the cursor advanced
    changed,    // an accidental or octave mark changed the note just entered
    octave,     // an octave mark with no note to change: the next notes take it
    negative,   // the chord-degree minus: the next digit counts down
    rest,       // the cursor advanced without a note
    erased,     // the previous note was erased and the cursor went back to its start
    nothing,    // nothing to change (no note before the cursor, no note just entered)
    not_a_key,  // the key means nothing on this track's note type
    read_only,  // the music cannot be edited now (locked, for example while playing)
    no_track,   // the cursor is not on a note track
    off_grid,   // the note value does not fit the track's grid in whole steps
    refused,    // the music refused the change; it is as it was before the key
};

// Typed note entry on the music editor's current track: the keys of the typed text enter notes
// of the track's note type at the cursor with the chosen note value, and advance the cursor.
// Letters C D E F G A B name pitches on pure and tone notes, digits 1-7 scale degrees, digits
// 1-9 chord degrees ('n' before the digit counts down from the chord's top: "n1" is -1); any
// of these enters a hit on rhythm notes. After a note, '#' and '-' raise or lower it a
// semitone, ',' and '.' put it and the notes after it an octave lower or higher. 'r' is a rest:
// the cursor advances by the note value. Backspace ('\b') erases the previous note and puts
// the cursor at its start. Spaces are ignored.
//
// Pitches are typed as they sound. A tone note stores its pitch relative to the key of the
// chord map in effect at the cursor (a typed E in the key of D is written as the key's second
// letter D), its octave relative to the track's; a pure note keeps the typed pitch, octave 5
// holding middle C. Each note, with the accidentals and octave marks that follow it, is one
// undo group; a rest and an erasure are one each. Nothing is typed while the editor is
// read-only. User-interface thread only; the editor must outlive the entry.
class MedtNoteEntry {
public:
    explicit MedtNoteEntry(MedtMusicInvoker& editor) : editor_(editor) {}

    // One key of the typed text.
    MedtEntryResult key(char key);
    // Every key of `text` in turn; stops at the first key that is refused (read-only, no track,
    // off the grid, refused) and returns its result, else the last key's. Empty text: nothing.
    MedtEntryResult type(std::string_view text);
    // The keys alone: a note with the pitch fields of the current track's note type.
    MedtEntryResult enter(int32_t letter_or_degree, int32_t semi);
    MedtEntryResult rest();
    // A played key (0-127) entered as the note of the track's type that sounds it at the cursor
    // (medt_note_for_key), with the note value, as one undo group; not_a_key when no note of
    // the type sounds it there.
    MedtEntryResult enter_key(int32_t key);
    MedtEntryResult erase_previous();

    MedtMusicInvoker& editor() const { return editor_; }
    const MedtNoteValue& value() const { return value_; }
    void set_value(const MedtNoteValue& value) { value_ = value; }
    // The octave marks in force: 0 for the track's own octave (octave 5 for pure notes).
    int32_t octave_shift() const { return shift_; }

    // The note a typed pitch (natural letter 0-6 with accidental `semi`, `shift` octaves from
    // the track's octave) becomes on a note of `type`, in the tone key `tone_key` (semitones
    // above C) for tone notes. For degrees `letter_or_degree` is the degree counted from 0.
    static MseqBlockNote typed_note(uint32_t type, int32_t letter_or_degree, int32_t semi,
                                    int32_t shift, int32_t tone_key);
    // Writes `block` at `pos`, clearing the steps it covers (a note sounding into them ends where
    // it starts, the notes starting inside them go), as part of the open transaction; false
    // when a command was refused.
    static bool write(MedtTrack& track, const MseqTrackNote& notes, int32_t pos,
                      const MseqBlockNote& block);
    // The tone key in effect at `pos` of a note track's grid: the chord map's, 0 without one.
    static int32_t tone_key_at(const MseqTrackNote& track, int32_t pos);

private:
    struct Typed {
        int32_t letter = 0;  // the typed letter or degree (from 0)
        int32_t semi = 0;
    };

    // The current note track and its stored track, or null.
    MseqTrackNote* current_notes() const;
    MedtEntryResult check() const;
    MedtEntryResult place(const Typed& typed);
    // Writes `block` at `pos` as one undo group (left open) and advances the cursor past it.
    MedtEntryResult put(MedtTrack& track, const MseqTrackNote& notes, int32_t pos,
                        const MseqBlockNote& block);
    MedtEntryResult amend(int32_t semi_delta, int32_t octave_delta);
    MseqBlockNote build(const MseqTrackNote& track, const Typed& typed, int32_t pos) const;
    bool last_entry_still_there() const;

    MedtMusicInvoker& editor_;
    MedtNoteValue value_;
    int32_t shift_ = 0;
    bool negative_ = false;
    // The note entered last, while nothing else was edited since: where and what, as typed.
    bool has_last_ = false;
    MedtTrack* last_track_ = nullptr;
    int32_t last_pos_ = 0;
    Typed last_typed_;
    MseqBlockNote last_block_;
    size_t last_history_size_ = 0;
    uint32_t last_group_ = 0;
};
