#pragma once

#include <cstdint>
#include <memory>

#include "model/core/MseqEntity.h"
#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"

// A fresh entity for a file read on its own (outside a library), with a node of its own when
// its type needs one to hold its tree (room, books, musics).
struct MrecFileEntity {
    std::unique_ptr<MseqObject> node;  // the owner node, when the type has one
    ref_ptr<MseqEntity> entity;
};

// Creates the entity for a file whose header names `type`; false for types that have no file
// of their own. User-interface thread.
bool mrec_make_file_entity(uint32_t type, MrecFileEntity& out);
