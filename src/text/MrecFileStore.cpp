#include "text/MrecFileStore.h"

#include "text/MrecCompiler.h"

bool MrecFileStore::load(MseqEntity* entity, const MseqFullPath& path, bool commit) {
    MrecCompiler compiler;
    const bool ok = compiler.load(entity, path, commit);
    last_error = ok ? 0 : compiler.result.error;
    return ok;
}

bool MrecFileStore::save(MseqEntity* entity) {
    return MrecCompiler::save(entity);
}
