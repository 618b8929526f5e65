#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "model/core/CkvBase.h"

// True for a CP932 (Shift-JIS) lead byte: the byte and the one after it form one character, and
// the trail byte may be any value, 0x5C '\' included. Any thread.
constexpr bool kv_is_lead_byte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Length in bytes of the character starting at s[i]: 2 for a lead byte with its trail byte, else 1
// (a lead byte at the very end counts alone). Returns 0 when i is at or past the end. Any thread.
inline std::size_t kv_char_length(std::string_view s, std::size_t i) {
    if (i >= s.size()) return 0;
    if (kv_is_lead_byte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) return 2;
    return 1;
}

// A byte string that is also a CkvBase. Names, texts and paths are CP932 bytes held in it.
template <class C>
class CkvStringBase : public CkvBase, public std::basic_string<C> {
public:
    static constexpr uint32_t kClassCode = 0x1101;
    using std::basic_string<C>::basic_string;
    using std::basic_string<C>::operator=;

    CkvStringBase() = default;
    CkvStringBase(const std::basic_string<C>& s) : std::basic_string<C>(s) {}
    CkvStringBase(std::basic_string<C>&& s) : std::basic_string<C>(std::move(s)) {}
    CkvStringBase(std::basic_string_view<C> s) : std::basic_string<C>(s) {}

    // Any thread; never fails.
    uint32_t class_code() const override { return kClassCode; }

    const std::basic_string<C>& str() const { return *this; }
    std::basic_string<C>& str() { return *this; }
};

// The program's string: CP932 bytes.
class CkvString : public CkvStringBase<char> {
public:
    using CkvStringBase<char>::CkvStringBase;
    using CkvStringBase<char>::operator=;
    CkvString() = default;

    // Position of the first byte c that stands as a character of its own (never a trail byte),
    // at or after pos; npos when there is none. Any thread.
    std::size_t find_char(char c, std::size_t pos = 0) const;

    // Like find_char, but the last such position; npos when there is none. Any thread.
    std::size_t rfind_char(char c) const;

    // Case-insensitive comparison of ASCII letters, byte-exact for CP932 characters; used where
    // the system compares file paths. Any thread.
    static int compare_nocase(std::string_view a, std::string_view b);
};
