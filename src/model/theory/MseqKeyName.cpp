#include "model/theory/MseqKeyName.h"

#include <array>

#include "model/core/floor_math.h"
#include "model/lang/MseqTexts.h"
#include "platform/TextCodec.h"

namespace {

// Letter, major and minor name of each pitch class.
constexpr mseq_msg kKeyNames[12][3] = {
    {mseq_msg::KEY_LETTER_C, mseq_msg::KEY_MAJOR_C, mseq_msg::KEY_MINOR_C},
    {mseq_msg::KEY_LETTER_C_SHARP, mseq_msg::KEY_MAJOR_C_SHARP, mseq_msg::KEY_MINOR_C_SHARP},
    {mseq_msg::KEY_LETTER_D, mseq_msg::KEY_MAJOR_D, mseq_msg::KEY_MINOR_D},
    {mseq_msg::KEY_LETTER_D_SHARP, mseq_msg::KEY_MAJOR_D_SHARP, mseq_msg::KEY_MINOR_D_SHARP},
    {mseq_msg::KEY_LETTER_E, mseq_msg::KEY_MAJOR_E, mseq_msg::KEY_MINOR_E},
    {mseq_msg::KEY_LETTER_F, mseq_msg::KEY_MAJOR_F, mseq_msg::KEY_MINOR_F},
    {mseq_msg::KEY_LETTER_F_SHARP, mseq_msg::KEY_MAJOR_F_SHARP, mseq_msg::KEY_MINOR_F_SHARP},
    {mseq_msg::KEY_LETTER_G, mseq_msg::KEY_MAJOR_G, mseq_msg::KEY_MINOR_G},
    {mseq_msg::KEY_LETTER_G_SHARP, mseq_msg::KEY_MAJOR_G_SHARP, mseq_msg::KEY_MINOR_G_SHARP},
    {mseq_msg::KEY_LETTER_A, mseq_msg::KEY_MAJOR_A, mseq_msg::KEY_MINOR_A},
    {mseq_msg::KEY_LETTER_A_SHARP, mseq_msg::KEY_MAJOR_A_SHARP, mseq_msg::KEY_MINOR_A_SHARP},
    {mseq_msg::KEY_LETTER_B, mseq_msg::KEY_MAJOR_B, mseq_msg::KEY_MINOR_B},
};

using NameTable = std::array<std::array<CkvString, 3>, 12>;

NameTable build_names(kv_language language) {
    NameTable table;
    for (int pc = 0; pc < 12; ++pc) {
        for (int mode = 0; mode < 3; ++mode) {
            const kv_entry& entry = mseq_text_entries()[static_cast<size_t>(kKeyNames[pc][mode])];
            table[pc][mode] = kv_codec::cp932_from_utf8(kv_pick(entry, language));
        }
    }
    return table;
}

}  // namespace

const CkvString& mseq_key_name(int32_t pc, int32_t mode) {
    // Both languages' tables are made at once, so the reference handed out stays valid when the
    // language changes.
    static const std::array<NameTable, 2> tables = {build_names(kv_language::japanese),
                                                    build_names(kv_language::english)};
    const NameTable& table = tables[kv_current_language() == kv_language::english ? 1 : 0];
    const int32_t column = (mode == MKEYNAME_MAJOR || mode == MKEYNAME_MINOR) ? mode : 0;
    return table[floor_mod(pc, 12)][column];
}
