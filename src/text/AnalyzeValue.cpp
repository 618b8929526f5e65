#include "text/AnalyzeValue.h"

#include <utility>

#include "text/AnalyzeRecord.h"

namespace {
uint16_t with_kind(uint16_t word, uint16_t kind) {
    return static_cast<uint16_t>((word & ~AVK_MASK) | kind);
}
}  // namespace

void analyze_value::release() {
    switch (kind()) {
        case AVK_STRING:
            delete p_.text;
            break;
        case AVK_POINTER:
            AnalyzeRecord::destroy(p_.record);
            break;
        default:
            break;
    }
    p_.number = 0.0;
}

analyze_value::analyze_value(const analyze_value& other) : kind_(other.kind_), aux_(other.aux_) {
    switch (other.kind()) {
        case AVK_STRING:
            p_.text = new CkvString(*other.p_.text);
            break;
        case AVK_POINTER:
            p_.record = other.p_.record ? other.p_.record->clone().release() : nullptr;
            break;
        default:
            p_ = other.p_;
            break;
    }
}

analyze_value& analyze_value::operator=(const analyze_value& other) {
    if (this == &other) return *this;
    if (other.kind() == AVK_STRING && kind() == AVK_STRING) {
        *p_.text = *other.p_.text;  // reuses this cell's storage
        kind_ = other.kind_;
        aux_ = other.aux_;
        return *this;
    }
    analyze_value copy(other);
    *this = std::move(copy);
    return *this;
}

analyze_value& analyze_value::operator=(analyze_value&& other) noexcept {
    if (this == &other) return *this;
    release();
    kind_ = other.kind_;
    aux_ = other.aux_;
    p_ = other.p_;
    other.kind_ = with_kind(other.kind_, AVK_EMPTY);
    other.aux_ = 0;
    other.p_.number = 0.0;
    return *this;
}

void analyze_value::set_read_only(bool on) {
    kind_ = static_cast<uint16_t>(on ? (kind_ | AVF_READ_ONLY) : (kind_ & ~AVF_READ_ONLY));
}

const CkvString& analyze_value::text() const {
    static const CkvString empty;
    return is_string() ? *p_.text : empty;
}

void analyze_value::clear() {
    release();
    kind_ = with_kind(kind_, AVK_EMPTY);
    aux_ = 0;
}

void analyze_value::set_string(std::string_view text) {
    start_string().assign(text.data(), text.size());
}

CkvString& analyze_value::start_string() {
    if (kind() == AVK_STRING) {
        p_.text->clear();
    } else {
        // Allocate first: should it fail, the cell is left as it was.
        CkvString* text = new CkvString();
        release();
        p_.text = text;
        kind_ = with_kind(kind_, AVK_STRING);
    }
    aux_ = 0;
    return *p_.text;
}

void analyze_value::append_text(std::string_view more) {
    if (is_string()) p_.text->append(more.data(), more.size());
}

void analyze_value::set_record(std::unique_ptr<AnalyzeRecord> record) {
    adopt_record(record.release());
}

void analyze_value::adopt_record(AnalyzeRecord* raw) {
    release();
    kind_ = with_kind(kind_, AVK_POINTER);
    aux_ = AVA_RECORD;
    p_.record = raw;
}

// The truncated value lies in a range exactly when the value lies in the range widened by less
// than one at either end; the conversion itself truncates toward zero.
bool analyze_value::to_int32(int32_t& out) const {
    if (!is_number()) return false;
    const double v = p_.number;
    if (!(v > -2147483649.0 && v < 2147483648.0)) return false;
    out = static_cast<int32_t>(v);
    return true;
}

bool analyze_value::to_uint32(uint32_t& out) const {
    if (!is_number()) return false;
    const double v = p_.number;
    if (!(v > -1.0 && v < 4294967296.0)) return false;
    out = static_cast<uint32_t>(v);
    return true;
}
