#include "ui/Terminal.h"

#include <cstdio>

#include "app/MAppProblem.h"
#include "model/core/CkvText.h"
#include "model/core/MseqType.h"
#include "platform/FileSystem.h"
#include "text/AnalyzeErrors.h"

namespace kv_ui {

std::string terminal_quoted(const CkvString& cp932) {
    const std::string utf8 = ckv_to_utf8(cp932);
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string terminal_text(const CkvString& cp932) {
    return ckv_to_utf8(cp932);
}

std::string code_text(uint32_t code) {
    char buffer[32];
    if (code < 0x10000) {
        std::snprintf(buffer, sizeof buffer, "%u", code);
    } else {
        std::snprintf(buffer, sizeof buffer, "0x%x", code);
    }
    return buffer;
}

std::string code_message(uint32_t code) {
    return code_text(code) + " (" + analyze_error_text(code) + ")";
}

std::string path_text(const CkvString& windows_path) {
    const std::string host = kv_fs::to_host(windows_path);
    return host.empty() ? terminal_text(windows_path) : host;
}

std::string problem_message(const MrecLoadProblem& p) {
    return path_text(p.path) + ": " + problem_reason(p);
}

std::string problem_reason(const MrecLoadProblem& p) {
    // One wording for the tools and the application's messages.
    return mapp_problem_reason(p);
}

std::string type_text(uint32_t type) {
    if (const char* name = mseq_type_constant(type)) return name;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08x", type);
    return buffer;
}

}  // namespace kv_ui
