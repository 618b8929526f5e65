#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/core/CkvString.h"

class AnalyzeType;

// One field of a declared record type: its name, its position (index in declaration order, from
// 0), the declared type of its values and whether it holds an array of them.
struct AnalyzeField {
    CkvString name;
    uint32_t position = 0;
    const AnalyzeType* type = nullptr;
    bool array = false;
};

// A record type as a file declares it: its name, whether it is a base type (`VAR`, `NUM`,
// `STR`), and its fields in declaration order with a lookup by name. Any thread, one type at a
// time.
class AnalyzeType {
public:
    AnalyzeType(std::string_view name, bool base) : name_(name), base_(base) {}

    const CkvString& name() const { return name_; }
    bool is_base() const { return base_; }
    const std::vector<AnalyzeField>& fields() const { return fields_; }

    // The field of that name; null when the type does not declare it. One thread at a time
    // (lookups remember where they were).
    const AnalyzeField* find_field(std::string_view name) const;

    // Appends a field at the next position; false (nothing added) when the name is taken.
    bool add_field(std::string_view name, const AnalyzeType* type, bool array);

private:
    CkvString name_;
    bool base_;
    std::vector<AnalyzeField> fields_;
    std::map<std::string, std::size_t, std::less<>> by_name_;
    mutable std::size_t next_hint_ = 0;  // where the next lookup is likely to find its field
};

// The record types one file declares, by name. Types stay at their addresses for the life of the
// table. Any thread, one table at a time.
class AnalyzeTypeTable {
public:
    // The type of that name; null when the file did not declare it.
    const AnalyzeType* find(std::string_view name) const;

    // Declares a new type; null (nothing added) when the name is taken.
    AnalyzeType* add(std::string_view name, bool base);

    // Adds a type built elsewhere; false (the type dropped) when its name is taken.
    bool insert(std::unique_ptr<AnalyzeType> type);

    std::size_t size() const { return types_.size(); }
    void clear();
    // The types in declaration order.
    const std::vector<std::unique_ptr<AnalyzeType>>& types() const { return types_; }

private:
    std::vector<std::unique_ptr<AnalyzeType>> types_;
    std::map<std::string, AnalyzeType*, std::less<>> by_name_;
};
