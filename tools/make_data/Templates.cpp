#include "Templates.h"

#include <functional>

#include "Instruments.h"
#include "Maps.h"
#include "PatternBook.h"
#include "model/block/MseqBlockRefer.h"
#include "model/block/MseqBlockValue.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackValue.h"
#include "text/MrecFileEntity.h"

namespace kv_data {

namespace {

constexpr const char* kMarkers = "セクション";

void piano_template(MseqMusic& p) {
    setup_phrase(p, "ピアノ 16ビート", program_word(GM_GRAND_PIANO), 120);
    add_markers(p, {{0, "メイン"}}, kMarkers);
    comp(voices(p, {"右手 上", "右手 中", "右手 下"},
                {chord_degree(2), chord_degree(1), chord_degree(0)}, 16, 0, 5, 90),
         0, "X--x--X---x--x--");
    comp(voices(p, {"左手"}, {chord_degree(0)}, 16, 0, 4), 0, "X-------x--x----");
}

void mono_bass_template(MseqMusic& p) {
    setup_phrase(p, "モノフォニックベース", program_word(GM_FINGER_BASS), 120);
    add_markers(p, {{0, "メイン"}}, kMarkers);
    line(add_note_track(p, "ベース", 8, 0, 3, 90), MNBT_CDEG, 0, "0! 0 0 0 0! 0 2 0'");
}

void four_string_template(MseqMusic& p) {
    setup_phrase(p, "4 弦ベース", program_word(GM_FINGER_BASS), 120);
    add_markers(p, {{0, "メイン"}}, kMarkers);
    std::vector<Voice> s = four_strings(p, 16, 0);
    grid(s[0].track, 0, "X.......X.....x.", s[0].pitch);
    grid(s[1].track, 0, "......x.........", s[1].pitch);
    grid(s[2].track, 0, "....x.......x...", s[2].pitch);
}

void guitar_template(MseqMusic& p) {
    setup_phrase(p, "6 弦ギター", program_word(GM_STEEL_GUITAR), 120);
    add_markers(p, {{0, "メイン"}}, kMarkers);
    strum(six_strings(p, 8, 0, 8, 95), 0, "D-du-udu", 8);
}

// The drum sounds a kit template offers, each on its own track; `patterns` fills the first.
void drum_template(MseqMusic& p, const char* name, int32_t beat,
                   const std::vector<std::string_view>& patterns) {
    setup_phrase(p, name, drum_kit_word(GM_STANDARD_KIT), 120);
    add_markers(p, {{0, "メイン"}}, kMarkers);
    const std::vector<std::pair<const char*, uint32_t>> kit = {
        {"バスドラム", DR_KICK},
        {"スネア", DR_SNARE},
        {"クローズハイハット", DR_CLOSED_HAT},
        {"オープンハイハット", DR_OPEN_HAT},
        {"クラッシュ", DR_CRASH},
        {"ライド", DR_RIDE},
        {"ハイタム", DR_HIGH_TOM},
        {"ミドルタム", DR_MID_TOM},
        {"フロアタム", DR_FLOOR_TOM},
    };
    for (size_t i = 0; i < kit.size(); ++i) {
        MseqTrackNote* t = add_drum_track(p, kit[i].first, kit[i].second, beat);
        if (i < patterns.size()) grid(t, 0, patterns[i], rhythm_note());
    }
}

void drum_8beat_template(MseqMusic& p) {
    drum_template(p, "ドラム 8 拍", 8,
                  {"X..xX...", "..X...X.", "xxxxxxxx", "........", "X......."});
}

void drum_16beat_template(MseqMusic& p) {
    drum_template(p, "ドラム 16 拍", 16,
                  {"X.....X.X..x....", "....X..g.g..X..g", "XxoxXxoxXxoxXx.x", "..............x.",
                   "X..............."});
}

void empty_template(MseqMusic& p) {
    setup_phrase(p, "空のフレーズ", program_word(GM_GRAND_PIANO), 120);
    add_markers(p, {{0, "メイン"}}, kMarkers);
    add_note_track(p, "トラック", 16, 0, 5);
}

// The identifiers the new-music command gives the leaves it creates in a new book: the music
// first, then the stage map, then the chord map (serials from 0x10001), as a music refers to
// leaves of its own book.
constexpr MSEQ_ID kNewStage = 0x210002;
constexpr MSEQ_ID kNewChord = 0x210003;

void music_template(MseqMusic& m) {
    m.name = jp("ミュージック");
    m.m_Tempo = 120;
    m.m_MapStageID = kNewStage;
    m.m_MapChordID = kNewChord;
    add_markers(m, {{0, "イントロ"}}, "マーカー");
    add_track<MseqTrackLyric>(m, MID_TRACK_HEADER, MTYPE_TRACK_LYRIC, "歌詞");
    auto* tempo = add_track<MseqTrackTempo>(m, MID_TRACK_HEADER, MTYPE_TRACK_TEMPO, "テンポ");
    put(tempo, 0, MseqBlockValue(120));
    auto* chords = add_track<MseqTrackChord>(m, MID_TRACK_HEADER, MTYPE_TRACK_CHORD, "コード");
    chords->m_MapID = kNewChord;
    if (!chords->set_grid_when_empty(4)) fail("chord grid");
    MseqMapChord c_major;
    major_key(c_major, "ハ長調", 0);
    put(chords, 0, palette_chord(c_major, 0));
    m.m_TrackChordID = chords->owner->id;

    add_note_track(m, "メロディ", 16, 0, 5);
    const std::vector<std::pair<const char*, int32_t>> parts = {
        {"コード楽器", 1}, {"ベース", 2}, {"ギター", 3}, {"ドラム", 9}};
    for (const auto& [name, channel] : parts) {
        auto* r = add_track<MseqTrackRefer>(m, MID_TRACK_DETAIL, MTYPE_TRACK_REFER, name);
        if (!r->set_grid_when_empty(4) || !r->set_channel(channel)) fail("phrase track set-up");
    }
}

struct TemplateFile {
    const char* path;
    uint32_t type;
    std::function<void(MseqEntity*)> build;
};

template <class T>
std::function<void(MseqEntity*)> as(uint32_t type, void (*build)(T&)) {
    return [type, build](MseqEntity* e) {
        T* t = e->cast_to<T>(type);
        if (!t) fail("template of another kind");
        build(*t);
    };
}

void stage_template(MseqMapStage& s) {
    template_band_stage(s, "ステージマップ");
}
void chord_template(MseqMapChord& c) {
    major_key(c, "ハ長調", 0);
}

}  // namespace

void write_templates(const Output& out) {
    const std::vector<TemplateFile> files = {
        {"template/pattern01/T_piano_16bt_01.kvnl", MTYPE_LEAF_PHRASE,
         as<MseqMusic>(MTYPE_LEAF_MUSIC, piano_template)},
        {"template/pattern01/T_bass_01.kvnl", MTYPE_LEAF_PHRASE,
         as<MseqMusic>(MTYPE_LEAF_MUSIC, mono_bass_template)},
        {"template/pattern01/T_bass_02.kvnl", MTYPE_LEAF_PHRASE,
         as<MseqMusic>(MTYPE_LEAF_MUSIC, four_string_template)},
        {"template/pattern01/T_guitar_01.kvnl", MTYPE_LEAF_PHRASE,
         as<MseqMusic>(MTYPE_LEAF_MUSIC, guitar_template)},
        {"template/pattern01/T_drum_8bt_01.kvnl", MTYPE_LEAF_PHRASE,
         as<MseqMusic>(MTYPE_LEAF_MUSIC, drum_8beat_template)},
        {"template/pattern01/T_drum_16bt_01.kvnl", MTYPE_LEAF_PHRASE,
         as<MseqMusic>(MTYPE_LEAF_MUSIC, drum_16beat_template)},
        {"template/pattern01/T_empty_01.kvnl", MTYPE_LEAF_PHRASE,
         as<MseqMusic>(MTYPE_LEAF_MUSIC, empty_template)},
        {"template/pattern01/T_stage_01.kvnl", MTYPE_LEAF_STAGE,
         as<MseqMapStage>(MTYPE_LEAF_STAGE, stage_template)},
        {"template/pattern01/T_chord_01.kvnl", MTYPE_LEAF_CHORD,
         as<MseqMapChord>(MTYPE_LEAF_CHORD, chord_template)},
        {"template/music01/music.kvnl", MTYPE_LEAF_MUSIC,
         as<MseqMusic>(MTYPE_LEAF_MUSIC, music_template)},
        {"template/music01/stage.kvnl", MTYPE_LEAF_STAGE,
         as<MseqMapStage>(MTYPE_LEAF_STAGE, stage_template)},
        {"template/music01/chord.kvnl", MTYPE_LEAF_CHORD,
         as<MseqMapChord>(MTYPE_LEAF_CHORD, chord_template)},
    };
    for (const TemplateFile& f : files) {
        MrecFileEntity file;
        if (!mrec_make_file_entity(f.type, file)) fail("no entity for " + std::string(f.path));
        f.build(file.entity.get());
        out.save(file.entity.get(), f.path);
    }
}

void write_scale_map(const Output& out) {
    MrecFileEntity file;
    if (!mrec_make_file_entity(MTYPE_LEAF_SCALE, file)) fail("no scale map entity");
    auto* scales = file.entity->cast_to<MseqMapScale>(MTYPE_LEAF_SCALE);
    fill_scale_map(*scales);
    out.save(scales, "define/mapscale.def");
}

}  // namespace kv_data
