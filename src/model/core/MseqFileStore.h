#pragma once

#include <cstdint>

#include "model/core/MseqPath.h"
#include "platform/FileSystem.h"

class MseqEntity;

// Why one file gave no content, as its reader found it, in a form a message can be made from.
// A load hands it back with its result; an empty path means there was nothing to report.
struct MseqLoadProblem {
    MseqFullPath path;
    uint32_t error = 0;   // the read's code; 0 when the file is absent or empty
    bool absent = false;  // with error 0: no file at the path (else the file is empty)
    uint32_t line = 0;    // where the text failed, 0 when it has no place
    uint32_t column = 0;
    CkvString field;    // the field that could not be used (its record starts at line, column)
    uint32_t hint = 0;  // what the bytes look like instead of the text format (reader's codes)
    kv_fs::file_error file;

    // True when a load reported something: a failure, or a file that was absent or empty.
    bool reported() const { return !path.empty(); }
};

// Reads and writes entities from and to their files. The text layer provides it; the desk
// calls it whenever a file's content is needed or saved. User-interface thread.
class MseqFileStore {
public:
    virtual ~MseqFileStore() = default;
    // Fills the entity from the file at `path`; an absent file succeeds and leaves MEF_NEW set.
    // With `commit`, MEF_NEW is cleared after a read and the path becomes the entity's.
    // `problem` (may be null) receives why the file gave no content: set on a failure and for an
    // absent or empty file, cleared when the file was read.
    virtual bool load(MseqEntity* entity, const MseqFullPath& path, bool commit,
                      MseqLoadProblem* problem) = 0;
    // Writes the entity to its path, crash-safe; clears MEF_NEW (and leaves the modified set)
    // on success. False keeps the file and the entity's flags as they were.
    virtual bool save(MseqEntity* entity) = 0;
};
