#pragma once

#include <vector>

#include "model/core/MseqFileStore.h"
#include "text/MrecCompiler.h"

// The desk's file store: loads and saves through a fresh compiler each time.
class MrecFileStore : public MseqFileStore {
public:
    // Loads through a fresh compiler; false when the file cannot be used, with the reason in
    // `problem` (may be null). User-interface thread.
    bool load(MseqEntity* entity, const MseqFullPath& path, bool commit,
              MseqLoadProblem* problem) override;
    // Saves crash-safe; false when the file could not be written, with the system's reason in
    // last_save_error (cleared by a save that worked). User-interface thread.
    bool save(MseqEntity* entity) override;
    kv_fs::file_error last_save_error;
    // A log of every load since the last clear that failed or found no file or an empty one, in
    // order: what a run read on its own (the chord maps, stage maps and phrases a music uses),
    // for a front end to warn about after it.
    std::vector<MrecLoadProblem> problems;
};
