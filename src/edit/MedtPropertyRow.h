#pragma once

#include <cstdint>
#include <span>

#include "edit/MedtTexts.h"
#include "model/block/MseqBlockWord.h"
#include "model/core/CkvString.h"
#include "model/core/MseqId.h"
#include "model/core/MseqRange.h"

class MedtTrack;

// Edit styles of property rows.
enum : uint32_t {
    MPS_TYPED = 0x100,         // a typed number or text
    MPS_CHOICE = 0x200,        // a choice from a list
    MPS_CHOICE_CLEAR = 0x300,  // a choice that may also be cleared or switched (right click)
    MPS_LINK = 0x400,          // a link set by drag and drop, cleared by right click
    MPS_DISPLAY = 0x800,       // display only
};

// Property groups.
enum : int32_t {
    MPG_NORMAL = 1,
    MPG_CHANNEL = 2,  // per-channel entries written into the stage map
    MPG_LINK = 3,
};

// What asking for a property's choice answers.
enum : int {
    MCHOICE_PAST_END = 1,  // the index is past the last choice
    MCHOICE_ITEM = 2,      // a choice; MCHOICE_ITEM + 1 when it is the current value
    MCHOICE_CURRENT = 3,
    MCHOICE_NONE = 8,  // the property has no choices
};

// The numbers of the property rows: the key of each row, stored in commands (McmdSetProperty)
// and used by the front ends. Rows 1-5 and 10-13 mean the same in every kind that has them;
// from 16 on each kind numbers its own rows.
enum : int32_t {
    MROW_NAME = 1,   // every kind
    MROW_ID = 2,     // every kind
    MROW_TYPE = 3,   // every kind
    MROW_COUNT = 4,  // block sequences: the number of blocks
    MROW_BEATS = 5,  // block sequences: the grid, changed by the beats command
    MROW_TEXT = 6,   // text tracks: the text (edited in the text view, not listed)
    // The per-channel rows of note, phrase, message and group tracks (not inside a phrase).
    MROW_CHANNEL = 10,
    MROW_PROGRAM = 11,
    MROW_VOLUME = 12,
    MROW_PAN = 13,
};
// The chord track a note, phrase or group track uses: the same row in each.
enum : int32_t {
    MROW_CHORD_TRACK = 16,
};
// The root of a music.
enum : int32_t {
    MROW_MUSIC_TITLE = 16,
    MROW_MUSIC_COPYRIGHT = 17,
    MROW_MUSIC_STAGE_MAP = 18,
    MROW_MUSIC_CHORD_MAP = 19,
    MROW_MUSIC_CHORD_TRACK = 20,
    MROW_MUSIC_TEMPO = 21,
    MROW_MUSIC_TRANSPOSE = 22,
    MROW_MUSIC_BLANK_BARS = 23,
};
// The root of a phrase.
enum : int32_t {
    MROW_PHRASE_TEST_TEMPO = 21,
    MROW_PHRASE_TEST_SOUND = 24,
};
// Note tracks.
enum : int32_t {
    MROW_NOTE_CHORD_TRACK = MROW_CHORD_TRACK,
    MROW_NOTE_KIND = 17,
    MROW_NOTE_RHYTHM = 18,
    MROW_NOTE_OCTAVE = 19,
    MROW_NOTE_LENGTH_RATE = 20,
    MROW_NOTE_START_TIME = 21,
    MROW_NOTE_END_TIME = 22,
    MROW_NOTE_VELOCITY_RATE = 23,
};
// Phrase tracks.
enum : int32_t {
    MROW_REFER_CHORD_TRACK = MROW_CHORD_TRACK,
    MROW_REFER_OCTAVE = 17,
    MROW_REFER_START_TIME = 18,
    MROW_REFER_VELOCITY_RATE = 19,
};
// Message tracks.
enum : int32_t {
    MROW_MSG_FORM = 16,
    MROW_MSG_START_TIME = 17,
    MROW_MSG_POWER = 18,
};
// Group tracks and chord tracks.
enum : int32_t {
    MROW_GROUP_CHORD_TRACK = MROW_CHORD_TRACK,
    MROW_CHORD_MAP = 16,
};

// Row flags.
enum : uint32_t {
    MROWF_TEXT = 0x1,     // the value is a text (m_Name of the set value), not a number
    MROWF_CHANNEL = 0x2,  // a per-channel row: only in a music, display only inside a group
    MROWF_HIDDEN = 0x4,   // read and set, but not listed
};

// One property row of an editor-track kind, as its table declares it: what the list shows
// (number, style, group, name, help), the numbers it takes, and how its value is read, chosen
// and set. The functions get the track and the row itself; a missing function means the row
// shows nothing, has no choices or cannot be set. Number rows name their field and use the
// number functions below, which show it through `format` after adding `shown_offset`, clamp a
// set value into `range` and offer `range` as the choices. Tables are constant data; any
// thread may read them, the functions run on the user-interface thread.
struct MedtPropertyRow {
    using Read = CkvString (*)(const MedtTrack&, const MedtPropertyRow&);
    using Choose = int (*)(const MedtTrack&, const MedtPropertyRow&, int32_t index,
                           MseqBlockWord* value, CkvString* text);
    using Write = bool (*)(MedtTrack&, const MedtPropertyRow&, const MseqBlockWord& value);

    int32_t number;
    uint32_t style;  // MPS_*
    int32_t group;   // MPG_*
    medt_msg name;   // both shown in the current language (MedtTrack::properties)
    medt_msg help;
    uint32_t flags = 0;
    MseqRange range = {0, 0};
    Read read = nullptr;
    Choose choose = nullptr;
    Write write = nullptr;
    // The number a number row shows and sets; nullptr when the track has none.
    int32_t* (*field)(const MedtTrack&) = nullptr;
    const char* format = "%d";
    int32_t shown_offset = 0;
};

// A kind's table: its rows in ascending number.
using MedtPropertyTable = std::span<const MedtPropertyRow>;

// The number a set value carries: m_Index as a 32-bit two's complement number. Any thread.
inline int32_t medt_word_number(const MseqBlockWord& value) {
    return static_cast<int32_t>(value.m_Index);
}

// The number functions of number rows (see MedtPropertyRow).
CkvString medt_read_number(const MedtTrack& track, const MedtPropertyRow& row);
int medt_choose_number(const MedtTrack& track, const MedtPropertyRow& row, int32_t index,
                       MseqBlockWord* value, CkvString* text);
bool medt_write_number(MedtTrack& track, const MedtPropertyRow& row, const MseqBlockWord& value);

// The common rows 1-3 that start every table.
CkvString medt_read_common(const MedtTrack& track, const MedtPropertyRow& row);
bool medt_write_name(MedtTrack& track, const MedtPropertyRow& row, const MseqBlockWord& value);
inline constexpr MedtPropertyRow kMedtNameRow = {
    .number = MROW_NAME,
    .style = MPS_DISPLAY,
    .group = MPG_NORMAL,
    .name = medt_msg::ROW_NAME,
    .help = medt_msg::ROW_NAME_HELP,
    .flags = MROWF_TEXT,
    .read = medt_read_common,
    .write = medt_write_name,
};
inline constexpr MedtPropertyRow kMedtIdRow = {
    .number = MROW_ID,
    .style = MPS_DISPLAY,
    .group = MPG_NORMAL,
    .name = medt_msg::ROW_ID,
    .help = medt_msg::ROW_ID_HELP,
    .read = medt_read_common,
};
inline constexpr MedtPropertyRow kMedtTypeRow = {
    .number = MROW_TYPE,
    .style = MPS_DISPLAY,
    .group = MPG_NORMAL,
    .name = medt_msg::ROW_TYPE,
    .help = medt_msg::ROW_TYPE_HELP,
    .read = medt_read_common,
};
