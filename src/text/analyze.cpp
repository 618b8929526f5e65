#include "text/analyze.h"

#include <array>
#include <cfenv>
#include <charconv>
#include <chrono>
#include <cmath>
#include <thread>

#include "model/core/CkvString.h"

uint32_t analyze_refer::sleep_ms(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return 0;
}

namespace {

constexpr std::array<uint16_t, 256> make_class_table() {
    std::array<uint16_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        uint16_t w = 0;
        const bool upper = c >= 'A' && c <= 'Z';
        const bool lower = c >= 'a' && c <= 'z';
        const bool digit = c >= '0' && c <= '9';
        if (upper || lower || c == '_') w |= CC_IDENT_START | CC_IDENT;
        if (digit) w |= CC_IDENT | CC_DIGIT;
        if (upper) w |= CC_UPPER;
        if (upper || lower) w |= CC_LETTER;
        if (kv_is_lead_byte(static_cast<unsigned char>(c))) w |= CC_LEAD_BYTE;
        if (c == '+' || c == '-' || c == '~' || c == '!') w |= CC_UNARY;
        if (c == '.') w |= CC_POINT;
        if (c == '0' || c == '1') w |= CC_BINARY;
        if (c >= '0' && c <= '7') w |= CC_OCTAL;
        if (digit || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) w |= CC_HEX;
        t[static_cast<std::size_t>(c)] = w;
    }
    return t;
}

constexpr std::array<uint16_t, 256> kClassTable = make_class_table();

// Bytes that end a plain run inside a string: the quote, the backslash, the line ends, NUL and
// the lead bytes (whose trail byte must be taken along).
constexpr std::array<bool, 256> make_string_stops() {
    std::array<bool, 256> t{};
    for (int c = 0; c < 256; ++c) {
        t[static_cast<std::size_t>(c)] = c == 0 || c == '"' || c == '\\' || c == '\n' ||
                                         c == '\r' ||
                                         kv_is_lead_byte(static_cast<unsigned char>(c));
    }
    return t;
}

constexpr std::array<bool, 256> kStringStops = make_string_stops();

inline uint16_t cls(char c) {
    return kClassTable[static_cast<unsigned char>(c)];
}

// Truncates toward zero through a 64-bit integer and keeps the low 32 bits. A value that a
// 64-bit integer cannot hold converts to the processor's "integer indefinite"
// (0x8000000000000000), whose low 32 bits are 0.
uint32_t wrap32(double d) {
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(d)));
}

// Arithmetic runs in double precision, rounding to nearest, with traps off. The caller's mode is
// put back afterwards; it is only touched when it differs, which keeps the common case cheap.
class FpModeGuard {
public:
    explicit FpModeGuard(bool keep) {
        if (keep) return;
        if (fegetround() == FE_TONEAREST && fegetexcept() == 0) return;
        fegetenv(&saved_);
        fesetround(FE_TONEAREST);
        fedisableexcept(FE_ALL_EXCEPT);
        switched_ = true;
    }
    ~FpModeGuard() {
        if (switched_) fesetenv(&saved_);
    }
    FpModeGuard(const FpModeGuard&) = delete;
    FpModeGuard& operator=(const FpModeGuard&) = delete;

private:
    fenv_t saved_{};
    bool switched_ = false;
};

}  // namespace

analyze::FpScope::FpScope(analyze& parser) : parser_(parser), was_scoped_(parser.fp_scoped_) {
    if (was_scoped_ || (parser.flags_ & AF_KEEP_FP_MODE)) return;
    parser.fp_scoped_ = true;
    if (fegetround() == FE_TONEAREST && fegetexcept() == 0) return;
    fegetenv(&saved_);
    fesetround(FE_TONEAREST);
    fedisableexcept(FE_ALL_EXCEPT);
    switched_ = true;
}

analyze::FpScope::~FpScope() {
    parser_.fp_scoped_ = was_scoped_;
    if (switched_) fesetenv(&saved_);
}

namespace {

enum BinaryOp {
    OP_AND,
    OP_XOR,
    OP_OR,
    OP_EQ,
    OP_NE,
    OP_LT,
    OP_LE,
    OP_GT,
    OP_GE,
    OP_SHL,
    OP_SHR,
    OP_ADD,
    OP_SUB,
    OP_MUL,
    OP_DIV,
    OP_MOD,
};

struct OpInfo {
    int op;
    int level;  // 1 binds loosest
    int length;
};

// Recognises a binary operator at p; false when none starts there.
bool peek_binary(const char* p, OpInfo& info) {
    switch (p[0]) {
        case '&':
            info = {OP_AND, 1, 1};
            return true;
        case '^':
            info = {OP_XOR, 1, 1};
            return true;
        case '|':
            info = {OP_OR, 1, 1};
            return true;
        case '?':
            if (p[1] != '=') return false;
            info = {OP_EQ, 2, 2};
            return true;
        case '!':
            if (p[1] != '=') return false;
            info = {OP_NE, 2, 2};
            return true;
        case '<':
            if (p[1] == '<')
                info = {OP_SHL, 4, 2};
            else if (p[1] == '=')
                info = {OP_LE, 3, 2};
            else
                info = {OP_LT, 3, 1};
            return true;
        case '>':
            if (p[1] == '>')
                info = {OP_SHR, 4, 2};
            else if (p[1] == '=')
                info = {OP_GE, 3, 2};
            else
                info = {OP_GT, 3, 1};
            return true;
        case '+':
            info = {OP_ADD, 5, 1};
            return true;
        case '-':
            info = {OP_SUB, 5, 1};
            return true;
        case '*':
            info = {OP_MUL, 6, 1};
            return true;
        case '/':
            info = {OP_DIV, 6, 1};
            return true;
        case '%':
            info = {OP_MOD, 6, 1};
            return true;
        default:
            return false;
    }
}

}  // namespace

analyze_codemap::analyze_codemap() : map_(kClassTable.data()) {}

uint32_t analyze_params::define_symbol(std::string_view name, analyze_value*& cell) {
    if (name.empty()) return AE_NO_INPUT;
    if (!(cls(name[0]) & CC_IDENT_START)) return AE_NO_IDENTIFIER;
    for (char c : name) {
        if (!(cls(c) & CC_IDENT)) return AE_NO_IDENTIFIER;
    }
    auto it = symbols_.lower_bound(name);
    if (it != symbols_.end() && it->first == name) {
        cell = &it->second;
        return AE_DEFINED_TWICE;
    }
    it = symbols_.emplace_hint(it, std::string(name), analyze_value());
    cell = &it->second;
    return AE_OK;
}

std::size_t analyze_params::cache_slot(std::string_view name) {
    // FNV-1a over the whole name: constants of one table differ only in a few inner bytes.
    uint32_t h = 2166136261u;
    for (char c : name)
        h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return (h ^ (h >> 16)) % kCacheSize;
}

uint32_t analyze_params::find_symbol(std::string_view name, analyze_value*& cell) {
    if (name.empty()) return AE_NO_INPUT;
    // Files name the same few constants over and over: look in the cache before the map.
    CacheEntry& entry = cache_[cache_slot(name)];
    if (entry.name && *entry.name == name) {
        cell = entry.cell;
        return AE_OK;
    }
    auto it = symbols_.find(name);
    if (it == symbols_.end()) return AE_UNKNOWN_NAME;
    entry.name = &it->first;
    entry.cell = &it->second;
    cell = &it->second;
    return AE_OK;
}

void analyze_params::clear_symbols() {
    symbols_.clear();
    cache_.fill(CacheEntry{});
}

analyze::analyze(uint32_t flags) : cur_(""), flags_(flags) {}

void analyze::reset_state(const char* text) {
    cur_ = text ? text : "";
    error_ = 0;
    depth_ = 0;
    string_budget_ = kAnalyzeStringBudget;
    prefix_ops_.clear();
}

void analyze::set_text(const char* text) {
    reset_state(text);
}

bool analyze::skip_white_run() {
    for (;;) {
        const unsigned char c = static_cast<unsigned char>(*cur_);
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++cur_;
            continue;
        }
        if (c == 0x81 && static_cast<unsigned char>(cur_[1]) == 0x40) {  // ideographic space
            cur_ += 2;
            continue;
        }
        if (c == '/') {
            if (cur_[1] == '/') {
                cur_ += 2;
                while (*cur_ != 0 && *cur_ != '\n' && *cur_ != '\r')
                    ++cur_;
                continue;
            }
            if (cur_[1] == '*') {
                const char* p = cur_ + 2;
                for (;;) {
                    if (*p == 0) {
                        cur_ = p;
                        return fail(AE_OPEN_COMMENT);
                    }
                    if (p[0] == '*' && p[1] == '/') break;
                    ++p;
                }
                cur_ = p + 2;
                continue;
            }
        }
        return true;
    }
}

bool analyze::expect(std::string_view literal) {
    if (!skip_white()) return false;
    for (std::size_t i = 0; i < literal.size(); ++i) {
        // The text's NUL never equals a byte of a literal, so this stops inside the text.
        if (cur_[i] != literal[i]) return false;
    }
    cur_ += literal.size();
    return true;
}

bool analyze::read_identifier(std::string_view& out) {
    if (!skip_white()) return false;
    if (!(cls(*cur_) & CC_IDENT_START)) return fail(AE_NO_IDENTIFIER);
    const char* start = cur_;
    do {
        ++cur_;
    } while (cls(*cur_) & CC_IDENT);
    out = std::string_view(start, static_cast<std::size_t>(cur_ - start));
    return true;
}

bool analyze::read_string(analyze_value& cell) {
    if (*cur_ != '"') return fail(AE_STRING_EXPECTED);
    const char* p = cur_ + 1;
    CkvString& s = cell.start_string();
    for (;;) {
        const char* run = p;
        while (!kStringStops[static_cast<unsigned char>(*p)])
            ++p;
        if (p != run) s.append(run, static_cast<std::size_t>(p - run));
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"') {
            cur_ = p + 1;
            return true;
        }
        if (c == 0 || c == '\n' || c == '\r') {
            cur_ = p;
            return fail(AE_OPEN_STRING);
        }
        if (c != '\\') {  // a lead byte: it and its trail byte are one character
            if (p[1] == 0) {
                s.push_back(static_cast<char>(c));
                ++p;
            } else {
                s.append(p, 2);
                p += 2;
            }
            continue;
        }
        const char e = p[1];
        switch (e) {
            case '"':
            case '\'':
            case '\\':
                s.push_back(e);
                p += 2;
                continue;
            case 'n':
                s.push_back('\n');
                p += 2;
                continue;
            case 'r':
                s.push_back('\r');
                p += 2;
                continue;
            case 't':
                s.push_back('\t');
                p += 2;
                continue;
            default:
                break;
        }
        // A backslash at the line end would carry the string onto the next line.
        if (e == 0 || e == '\n' || e == '\r') {
            cur_ = p + 1;
            return fail(AE_OPEN_STRING);
        }
        if (!(flags_ & AF_LENIENT_ESCAPES)) {
            cur_ = p;
            return fail(AE_BAD_ESCAPE);
        }
        // Lenient: a letter or digit goes with its backslash; any other byte (a lead byte too)
        // stays and is read on the next round.
        p += (cls(e) & (CC_LETTER | CC_DIGIT)) ? 2 : 1;
    }
}

bool analyze::evaluate(analyze_value& cell) {
    if (cell.is_read_only()) return fail(AE_NO_INPUT);
    if (error_) return false;
    FpModeGuard fp((flags_ & AF_KEEP_FP_MODE) != 0 || fp_scoped_);
    if (!skip_white()) return false;

    // `NAME = expression` assigns to a defined symbol.
    if (cls(*cur_) & CC_IDENT_START) {
        const char* start = cur_;
        std::string_view name;
        read_identifier(name);
        if (!skip_white()) return false;
        analyze_value* symbol = nullptr;
        if (*cur_ == '=' && find_symbol(name, symbol) == AE_OK) {
            if (symbol->is_read_only()) return fail(AE_READ_ONLY);
            ++cur_;
            if (!parse_binary(cell, 1) || !check_end()) return false;
            if (cell.is_string() && !charge_strings(cell.text().size())) return false;
            const uint16_t flags = symbol->kind_word() & ~AVK_MASK;
            *symbol = cell;
            if (flags & AVF_READ_ONLY) symbol->set_read_only(true);
            return true;
        }
        cur_ = start;
    }
    return parse_binary(cell, 1) && check_end();
}

bool analyze::check_end() {
    if (!skip_white()) return false;
    const char c = *cur_;
    if (c == '=') return fail(AE_ASSIGN_AFTER_VALUE);
    if (c == ')') return fail(AE_UNBALANCED_PAREN);
    if ((cls(c) & (CC_IDENT_START | CC_DIGIT | CC_POINT)) || c == '"' || c == '(')
        return fail(AE_MISSING_OPERATOR);
    return true;
}

bool analyze::parse_binary(analyze_value& out, int min_level) {
    if (!parse_unary(out)) return false;
    for (;;) {
        if (!skip_white()) return false;
        OpInfo op;
        if (!peek_binary(cur_, op) || op.level < min_level) return true;
        cur_ += op.length;
        analyze_value right;
        // Binary levels are left-associative: the right operand binds only tighter operators.
        if (!parse_binary(right, op.level + 1)) return false;
        if (!apply_binary(op.op, out, right)) return false;
    }
}

bool analyze::parse_unary(analyze_value& out) {
    const std::size_t base = prefix_ops_.size();
    bool ok = true;
    for (;;) {
        if (!skip_white()) {
            ok = false;
            break;
        }
        const char c = *cur_;
        if (!(cls(c) & CC_UNARY)) break;
        if (prefix_ops_.size() > base && prefix_ops_.back() == c) {
            ok = fail(AE_REPEATED_PREFIX);
            break;
        }
        if (!enter()) {
            ok = false;
            break;
        }
        prefix_ops_.push_back(c);
        ++cur_;
    }
    if (ok) ok = parse_primary(out);
    // Applied in textual order, leftmost first, to the value of the primary.
    for (std::size_t i = base; ok && i < prefix_ops_.size(); ++i)
        ok = apply_prefix(prefix_ops_[i], out);
    depth_ -= static_cast<int>(prefix_ops_.size() - base);
    prefix_ops_.resize(base);
    return ok;
}

bool analyze::parse_primary(analyze_value& out) {
    const char c = *cur_;
    if (c == '(') {
        if (!enter()) return false;
        ++cur_;
        bool ok = parse_binary(out, 1) && skip_white();
        if (ok && *cur_ != ')') ok = fail(AE_MISSING_PAREN);
        if (ok) ++cur_;
        leave();
        return ok;
    }
    const uint16_t k = cls(c);
    if (k & (CC_DIGIT | CC_POINT)) return parse_number(out);
    if (c == '"') return read_string(out);
    if (k & CC_IDENT_START) {
        std::string_view name;
        read_identifier(name);
        analyze_value* symbol = nullptr;
        const uint32_t code = find_symbol(name, symbol);
        if (code != AE_OK) return fail(code);
        // This reader knows no callable symbols: a callable cell is never a function here.
        if (symbol->kind_word() & AVF_CALLABLE) return fail(AE_NOT_FUNCTION);
        if (symbol->is_string() && !charge_strings(symbol->text().size())) return false;
        out = *symbol;
        out.set_read_only(false);
        return true;
    }
    return fail(AE_NO_VALUE);
}

bool analyze::parse_number(analyze_value& out) {
    const char* p = cur_;
    int radix = 10;
    if (p[0] == '0') {
        const char n = p[1];
        if (n == 'x' || n == 'X') {
            radix = 16;
            p += 2;
        } else if (n == 'b' || n == 'B') {
            radix = 2;
            p += 2;
        } else if (n == 'o' || n == 'O') {
            radix = 8;
            p += 2;
        } else if (cls(n) & CC_DIGIT) {
            radix = 8;  // a leading 0 makes the rest octal: 010 is 8
            p += 1;
        }
    }
    double value = 0.0;
    if (radix != 10) {
        uint32_t code, digit_class;
        int bits, group;
        if (radix == 16) {
            code = AE_BAD_HEX, digit_class = CC_HEX, bits = 4, group = 8;
        } else if (radix == 2) {
            code = AE_BAD_BINARY, digit_class = CC_BINARY, bits = 1, group = 32;
        } else {
            code = AE_BAD_OCTAL, digit_class = CC_OCTAL, bits = 3, group = 10;
        }
        // Digits are gathered exactly in 32-bit groups and folded into the double, so long runs
        // give large values instead of wrapping.
        uint32_t acc = 0;
        int in_group = 0;
        std::size_t total = 0;
        while (cls(*p) & digit_class) {
            const char c = *p;
            const uint32_t d = c <= '9'   ? static_cast<uint32_t>(c - '0')
                               : c >= 'a' ? static_cast<uint32_t>(c - 'a' + 10)
                                          : static_cast<uint32_t>(c - 'A' + 10);
            acc = (acc << bits) | d;
            ++total;
            if (++in_group == group) {
                value = std::ldexp(value, bits * group) + acc;
                acc = 0;
                in_group = 0;
            }
            ++p;
        }
        value = value == 0.0 ? acc : std::ldexp(value, bits * in_group) + acc;
        if (total == 0 || (cls(*p) & (CC_HEX | CC_POINT))) {
            cur_ = p;
            return fail(code);
        }
    } else {
        const char* start = p;
        std::size_t digits = 0;
        bool point = false;
        uint32_t small = 0;
        for (;; ++p) {
            const unsigned d = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
            if (d < 10) {
                if (++digits <= 9) small = small * 10 + d;
            } else if (*p == '.' && !point) {
                point = true;
            } else {
                break;
            }
        }
        if (digits == 0 || (cls(*p) & (CC_HEX | CC_POINT))) {
            cur_ = p;
            return fail(AE_BAD_DECIMAL);
        }
        if (!point && digits <= 9) {
            value = small;
        } else {
            const auto r = std::from_chars(start, p, value);
            if (r.ec == std::errc::result_out_of_range) {
                // Too large for a double gives infinity; too small gives 0.
                bool nonzero_whole = false;
                for (const char* q = start; q < p && *q != '.'; ++q)
                    nonzero_whole = nonzero_whole || *q != '0';
                value = nonzero_whole ? HUGE_VAL : 0.0;
            } else if (r.ec != std::errc()) {
                cur_ = p;
                return fail(AE_BAD_DECIMAL);
            }
        }
    }
    cur_ = p;
    if (!std::isfinite(value) && (flags_ & AF_RANGE_CHECK)) return fail(AE_OVERFLOW);
    out.set_number(value);
    return true;
}

bool analyze::bit_operand(double value, uint32_t& out) {
    if (flags_ & AF_RANGE_CHECK) {
        const double t = std::trunc(value);
        if (!(t >= -2147483648.0 && t <= 4294967295.0)) return fail(AE_OUT_OF_RANGE);
    }
    out = wrap32(value);
    return true;
}

bool analyze::apply_prefix(char op, analyze_value& value) {
    if (op == '+' && value.is_number()) return true;
    if (!value.is_number()) return fail(AE_KIND_UNSUPPORTED);
    const double x = value.number();
    switch (op) {
        case '-':
            value.set_number(-x);
            return true;
        case '!':
            value.set_number(x == 0.0 ? 1.0 : 0.0);
            return true;
        case '~': {
            uint32_t u;
            if (!bit_operand(x, u)) return false;
            value.set_number(static_cast<double>(~u));
            return true;
        }
        default:
            return true;
    }
}

bool analyze::apply_binary(int op, analyze_value& left, const analyze_value& right) {
    if (left.kind() != right.kind()) return fail(AE_KIND_MISMATCH);
    const bool num = left.is_number();
    const bool str = left.is_string();
    const double a = left.number();
    const double b = right.number();
    switch (op) {
        case OP_AND:
        case OP_XOR:
        case OP_OR: {
            if (!num) return fail(AE_KIND_UNSUPPORTED);
            uint32_t x, y;
            if (!bit_operand(a, x) || !bit_operand(b, y)) return false;
            const uint32_t r = op == OP_AND ? (x & y) : op == OP_XOR ? (x ^ y) : (x | y);
            left.set_number(static_cast<double>(r));
            return true;
        }
        case OP_EQ:
        case OP_NE:
        case OP_LT:
        case OP_LE:
        case OP_GT:
        case OP_GE: {
            int cmp;
            bool equal;
            if (num) {
                equal = a == b;
                cmp = a < b ? -1 : a > b ? 1 : 0;
            } else if (str) {
                // Unsigned bytes; a proper prefix sorts first.
                cmp = std::string_view(left.text()).compare(std::string_view(right.text()));
                equal = cmp == 0;
            } else {
                return fail(AE_KIND_UNSUPPORTED);
            }
            bool r;
            switch (op) {
                case OP_EQ:
                    r = equal;
                    break;
                case OP_NE:
                    r = !equal;
                    break;
                // Numeric comparisons with NaN are false, as the processor's are.
                case OP_LT:
                    r = num ? a < b : cmp < 0;
                    break;
                case OP_LE:
                    r = num ? a <= b : cmp <= 0;
                    break;
                case OP_GT:
                    r = num ? a > b : cmp > 0;
                    break;
                default:
                    r = num ? a >= b : cmp >= 0;
                    break;
            }
            left.set_number(r ? 1.0 : 0.0);
            return true;
        }
        case OP_SHL:
        case OP_SHR: {
            if (!num) return fail(AE_KIND_UNSUPPORTED);
            uint32_t x;
            if (!bit_operand(a, x)) return false;
            if (flags_ & AF_RANGE_CHECK) {
                const double t = std::trunc(b);
                if (!(t >= 0.0 && t <= 31.0)) return fail(AE_OUT_OF_RANGE);
            }
            const uint32_t n = wrap32(b) & 31u;
            left.set_number(static_cast<double>(op == OP_SHL ? (x << n) : (x >> n)));
            return true;
        }
        case OP_ADD:
            if (str) {
                if (!charge_strings(right.text().size())) return false;
                left.append_text(right.text());
                return true;
            }
            if (!num) return fail(AE_KIND_UNSUPPORTED);
            left.set_number(a + b);
            return true;
        case OP_SUB:
        case OP_MUL:
        case OP_DIV:
        case OP_MOD:
            if (!num) return fail(AE_KIND_UNSUPPORTED);
            if ((op == OP_DIV || op == OP_MOD) && b == 0.0) return fail(AE_DIVIDE_BY_ZERO);
            left.set_number(op == OP_SUB   ? a - b
                            : op == OP_MUL ? a * b
                            : op == OP_DIV ? a / b
                                           : std::fmod(a, b));
            return true;
        default:
            return fail(AE_KIND_UNSUPPORTED);
    }
}
