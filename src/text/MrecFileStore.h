#pragma once

#include <cstdint>

#include "model/core/MseqFileStore.h"

// The desk's file store: loads and saves through a fresh compiler each time.
class MrecFileStore : public MseqFileStore {
public:
    bool load(MseqEntity* entity, const MseqFullPath& path, bool commit) override;
    bool save(MseqEntity* entity) override;
    // The error code of the last failed load; 0 after a success.
    uint32_t last_error = 0;
};
