#pragma once

#include <cstdint>
#include <deque>
#include <istream>
#include <memory>
#include <string>
#include <vector>

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

// The user port of a headless script: questions are answered from the queue filled by `answer`
// lines and printed as "ask: TEXT" (UTF-8, line breaks as \n); warnings and information are
// printed as "warn: TEXT" and "inform: TEXT". A question without a fitting answer is answered
// No (Cancel for three-way questions) and remembered as the script's failure. UI thread.
class ScriptUserPort final : public MedtUserPort {
public:
    void warn(const CkvString& text) override;
    void inform(const CkvString& text) override;
    bool ask_yes_no(const CkvString& text) override;
    MedtAnswer ask_yes_no_cancel(const CkvString& text, MedtAnswer preset) override;

    // Queues "yes", "no", "cancel" or "ok"; false for any other word.
    bool queue(const std::string& answer);
    // The failure of the last unanswered question, cleared by reading it; empty when none.
    std::string take_failure();
    // How many questions were asked so far.
    int questions() const { return questions_; }

private:
    void message(const char* label, const CkvString& text);
    std::deque<std::string> answers_;
    std::string failure_;
    int questions_ = 0;
};

// What a running script works on: the opened library and music, its editor, the clipboards the
// application would own, and the user port. UI thread.
class ScriptSession {
public:
    ScriptSession();
    ~ScriptSession();
    ScriptSession(const ScriptSession&) = delete;
    ScriptSession& operator=(const ScriptSession&) = delete;

    // Opens a library (host path) and one of its musics or phrases in a music editor; false with
    // a reason.
    bool open(const std::string& library, const std::string& leaf, std::string* error);
    // Closes the editor (and with it the music's observer).
    void close();

    MedtMusicInvoker* editor() const { return editor_; }
    ScriptUserPort port;
    MseqObject sequence_clipboard;
    MseqObject leaf_clipboard;

private:
    std::unique_ptr<LibraryLeaf> leaf_;
    MseqMusic* music_ = nullptr;
    MedtMusicInvoker* editor_ = nullptr;
};

// A step of a script: runs one line; false with the reason in `error`.
using ScriptStep = bool (*)(ScriptSession& session, const ScriptLine& line, std::string* error);

// A step's name and function. A name of two words ("print cursor") matches the first two words
// of a line.
struct ScriptVerb {
    const char* name;
    ScriptStep run;
};

// Runs scripts: each area of the program adds its table of steps. UI thread.
class ScriptRunner {
public:
    void add(const std::vector<ScriptVerb>& verbs);
    // Runs every line of `in` in order. The first line that cannot run prints "line N: reason"
    // on standard error and ends the run with 1; 0 when every line ran.
    int run(std::istream& in, ScriptSession& session);

private:
    const ScriptVerb* find(const ScriptLine& line, size_t* words) const;
    std::vector<ScriptVerb> verbs_;
};

// Splits a line into words (double quotes group words; \" and \\ escape inside quotes); false
// for an unterminated quote.
bool script_split(const std::string& text, std::vector<std::string>* words);

// The steps of each area.
const std::vector<ScriptVerb>& script_common_verbs();  // answer
const std::vector<ScriptVerb>& script_edit_verbs();    // open, track, cursor, action, ...

}  // namespace kv_ui
