#include "ui/script/ScriptRunner.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/MFrame.h"
#include "edit/MedtMusic.h"
#include "model/core/MseqDesk.h"
#include "model/core/parse_int.h"
#include "model/library/MseqMusic.h"
#include "platform/TextCodec.h"
#include "ui/script/ScriptLineReader.h"

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
        // The editor the application just showed starts with its cursor where a view's would.
        e->place_first_cursor();
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
    editor_->place_first_cursor();
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
    int64_t v = 0;
    if (parse_int(text, lo, hi, &v) != parse_int_error::none) return false;
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

namespace {

// An error message made safe to print: the words of the line it quotes cut to 80 bytes, and
// every control byte, non-UTF-8 byte and byte-order mark in it written out visibly.
std::string printable_error(const std::string& error, const ScriptLine& line) {
    std::string text = error;
    std::vector<std::string> quoted = line.args;
    quoted.push_back(line.verb);
    quoted.push_back(line.rest);
    for (const std::string& word : quoted) {
        if (word.size() <= 80) continue;
        const std::string shown = script_quote(word);
        for (size_t at = text.find(word); at != std::string::npos;
             at = text.find(word, at + shown.size()))
            text.replace(at, word.size(), shown);
    }
    return script_quote(text, std::string::npos);
}

// Why a line holding `bad` (a character CP932 has no code for, or bytes that are no UTF-8) is
// refused: every name, text and path the program keeps is CP932, and a character it cannot hold
// would silently become '?'.
std::string unconvertible_text(std::string_view bad) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bad[i]); };
    const size_t n = bad.size();
    uint32_t code = 0;
    if (n == 2 && byte(0) >= 0xC2 && (byte(1) & 0xC0) == 0x80) {
        code = (byte(0) & 0x1Fu) << 6 | (byte(1) & 0x3Fu);
    } else if (n == 3 && byte(0) >= 0xE0 && (byte(1) & 0xC0) == 0x80 && (byte(2) & 0xC0) == 0x80) {
        code = (byte(0) & 0x0Fu) << 12 | (byte(1) & 0x3Fu) << 6 | (byte(2) & 0x3Fu);
    } else if (n == 4 && byte(0) >= 0xF0 && (byte(1) & 0xC0) == 0x80 && (byte(2) & 0xC0) == 0x80 &&
               (byte(3) & 0xC0) == 0x80) {
        code = (byte(0) & 0x07u) << 18 | (byte(1) & 0x3Fu) << 12 | (byte(2) & 0x3Fu) << 6 |
               (byte(3) & 0x3Fu);
    }
    const std::string shown = script_quote(bad);
    if (code < 0x80) return "the bytes '" + shown + "' are not UTF-8";
    char number[16];
    std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(code));
    return "the character '" + shown + "' (" + number +
           ") cannot be kept: the program's texts are CP932, which has no such character";
}

}  // namespace

int ScriptRunner::run(std::istream& in, ScriptSession& session) {
    ScriptLineReader reader(in);
    std::string text;
    for (;;) {
        const ScriptLineReader::Status got = reader.next(&text);
        if (got == ScriptLineReader::Status::end) break;
        const int number = reader.number();
        if (got == ScriptLineReader::Status::too_long) {
            std::fflush(stdout);
            std::fprintf(stderr, "line %d: longer than %zu bytes\n", number, kScriptLineMax);
            return 1;
        }
        const size_t start = text.find_first_not_of(" \t");
        if (start == std::string::npos || text[start] == '#') continue;
        ScriptLine line;
        line.number = number;
        std::vector<std::string> words;
        std::string error;
        if (!script_split(text, &words)) {
            error = "unterminated quote in '" + script_quote(text) + "'";
        } else {
            line.verb = words[0];
            line.args.assign(words.begin() + 1, words.end());
            size_t used = 0;
            const ScriptVerb* verb = find(line, &used);
            if (!verb) {
                error = "unknown step '" + script_quote(line.verb) + "'";
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
                const std::string_view bad = kv_codec::cp932_unconvertible(text);
                if (!bad.empty()) {
                    error = unconvertible_text(bad);
                } else if (verb->run(session, line, &error)) {
                    error.clear();
                } else if (error.empty()) {
                    error = "the step failed";
                }
            }
        }
        if (!error.empty()) {
            std::fflush(stdout);
            std::fprintf(stderr, "line %d: %s\n", number, printable_error(error, line).c_str());
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
    static const std::vector<ScriptVerb> verbs = {
        {"answer", step_answer, "yes|no|cancel|ok: the answer to the next question"}};
    return verbs;
}

}  // namespace kv_ui
