#include "text/AnalyzeTypes.h"

const AnalyzeField* AnalyzeType::find_field(std::string_view name) const {
    // Readers ask for the fields in the order the file declares them, so the field after the
    // last one found is nearly always the one wanted: try it before the name index.
    // After the last field the next record of the same type starts again at the first.
    if (next_hint_ < fields_.size() && fields_[next_hint_].name == name) {
        const AnalyzeField* found = &fields_[next_hint_];
        next_hint_ = next_hint_ + 1 == fields_.size() ? 0 : next_hint_ + 1;
        return found;
    }
    auto it = by_name_.find(name);
    if (it == by_name_.end()) return nullptr;
    next_hint_ = it->second + 1 == fields_.size() ? 0 : it->second + 1;
    return &fields_[it->second];
}

bool AnalyzeType::add_field(std::string_view name, const AnalyzeType* type, bool array) {
    auto [it, added] = by_name_.emplace(std::string(name), fields_.size());
    if (!added) return false;
    AnalyzeField field;
    field.name = CkvString(name);
    field.position = static_cast<uint32_t>(fields_.size());
    field.type = type;
    field.array = array;
    fields_.push_back(std::move(field));
    return true;
}

const AnalyzeType* AnalyzeTypeTable::find(std::string_view name) const {
    auto it = by_name_.find(name);
    return it == by_name_.end() ? nullptr : it->second;
}

AnalyzeType* AnalyzeTypeTable::add(std::string_view name, bool base) {
    auto type = std::make_unique<AnalyzeType>(name, base);
    AnalyzeType* raw = type.get();
    return insert(std::move(type)) ? raw : nullptr;
}

bool AnalyzeTypeTable::insert(std::unique_ptr<AnalyzeType> type) {
    if (!type || by_name_.find(std::string_view(type->name())) != by_name_.end()) return false;
    by_name_.emplace(std::string(type->name()), type.get());
    types_.push_back(std::move(type));
    return true;
}

void AnalyzeTypeTable::clear() {
    by_name_.clear();
    types_.clear();
}
