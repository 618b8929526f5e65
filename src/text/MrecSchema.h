#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// The record types of the text format: their fields in file order and the constant tables that
// travel with them. The writer declares exactly these fields in this order; readers look each
// field up by name in the file's own declaration. Read-only tables; any thread.

// Number formats of written values.
enum class MrecNumFormat {
    Dec,   // %d
    Dec2,  // %2d
    Hex8,  // 0x%08x
    Hex2,  // 0x%02x
    Hex,   // 0x%x
};

struct MrecConst {
    const char* name;
    uint32_t value;
};

// A constant table, written as a `define` block and used for symbolic values.
struct MrecConstTable {
    const char* name;
    MrecNumFormat format;
    std::vector<MrecConst> constants;
};

struct MrecFieldDecl {
    const char* type;  // NUM, STR, VAR or a record type
    const char* name;
    bool array = false;
};

struct MrecTypeDecl {
    const char* name;
    const char* define;  // the constant table written just before the declaration, or nullptr
    std::vector<MrecFieldDecl> fields;
};

namespace mrec_schema {

// The declaration of a record type; nullptr for an unknown name.
const MrecTypeDecl* find_type(std::string_view name);

// A constant table by name (MSEQ_TRACK_FLAGS, MSEQ_NOTE_BLOCK_TYPE, MSEQ_REFER_BLOCK_MODE,
// MSEQ_MAP_STAGE_SETUP, MSEQ_CONFIG_PLAY_MODE); nullptr for an unknown name.
const MrecConstTable* find_table(std::string_view name);

// The `MSEQ_TYPE` constant group a file holding object entries of this kind of container needs:
// book types for a room, leaf types for a book, track types for a music.
enum class TypeGroup { Books, Leaves, Tracks };
const MrecConstTable& type_group(TypeGroup group);

// The name of a constant of `table` with this value, or nullptr.
const char* constant_name(const MrecConstTable& table, uint32_t value);

}  // namespace mrec_schema
