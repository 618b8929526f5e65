#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "model/core/CkvString.h"
#include "model/core/MseqId.h"

class MedtChordEditor;
class MedtDegreePicker;
class MseqBlock;
class MseqMusic;
class MseqObject;
class MseqTrackNote;
class MseqTrackRefer;

// The areas of a note-track or phrase-track row, named by what a press there edits.
enum class MedtPressArea {
    Anchor,       // place, split, erase and join blocks
    Pitch,        // letter step / start-marker menu, or the length of the previous block
    Third,        // octave step / degree shift step
    Fourth,       // semitone step / fitting mode step
    StartLag,     // the note's own start lag
    EndLag,       // the note's own end lag
    Velocity,     // the note's velocity from the pointer's height
    VelocityMax,  // velocity 127
    VelocityMin,  // velocity 0
};

// The area named `name` ("anchor", "pitch", "third", "fourth", "start-lag", "end-lag",
// "velocity", "velocity-max", "velocity-min"); false when there is none. Any thread.
bool medt_press_area(std::string_view name, MedtPressArea* area);

// One press: the area, the position in the track's own grid, the button, whether the pointer
// moved onto the position with the button held, and for the velocity area the pointer's height
// from 0.0 (bottom) to 1.0 (top).
struct MedtPress {
    MedtPressArea area = MedtPressArea::Anchor;
    int32_t pos = 0;
    bool right = false;
    bool move = false;
    double height = 0.0;
};

// Where a press's changes go: the editor track's set-block operation, which posts one set-block
// command per call (position in the track's own grid; a null block erases). False when the
// command was refused. User-interface thread.
class MedtBlockSetter {
public:
    virtual ~MedtBlockSetter() = default;
    virtual bool set_block(int32_t pos, const MseqBlock* block) = 0;
};

// What a press asks of the front end. The defaults answer as a user who cancels. User-interface
// thread.
class MedtPressPort {
public:
    virtual ~MedtPressPort() = default;
    // The lag editor: shows `value` and returns true with the confirmed text (empty clears the
    // note's own lag), false when cancelled.
    virtual bool edit_number(int32_t value, CkvString* text);
    // The start-marker menu: returns the index of the chosen item, -1 when none was chosen.
    virtual int32_t choose_marker(const std::vector<CkvString>& items);
    // Selects the phrase leaf with this identifier (file number 2) in the library tree.
    virtual void select_phrase(MSEQ_ID id);
    // The degree picker of a chord track: returns the chosen palette slot, -1 for none.
    virtual int32_t pick_degree(const MedtDegreePicker& picker);
    // The chord editor on a chord of a chord track: true when closed with "セット" (the
    // editor's working copy is then the result).
    virtual bool edit_chord(MedtChordEditor& editor);
};

// What a press may need besides its track: the music the track belongs to (its note kind and
// its book), the leaf selected in the library tree, the front end and the setter, the editor
// track's drop-or-rename hook that takes a chosen start marker (when none is given the marker is
// set through the setter), and the phrase a new phrase block takes when the selected leaf is not
// a phrase of the music's own book: its map reference, after linking it into that book if need
// be, or 0 (having said why) when there is none. Without that hook only phrases of the music's
// own book are placed.
struct MedtPressContext {
    MseqMusic* music = nullptr;
    MseqObject* selected_leaf = nullptr;
    MedtPressPort* port = nullptr;
    MedtBlockSetter* setter = nullptr;
    std::function<bool(int32_t pos, const CkvString& marker)> drop_marker;
    std::function<MSEQ_ID()> place_phrase;
};

// The presses on the rows of a note track. Each returns true when it set at least one block;
// a press that would change nothing sets nothing. The caller groups one gesture's commands into
// one undo step. User-interface thread.
//
// In the anchor and pitch areas a press is "on a block" when a block starts at the position (the
// anchor marks where blocks start): elsewhere, a left press places a block (splitting the block
// it falls in) or makes the previous block end with the position. The other areas act on the
// block whose range holds the position. The right button erases the block under the pointer in
// the anchor area, and in the velocity area gives the velocity a new note has (100).
class MedtNotePress {
public:
    // Carries out a press (see the areas); true when a block was set, false when nothing changed
    // or the setter refused. A press with a null setter does nothing.
    static bool press(const MseqTrackNote& track, const MedtPress& press, MedtPressContext& ctx);
    // The lag in force for the note at `pos` (the note's own when its flag is set, else the
    // track's); false when no note starts there.
    static bool lag_in_force(const MseqTrackNote& track, int32_t pos, bool end, int32_t* value);
    // The lag editor's confirmed text for the note under `pos`: empty clears the note's own lag
    // flag; a number is clamped to -240 to 240, stored and flagged. False for no note, a text
    // that is not a number, or no change.
    static bool apply_lag_text(const MseqTrackNote& track, int32_t pos, bool end,
                               std::string_view text, MedtPressContext& ctx);
    // The note kind that a new note takes: the track's, or the music's drawing kind when the
    // track leaves it to the editor (0x8000).
    static uint32_t new_note_type(const MseqTrackNote& track, const MseqMusic* music);
};

// The presses on the rows of a phrase (reference) track. As for notes.
class MedtReferPress {
public:
    // Carries out a press; true when a block was set, false when nothing changed or the
    // setter refused. A press with a null setter does nothing.
    static bool press(const MseqTrackRefer& track, const MedtPress& press, MedtPressContext& ctx);
    // The start-marker menu of the reference at `pos`: "<ホーム>" and then the labels of the
    // referenced phrase's marker track. Empty when no reference is there or its phrase cannot
    // be opened.
    static std::vector<CkvString> marker_items(const MseqTrackRefer& track, int32_t pos,
                                               MedtPressContext& ctx);
    // Sets the start marker of the reference under `pos` to `name` (empty, or "<ホーム>", for
    // the phrase's beginning). False for no reference or no change.
    static bool apply_start_marker(const MseqTrackRefer& track, int32_t pos, const CkvString& name,
                                   MedtPressContext& ctx);
    // Sets the start marker of the reference under `pos` to the stored `marker` (empty for the
    // phrase's beginning). False for no reference or no change.
    static bool set_start_marker(const MseqTrackRefer& track, int32_t pos, const CkvString& marker,
                                 MedtPressContext& ctx);
    // The map reference (low 20 bits plus 0x200000) of the selected leaf when it is a phrase of
    // the music's own book; 0 otherwise.
    static MSEQ_ID selected_phrase(const MedtPressContext& ctx);
    // A phrase put down at `pos` (dropped from the library tree): a block of the selected phrase
    // starts there, as a press in the anchor area places one, or the block starting there takes
    // that phrase. True when a block was set.
    static bool place(const MseqTrackRefer& track, int32_t pos, MedtPressContext& ctx);
};
