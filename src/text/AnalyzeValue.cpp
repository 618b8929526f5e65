#include "text/AnalyzeValue.h"

#include <cmath>
#include <utility>

#include "text/AnalyzeRecord.h"

analyze_value::analyze_value() : kind_(AVK_EMPTY), aux_(0), number_(0.0) {}

analyze_value::~analyze_value() = default;

analyze_value::analyze_value(const analyze_value& other)
    : kind_(other.kind_),
      aux_(other.aux_),
      number_(other.number_),
      text_(other.text_),
      record_(other.record_ ? other.record_->clone() : nullptr) {}

analyze_value::analyze_value(analyze_value&& other) noexcept
    : kind_(other.kind_),
      aux_(other.aux_),
      number_(other.number_),
      text_(std::move(other.text_)),
      record_(std::move(other.record_)) {}

analyze_value& analyze_value::operator=(const analyze_value& other) {
    if (this != &other) {
        analyze_value copy(other);
        *this = std::move(copy);
    }
    return *this;
}

analyze_value& analyze_value::operator=(analyze_value&& other) noexcept {
    kind_ = other.kind_;
    aux_ = other.aux_;
    number_ = other.number_;
    text_ = std::move(other.text_);
    record_ = std::move(other.record_);
    return *this;
}

void analyze_value::set_read_only(bool on) {
    kind_ = static_cast<uint16_t>(on ? (kind_ | AVF_READ_ONLY) : (kind_ & ~AVF_READ_ONLY));
}

const CkvString& analyze_value::text() const {
    static const CkvString empty;
    return is_string() ? text_ : empty;
}

namespace {
uint16_t with_kind(uint16_t word, uint16_t kind) {
    return static_cast<uint16_t>((word & ~AVK_MASK) | kind);
}
}  // namespace

void analyze_value::clear() {
    kind_ = with_kind(kind_, AVK_EMPTY);
    aux_ = 0;
    number_ = 0.0;
    text_.clear();
    record_.reset();
}

void analyze_value::set_number(double value) {
    kind_ = with_kind(kind_, AVK_NUMBER);
    aux_ = 0;
    number_ = value;
    if (record_) record_.reset();
}

void analyze_value::set_string(std::string_view text) {
    start_string().assign(text.data(), text.size());
}

CkvString& analyze_value::start_string() {
    kind_ = with_kind(kind_, AVK_STRING);
    aux_ = 0;
    number_ = 0.0;
    if (record_) record_.reset();
    text_.clear();
    return text_;
}

void analyze_value::set_record(std::unique_ptr<AnalyzeRecord> record) {
    kind_ = with_kind(kind_, AVK_POINTER);
    aux_ = AVA_RECORD;
    number_ = 0.0;
    text_.clear();
    record_ = std::move(record);
}

bool analyze_value::to_int32(int32_t& out) const {
    if (!is_number()) return false;
    const double t = std::trunc(number_);
    if (!(t >= -2147483648.0 && t <= 2147483647.0)) return false;
    out = static_cast<int32_t>(t);
    return true;
}

bool analyze_value::to_uint32(uint32_t& out) const {
    if (!is_number()) return false;
    const double t = std::trunc(number_);
    if (!(t >= 0.0 && t <= 4294967295.0)) return false;
    out = static_cast<uint32_t>(t);
    return true;
}
