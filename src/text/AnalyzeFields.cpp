#include "text/AnalyzeFields.h"

#include "text/AnalyzeErrors.h"

AnalyzeFieldReader::AnalyzeFieldReader(const AnalyzeTypeTable& types, std::string_view type_name,
                                       const AnalyzeRecord& record)
    : types_(&types), type_(types.find(type_name)), record_(&record) {
    if (!type_) {
        own_failure_.code = MREC_E_TYPE_NOT_DECLARED;
        own_failure_.record = record_;
    }
}

void AnalyzeFieldReader::attach(const AnalyzeTypeTable* types, const AnalyzeType* type,
                                const AnalyzeRecord* record, AnalyzeReadFailure* failure) {
    types_ = types;
    type_ = type;
    record_ = record;
    own_failure_ = AnalyzeReadFailure{};
    failure_ = failure;
}

bool AnalyzeFieldReader::fail(uint32_t code) {
    return fail_field(std::string_view(), code);
}

bool AnalyzeFieldReader::fail_field(std::string_view field, uint32_t code) {
    if (failure_->code == 0) *failure_ = AnalyzeReadFailure{code, record_, field};
    return false;
}

std::string_view AnalyzeFieldReader::declared_name(std::string_view field) const {
    const AnalyzeField* f = type_ ? type_->find_field(field) : nullptr;
    return f ? std::string_view(f->name.str()) : std::string_view();
}

bool AnalyzeFieldReader::declares(std::string_view field) const {
    return type_ && type_->find_field(field) != nullptr;
}

const analyze_value* AnalyzeFieldReader::locate(std::string_view field,
                                                const AnalyzeField** declared) {
    if (failure_->code != 0 || !type_ || !record_) return nullptr;
    const AnalyzeField* f = type_->find_field(field);
    if (!f) return nullptr;
    const analyze_value* item = record_->item(f->position);
    if (!item) {
        fail_field(f->name, MREC_E_BAD_FIELD);
        return nullptr;
    }
    if (declared) *declared = f;
    return item;
}

bool AnalyzeFieldReader::read_int(std::string_view field, int32_t& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    return v->to_int32(out) || fail_field(declared_name(field), MREC_E_BAD_FIELD);
}

bool AnalyzeFieldReader::read_uint(std::string_view field, uint32_t& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    return v->to_uint32(out) || fail_field(declared_name(field), MREC_E_BAD_FIELD);
}

bool AnalyzeFieldReader::read_bits(std::string_view field, uint32_t& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    int32_t as_signed;
    if (v->to_int32(as_signed)) {
        out = static_cast<uint32_t>(as_signed);
        return true;
    }
    return v->to_uint32(out) || fail_field(declared_name(field), MREC_E_BAD_FIELD);
}

bool AnalyzeFieldReader::read_string(std::string_view field, CkvString& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    if (!v->is_string()) return fail_field(declared_name(field), MREC_E_BAD_FIELD);
    out = v->text();
    return true;
}

bool AnalyzeFieldReader::read_record(std::string_view field, const AnalyzeRecord*& out) {
    const analyze_value* v = locate(field);
    if (!v) return false;
    if (!v->record()) return fail_field(declared_name(field), MREC_E_BAD_FIELD);
    out = v->record();
    return true;
}

bool AnalyzeFieldReader::read_nested(std::string_view field, AnalyzeFieldReader& out) {
    const AnalyzeField* f = nullptr;
    const analyze_value* v = locate(field, &f);
    if (!v) return false;
    if (!v->record()) return fail_field(f->name, MREC_E_BAD_FIELD);
    out.attach(types_, f->type, v->record(), failure_);
    return true;
}

bool AnalyzeFieldReader::read_array(std::string_view field, AnalyzeArrayReader& out) {
    const AnalyzeField* f = nullptr;
    const analyze_value* v = locate(field, &f);
    if (!v) return false;
    const AnalyzeRecord* r = v->record();
    if (!f->array || !r || !r->has_attribute("array") || !r->type_is(f->type->name()))
        return fail_field(f->name, MREC_E_BAD_FIELD);
    out.types_ = types_;
    out.element_ = f->type;
    out.record_ = r;
    out.field_ = f->name;
    out.own_failure_ = AnalyzeReadFailure{};
    out.failure_ = failure_;
    return true;
}

bool AnalyzeFieldReader::open(const AnalyzeRecord& record, std::string_view type_name,
                              AnalyzeFieldReader& out) {
    if (failure_->code != 0 || !types_) return false;
    const AnalyzeType* type = types_->find(type_name);
    if (!type) return fail(MREC_E_TYPE_NOT_DECLARED);
    out.attach(types_, type, &record, failure_);
    return true;
}

const analyze_value* AnalyzeArrayReader::element(std::size_t index) {
    if (failure_->code != 0 || !record_) return nullptr;
    const analyze_value* v = record_->item(index);
    if (!v) fail_element(index);
    return v;
}

bool AnalyzeArrayReader::fail_element(std::size_t index) {
    if (failure_->code == 0)
        *failure_ = AnalyzeReadFailure{MREC_E_BAD_FIELD, record_, field_, index};
    return false;
}

bool AnalyzeArrayReader::read_int(std::size_t index, int32_t& out) {
    const analyze_value* v = element(index);
    if (!v) return false;
    return v->to_int32(out) || fail_element(index);
}

bool AnalyzeArrayReader::read_uint(std::size_t index, uint32_t& out) {
    const analyze_value* v = element(index);
    if (!v) return false;
    return v->to_uint32(out) || fail_element(index);
}

bool AnalyzeArrayReader::read_string(std::size_t index, CkvString& out) {
    const analyze_value* v = element(index);
    if (!v) return false;
    if (!v->is_string()) return fail_element(index);
    out = v->text();
    return true;
}

bool AnalyzeArrayReader::read_element(std::size_t index, AnalyzeFieldReader& out) {
    const analyze_value* v = element(index);
    if (!v) return false;
    if (!v->record()) return fail_element(index);
    out.attach(types_, element_, v->record(), failure_);
    return true;
}
