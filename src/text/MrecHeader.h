#pragma once

#include <cstdint>
#include <string_view>

#include "model/core/CkvString.h"
#include "model/core/MseqType.h"

class AnalyzeAttributes;

// Target categories of a file: the high 16 bits of the types it can hold.
enum : uint32_t {
    MREC_TARGET_ROOM = 0x10000,
    MREC_TARGET_BOOK = 0x20000,
    MREC_TARGET_LEAF = 0x30000,
    MREC_TARGET_CORE = 0x7F0000,
};

// The record layout revision this program writes, and the first one whose files carry more than
// it knows (same generation, newer revision).
constexpr uint32_t MREC_DATA_VERSION = 0x0100000D;
constexpr uint32_t MREC_DATA_VERSION_FUTURE = 0x0100000E;

// What a file's `header` block says about it. Unknown or missing entries read as 0 or empty.
struct MrecHeader {
    uint32_t soft_version = 0;  // writer's version, major<<24 | minor<<16 | build<<8 | revision
    uint32_t data_version = 0;  // record layout version
    uint32_t target = 0;        // one of MREC_TARGET_*, or 0
    MSEQ_TYPE type = 0;         // the stored entity's type, or 0
    CkvString name;             // the stored entity's display name (CP932)
};

// The category of a target word ("room", "book", "leaf", "core"); 0 for any other text.
// Any thread.
uint32_t mrec_target_from_word(std::string_view word);

// The word of a target category; nullptr for 0 or an unknown category. Any thread.
const char* mrec_target_word(uint32_t target);

// The target category a file holding an entity of this type is written for (the type's high
// 16 bits when they name a category); 0 when such an entity has no header. Any thread.
uint32_t mrec_target_of_type(MSEQ_TYPE type);

// Converts the body of a `header` block into `out` and checks it: returns 0, or
// MREC_E_NO_SOFT_VERSION, MREC_E_NEWER_LAYOUT, MREC_E_BAD_TARGET or MREC_E_BAD_TYPE. `out` is
// filled in either case. Any thread.
uint32_t mrec_read_header(const AnalyzeAttributes& body, MrecHeader& out);
