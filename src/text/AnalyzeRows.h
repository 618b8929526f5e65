#pragma once

#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <vector>

#include "text/AnalyzeValue.h"

// The elements of a record kept packed, as rows: each row stands for a nested record without
// attributes whose items are all whole numbers, which is what the blocks of a track are. A row
// takes a byte or two per number instead of a record object and a 16-byte cell per item, so a
// file of a million blocks parses into a few megabytes. A row reads back as exactly the cells
// it was made of. Any thread, one set of rows at a time.
class AnalyzeRows {
public:
    // Rows whose bytes live in `memory` (the heap when null).
    explicit AnalyzeRows(std::pmr::memory_resource* memory = nullptr);
    // A copy of `other` that takes no more room than its rows need, in `memory`.
    AnalyzeRows(const AnalyzeRows& other, std::pmr::memory_resource* memory);
    AnalyzeRows(const AnalyzeRows&) = delete;
    AnalyzeRows& operator=(const AnalyzeRows&) = delete;

    // True when `cell` can be kept in a row and read back unchanged: a number without flags
    // whose value is whole, not −0 and at most 2^53 in magnitude. Never fails.
    static bool fits(const analyze_value& cell);

    // Appends a row of the `count` cells at `cells`. False, with nothing added, when a cell does
    // not fit or the rows would grow past what their 32-bit offsets can reach.
    bool append(const analyze_value* cells, std::size_t count);

    // The number of rows; never fails.
    std::size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    void clear();

    // Makes `out` the cells of row `index`, which must be below size(). Never fails short of
    // memory exhaustion.
    void read(std::size_t index, std::pmr::vector<analyze_value>& out) const;

private:
    std::pmr::vector<uint8_t> bytes_;  // the numbers, zigzag-mapped, 7 bits a byte
    std::pmr::vector<uint32_t> ends_;  // where each row ends in bytes_
};
