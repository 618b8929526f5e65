#include "ui/script/ScriptRunner.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/MFrame.h"
#include "edit/MedtMusic.h"
#include "model/core/MseqDesk.h"
#include "model/library/MseqMusic.h"
#include "platform/TextCodec.h"

namespace kv_ui {

// --- the session -----------------------------------------------------------------------------

ScriptSession::ScriptSession()
    : port([](const std::string& line) {
          std::printf("%s\n", line.c_str());
          std::fflush(stdout);
      }) {
    port.strict = true;
}

ScriptSession::~ScriptSession() {
    close();
    app.reset();
}

MedtMusicInvoker* ScriptSession::editor() {
    MFrame* f = frame();
    if (!f) return editor_;
    MseqEntity* shown = f->shown_file();
    MgenRef* made = shown ? MseqDesk::instance().editor_of(shown) : nullptr;
    auto* e = made ? static_cast<MedtMusicInvoker*>(made->cast(MKIND_EDT_MUSIC_INVOKER)) : nullptr;
    if (e && e != app_editor_) {
        // The lines between two `group` lines are one gesture: they form one undo group.
        e->set_auto_advance(0);
        app_editor_ = e;
    }
    return e;
}

bool ScriptSession::open(const std::string& library, const std::string& leaf, std::string* error) {
    if (frame()) return script_open_in_app(*this, library, leaf, error);
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

bool script_parse_int(const std::string& text, long long lo, long long hi, long long* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end || errno || v < lo || v > hi) return false;
    *out = v;
    return true;
}

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
