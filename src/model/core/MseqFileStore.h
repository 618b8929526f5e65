#pragma once

#include "model/core/MseqPath.h"

class MseqEntity;

// Reads and writes entities from and to their files. The text layer provides it; the desk
// calls it whenever a file's content is needed or saved. User-interface thread.
class MseqFileStore {
public:
    virtual ~MseqFileStore() = default;
    // Fills the entity from the file at `path`; an absent file succeeds and leaves MEF_NEW set.
    // With `commit`, MEF_NEW is cleared after a read and the path becomes the entity's.
    virtual bool load(MseqEntity* entity, const MseqFullPath& path, bool commit) = 0;
    // Writes the entity to its path, crash-safe; clears MEF_NEW (and leaves the modified set)
    // on success. False keeps the file and the entity's flags as they were.
    virtual bool save(MseqEntity* entity) = 0;
};
