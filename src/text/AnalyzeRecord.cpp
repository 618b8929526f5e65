#include "text/AnalyzeRecord.h"

#include <algorithm>
#include <new>
#include <utility>

bool AnalyzeAttributes::insert(std::string_view name, analyze_value&& value) {
    auto it = entries_.lower_bound(name);
    if (it != entries_.end() && it->first == name) return false;
    entries_.emplace_hint(it, std::string(name), std::move(value));
    return true;
}

const analyze_value* AnalyzeAttributes::find(std::string_view name) const {
    auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : &it->second;
}

bool AnalyzeAttributes::get_string(std::string_view name, CkvString& out) const {
    const analyze_value* v = find(name);
    if (!v || !v->is_string()) return false;
    out = v->text();
    return true;
}

bool AnalyzeAttributes::get_uint(std::string_view name, uint32_t& out) const {
    const analyze_value* v = find(name);
    return v && v->to_uint32(out);
}

bool AnalyzeAttributes::type_is(std::string_view text) const {
    const analyze_value* v = find("type");
    return v && v->is_string() && std::string_view(v->text()) == text;
}

AnalyzeRecord::AnalyzeRecord(std::pmr::memory_resource* memory)
    : items_(memory ? memory : std::pmr::new_delete_resource()) {}

AnalyzeRecord* AnalyzeRecord::create(std::pmr::memory_resource* memory) {
    if (!memory) return new AnalyzeRecord();
    void* place = memory->allocate(sizeof(AnalyzeRecord), alignof(AnalyzeRecord));
    AnalyzeRecord* record = new (place) AnalyzeRecord(memory);
    record->placed_in_ = memory;
    return record;
}

void AnalyzeRecord::destroy(AnalyzeRecord* record) {
    if (!record) return;
    if (std::pmr::memory_resource* memory = record->placed_in_) {
        record->~AnalyzeRecord();
        memory->deallocate(record, sizeof(AnalyzeRecord), alignof(AnalyzeRecord));
    } else {
        delete record;
    }
}

const analyze_value* AnalyzeRecord::item(std::size_t index) const {
    return index < items_.size() ? &items_[index] : nullptr;
}

bool AnalyzeRecord::get_int(std::size_t index, int32_t& out) const {
    const analyze_value* v = item(index);
    return v && v->to_int32(out);
}

bool AnalyzeRecord::get_uint(std::size_t index, uint32_t& out) const {
    const analyze_value* v = item(index);
    return v && v->to_uint32(out);
}

bool AnalyzeRecord::get_string(std::size_t index, CkvString& out) const {
    const analyze_value* v = item(index);
    if (!v || !v->is_string()) return false;
    out = v->text();
    return true;
}

const AnalyzeRecord* AnalyzeRecord::get_record(std::size_t index) const {
    const analyze_value* v = item(index);
    return v ? v->record() : nullptr;
}

std::unique_ptr<AnalyzeRecord> AnalyzeRecord::clone() const {
    // Copying the cells copies nested records in turn.
    auto copy = std::make_unique<AnalyzeRecord>();
    copy->attributes_ = attributes_;
    copy->offset_ = offset_;
    copy->items_.reserve(items_.size());
    for (const analyze_value& v : items_)
        copy->items_.push_back(v);
    return copy;
}
