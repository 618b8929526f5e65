#include "app/MAppScriptPort.h"

#include "platform/TextCodec.h"

std::string mapp_one_line(const CkvString& text) {
    const std::string utf8 = kv_codec::utf8_from_cp932(text);
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

void MAppScriptPort::report(const char* kind, const CkvString& text, const char* answer) {
    std::string line = std::string(kind) + ": " + mapp_one_line(text);
    if (answer) line += std::string(" -> ") + answer;
    log.push_back(line);
    if (sink_) sink_(line);
}

void MAppScriptPort::warn(const CkvString& text) {
    report("warn", text);
}

void MAppScriptPort::inform(const CkvString& text) {
    report("info", text);
}

bool MAppScriptPort::ask_yes_no(const CkvString& text) {
    MAppAnswer a = MAppAnswer::yes;
    if (answers_.empty()) {
        ++defaults_used;
    } else {
        a = answers_.front();
        answers_.pop_front();
    }
    // A Yes/No box has no Cancel: a queued Cancel closes it as No would.
    const bool yes = a == MAppAnswer::yes;
    report("ask", text, yes ? "yes" : "no");
    return yes;
}

MAppAnswer MAppScriptPort::ask_yes_no_cancel(const CkvString& text) {
    MAppAnswer a = MAppAnswer::cancel;
    if (answers_.empty()) {
        ++defaults_used;
    } else {
        a = answers_.front();
        answers_.pop_front();
    }
    report("ask", text, a == MAppAnswer::yes ? "yes" : a == MAppAnswer::no ? "no" : "cancel");
    return a;
}

bool MAppScriptPort::choose_file(const MAppFileRequest& request, CkvString* path) {
    last_request = request;
    if (files_.empty()) return false;
    const CkvString next = files_.front();
    files_.pop_front();
    if (next == nullopt_marker()) return false;
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

void MAppScriptPort::refresh(MAppRefresh what, const MseqObject*, const MseqEntity*) {
    if (what == MAppRefresh::raise) ++raise_count;
}
