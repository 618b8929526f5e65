#include "app/MAppScriptPort.h"
#include "model/core/CkvText.h"

std::string mapp_one_line(const CkvString& text) {
    const std::string utf8 = ckv_to_utf8(text);
    std::string out;
    for (char c : utf8) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c != '\r') {
            out += c;
        }
    }
    return out;
}

bool MAppScriptPort::queue(const std::string& word) {
    if (word != "yes" && word != "no" && word != "cancel" && word != "ok") return false;
    answers_.push_back(word);
    return true;
}

std::string MAppScriptPort::take_failure() {
    std::string f;
    f.swap(failure_);
    return f;
}

void MAppScriptPort::report(const char* kind, const CkvString& text, const char* answer) {
    std::string line = std::string(kind) + ": " + mapp_one_line(text);
    if (answer) line += std::string(" -> ") + answer;
    log.push_back(line);
    if (sink_) sink_(line);
}

void MAppScriptPort::acknowledge() {
    if (!answers_.empty() && answers_.front() == "ok") answers_.pop_front();
}

void MAppScriptPort::warn(const CkvString& text) {
    report("warn", text);
    acknowledge();
}

void MAppScriptPort::inform(const CkvString& text) {
    report("info", text);
    acknowledge();
}

void MAppScriptPort::status(const CkvString& text) {
    // The status bar is no message box: kept for tests, not reported.
    log.push_back("status: " + mapp_one_line(text));
}

bool MAppScriptPort::ask_yes_no(const CkvString& text) {
    ++questions_;
    std::string a = "yes";
    if (!answers_.empty() &&
        (answers_.front() == "yes" || answers_.front() == "no" || answers_.front() == "cancel")) {
        a = answers_.front();
        answers_.pop_front();
    } else {
        ++defaults_used;
        if (strict) {
            failure_ = answers_.empty() ? "the program asked a question and no answer was queued"
                                        : "the queued answer '" + answers_.front() +
                                              "' does not fit a Yes/No question";
            a = "no";
        }
    }
    // A Yes/No box has no Cancel: a queued Cancel closes it as No would.
    const bool yes = a == "yes";
    report("ask", text, yes ? "yes" : "no");
    return yes;
}

MAppAnswer MAppScriptPort::ask_yes_no_cancel(const CkvString& text) {
    switch (ask_yes_no_cancel(text, MedtAnswer::Cancel)) {
        case MedtAnswer::Yes:
            return MAppAnswer::yes;
        case MedtAnswer::No:
            return MAppAnswer::no;
        case MedtAnswer::Cancel:
            break;
    }
    return MAppAnswer::cancel;
}

MedtAnswer MAppScriptPort::ask_yes_no_cancel(const CkvString& text, MedtAnswer preset) {
    ++questions_;
    std::string a = preset == MedtAnswer::Yes ? "yes" : preset == MedtAnswer::No ? "no" : "cancel";
    if (!answers_.empty() && answers_.front() != "ok") {
        a = answers_.front();
        answers_.pop_front();
    } else {
        ++defaults_used;
        if (strict) {
            failure_ = answers_.empty()
                           ? "the program asked a question and no answer was queued"
                           : "the queued answer 'ok' does not fit a Yes/No/Cancel question";
            a = "cancel";
        }
    }
    report("ask", text, a.c_str());
    return a == "yes" ? MedtAnswer::Yes : a == "no" ? MedtAnswer::No : MedtAnswer::Cancel;
}

bool MAppScriptPort::choose_file(const MAppFileRequest& request, CkvString* path) {
    last_request = request;
    if (files_.empty()) return false;
    const CkvString next = files_.front();
    files_.pop_front();
    if (next == cancel_marker()) return false;
    *path = next;
    return true;
}

bool MAppScriptPort::run_dialog(MAppDialog, MAppFields& fields, const MAppDialogCheck& check) {
    last_fields = fields;
    while (!dialogs_.empty()) {
        for (const auto& [name, value] : dialogs_.front())
            fields.set(name, value);
        dialogs_.pop_front();
        last_fields = fields;
        if (!check || check(fields).accepted) return true;
    }
    return false;
}

void MAppScriptPort::progress_begin(const CkvString& text, int steps, bool cancellable) {
    progress_steps_ = steps;
    progress_shown_ = -1;
    log.push_back("progress: " + mapp_one_line(text) + (cancellable ? " (cancellable)" : ""));
}

bool MAppScriptPort::progress_step(int done) {
    // A step is kept once, however often the work's wait shows it again.
    if (done != progress_shown_)
        log.push_back("progress: " + std::to_string(done) + "/" + std::to_string(progress_steps_));
    progress_shown_ = done;
    return cancel_progress_at < 0 || done < cancel_progress_at;
}

void MAppScriptPort::progress_end() {
    log.push_back("progress: end");
}

void MAppScriptPort::refresh(MAppRefresh what, const MseqObject*, const MseqEntity*) {
    if (what == MAppRefresh::raise) ++raise_count;
}
