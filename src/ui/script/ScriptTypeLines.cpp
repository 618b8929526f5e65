// The typed note entry of `korvante script`: `type TEXT` feeds the keys the music view's
// timeline takes while typing notes, and `note-value NAME` chooses the length they get.
#include <map>
#include <memory>
#include <string>

#include "edit/MedtMusic.h"
#include "edit/MedtNoteEntry.h"
#include "edit/MedtNoteValue.h"
#include "ui/script/ScriptRunner.h"

namespace kv_ui {

namespace {

// The note value of a session and the entry over its editor in use (made again, with the same
// value, when another music's editor takes over).
struct TypeState {
    MedtNoteValue value;
    std::unique_ptr<MedtNoteEntry> entry;
    MedtMusicInvoker* editor = nullptr;
};

TypeState& state_of(ScriptSession& s) {
    static std::map<ScriptSession*, TypeState> states;
    return states[&s];
}

MedtNoteEntry* entry_of(ScriptSession& s, std::string* error) {
    MedtMusicInvoker* editor = s.editor();
    if (!editor) {
        *error = "no music is open (use: open LIBRARY LEAF)";
        return nullptr;
    }
    TypeState& st = state_of(s);
    if (!st.entry || st.editor != editor) {
        st.entry = std::make_unique<MedtNoteEntry>(*editor);
        st.editor = editor;
    }
    st.entry->set_value(st.value);
    return st.entry.get();
}

// Why a key was not typed; empty for the keys that did what they mean.
std::string problem(MedtEntryResult result, char key) {
    switch (result) {
        case MedtEntryResult::not_a_key:
            return std::string("'") + key + "' is not a key of this track's note type";
        case MedtEntryResult::read_only:
            return "the music cannot be edited now";
        case MedtEntryResult::no_track:
            return "the current track is not a note track (use: track NAME)";
        case MedtEntryResult::off_grid:
            return "the note value does not fit the track's grid";
        case MedtEntryResult::refused:
            return "the music refused the note";
        default:
            return {};
    }
}

// `type TEXT`: every key of TEXT in turn; '<' stands for Backspace. The first key that cannot
// be typed ends the step with its reason (what the keys before it did stays).
bool step_type(ScriptSession& s, const ScriptLine& line, std::string* error) {
    MedtNoteEntry* entry = entry_of(s, error);
    if (!entry) return false;
    if (line.rest.empty()) {
        *error = "usage: type TEXT";
        return false;
    }
    for (char c : line.rest) {
        const char key = c == '<' ? '\b' : c;
        const std::string why = problem(entry->key(key), c);
        if (!why.empty()) {
            *error = why;
            return false;
        }
    }
    return true;
}

bool step_note_value(ScriptSession& s, const ScriptLine& line, std::string* error) {
    MedtNoteValue value;
    if (line.args.size() != 1 || !MedtNoteValue::parse(line.args[0], &value)) {
        *error =
            "usage: note-value whole|half|quarter|8th|16th|32nd (dotted-... triplet-..., "
            "or 4 8. 8t)";
        return false;
    }
    state_of(s).value = value;
    if (state_of(s).entry) state_of(s).entry->set_value(value);
    return true;
}

}  // namespace

MedtNoteValue script_note_value(ScriptSession& s) {
    return state_of(s).value;
}

const std::vector<ScriptVerb>& script_type_verbs() {
    static const std::vector<ScriptVerb> verbs = {
        {"type", step_type,
         "TEXT: type notes at the cursor as the music view does (C-B # - , . on pitches, digits "
         "on degrees, n for a negative chord degree, r a rest, < Backspace)"},
        {"note-value", step_note_value,
         "NAME: the length of typed notes (whole to 32nd, dotted-NAME, triplet-NAME)"},
    };
    return verbs;
}

}  // namespace kv_ui
