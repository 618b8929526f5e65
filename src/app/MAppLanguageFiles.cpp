#include "app/MAppLanguageFiles.h"

#include "model/core/MseqPathOps.h"
#include "platform/FileSystem.h"

namespace {

// `rest` with the language's folder inserted after its first folder; empty when `rest` has no
// folder to put it in.
std::string in_language_folder(std::string_view rest, kv_language language) {
    const size_t start = rest.starts_with(".\\") ? 2 : 0;
    const size_t slash = rest.find('\\', start);
    if (slash == std::string_view::npos || slash == start) return {};
    return std::string(rest.substr(0, slash + 1)) + std::string(kv_language_code(language)) + "\\" +
           std::string(rest.substr(slash + 1));
}

}  // namespace

std::string mapp_language_file(std::string_view rest, kv_language language) {
    if (language == kv_language::japanese) return std::string(rest);
    const std::string own = in_language_folder(rest, language);
    MseqFullPath path;
    if (own.empty() || !mseq_path::executable_path(own, &path)) return std::string(rest);
    return kv_fs::file_exists(mseq_path::canonicalize(path)) ? own : std::string(rest);
}

std::string mapp_language_file(std::string_view rest) {
    return mapp_language_file(rest, kv_current_language());
}
