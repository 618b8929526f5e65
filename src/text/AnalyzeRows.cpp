#include "text/AnalyzeRows.h"

#include <bit>
#include <limits>

namespace {

constexpr double kLargestWhole = 9007199254740992.0;  // 2^53: every whole double up to it is exact

std::pmr::memory_resource* or_heap(std::pmr::memory_resource* memory) {
    return memory ? memory : std::pmr::new_delete_resource();
}

}  // namespace

AnalyzeRows::AnalyzeRows(std::pmr::memory_resource* memory)
    : bytes_(or_heap(memory)), ends_(or_heap(memory)) {}

AnalyzeRows::AnalyzeRows(const AnalyzeRows& other, std::pmr::memory_resource* memory)
    : bytes_(other.bytes_, or_heap(memory)), ends_(other.ends_, or_heap(memory)) {}

bool AnalyzeRows::fits(const analyze_value& cell) {
    if (cell.kind_word() != AVK_NUMBER || cell.aux() != 0) return false;
    const double v = cell.number();
    // NaN and the infinities fail the range test; within it the conversion is exact for whole
    // values only.
    if (!(v >= -kLargestWhole && v <= kLargestWhole)) return false;
    return static_cast<double>(static_cast<int64_t>(v)) == v &&
           std::bit_cast<uint64_t>(v) != std::bit_cast<uint64_t>(-0.0);
}

bool AnalyzeRows::append(const analyze_value* cells, std::size_t count) {
    // A number takes at most 8 bytes; the offsets must stay within 32 bits.
    const std::size_t old_size = bytes_.size();
    if (old_size + 8 * count > std::numeric_limits<uint32_t>::max()) return false;
    bytes_.resize(old_size + 8 * count);
    uint8_t* out = bytes_.data() + old_size;
    for (std::size_t i = 0; i < count; ++i) {
        if (!fits(cells[i])) {
            bytes_.resize(old_size);
            return false;
        }
        const auto n = static_cast<int64_t>(cells[i].number());
        // Zigzag: small magnitudes of either sign become small unsigned numbers.
        uint64_t u = (static_cast<uint64_t>(n) << 1) ^ static_cast<uint64_t>(n >> 63);
        while (u >= 0x80) {
            *out++ = static_cast<uint8_t>(u | 0x80);
            u >>= 7;
        }
        *out++ = static_cast<uint8_t>(u);
    }
    bytes_.resize(static_cast<std::size_t>(out - bytes_.data()));
    ends_.push_back(static_cast<uint32_t>(bytes_.size()));
    return true;
}

void AnalyzeRows::clear() {
    bytes_.clear();
    ends_.clear();
}

void AnalyzeRows::read(std::size_t index, std::pmr::vector<analyze_value>& out) const {
    const uint8_t* p = bytes_.data() + (index == 0 ? 0 : ends_[index - 1]);
    const uint8_t* const end = bytes_.data() + ends_[index];
    // The cells already there are reused: the rows of one record mostly have one length.
    std::size_t n = 0;
    while (p < end) {
        uint64_t u = *p++;
        if (u >= 0x80) {
            u &= 0x7F;
            int shift = 7;
            for (;;) {
                const uint8_t b = *p++;
                u |= static_cast<uint64_t>(b & 0x7F) << shift;
                if (b < 0x80) break;
                shift += 7;
            }
        }
        const auto value = static_cast<double>(static_cast<int64_t>((u >> 1) ^ (~(u & 1) + 1)));
        if (n < out.size()) {
            out[n].set_number(value);
        } else {
            out.emplace_back().set_number(value);
        }
        ++n;
    }
    if (n < out.size()) out.erase(out.begin() + static_cast<std::ptrdiff_t>(n), out.end());
}
