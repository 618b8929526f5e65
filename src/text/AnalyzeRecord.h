#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <memory_resource>
#include <string>
#include <string_view>
#include <vector>

#include "model/core/CkvString.h"
#include "text/AnalyzeValue.h"

// A map from names to value cells, kept in byte-wise name order: the attributes in front of a
// block or record, or the body of a block. A name without `=` holds an empty cell. Any thread,
// one map at a time.
class AnalyzeAttributes {
public:
    using Map = std::map<std::string, analyze_value, std::less<>>;

    // Adds a name with its value; false (the map unchanged) when the name is already there.
    bool insert(std::string_view name, analyze_value&& value);

    // The cell of a name; null when the name is absent.
    const analyze_value* find(std::string_view name) const;
    bool contains(std::string_view name) const { return find(name) != nullptr; }

    // The value of a name as a string or as an unsigned 32-bit number; false, out unchanged, when
    // the name is absent or its cell has another kind or range.
    bool get_string(std::string_view name, CkvString& out) const;
    bool get_uint(std::string_view name, uint32_t& out) const;

    // True when the attribute `type` is a string exactly equal to `text`.
    bool type_is(std::string_view text) const;

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    void clear() { entries_.clear(); }
    // The entries in name order: `first` the name, `second` the cell.
    Map::const_iterator begin() const { return entries_.begin(); }
    Map::const_iterator end() const { return entries_.end(); }

private:
    Map entries_;
};

// A block: the attributes in front of `{` and the `name = value;` entries inside the braces.
struct AnalyzeBlock {
    AnalyzeAttributes attributes;
    AnalyzeAttributes body;
};

// A parsed record: the attributes in front of `{` and the items inside the braces, numbered from
// 0 in order of appearance. A nested record is an item whose cell holds the record.
//
// The records of a read live in the memory of its result (a monotonic resource), which makes a
// read allocate a few large blocks instead of two small ones per record; such records must not
// outlive the result. Copies (clone, copying a cell) always live on the heap. Any thread, one
// record at a time.
class AnalyzeRecord {
public:
    using ItemList = std::pmr::vector<analyze_value>;

    // A record whose items live in `memory` (the heap when null). The record object itself is
    // wherever the caller puts it.
    explicit AnalyzeRecord(std::pmr::memory_resource* memory = nullptr);
    // Records are copied with clone(), never by value.
    AnalyzeRecord(const AnalyzeRecord&) = delete;
    AnalyzeRecord& operator=(const AnalyzeRecord&) = delete;

    // A new record placed in `memory` together with its items (on the heap when null); free it
    // with destroy() or hand it to a cell. Throws std::bad_alloc when memory runs out.
    static AnalyzeRecord* create(std::pmr::memory_resource* memory);
    // Frees a record made by create() or by new; null is ignored.
    static void destroy(AnalyzeRecord* record);

    AnalyzeAttributes& attributes() { return attributes_; }
    const AnalyzeAttributes& attributes() const { return attributes_; }
    ItemList& items() { return items_; }
    const ItemList& items() const { return items_; }
    std::size_t size() const { return items_.size(); }

    // The item at `index`; null past the last item.
    const analyze_value* item(std::size_t index) const;

    // The item at `index` as a signed or unsigned 32-bit integer (truncated toward zero), as a
    // string or as a nested record; false (out unchanged) or null when the index is past the
    // last item or the item has the wrong kind or range.
    bool get_int(std::size_t index, int32_t& out) const;
    bool get_uint(std::size_t index, uint32_t& out) const;
    bool get_string(std::size_t index, CkvString& out) const;
    const AnalyzeRecord* get_record(std::size_t index) const;

    // Attribute access by name; see AnalyzeAttributes.
    bool has_attribute(std::string_view name) const { return attributes_.contains(name); }
    bool attribute_string(std::string_view name, CkvString& out) const {
        return attributes_.get_string(name, out);
    }
    bool attribute_uint(std::string_view name, uint32_t& out) const {
        return attributes_.get_uint(name, out);
    }
    bool type_is(std::string_view text) const { return attributes_.type_is(text); }

    // A deep copy; never fails short of memory exhaustion.
    std::unique_ptr<AnalyzeRecord> clone() const;

    // Where the record's `{` stands in the text it was read from, as a byte offset; kNoOffset
    // for a record made otherwise. Messages about its fields count their line from it.
    static constexpr uint32_t kNoOffset = 0xFFFFFFFFu;
    uint32_t offset() const { return offset_; }
    void set_offset(uint32_t offset) { offset_ = offset; }

private:
    AnalyzeAttributes attributes_;
    ItemList items_;
    std::pmr::memory_resource* placed_in_ = nullptr;  // where create() put the record itself
    uint32_t offset_ = kNoOffset;
};
