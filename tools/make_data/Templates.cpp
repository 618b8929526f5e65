#include "Templates.h"

#include <functional>
#include <string>

#include "Instruments.h"
#include "Maps.h"
#include "PatternBook.h"
#include "model/block/MseqBlockRefer.h"
#include "model/block/MseqBlockValue.h"
#include "model/lang/KvLanguage.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackValue.h"
#include "text/MrecFileEntity.h"

namespace kv_data {

namespace {

// The marker track of a phrase template.
const char* markers() {
    return say("セクション", "Sections");
}

void piano_template(MseqMusic& p) {
    setup_phrase(p, say("ピアノ 16ビート", "Piano 16 beat"), program_word(GM_GRAND_PIANO), 120);
    add_markers(p, {{0, say("メイン", "Main")}}, markers());
    comp(voices(p,
                {say("右手 上", "Right hand high"), say("右手 中", "Right hand middle"),
                 say("右手 下", "Right hand low")},
                {chord_degree(2), chord_degree(1), chord_degree(0)}, 16, 0, 5, 90),
         0, "X--x--X---x--x--");
    comp(voices(p, {say("左手", "Left hand")}, {chord_degree(0)}, 16, 0, 4), 0, "X-------x--x----");
}

void mono_bass_template(MseqMusic& p) {
    setup_phrase(p, say("モノフォニックベース", "Monophonic bass"), program_word(GM_FINGER_BASS),
                 120);
    add_markers(p, {{0, say("メイン", "Main")}}, markers());
    line(add_note_track(p, say("ベース", "Bass"), 8, 0, 3, 90), MNBT_CDEG, 0, "0! 0 0 0 0! 0 2 0'");
}

void four_string_template(MseqMusic& p) {
    setup_phrase(p, say("4 弦ベース", "4-string bass"), program_word(GM_FINGER_BASS), 120);
    add_markers(p, {{0, say("メイン", "Main")}}, markers());
    std::vector<Voice> s = four_strings(p, 16, 0);
    grid(s[0].track, 0, "X.......X.....x.", s[0].pitch);
    grid(s[1].track, 0, "......x.........", s[1].pitch);
    grid(s[2].track, 0, "....x.......x...", s[2].pitch);
}

void guitar_template(MseqMusic& p) {
    setup_phrase(p, say("6 弦ギター", "6-string guitar"), program_word(GM_STEEL_GUITAR), 120);
    add_markers(p, {{0, say("メイン", "Main")}}, markers());
    strum(six_strings(p, 8, 0, 8, 95), 0, "D-du-udu", 8);
}

// The drum sounds a kit template offers, each on its own track; `patterns` fills the first.
void drum_template(MseqMusic& p, const char* name, int32_t beat,
                   const std::vector<std::string_view>& patterns) {
    setup_phrase(p, name, drum_kit_word(GM_STANDARD_KIT), 120);
    add_markers(p, {{0, say("メイン", "Main")}}, markers());
    const std::vector<std::pair<const char*, uint32_t>> kit = {
        {say("バスドラム", "Bass drum"), DR_KICK},
        {say("スネア", "Snare"), DR_SNARE},
        {say("クローズハイハット", "Closed hi-hat"), DR_CLOSED_HAT},
        {say("オープンハイハット", "Open hi-hat"), DR_OPEN_HAT},
        {say("クラッシュ", "Crash"), DR_CRASH},
        {say("ライド", "Ride"), DR_RIDE},
        {say("ハイタム", "High tom"), DR_HIGH_TOM},
        {say("ミドルタム", "Mid tom"), DR_MID_TOM},
        {say("フロアタム", "Floor tom"), DR_FLOOR_TOM},
    };
    for (size_t i = 0; i < kit.size(); ++i) {
        MseqTrackNote* t = add_drum_track(p, kit[i].first, kit[i].second, beat);
        if (i < patterns.size()) grid(t, 0, patterns[i], rhythm_note());
    }
}

void drum_8beat_template(MseqMusic& p) {
    drum_template(p, say("ドラム 8 拍", "Drums 8 beat"), 8,
                  {"X..xX...", "..X...X.", "xxxxxxxx", "........", "X......."});
}

void drum_16beat_template(MseqMusic& p) {
    drum_template(p, say("ドラム 16 拍", "Drums 16 beat"), 16,
                  {"X.....X.X..x....", "....X..g.g..X..g", "XxoxXxoxXxoxXx.x", "..............x.",
                   "X..............."});
}

void empty_template(MseqMusic& p) {
    setup_phrase(p, say("空のフレーズ", "Empty phrase"), program_word(GM_GRAND_PIANO), 120);
    add_markers(p, {{0, say("メイン", "Main")}}, markers());
    add_note_track(p, say("トラック", "Track"), 16, 0, 5);
}

// The identifiers the new-music command gives the leaves it creates in a new book: the music
// first, then the stage map, then the chord map (serials from 0x10001), as a music refers to
// leaves of its own book.
constexpr MSEQ_ID kNewStage = 0x210002;
constexpr MSEQ_ID kNewChord = 0x210003;

void music_template(MseqMusic& m) {
    m.name = jp(say("ミュージック", "Music"));
    m.m_Tempo = 120;
    m.m_MapStageID = kNewStage;
    m.m_MapChordID = kNewChord;
    add_markers(m, {{0, say("イントロ", "Intro")}}, say("マーカー", "Markers"));
    add_track<MseqTrackLyric>(m, MID_TRACK_HEADER, MTYPE_TRACK_LYRIC, say("歌詞", "Lyrics"));
    auto* tempo =
        add_track<MseqTrackTempo>(m, MID_TRACK_HEADER, MTYPE_TRACK_TEMPO, say("テンポ", "Tempo"));
    put(tempo, 0, MseqBlockValue(120));
    auto* chords =
        add_track<MseqTrackChord>(m, MID_TRACK_HEADER, MTYPE_TRACK_CHORD, say("コード", "Chords"));
    chords->m_MapID = kNewChord;
    if (!chords->set_grid_when_empty(4)) fail("chord grid");
    MseqMapChord c_major;
    major_key(c_major, say("ハ長調", "C major"), 0);
    put(chords, 0, palette_chord(c_major, 0));
    m.m_TrackChordID = chords->owner->id;

    add_note_track(m, say("メロディ", "Melody"), 16, 0, 5);
    const std::vector<std::pair<const char*, int32_t>> parts = {
        {say("コード楽器", "Chord instrument"), 1},
        {say("ベース", "Bass"), 2},
        {say("ギター", "Guitar"), 3},
        {say("ドラム", "Drums"), 9}};
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
    template_band_stage(s, say("ステージマップ", "Stage map"));
}
void chord_template(MseqMapChord& c) {
    major_key(c, say("ハ長調", "C major"), 0);
}

// Writes every template under `folder` ("template/" or "template/en/").
void write_templates_in(const Output& out, const std::string& folder) {
    const std::vector<TemplateFile> files = {
        {"pattern01/T_piano_16bt_01.kvnl", MTYPE_LEAF_PHRASE,
         as<MseqMusic>(MTYPE_LEAF_MUSIC, piano_template)},
        {"pattern01/T_bass_01.kvnl", MTYPE_LEAF_PHRASE,
         as<MseqMusic>(MTYPE_LEAF_MUSIC, mono_bass_template)},
        {"pattern01/T_bass_02.kvnl", MTYPE_LEAF_PHRASE,
         as<MseqMusic>(MTYPE_LEAF_MUSIC, four_string_template)},
        {"pattern01/T_guitar_01.kvnl", MTYPE_LEAF_PHRASE,
         as<MseqMusic>(MTYPE_LEAF_MUSIC, guitar_template)},
        {"pattern01/T_drum_8bt_01.kvnl", MTYPE_LEAF_PHRASE,
         as<MseqMusic>(MTYPE_LEAF_MUSIC, drum_8beat_template)},
        {"pattern01/T_drum_16bt_01.kvnl", MTYPE_LEAF_PHRASE,
         as<MseqMusic>(MTYPE_LEAF_MUSIC, drum_16beat_template)},
        {"pattern01/T_empty_01.kvnl", MTYPE_LEAF_PHRASE,
         as<MseqMusic>(MTYPE_LEAF_MUSIC, empty_template)},
        {"pattern01/T_stage_01.kvnl", MTYPE_LEAF_STAGE,
         as<MseqMapStage>(MTYPE_LEAF_STAGE, stage_template)},
        {"pattern01/T_chord_01.kvnl", MTYPE_LEAF_CHORD,
         as<MseqMapChord>(MTYPE_LEAF_CHORD, chord_template)},
        {"music01/music.kvnl", MTYPE_LEAF_MUSIC, as<MseqMusic>(MTYPE_LEAF_MUSIC, music_template)},
        {"music01/stage.kvnl", MTYPE_LEAF_STAGE,
         as<MseqMapStage>(MTYPE_LEAF_STAGE, stage_template)},
        {"music01/chord.kvnl", MTYPE_LEAF_CHORD,
         as<MseqMapChord>(MTYPE_LEAF_CHORD, chord_template)},
    };
    for (const TemplateFile& f : files) {
        MrecFileEntity file;
        if (!mrec_make_file_entity(f.type, file)) fail("no entity for " + std::string(f.path));
        f.build(file.entity.get());
        out.save(file.entity.get(), folder + f.path);
    }
}

}  // namespace

void write_templates(const Output& out) {
    write_templates_in(out, "template/");
}

void write_english_templates(const Output& out) {
    // The program speaks English while they are made, so that the words the templates take
    // from the dictionary (programs, drum kits, drum sounds) and the scale of the chord map
    // are named in English too.
    kv_set_language(kv_language::english);
    write_templates_in(out, "template/en/");
    kv_set_language(kv_language::japanese);
}

void write_scale_map(const Output& out) {
    MrecFileEntity file;
    if (!mrec_make_file_entity(MTYPE_LEAF_SCALE, file)) fail("no scale map entity");
    auto* scales = file.entity->cast_to<MseqMapScale>(MTYPE_LEAF_SCALE);
    fill_scale_map(*scales);
    out.save(scales, "define/mapscale.def");
}

}  // namespace kv_data
