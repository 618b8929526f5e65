#include "app/MAppProblem.h"

#include <cstdio>

#include "app/MAppTexts.h"
#include "model/core/CkvText.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "model/core/MseqType.h"
#include "platform/TextCodec.h"
#include "text/AnalyzeErrors.h"
#include "text/MrecCompiler.h"
#include "text/MrecReader.h"

namespace {

std::string code_text(uint32_t code) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, code < 0x10000 ? "%u" : "0x%x", code);
    return buffer;
}

}  // namespace

CkvString mapp_shown_path(const CkvString& windows_path) {
    const std::string host = kv_fs::to_host(windows_path);
    return host.empty() ? windows_path : ckv_from_utf8(host);
}

CkvString mapp_entered_path(const CkvString& typed) {
    if (typed.empty() || typed[0] != '/') return typed;
    return CkvString(kv_fs::from_host(kv_codec::utf8_from_cp932(typed)));
}

CkvString mapp_shown_append(const CkvString& folder, const CkvString& name) {
    if (folder.empty() || folder[0] != '/') return mseq_path::append(folder, name);
    if (name.empty()) return folder;
    return CkvString(folder.back() == '/' ? folder + name : folder + "/" + name);
}

std::string mapp_problem_reason(const MseqLoadProblem& p) {
    if (p.error == 0) return p.absent ? "no such file" : "the file is empty";
    std::string text = "error " + code_text(p.error) + " (" + analyze_error_text(p.error) + ")";
    if (p.error == MREC_E_READ_FAILED && p.file.kind != kv_fs::file_error::none)
        text += ": " + p.file.text();
    if (p.line)
        text += " at line " + std::to_string(p.line) + ", column " + std::to_string(p.column);
    // The place of a field that could not be used is where its record starts.
    if (!p.field.empty())
        text += ", in the field " + p.field.str() + " of the record starting there";
    if (p.hint == MREC_HINT_BOM) {
        text +=
            " (hint: the file starts with a UTF-8 byte-order mark; Korvante files begin "
            "directly with KORVANTE-TEXT-TYPE)";
    } else if (p.hint == MREC_HINT_UTF8) {
        text += " (hint: the file is UTF-8; Korvante files are CP932 (Shift-JIS))";
    }
    return text;
}

CkvString mapp_problem_lines(const MseqLoadProblem& problem) {
    if (!problem.reported()) return CkvString();
    return mapp_reason_lines(problem.path, CkvString(mapp_problem_reason(problem)));
}

CkvString mapp_reason_lines(const CkvString& windows_path, const CkvString& reason) {
    return CkvString(kv_codec::cp932_from_utf8(kv_text(mapp_msg::FILE_LINES_FILE)) +
                     mapp_shown_path(windows_path).str() +
                     kv_codec::cp932_from_utf8(kv_text(mapp_msg::FILE_LINE_REASON)) + reason.str());
}

CkvString mapp_save_lines(const CkvString& windows_path, const kv_fs::file_error& why) {
    const std::string reason =
        why.kind == kv_fs::file_error::none ? "the file could not be written" : why.text();
    return CkvString(kv_codec::cp932_from_utf8(kv_text(mapp_msg::FILE_LINE_FILE)) +
                     mapp_shown_path(windows_path).str() +
                     kv_codec::cp932_from_utf8(kv_text(mapp_msg::FILE_LINE_REASON)) + reason);
}

MseqObject* mapp_file_owner(MseqObject* top, const MseqObject* node, const MseqFullPath& path) {
    for (MseqObject* n = top; n; n = n->next_in(top)) {
        if (n == node || n->is_with() || !n->entity()) continue;
        MseqFullPath other;
        if (mseq_path::resolve(n, false, &other) && CkvString::compare_nocase(other, path) == 0)
            return n;
    }
    return nullptr;
}

CkvString mapp_shared_file_reason(MseqObject* top, MseqObject* node, const MseqFullPath& path) {
    const MseqObject* owner = mapp_file_owner(top, node, path);
    if (!owner) return CkvString();
    const std::string what = "its path \"" + node->path.str() + "\" names ";
    std::string whose;
    if (owner == top) {
        whose = "the library file itself";
    } else if (mseq_type_category(owner->type) == MCAT_BOOK) {
        const bool own = mseq_find_book_ancestor(node) == owner;
        whose = std::string("the file of ") + (own ? "its own book" : "the book") + " \"" +
                owner->name.str() + "\"";
    } else {
        const char* kind = owner->type == MTYPE_LEAF_MUSIC    ? "music"
                           : owner->type == MTYPE_LEAF_PHRASE ? "phrase"
                                                              : "leaf";
        whose = std::string("the file of the ") + kind + " \"" + owner->name.str() + "\"";
    }
    return CkvString(what + whose + ", not a file of its own");
}
