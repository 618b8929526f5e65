#include "text/MrecFileStore.h"

bool MrecFileStore::load(MseqEntity* entity, const MseqFullPath& path, bool commit) {
    MrecCompiler compiler;
    const bool ok = compiler.load(entity, path, commit);
    last_error = ok ? 0 : compiler.result.error;
    if (!ok || compiler.found != MrecCompiler::Found::text) {
        try {
            problems.push_back(compiler.problem(path));
        } catch (const std::exception&) {
            // The note is lost; the load's result stands.
        }
    }
    return ok;
}

bool MrecFileStore::save(MseqEntity* entity) {
    return MrecCompiler::save(entity);
}
