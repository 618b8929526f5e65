#include "text/MrecFileStore.h"

#include "model/core/MseqEntity.h"
#include "model/core/MseqPathOps.h"
#include "model/core/MseqType.h"
#include "platform/FileSystem.h"

bool MrecFileStore::load(MseqEntity* entity, const MseqFullPath& path, bool commit,
                         MseqLoadProblem* problem) {
    // Opening a library (at start or later) clears what killed saves left in its folder.
    if (entity && entity->type() == MTYPE_ROOM)
        kv_fs::remove_stale_temporaries(mseq_path::remove_file_name(path));
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
