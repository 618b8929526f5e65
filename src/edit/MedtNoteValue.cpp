#include "edit/MedtNoteValue.h"

#include <charconv>

namespace {

struct Named {
    int32_t denominator;
    const char* name;
};
constexpr Named kNames[] = {{1, "whole"}, {2, "half"},  {4, "quarter"},
                            {8, "8th"},   {16, "16th"}, {32, "32nd"}};

bool parse_base(std::string_view text, int32_t* denominator) {
    for (const Named& n : kNames) {
        if (text == n.name) {
            *denominator = n.denominator;
            return true;
        }
    }
    int32_t number = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, number);
    if (ec != std::errc() || ptr != end || text.empty() || text[0] == '0') return false;
    if (!MedtNoteValue::valid_denominator(number)) return false;
    *denominator = number;
    return true;
}

bool strip_prefix(std::string_view& text, std::string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix) return false;
    text.remove_prefix(prefix.size());
    return true;
}

}  // namespace

bool MedtNoteValue::valid_denominator(int32_t denominator) {
    for (const Named& n : kNames) {
        if (n.denominator == denominator) return true;
    }
    return false;
}

int32_t MedtNoteValue::steps(int32_t beats) const {
    if (beats < 1 || !valid_denominator(denominator)) return 0;
    // steps = beats / denominator, times 3/2 dotted or 2/3 as a triplet.
    int64_t num = beats, den = denominator;
    if (dotted) {
        num *= 3;
        den *= 2;
    } else if (triplet) {
        num *= 2;
        den *= 3;
    }
    if (num % den != 0) return 0;
    return static_cast<int32_t>(num / den);
}

std::string MedtNoteValue::name() const {
    std::string base = "quarter";
    for (const Named& n : kNames) {
        if (n.denominator == denominator) base = n.name;
    }
    if (dotted) return "dotted-" + base;
    if (triplet) return "triplet-" + base;
    return base;
}

bool MedtNoteValue::parse(std::string_view text, MedtNoteValue* value) {
    MedtNoteValue v;
    if (strip_prefix(text, "dotted-")) {
        v.dotted = true;
    } else if (strip_prefix(text, "triplet-")) {
        v.triplet = true;
    } else if (!text.empty() && (text.back() == '.' || text.back() == 't')) {
        (text.back() == '.' ? v.dotted : v.triplet) = true;
        text.remove_suffix(1);
    }
    if (!parse_base(text, &v.denominator)) return false;
    *value = v;
    return true;
}
