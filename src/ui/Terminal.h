#pragma once

#include <cstdint>
#include <string>

#include "model/core/CkvString.h"
#include "text/MrecCompiler.h"

namespace kv_ui {

// A CP932 text for the terminal: UTF-8 in double quotes, `\` and `"` escaped. UI thread.
std::string terminal_quoted(const CkvString& cp932);

// A CP932 text as plain UTF-8. UI thread.
std::string terminal_text(const CkvString& cp932);

// An error code as the tools print it: decimal below 0x10000, else 0x and lower-case hex.
std::string code_text(uint32_t code);

// An error code and what it means, for messages: "0x10012 (a `;` is expected)".
std::string code_message(uint32_t code);

// A file path for messages: the host path of a Windows-form path on drive Z:, else the path
// itself in UTF-8.
std::string path_text(const CkvString& windows_path);

// What went wrong with a file, naming it: "PATH: no such file or folder", "PATH: the file is
// empty", "PATH: error 0x10003 (the file cannot be read): not a regular file", "PATH: error 24
// (a string is not closed on its line) at line 3, column 9", with a hint when the text looks
// like UTF-8 or starts with a byte-order mark.
std::string problem_message(const MrecLoadProblem& problem);

// The same without the leading "PATH: ".
std::string problem_reason(const MrecLoadProblem& problem);

// The `MTYPE_*` name of a type, or 0x%08x when it has none.
std::string type_text(uint32_t type);

}  // namespace kv_ui
