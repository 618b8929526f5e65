#include "text/AnalyzeFields.h"

#include "text/AnalyzeErrors.h"

AnalyzeFieldReader::AnalyzeFieldReader(const AnalyzeTypeTable& types, std::string_view type_name,
                                       const AnalyzeRecord& record)
    : types_(&types), type_(types.find(type_name)), record_(&record) {
    if (!type_) own_error_ = MREC_E_TYPE_NOT_DECLARED;
}

void AnalyzeFieldReader::attach(const AnalyzeTypeTable* types, const AnalyzeType* type,
                                const AnalyzeRecord* record, uint32_t* error) {
    types_ = types;
    type_ = type;
    record_ = record;
    own_error_ = 0;
    error_ = error;
}

bool AnalyzeFieldReader::fail(uint32_t code) {
    if (*error_ == 0) *error_ = code;
    return false;
}

bool AnalyzeFieldReader::declares(std::string_view field) const {
    return type_ && type_->find_field(field) != nullptr;
}

const analyze_value* AnalyzeFieldReader::locate(std::string_view field,
                                                const AnalyzeField** declared) {
    if (*error_ != 0 || !type_ || !record_) return nullptr;
    const AnalyzeField* f = type_->find_field(field);
    const analyze_value* item = locate(f);
    if (item && declared) *declared = f;
    return item;
}

const analyze_value* AnalyzeFieldReader::locate(const AnalyzeField* f) {
    if (*error_ != 0 || !f || !record_) return nullptr;
    const analyze_value* item = record_->item(f->position);
    if (!item) fail(MREC_E_BAD_FIELD);
    return item;
}

const AnalyzeField* AnalyzeFieldReader::declared_field(std::string_view field) const {
    return type_ ? type_->find_field(field) : nullptr;
}

bool AnalyzeFieldReader::read_int(const AnalyzeField* field, int32_t& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    return v->to_int32(out) || fail(MREC_E_BAD_FIELD);
}

bool AnalyzeFieldReader::read_uint(const AnalyzeField* field, uint32_t& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    return v->to_uint32(out) || fail(MREC_E_BAD_FIELD);
}

bool AnalyzeFieldReader::read_int(std::string_view field, int32_t& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    return v->to_int32(out) || fail(MREC_E_BAD_FIELD);
}

bool AnalyzeFieldReader::read_uint(std::string_view field, uint32_t& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    return v->to_uint32(out) || fail(MREC_E_BAD_FIELD);
}

bool AnalyzeFieldReader::read_bits(std::string_view field, uint32_t& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    int32_t as_signed;
    if (v->to_int32(as_signed)) {
        out = static_cast<uint32_t>(as_signed);
        return true;
    }
    return v->to_uint32(out) || fail(MREC_E_BAD_FIELD);
}

bool AnalyzeFieldReader::read_string(std::string_view field, CkvString& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    if (!v->is_string()) return fail(MREC_E_BAD_FIELD);
    out = v->text();
    return true;
}

bool AnalyzeFieldReader::read_record(std::string_view field, const AnalyzeRecord*& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    if (!v->record()) return fail(MREC_E_BAD_FIELD);
    out = v->record();
    return true;
}

bool AnalyzeFieldReader::read_nested(std::string_view field, AnalyzeFieldReader& out) {
    const AnalyzeField* f = nullptr;
    const analyze_value* v = locate(field, &f);
    if (!v) return false;
    if (!v->record()) return fail(MREC_E_BAD_FIELD);
    out.attach(types_, f->type, v->record(), error_);
    return true;
}

bool AnalyzeFieldReader::read_array(std::string_view field, AnalyzeArrayReader& out) {
    const AnalyzeField* f = nullptr;
    const analyze_value* v = locate(field, &f);
    if (!v) return false;
    const AnalyzeRecord* r = v->record();
    if (!f->array || !r || !r->has_attribute("array") || !r->type_is(f->type->name()))
        return fail(MREC_E_BAD_FIELD);
    out.types_ = types_;
    out.element_ = f->type;
    out.record_ = r;
    out.own_error_ = 0;
    out.error_ = error_;
    return true;
}

bool AnalyzeFieldReader::open(const AnalyzeRecord& record, std::string_view type_name,
                              AnalyzeFieldReader& out) {
    if (*error_ != 0 || !types_) return false;
    const AnalyzeType* type = types_->find(type_name);
    if (!type) return fail(MREC_E_TYPE_NOT_DECLARED);
    out.attach(types_, type, &record, error_);
    return true;
}

const analyze_value* AnalyzeArrayReader::element(std::size_t index) {
    if (*error_ != 0 || !record_) return nullptr;
    const analyze_value* v = record_->item(index);
    if (!v && *error_ == 0) *error_ = MREC_E_BAD_FIELD;
    return v;
}

namespace {
bool fail_into(uint32_t* error) {
    if (*error == 0) *error = MREC_E_BAD_FIELD;
    return false;
}
}  // namespace

bool AnalyzeArrayReader::read_int(std::size_t index, int32_t& out) {
    const analyze_value* v = element(index);
    if (!v) return false;
    return v->to_int32(out) || fail_into(error_);
}

bool AnalyzeArrayReader::read_uint(std::size_t index, uint32_t& out) {
    const analyze_value* v = element(index);
    if (!v) return false;
    return v->to_uint32(out) || fail_into(error_);
}

bool AnalyzeArrayReader::read_string(std::size_t index, CkvString& out) {
    const analyze_value* v = element(index);
    if (!v) return false;
    if (!v->is_string()) return fail_into(error_);
    out = v->text();
    return true;
}

bool AnalyzeArrayReader::read_element(std::size_t index, AnalyzeFieldReader& out) {
    if (record_ && record_->has_rows()) {
        // The same results as for the records the rows stand for, without unpacking them all.
        if (*error_ != 0) return false;
        if (!record_->read_row(index, row_)) return fail_into(error_);
        out.attach(types_, element_, &row_, error_);
        return true;
    }
    const analyze_value* v = element(index);
    if (!v) return false;
    if (!v->record()) return fail_into(error_);
    out.attach(types_, element_, v->record(), error_);
    return true;
}
