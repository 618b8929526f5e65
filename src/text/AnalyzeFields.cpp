#include "text/AnalyzeFields.h"

#include "text/AnalyzeErrors.h"

AnalyzeFieldReader::AnalyzeFieldReader(const AnalyzeTypeTable& types, std::string_view type_name,
                                       const AnalyzeRecord& record)
    : types_(&types), type_(types.find(type_name)), record_(&record) {
    if (!type_) {
        own_failure_.code = MREC_E_TYPE_NOT_DECLARED;
        own_failure_.record = &record;
        own_failure_.field = std::string(type_name);
    }
}

void AnalyzeFieldReader::attach(const AnalyzeTypeTable* types, const AnalyzeType* type,
                                const AnalyzeRecord* record, AnalyzeFailure* failure) {
    types_ = types;
    type_ = type;
    record_ = record;
    rows_of_ = nullptr;
    row_index_ = AnalyzeFailure::kNoElement;
    own_failure_ = AnalyzeFailure();
    failure_ = failure;
}

bool AnalyzeFieldReader::fail(uint32_t code) {
    return fail_at(code, std::string_view());
}

bool AnalyzeFieldReader::fail_at(uint32_t code, std::string_view field) {
    if (failure_->code != 0) return false;
    failure_->code = code;
    failure_->record = rows_of_ ? rows_of_ : record_;
    failure_->element = rows_of_ ? row_index_ : AnalyzeFailure::kNoElement;
    failure_->field = type_ ? type_->name().str() : std::string();
    if (!field.empty()) failure_->field.append(".").append(field);
    return false;
}

bool AnalyzeFieldReader::declares(std::string_view field) const {
    return type_ && type_->find_field(field) != nullptr;
}

const analyze_value* AnalyzeFieldReader::locate(std::string_view field,
                                                const AnalyzeField** declared) {
    if (failure_->code != 0 || !type_ || !record_) return nullptr;
    const AnalyzeField* f = type_->find_field(field);
    const analyze_value* item = locate(f);
    if (item && declared) *declared = f;
    return item;
}

const analyze_value* AnalyzeFieldReader::locate(const AnalyzeField* f) {
    if (failure_->code != 0 || !f || !record_) return nullptr;
    const analyze_value* item = record_->item(f->position);
    if (!item) fail_at(MREC_E_BAD_FIELD, f->name);
    return item;
}

const AnalyzeField* AnalyzeFieldReader::declared_field(std::string_view field) const {
    return type_ ? type_->find_field(field) : nullptr;
}

bool AnalyzeFieldReader::read_int(const AnalyzeField* field, int32_t& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    return v->to_int32(out) || fail_at(MREC_E_BAD_FIELD, field->name);
}

bool AnalyzeFieldReader::read_uint(const AnalyzeField* field, uint32_t& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    return v->to_uint32(out) || fail_at(MREC_E_BAD_FIELD, field->name);
}

bool AnalyzeFieldReader::read_int(std::string_view field, int32_t& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    return v->to_int32(out) || fail_at(MREC_E_BAD_FIELD, field);
}

bool AnalyzeFieldReader::read_uint(std::string_view field, uint32_t& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    return v->to_uint32(out) || fail_at(MREC_E_BAD_FIELD, field);
}

bool AnalyzeFieldReader::read_bits(std::string_view field, uint32_t& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    int32_t as_signed;
    if (v->to_int32(as_signed)) {
        out = static_cast<uint32_t>(as_signed);
        return true;
    }
    return v->to_uint32(out) || fail_at(MREC_E_BAD_FIELD, field);
}

bool AnalyzeFieldReader::read_string(std::string_view field, CkvString& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    if (!v->is_string()) return fail_at(MREC_E_BAD_FIELD, field);
    out = v->text();
    return true;
}

bool AnalyzeFieldReader::read_record(std::string_view field, const AnalyzeRecord*& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    if (!v->record()) return fail_at(MREC_E_BAD_FIELD, field);
    out = v->record();
    return true;
}

bool AnalyzeFieldReader::read_nested(std::string_view field, AnalyzeFieldReader& out) {
    const AnalyzeField* f = nullptr;
    const analyze_value* v = locate(field, &f);
    if (!v) return false;
    if (!v->record()) return fail_at(MREC_E_BAD_FIELD, field);
    out.attach(types_, f->type, v->record(), failure_);
    return true;
}

bool AnalyzeFieldReader::read_array(std::string_view field, AnalyzeArrayReader& out) {
    const AnalyzeField* f = nullptr;
    const analyze_value* v = locate(field, &f);
    if (!v) return false;
    const AnalyzeRecord* r = v->record();
    if (!f->array || !r || !r->has_attribute("array") || !r->type_is(f->type->name()))
        return fail_at(MREC_E_BAD_FIELD, field);
    out.types_ = types_;
    out.element_ = f->type;
    out.record_ = r;
    out.own_failure_ = AnalyzeFailure();
    out.failure_ = failure_;
    return true;
}

bool AnalyzeFieldReader::open(const AnalyzeRecord& record, std::string_view type_name,
                              AnalyzeFieldReader& out) {
    if (failure_->code != 0 || !types_) return false;
    const AnalyzeType* type = types_->find(type_name);
    if (!type) return fail_at(MREC_E_TYPE_NOT_DECLARED, type_name);
    out.attach(types_, type, &record, failure_);
    return true;
}

const analyze_value* AnalyzeArrayReader::element(std::size_t index) {
    if (failure_->code != 0 || !record_) return nullptr;
    const analyze_value* v = record_->item(index);
    if (!v) fail_at(index);
    return v;
}

bool AnalyzeArrayReader::fail_at(std::size_t index) {
    if (failure_->code != 0) return false;
    failure_->code = MREC_E_BAD_FIELD;
    failure_->record = record_;
    failure_->element = index;
    failure_->field =
        (element_ ? element_->name().str() : std::string()) + "[" + std::to_string(index) + "]";
    return false;
}

bool AnalyzeArrayReader::read_int(std::size_t index, int32_t& out) {
    const analyze_value* v = element(index);
    if (!v) return false;
    return v->to_int32(out) || fail_at(index);
}

bool AnalyzeArrayReader::read_uint(std::size_t index, uint32_t& out) {
    const analyze_value* v = element(index);
    if (!v) return false;
    return v->to_uint32(out) || fail_at(index);
}

bool AnalyzeArrayReader::read_string(std::size_t index, CkvString& out) {
    const analyze_value* v = element(index);
    if (!v) return false;
    if (!v->is_string()) return fail_at(index);
    out = v->text();
    return true;
}

bool AnalyzeArrayReader::read_element(std::size_t index, AnalyzeFieldReader& out) {
    if (record_ && record_->has_rows()) {
        // The same results as for the records the rows stand for, without unpacking them all.
        if (failure_->code != 0) return false;
        if (!record_->read_row(index, row_)) return fail_at(index);
        out.attach(types_, element_, &row_, failure_);
        out.rows_of_ = record_;
        out.row_index_ = index;
        return true;
    }
    const analyze_value* v = element(index);
    if (!v) return false;
    if (!v->record()) return fail_at(index);
    out.attach(types_, element_, v->record(), failure_);
    return true;
}
