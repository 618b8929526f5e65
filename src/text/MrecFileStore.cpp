#include "text/MrecFileStore.h"

bool MrecFileStore::load(MseqEntity* entity, const MseqFullPath& path, bool commit,
                         MseqLoadProblem* problem) {
    MrecCompiler compiler;
    const bool ok = compiler.load(entity, path, commit);
    const bool reported = !ok || compiler.found != MrecCompiler::Found::text;
    if (problem) *problem = reported ? compiler.problem(path) : MseqLoadProblem{};
    if (reported) {
        try {
            problems.push_back(compiler.problem(path));
        } catch (const std::exception&) {
            // The note is lost; the load's result stands.
        }
    }
    return ok;
}

bool MrecFileStore::save(MseqEntity* entity) {
    last_save_error = kv_fs::file_error{};
    return MrecCompiler::save(entity, &last_save_error);
}
