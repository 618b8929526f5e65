#include "model/theory/MseqMapWord.h"

#include <cstdio>
#include <string>

#include "model/lang/MseqTexts.h"
#include "platform/TextCodec.h"

namespace {

constexpr auto kFirstProgram = static_cast<size_t>(mseq_msg::PROGRAM_000);
constexpr auto kFirstDrumSound = static_cast<size_t>(mseq_msg::DRUM_SOUND_035);
// The named percussion keys of the General MIDI key map.
constexpr uint32_t kLowestNamedDrum = 35, kHighestNamedDrum = 81;
static_assert(static_cast<size_t>(mseq_msg::PROGRAM_127) - kFirstProgram == 127);
static_assert(static_cast<size_t>(mseq_msg::DRUM_SOUND_081) - kFirstDrumSound ==
              kHighestNamedDrum - kLowestNamedDrum);

// The drum kits, by the kit's program number (the General MIDI 2 kits are marked so).
struct Kit {
    uint32_t program;
    mseq_msg name;
};
constexpr Kit kDrumKits[] = {
    {0, mseq_msg::DRUM_KIT_000},  {8, mseq_msg::DRUM_KIT_008},  {16, mseq_msg::DRUM_KIT_016},
    {24, mseq_msg::DRUM_KIT_024}, {25, mseq_msg::DRUM_KIT_025}, {32, mseq_msg::DRUM_KIT_032},
    {40, mseq_msg::DRUM_KIT_040}, {48, mseq_msg::DRUM_KIT_048}, {56, mseq_msg::DRUM_KIT_056},
};

// The catalogue's text as the dictionary keeps it (CP932).
CkvString word_text(size_t entry, kv_language language) {
    return CkvString(kv_codec::cp932_from_utf8(kv_pick(mseq_text_entries()[entry], language)));
}

void add_word(MseqMapWord& map, uint16_t kind, uint32_t index, size_t entry, kv_language language) {
    map.add(MseqBlockWord(kind, 0, index, word_text(entry, language)));
}

}  // namespace

const MseqMapWord& MseqMapWord::builtin() {
    return builtin(kv_current_language());
}

const MseqMapWord& MseqMapWord::builtin(kv_language language) {
    // One dictionary per language, each filled on first use.
    static const MseqMapWord japanese = [] {
        MseqMapWord m;
        m.add_builtin(kv_language::japanese);
        return m;
    }();
    static const MseqMapWord english = [] {
        MseqMapWord m;
        m.add_builtin(kv_language::english);
        return m;
    }();
    return language == kv_language::english ? english : japanese;
}

bool MseqMapWord::add(const MseqBlockWord& word) {
    return words_.emplace(key_of(word.m_Attrib, word.m_Group, word.m_Index), word).second;
}

void MseqMapWord::add_builtin() {
    add_builtin(kv_current_language());
}

void MseqMapWord::add_builtin(kv_language language) {
    for (uint32_t program = 0; program < 128; ++program)
        add_word(*this, MWORD_PROGRAM, program, kFirstProgram + program, language);
    for (const Kit& kit : kDrumKits)
        add_word(*this, MWORD_DRUM_KIT, kit.program, static_cast<size_t>(kit.name), language);
    for (uint32_t note = kLowestNamedDrum; note <= kHighestNamedDrum; ++note)
        add_word(*this, MWORD_DRUM_SOUND, note, kFirstDrumSound + (note - kLowestNamedDrum),
                 language);
    // Every other note still gets a name, so that a drum pattern can use any of them: its
    // number counted from 1.
    const char* numbered =
        kv_pick(mseq_text_entries()[static_cast<size_t>(mseq_msg::DRUM_SOUND_NUMBERED)], language);
    for (uint32_t note = 0; note < 128; ++note) {
        char name[32];
        std::snprintf(name, sizeof name, numbered, static_cast<int>(note + 1));
        add(MseqBlockWord(MWORD_DRUM_SOUND, 0, note, CkvString(kv_codec::cp932_from_utf8(name))));
    }
}

const MseqBlockWord* MseqMapWord::builtin_named(uint16_t kind, const CkvString& name) {
    if (name.empty()) return nullptr;
    for (kv_language language :
         {kv_current_language(), kv_language::japanese, kv_language::english}) {
        for (const auto& [key, word] : builtin(language).words()) {
            if (word.m_Attrib == kind && word.m_Name == name) return &word;
        }
    }
    return nullptr;
}

const MseqBlockWord* MseqMapWord::get(uint16_t kind, uint16_t group, uint32_t index) const {
    auto it = words_.find(key_of(kind, group, index));
    return it == words_.end() ? nullptr : &it->second;
}

MseqBlockWord MseqMapWord::find(uint16_t kind, uint16_t group, uint32_t index) const {
    if (const MseqBlockWord* w = get(kind, group, index)) return *w;
    return MseqBlockWord(kind, group, index);
}
