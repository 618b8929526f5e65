#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>

namespace kv_ui {

// The longest script line: far above any real step, low enough that an endless line (a script
// read from /dev/zero) is refused before it fills the memory.
inline constexpr size_t kScriptLineMax = 65536;

// Reads a script line by line: LF ends a line, one CR before it is dropped, and a line longer
// than kScriptLineMax bytes is refused without reading the rest of it. UI thread (one reader to
// one stream).
class ScriptLineReader {
public:
    enum class Status { line, end, too_long };

    explicit ScriptLineReader(std::istream& in) : in_(in) {}
    // The next line into `text` (its number in number()); `end` when the input is used up (a
    // last line without LF is still a line), `too_long` for a line over the limit (`text` then
    // holds its start). Never throws.
    Status next(std::string* text);
    // The number of the line next() gave last, counting from 1; 0 before the first.
    int number() const { return number_; }

private:
    std::istream& in_;
    int number_ = 0;
};

// `text` made safe to print inside a message: at most `max` of its bytes (cut between two
// characters, "..." marking the cut), control bytes, bytes that are no UTF-8 and a byte-order
// mark written out visibly ("\x1B", "\uFEFF"). Any thread.
std::string script_quote(std::string_view text, size_t max = 80);

}  // namespace kv_ui
