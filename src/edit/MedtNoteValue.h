#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The note value typed notes take: a plain value from the whole note (1) to the 32nd (32),
// dotted (one and a half times as long) or a triplet (two thirds as long). Any thread.
struct MedtNoteValue {
    int32_t denominator = 4;  // 1, 2, 4, 8, 16 or 32
    bool dotted = false;
    bool triplet = false;

    bool operator==(const MedtNoteValue&) const = default;

    // The length in steps of a grid of `beats` steps a 4/4 bar; 0 when the grid cannot hold the
    // value in whole steps (a 32nd on a grid of 16ths, a triplet on a grid of 16ths).
    int32_t steps(int32_t beats) const;
    // The name of the value: "quarter", "dotted-8th", "triplet-16th".
    std::string name() const;
    // Reads a name as name() writes it, or the short form "4", "8.", "8t" (a number, then "."
    // for dotted or "t" for a triplet). False, `value` unchanged, for anything else (a dotted
    // triplet among them).
    static bool parse(std::string_view text, MedtNoteValue* value);
    // True for a denominator of the table (1 to 32, powers of two).
    static bool valid_denominator(int32_t denominator);
};
