#pragma once

#include <string>

class MseqEntity;

// Builds the complete text of an entity's file: magic, header, base types, the declarations its
// main record needs, and the main record. False (out untouched) when the entity's type has no
// main record, or it lacks content its record needs, or an embedded content has no record type.
// User-interface thread (it reads the model without locks).
bool mrec_write_entity(MseqEntity* entity, std::string* out);

// The main record type an entity type is written as ("MSEQ_ROOM", ...), or nullptr.
const char* mrec_main_record_type(unsigned type);

// The record type of a content kept inside its container's file ("MSEQ_MUSIC",
// "MSEQ_TRACK_NOTE", ...), or nullptr for types without one (root, header and part tracks
// among them, which are written as an empty record).
const char* mrec_content_record_type(unsigned type);
