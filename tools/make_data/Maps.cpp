#include "Maps.h"

#include <algorithm>
#include <string>

#include "DataKit.h"
#include "Instruments.h"

namespace kv_data {

void major_key(MseqMapChord& map, std::string_view name, int32_t key) {
    map.reset();
    map.name = jp(name);
    map.set_chord_key(key);
    // The diminished chord on the seventh degree is offered too.
    MseqBlockChord vii = map.m_Blocks[18];
    vii.m_Flags &= ~MCHORD_NO_KEY;
    if (!map.set_palette_slot(18, vii)) fail("palette slot 18 refused");
}

MseqBlockChord palette_chord(const MseqMapChord& map, int32_t degree) {
    const int32_t slot = 12 + degree;
    if (slot < 12 || slot > 23) fail("no palette degree " + std::to_string(degree));
    MseqBlockChord chord = map.m_Blocks[static_cast<size_t>(slot)];
    if (chord.m_Flags & MCHORD_NO_KEY) fail("palette slot " + std::to_string(slot) + " is off");
    return chord;
}

MseqBlockChord own_chord(int32_t type, int32_t root) {
    MseqBlockChord chord;
    if (!chord.set_type(type)) fail("no chord type " + std::to_string(type));
    chord.m_Flags = MCHORD_RELATIVE_ROOT | MCHORD_NO_KEY;
    chord.m_Root = root;
    return chord;
}

void general_midi_stage(MseqMapStage& map, std::string_view name,
                        const std::vector<ChannelSetup>& channels) {
    map.reset();
    map.name = jp(name);
    map.m_Setup = MMS_SETUP_GM1;
    for (int32_t c = 0; c < MseqMapStage::kChannels; ++c)
        map.block(c)->m_Flags = MSTAGE_DEFAULT;
    for (const ChannelSetup& s : channels) {
        MseqBlockStage* b = map.block(s.channel);
        if (!b) fail("no channel " + std::to_string(s.channel));
        b->m_Program = s.channel == MseqMapStage::kDrumChannel ? drum_kit_word(s.program)
                                                               : program_word(s.program);
        b->m_Volume = s.volume;
        b->m_Pan = s.pan;
        b->m_Reverb = s.reverb;
        b->m_Chorus = s.chorus;
        b->m_Flags = MSTAGE_DEFAULT | (s.used ? MSTAGE_USED | MSTAGE_RESET_CONTROLLERS : 0);
    }
}

void template_band_stage(MseqMapStage& map, std::string_view name) {
    general_midi_stage(map, name,
                       {
                           {0, GM_GRAND_PIANO, 100, 64, 40, 0},
                           {1, GM_EPIANO, 96, 48, 40, 20},
                           {2, GM_FINGER_BASS, 110, 64, 10, 0},
                           {3, GM_STEEL_GUITAR, 92, 84, 40, 20},
                           {4, GM_CLEAN_GUITAR, 88, 40, 30, 30, false},
                           {5, GM_STRINGS, 90, 76, 60, 0, false},
                           {6, 61, 90, 52, 40, 0, false},
                           {7, GM_FLUTE, 96, 70, 50, 0, false},
                           {8, 52, 86, 58, 70, 0, false},
                           {9, GM_STANDARD_KIT, 110, 64, 30, 0},
                           {10, 11, 90, 80, 50, 0, false},
                           {11, 89, 80, 64, 70, 40, false},
                           {12, GM_DRAWBAR_ORGAN, 88, 44, 40, 0, false},
                           {13, 65, 96, 60, 40, 0, false},
                           {14, 56, 96, 68, 40, 0, false},
                           {15, 40, 92, 72, 50, 0, false},
                       });
}

namespace {

struct ScaleRecipe {
    const char* name;
    uint32_t show_tune;
    int32_t tone_tune;
    std::vector<int32_t> semitones;
};

// Builds the scale as a user would in the editor: starting from the Ionian preset, the wanted
// semitones are switched on first and the others off.
MseqBlockScale make_scale(const ScaleRecipe& recipe) {
    MseqBlockScale s = *MseqBlockScale::preset(1);
    auto wanted = [&](int32_t k) {
        return std::find(recipe.semitones.begin(), recipe.semitones.end(), k) !=
               recipe.semitones.end();
    };
    auto present = [&](int32_t k) {
        for (int32_t i = 0; i < s.key_count; ++i) {
            if (s.keys[static_cast<size_t>(i)].m_Key == k) return true;
        }
        return false;
    };
    for (int32_t k = 1; k < 12; ++k) {
        if (wanted(k) && !present(k) && !s.toggle_key(k, 0)) fail("cannot add a scale key");
    }
    for (int32_t k = 1; k < 12; ++k) {
        if (!wanted(k) && present(k) && !s.toggle_key(k, 0)) fail("cannot remove a scale key");
    }
    s.m_Name = jp(recipe.name);
    s.m_ShowTune = recipe.show_tune;
    s.m_ToneTune = recipe.tone_tune;
    return s;
}

}  // namespace

void fill_scale_map(MseqMapScale& scales) {
    scales.reset();
    scales.name = jp("スケールマップ");
    // m_ToneTune: from the scale's tonic to the tonic of the key signature it is written in.
    // The major pentatonic (yona-nuki major) is a preset already.
    const std::vector<ScaleRecipe> recipes = {
        {"ブルース", 0, 3, {0, 3, 5, 6, 7, 10}},
        {"メジャーブルース", 0, 0, {0, 2, 3, 4, 7, 9}},
        {"ホールトーン", 0, 0, {0, 2, 4, 6, 8, 10}},
        {"ハーモニックメジャー", 1, 0, {0, 2, 4, 5, 7, 8, 11}},
        {"ヨナ抜き短音階", 2, 3, {0, 2, 3, 7, 8}},
        {"民謡音階", 0, 3, {0, 3, 5, 7, 10}},
        {"律音階", 0, -2, {0, 2, 5, 7, 9}},
        {"都節音階", 0, -4, {0, 1, 5, 7, 8}},
        {"陰音階", 0, -4, {0, 1, 5, 7, 10}},
        {"琉球音階", 1, 0, {0, 4, 5, 7, 11}},
        {"ハンガリアンマイナー", 2, 3, {0, 2, 3, 6, 7, 8, 11}},
        {"フリジアン ドミナント", 0, -4, {0, 1, 4, 5, 7, 8, 10}},
        {"ダブルハーモニック", 0, 0, {0, 1, 4, 5, 7, 8, 11}},
        {"ビバップ ドミナント", 0, 5, {0, 2, 4, 5, 7, 9, 10, 11}},
        {"ビバップ メジャー", 1, 0, {0, 2, 4, 5, 7, 8, 9, 11}},
        {"クロマチック", 0, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
    };
    for (const ScaleRecipe& recipe : recipes)
        scales.add(make_scale(recipe));
}

}  // namespace kv_data
