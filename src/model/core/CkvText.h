#pragma once

#include <string>
#include <string_view>

#include "model/core/CkvString.h"

// The program's one way between its CP932 strings and UTF-8: the texts written in the source,
// what people type and what the terminal shows. Built on the platform's converter (kv_codec).
// Any thread.

// The CP932 string of UTF-8 text; a character CP932 cannot hold becomes '?'. Empty only for
// empty input.
CkvString ckv_from_utf8(std::string_view utf8);

// The UTF-8 text of CP932 bytes; bytes that are not CP932 become U+FFFD.
std::string ckv_to_utf8(std::string_view cp932);
