#include "model/theory/MseqKeyName.h"

#include <array>

#include "model/core/floor_math.h"
#include "platform/TextCodec.h"

namespace {

// Letter, major and minor name of each pitch class. The major name of F is written with the
// hiragana へ while the minor name uses the katakana ヘ: both are kept as the program has always
// shown them.
constexpr const char* kKeyNames[12][3] = {
    {"C", "ハ長", "ハ短"},         {"C#", "変ニ長", "嬰ハ短"}, {"D", "ニ長", "ニ短"},
    {"D#", "変ホ長", "嬰ニ/変ホ"}, {"E", "ホ長", "ホ短"},      {"F", "へ長", "ヘ短"},
    {"F#", "変ト/嬰ヘ", "嬰ヘ短"}, {"G", "ト長", "ト短"},      {"G#", "変イ長", "嬰ト短"},
    {"A", "イ長", "イ短"},         {"A#", "変ロ長", "変ロ短"}, {"B", "ロ長", "ロ短"},
};

using NameTable = std::array<std::array<CkvString, 3>, 12>;

NameTable build_names() {
    NameTable table;
    for (int pc = 0; pc < 12; ++pc)
        for (int mode = 0; mode < 3; ++mode)
            table[pc][mode] = kv_codec::cp932_from_utf8(kKeyNames[pc][mode]);
    return table;
}

}  // namespace

const CkvString& mseq_key_name(int32_t pc, int32_t mode) {
    static const NameTable table = build_names();
    const int32_t column = (mode == MKEYNAME_MAJOR || mode == MKEYNAME_MINOR) ? mode : 0;
    return table[floor_mod(pc, 12)][column];
}
