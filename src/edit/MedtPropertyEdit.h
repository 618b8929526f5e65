#pragma once

#include <cstdint>

#include "model/block/MseqBlockWord.h"
#include "model/core/CkvString.h"

class MedtMusicInvoker;
class MedtTrack;

// Why a property was not set.
enum class MedtPropertyProblem {
    None,            // the property was set
    NoRow,           // the track lists no row of that number
    DisplayOnly,     // the row is shown only (or is ruled by the track's group)
    NotANumber,      // a number or link row was given text that is not a whole number
    BadChoiceIndex,  // "#K" with K not a whole number
    NoSuchChoice,    // "#K" past the row's choices, or a choice index past them
    NotAChoice,      // a choice row was given text that is neither a choice's text nor a number
    Declined,        // the editor declined the command (it is read-only)
    Failed,          // the command failed: the row refused the value, or the user said No
};

// Setting a track's property as the front ends do (the property list of the window, the script's
// property line): the text is read as the row's style requires and the change is posted to the
// editor as one undo group of its own, taken back whole when the command fails. The editor
// asks its questions (a beats change that moves blocks) through its user port. User-interface
// thread only.
class MedtPropertyEdit {
public:
    // The value `text` (CP932) stands for in listed row `number` of `track`: a text row takes the
    // text as it is; a typed number row and a link row a whole number (decimal with an optional
    // sign, or 0x and hexadecimal digits; blanks around it are ignored; a typed number beyond
    // the 32-bit range is held at its nearer end, and the row clamps it into its own range); a
    // choice row "#K" for its choice K, else the choice whose text is `text`, else a number.
    // None and `value` filled, or the problem (NoRow, DisplayOnly, NotANumber, BadChoiceIndex,
    // NoSuchChoice, NotAChoice) and `value` untouched.
    static MedtPropertyProblem parse(const MedtTrack& track, int32_t number, const CkvString& text,
                                     MseqBlockWord* value);
    // Parses `text` as above and sets the row to it (see set_value).
    static MedtPropertyProblem set_text(MedtMusicInvoker& editor, MedtTrack& track, int32_t number,
                                        const CkvString& text);
    // Sets listed row `number` to its choice `index`: NoRow, DisplayOnly or NoSuchChoice when it
    // has no such choice; otherwise as set_value.
    static MedtPropertyProblem set_choice(MedtMusicInvoker& editor, MedtTrack& track,
                                          int32_t number, int32_t index);
    // Posts the property command for row `number` of `track` with `value` as one undo group:
    // None when it was done, Declined while the editor is read-only, Failed otherwise (what the
    // group recorded before failing is undone).
    static MedtPropertyProblem set_value(MedtMusicInvoker& editor, MedtTrack& track, int32_t number,
                                         const MseqBlockWord& value);
};
