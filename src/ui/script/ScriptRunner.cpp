#include "ui/script/ScriptRunner.h"

#include <cstdio>
#include <cstring>

#include "edit/MedtMusic.h"
#include "model/core/MseqDesk.h"
#include "model/library/MseqMusic.h"
#include "platform/TextCodec.h"

namespace kv_ui {

// --- the user port ---------------------------------------------------------------------------

namespace {
// The text in UTF-8 on one line: line breaks shown as \n.
std::string one_line(const CkvString& cp932) {
    std::string out;
    for (char c : kv_codec::utf8_from_cp932(cp932)) {
        if (c == '\n') {
            out += "\\n";
        } else if (c != '\r') {
            out += c;
        }
    }
    return out;
}
}  // namespace

void ScriptUserPort::message(const char* label, const CkvString& text) {
    std::printf("%s: %s\n", label, one_line(text).c_str());
    if (!answers_.empty() && answers_.front() == "ok") answers_.pop_front();
}

void ScriptUserPort::warn(const CkvString& text) {
    message("warn", text);
}

void ScriptUserPort::inform(const CkvString& text) {
    message("inform", text);
}

bool ScriptUserPort::ask_yes_no(const CkvString& text) {
    ++questions_;
    std::printf("ask: %s\n", one_line(text).c_str());
    if (answers_.empty() || (answers_.front() != "yes" && answers_.front() != "no")) {
        failure_ = answers_.empty() ? "the program asked a question and no answer was queued"
                                    : "the queued answer '" + answers_.front() +
                                          "' does not fit a Yes/No question";
        return false;
    }
    const bool yes = answers_.front() == "yes";
    answers_.pop_front();
    return yes;
}

MedtAnswer ScriptUserPort::ask_yes_no_cancel(const CkvString& text, MedtAnswer) {
    ++questions_;
    std::printf("ask: %s\n", one_line(text).c_str());
    if (answers_.empty() || answers_.front() == "ok") {
        failure_ = answers_.empty()
                       ? "the program asked a question and no answer was queued"
                       : "the queued answer 'ok' does not fit a Yes/No/Cancel question";
        return MedtAnswer::Cancel;
    }
    const std::string a = answers_.front();
    answers_.pop_front();
    return a == "yes" ? MedtAnswer::Yes : a == "no" ? MedtAnswer::No : MedtAnswer::Cancel;
}

bool ScriptUserPort::queue(const std::string& answer) {
    if (answer != "yes" && answer != "no" && answer != "cancel" && answer != "ok") return false;
    answers_.push_back(answer);
    return true;
}

std::string ScriptUserPort::take_failure() {
    std::string f;
    f.swap(failure_);
    return f;
}

// --- the session -----------------------------------------------------------------------------

ScriptSession::ScriptSession() = default;

ScriptSession::~ScriptSession() {
    close();
}

bool ScriptSession::open(const std::string& library, const std::string& leaf, std::string* error) {
    close();
    leaf_ = std::make_unique<LibraryLeaf>();
    if (!leaf_->open(library, error)) {
        leaf_.reset();
        return false;
    }
    music_ = leaf_->find(leaf, error);
    if (!music_) {
        leaf_.reset();
        return false;
    }
    MgenRef* made = MseqDesk::instance().editor_of(music_);
    editor_ = made ? static_cast<MedtMusicInvoker*>(made->cast(MKIND_EDT_MUSIC_INVOKER)) : nullptr;
    if (!editor_) {
        *error = "cannot open '" + leaf + "' in an editor";
        close();
        return false;
    }
    editor_->sequence_clipboard = &sequence_clipboard;
    editor_->leaf_clipboard = &leaf_clipboard;
    editor_->port = &port;
    // The lines between two `group` lines are one gesture: they form one undo group.
    editor_->set_auto_advance(0);
    return true;
}

void ScriptSession::close() {
    if (music_) MseqDesk::instance().close_editor(music_);
    editor_ = nullptr;
    music_ = nullptr;
    leaf_.reset();
}

// --- the runner ------------------------------------------------------------------------------

bool script_split(const std::string& text, std::vector<std::string>* words) {
    words->clear();
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i >= text.size()) break;
        std::string word;
        bool quoted = false;
        while (i < text.size() && (quoted || (text[i] != ' ' && text[i] != '\t'))) {
            const char c = text[i++];
            if (c == '"') {
                quoted = !quoted;
            } else if (quoted && c == '\\' && i < text.size()) {
                word += text[i++];
            } else {
                word += c;
            }
        }
        if (quoted) return false;
        words->push_back(word);
    }
    return true;
}

void ScriptRunner::add(const std::vector<ScriptVerb>& verbs) {
    verbs_.insert(verbs_.end(), verbs.begin(), verbs.end());
}

const ScriptVerb* ScriptRunner::find(const ScriptLine& line, size_t* words) const {
    const std::string two = line.args.empty() ? "" : line.verb + " " + line.args[0];
    for (const ScriptVerb& v : verbs_) {
        if (!two.empty() && two == v.name) {
            *words = 2;
            return &v;
        }
    }
    for (const ScriptVerb& v : verbs_) {
        if (line.verb == v.name) {
            *words = 1;
            return &v;
        }
    }
    return nullptr;
}

int ScriptRunner::run(std::istream& in, ScriptSession& session) {
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
        ++number;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const size_t start = text.find_first_not_of(" \t");
        if (start == std::string::npos || text[start] == '#') continue;
        ScriptLine line;
        line.number = number;
        std::vector<std::string> words;
        std::string error;
        if (!script_split(text, &words)) {
            error = "unterminated quote";
        } else {
            line.verb = words[0];
            line.args.assign(words.begin() + 1, words.end());
            size_t used = 0;
            const ScriptVerb* verb = find(line, &used);
            if (!verb) {
                error = "unknown step '" + line.verb + "'";
            } else {
                if (used == 2) line.args.erase(line.args.begin());
                // The free text after the step's name words, as written.
                size_t at = start;
                for (size_t w = 0; w < used; ++w) {
                    at = text.find_first_not_of(" \t", at);
                    at = text.find_first_of(" \t", at);
                }
                const size_t rest =
                    at == std::string::npos ? std::string::npos : text.find_first_not_of(" \t", at);
                if (rest != std::string::npos) line.rest = text.substr(rest);
                if (verb->run(session, line, &error)) {
                    error.clear();
                } else if (error.empty()) {
                    error = "the step failed";
                }
            }
        }
        if (!error.empty()) {
            std::fflush(stdout);
            std::fprintf(stderr, "line %d: %s\n", number, error.c_str());
            return 1;
        }
    }
    std::fflush(stdout);
    return 0;
}

// --- common steps ----------------------------------------------------------------------------

namespace {

bool step_answer(ScriptSession& session, const ScriptLine& line, std::string* error) {
    if (line.args.size() != 1 || !session.port.queue(line.args[0])) {
        *error = "answer takes one of yes, no, cancel, ok";
        return false;
    }
    return true;
}

}  // namespace

const std::vector<ScriptVerb>& script_common_verbs() {
    static const std::vector<ScriptVerb> verbs = {{"answer", step_answer}};
    return verbs;
}

}  // namespace kv_ui
