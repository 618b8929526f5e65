#pragma once

#include <array>
#include <cfenv>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "text/AnalyzeErrors.h"
#include "text/AnalyzeValue.h"

// How the evaluator reaches its symbols. Implementations answer 0 or an error code.
class analyze_refer {
public:
    virtual ~analyze_refer() = default;

    // Creates a new symbol cell named `name` and hands it out in `cell`. Returns 0; 255 for no
    // name; 50 when the name is not an identifier; 52 when it is defined already (the existing
    // cell is handed out). Thread of the parser.
    virtual uint32_t define_symbol(std::string_view name, analyze_value*& cell) = 0;

    // Hands out the cell of symbol `name`. Returns 0; 255 for no name; 49 for an unknown name.
    // Thread of the parser.
    virtual uint32_t find_symbol(std::string_view name, analyze_value*& cell) = 0;

    // Suspends the calling thread for the given time; returns 0. Any thread.
    virtual uint32_t sleep_ms(uint32_t milliseconds);
};

// Character classes of the bytes the text is made of.
enum : uint16_t {
    CC_IDENT_START = 0x001,  // A-Z a-z _
    CC_IDENT = 0x002,        // A-Z a-z _ 0-9
    CC_UPPER = 0x008,        // A-Z
    CC_LETTER = 0x010,       // A-Z a-z
    CC_LEAD_BYTE = 0x020,    // first byte of a two-byte CP932 character
    CC_UNARY = 0x040,        // + - ~ !
    CC_POINT = 0x080,        // .
    CC_DIGIT = 0x100,        // 0-9
    CC_BINARY = 0x200,       // 0 1
    CC_OCTAL = 0x400,        // 0-7
    CC_HEX = 0x800,          // 0-9 A-F a-f
};

// The character-class table: one class word per byte value.
class analyze_codemap : public analyze_refer {
public:
    analyze_codemap();

    // The class word of a byte; never fails. Any thread.
    uint16_t char_class(unsigned char c) const { return map_[c]; }
    bool is_class(char c, uint16_t cls) const {
        return (map_[static_cast<unsigned char>(c)] & cls) != 0;
    }

private:
    const uint16_t* map_;
};

// The symbol table: named value cells in byte-wise name order, alive as long as the parser.
class analyze_params : public analyze_codemap {
public:
    using SymbolMap = std::map<std::string, analyze_value, std::less<>>;

    uint32_t define_symbol(std::string_view name, analyze_value*& cell) override;
    uint32_t find_symbol(std::string_view name, analyze_value*& cell) override;

    // The symbols in name order and their count; never fail. Thread of the parser.
    const SymbolMap& symbols() const { return symbols_; }
    std::size_t symbol_count() const { return symbols_.size(); }
    void clear_symbols();

private:
    // Recently found symbols; map nodes never move, so the pointers stay good until cleared.
    struct CacheEntry {
        const std::string* name = nullptr;
        analyze_value* cell = nullptr;
    };
    static constexpr std::size_t kCacheSize = 64;
    static std::size_t cache_slot(std::string_view name);

    SymbolMap symbols_;
    std::array<CacheEntry, kCacheSize> cache_{};
};

// Parser flags.
enum : uint32_t {
    AF_KEEP_FP_MODE = 0x1,     // do not switch the floating-point mode around an evaluation
    AF_RANGE_CHECK = 0x4,      // report number overflow and bit operands outside 32 bits
    AF_LENIENT_ESCAPES = 0x8,  // unknown escapes in strings drop characters instead of failing
};

// How deep records, parentheses and runs of prefix operators may nest together before a read
// fails with AE_TOO_DEEP; keeps a hostile text from exhausting the stack.
constexpr int kAnalyzeMaxDepth = 256;

// How many bytes of strings one text may make by copying string constants and joining strings
// with `+`. Files never do either, but a hostile one could multiply a long constant without
// end; past this budget the read fails with MREC_E_READ_FAILED, as when memory runs out.
constexpr std::size_t kAnalyzeStringBudget = std::size_t{64} << 20;

// The expression evaluator over a NUL-terminated text: a cursor, the first error code (parsing
// stops at the first nonzero one) and the flags. One parser serves one thread at a time; it
// never writes to the text.
class analyze : public analyze_params {
public:
    explicit analyze(uint32_t flags = 0);

    uint32_t flags() const { return flags_; }
    void set_flags(uint32_t flags) { flags_ = flags; }

    // The first error met since the text was set; 0 when there was none.
    uint32_t error() const { return error_; }

    // Points the cursor at the start of a NUL-terminated text, which must outlive the parse, and
    // clears the error code. A null text reads as empty.
    void set_text(const char* text);
    const char* cursor() const { return cur_; }

    // Parses one expression at the cursor into `cell` and leaves the cursor behind it. False
    // with the error code set on failure (AE_NO_INPUT for a read-only cell). Thread of the parser.
    bool evaluate(analyze_value& cell);

    // Skips white space, then reads an identifier into `out` (a view into the text). False with
    // AE_NO_IDENTIFIER when none starts there.
    bool read_identifier(std::string_view& out);

    // Reads a double-quoted string at the cursor into `cell`. False with 23 when no string
    // starts there, 24 when it is not closed on its line, 22 for an unknown escape without
    // AF_LENIENT_ESCAPES.
    bool read_string(analyze_value& cell);

    // Skips blanks, line ends, the ideographic space and comments. False with 7 when a `/*`
    // comment is never closed.
    bool skip_white() {
        // Blanks and line ends are taken here; only comments and the ideographic space need
        // the longer way.
        for (;;) {
            const unsigned char c = static_cast<unsigned char>(*cur_);
            if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
                ++cur_;
                continue;
            }
            if (c != '/' && c != 0x81) return true;
            return skip_white_run();
        }
    }

    // Skips white space, then consumes `literal` when the text continues with it exactly;
    // otherwise false with the cursor left after the white space (no error is set).
    bool expect(std::string_view literal);

protected:
    // Records `code` unless an error is recorded already; always returns false.
    bool fail(uint32_t code) {
        if (error_ == 0) error_ = code;
        return false;
    }
    // One more level of nesting; false with AE_TOO_DEEP past kAnalyzeMaxDepth.
    bool enter() {
        if (depth_ >= kAnalyzeMaxDepth) return fail(AE_TOO_DEEP);
        ++depth_;
        return true;
    }
    void leave() { --depth_; }
    // Takes `bytes` from the string budget; false with MREC_E_READ_FAILED when it is spent.
    bool charge_strings(std::size_t bytes) {
        if (bytes > string_budget_) return fail(MREC_E_READ_FAILED);
        string_budget_ -= bytes;
        return true;
    }
    void reset_state(const char* text);
    // Parses a number at the cursor (which is on a digit or `.`) into `out`.
    bool parse_number(analyze_value& out);

    // Puts the evaluator's floating-point mode in place for a whole read and the caller's mode
    // back at the end, so that the evaluations inside need not switch it one by one.
    class FpScope {
    public:
        explicit FpScope(analyze& parser);
        ~FpScope();
        FpScope(const FpScope&) = delete;
        FpScope& operator=(const FpScope&) = delete;

    private:
        analyze& parser_;
        bool was_scoped_;
        bool switched_ = false;
        fenv_t saved_{};  // the caller's environment when it had to be switched
    };

    const char* cur_;
    uint32_t error_ = 0;
    uint32_t flags_;
    int depth_ = 0;
    bool fp_scoped_ = false;
    std::size_t string_budget_ = kAnalyzeStringBudget;

private:
    bool skip_white_run();
    bool parse_binary(analyze_value& out, int min_level);
    bool parse_unary(analyze_value& out);
    bool parse_primary(analyze_value& out);
    bool apply_binary(int op, analyze_value& left, const analyze_value& right);
    bool apply_prefix(char op, analyze_value& value);
    bool check_end();
    bool bit_operand(double value, uint32_t& out);

    std::string prefix_ops_;  // the pending prefix operators of every open operand
};
