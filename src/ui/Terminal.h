#pragma once

#include <cstdint>
#include <string>

#include "model/core/CkvString.h"

namespace kv_ui {

// A CP932 text for the terminal: UTF-8 in double quotes, `\` and `"` escaped. UI thread.
std::string terminal_quoted(const CkvString& cp932);

// A CP932 text as plain UTF-8. UI thread.
std::string terminal_text(const CkvString& cp932);

// An error code as the tools print it: decimal below 0x10000, else 0x and lower-case hex.
std::string code_text(uint32_t code);

// The `MTYPE_*` name of a type, or 0x%08x when it has none.
std::string type_text(uint32_t type);

}  // namespace kv_ui
