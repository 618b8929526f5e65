#pragma once

#include <string>
#include <string_view>

// Conversions between the program's CP932 bytes and UTF-8, through glibc iconv.
namespace kv_codec {

// Converts UTF-8 text (source literals, command-line arguments) into CP932. Characters CP932
// cannot hold become '?'. Returns an empty string only for empty input. Any thread.
std::string cp932_from_utf8(std::string_view utf8);

// The first character of UTF-8 text that CP932 cannot hold, or the first bytes that are not
// UTF-8, as the part of `utf8` it spans; empty when the whole text converts. Any thread.
std::string_view cp932_unconvertible(std::string_view utf8);

// Converts CP932 bytes into UTF-8 for the terminal. Bytes that are not valid CP932 become U+FFFD.
// Any thread.
std::string utf8_from_cp932(std::string_view cp932);

}  // namespace kv_codec
