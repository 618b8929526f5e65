#pragma once

#include <cstdint>
#include <deque>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "app/MApp.h"
#include "app/MAppScriptPort.h"
#include "edit/MedtNoteValue.h"
#include "edit/MedtUserPort.h"
#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"
#include "ui/LibraryLeaf.h"

class MedtMusicInvoker;
class MseqMusic;

namespace kv_ui {

// One line of a script, split into words: the first names the step; `rest` is everything after
// it (for steps whose last argument is free text). Words may be quoted with double quotes.
struct ScriptLine {
    int number = 0;
    std::string verb;
    std::vector<std::string> args;
    std::string rest;
};

// The user port of a headless script: the application's scripted port in strict mode. Questions
// are answered from the queue filled by `answer` lines; every box is printed as it is shown
// ("warn: TEXT", "info: TEXT", "ask: TEXT -> ANSWER"; UTF-8, line breaks as \n). A question
// without a fitting answer is answered No (Cancel for three-way questions) and remembered as
// the script's failure. UI thread.
using ScriptUserPort = MAppScriptPort;

// What a running script works on: the application once `start` ran (its frame owns the library,
// the edit list and the editors), or else the library and music opened by `open` with their
// editor and the clipboards the application would own; and the user port. UI thread.
class ScriptSession {
public:
    ScriptSession();
    ~ScriptSession();
    ScriptSession(const ScriptSession&) = delete;
    ScriptSession& operator=(const ScriptSession&) = delete;

    // Opens a library (host path) and one of its musics or phrases in a music editor; false with
    // a reason. With the application started, the library is opened by the frame and the leaf
    // (a display path "Book/Folder/Leaf") through its open-link command.
    bool open(const std::string& library, const std::string& leaf, std::string* error);
    // Closes the editor (and with it the music's observer).
    void close();

    // The music editor the editing steps work on: the editor of the music the application shows,
    // else the one `open` made; nullptr when there is none.
    MedtMusicInvoker* editor();
    // The application's frame after `start`, or nullptr.
    MFrame* frame() const { return app ? app->frame() : nullptr; }

    ScriptUserPort port;
    std::unique_ptr<MApp> app;  // after `start`
    MseqObject sequence_clipboard;
    MseqObject leaf_clipboard;

private:
    std::unique_ptr<LibraryLeaf> leaf_;
    MseqMusic* music_ = nullptr;
    MedtMusicInvoker* editor_ = nullptr;
    MedtMusicInvoker* app_editor_ = nullptr;  // the application's editor set up for gestures
};

// A step of a script: runs one line; false with the reason in `error`.
using ScriptStep = bool (*)(ScriptSession& session, const ScriptLine& line, std::string* error);

// A step's name and function. A name of two words ("print cursor") matches the first two words
// of a line.
struct ScriptVerb {
    const char* name;
    ScriptStep run;
    const char* usage = nullptr;  // arguments and effect, for `korvante script --help`
};

// Runs scripts: each area of the program adds its table of steps. UI thread.
class ScriptRunner {
public:
    void add(const std::vector<ScriptVerb>& verbs);
    // Runs every line of `in` in order. The first line that cannot run prints "line N: reason"
    // on standard error and ends the run with 1; 0 when every line ran.
    int run(std::istream& in, ScriptSession& session);
    // Every step added, in order.
    const std::vector<ScriptVerb>& verbs() const { return verbs_; }

private:
    const ScriptVerb* find(const ScriptLine& line, size_t* words) const;
    std::vector<ScriptVerb> verbs_;
};

// Splits a line into words (double quotes group words; \" and \\ escape inside quotes); false
// for an unterminated quote.
bool script_split(const std::string& text, std::vector<std::string>* words);

// A whole decimal number (a sign allowed) within [lo, hi]; false, `out` untouched, for anything
// else. Any thread.
bool script_parse_int(const std::string& text, long long lo, long long hi, long long* out);

// The steps of each area.
const std::vector<ScriptVerb>& script_common_verbs();    // answer
const std::vector<ScriptVerb>& script_edit_verbs();      // open, track, cursor, action, ...
const std::vector<ScriptVerb>& script_app_verbs();       // start, menu, select, dialog, ...
const std::vector<ScriptVerb>& script_recovery_verbs();  // autosave, recover, ...
const std::vector<ScriptVerb>& script_type_verbs();      // type, note-value
const std::vector<ScriptVerb>& script_midi_verbs();      // midi-in, record

// The note value `note-value` chose for the session (a quarter before any).
MedtNoteValue script_note_value(ScriptSession& session);

// `open LIBRARY LEAF` while the application runs: opens the library in the frame (when it is not
// the open one) and the leaf through the open-link command; false with a reason.
bool script_open_in_app(ScriptSession& session, const std::string& library, const std::string& leaf,
                        std::string* error);

}  // namespace kv_ui
