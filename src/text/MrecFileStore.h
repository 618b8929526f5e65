#pragma once

#include <cstdint>
#include <vector>

#include "model/core/MseqFileStore.h"
#include "text/MrecCompiler.h"

// The desk's file store: loads and saves through a fresh compiler each time.
class MrecFileStore : public MseqFileStore {
public:
    // Loads through a fresh compiler; false when the file cannot be used (see last_error and
    // problems). User-interface thread.
    bool load(MseqEntity* entity, const MseqFullPath& path, bool commit) override;
    // Saves crash-safe; false when the file could not be written. User-interface thread.
    bool save(MseqEntity* entity) override;
    // The error code of the last failed load; 0 after a success.
    uint32_t last_error = 0;
    // Every load since the last clear that failed or found no file or an empty one, in order,
    // so that a front end can say which file a music could not use and why.
    std::vector<MrecLoadProblem> problems;
};
