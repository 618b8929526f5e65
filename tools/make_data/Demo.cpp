#include "Demo.h"

#include <sstream>
#include <vector>

#include "DataKit.h"
#include "Instruments.h"
#include "Maps.h"
#include "PatternBook.h"
#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockLink.h"
#include "model/block/MseqBlockRefer.h"
#include "model/block/MseqBlockValue.h"
#include "model/theory/MseqMsgForm.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackText.h"
#include "model/track/MseqTrackValue.h"

namespace kv_data {

MSEQ_ID DemoRefs::phrase(const std::string& file) const {
    auto it = phrases.find(file);
    if (it == phrases.end()) fail("the phrase " + file + " is not linked into the music book");
    return it->second;
}

namespace {

// Channels of the demo band (the stage map "バンド").
enum : int32_t {
    CH_MELODY = 0,
    CH_PIANO = 1,
    CH_BASS = 2,
    CH_ACOUSTIC = 3,
    CH_ELECTRIC = 4,
    CH_STRINGS = 5,
    CH_CELESTA = 6,
    CH_CHOIR = 7,
    CH_DRUMS = 9,
};

// Phrase tracks count in quarter notes.
constexpr int32_t kReferBeat = 4;

MseqTrackRefer* phrase_track(MseqMusic& m, std::string_view name, int32_t channel,
                             int32_t velocity_rate = 100) {
    auto* t = add_track<MseqTrackRefer>(m, MID_TRACK_DETAIL, MTYPE_TRACK_REFER, name);
    if (!t->set_grid_when_empty(kReferBeat) || !t->set_channel(channel))
        fail("phrase track set-up");
    t->m_VRate = velocity_rate;
    return t;
}

// Places a phrase from `bar` (plus `beat` quarters) for `beats` quarters.
void place(MseqTrackRefer* t, int32_t bar, int32_t beats, MSEQ_ID phrase, const char* marker,
           uint32_t mode, int32_t rotation = 0, int32_t beat = 0) {
    MseqBlockRefer r;
    r.m_Length = beats;
    r.m_PhraseID = phrase;
    r.m_StartMarker = jp(marker);
    r.m_Mode = mode;
    r.m_Rotation = rotation;
    put(t, bar * kReferBeat + beat, r);
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

// One syllable (UTF-8) at the start of every note of the melody between the two steps.
void lyrics(MseqTrackLyric* track, const MseqTrackNote* melody, int32_t from, int32_t to,
            const std::string& syllables) {
    const std::vector<int32_t> starts = note_starts(melody, from, to);
    const std::vector<std::string> each = words(syllables);
    if (starts.size() != each.size())
        fail("the lyrics have " + std::to_string(each.size()) + " syllables for " +
             std::to_string(starts.size()) + " notes");
    for (size_t i = 0; i < starts.size(); ++i) {
        MseqBlockLabel label;
        label.m_Label = jp(each[i]);
        put(track, starts[i], label);
    }
}

// The chord track of a music: the chords of `progression` on half bars, each a palette degree
// of `palette` or a chord of its own.
struct ChordAt {
    int32_t half_bar;
    MseqBlockChord chord;
};

MseqTrackChord* chord_track(MseqMusic& m, MSEQ_ID map, const std::vector<ChordAt>& progression) {
    auto* t =
        add_track<MseqTrackChord>(m, MID_TRACK_HEADER, MTYPE_TRACK_CHORD, say("コード", "Chords"));
    if (!t->set_grid_when_empty(2)) fail("chord grid");
    t->m_MapID = map;
    for (const ChordAt& c : progression)
        put(t, c.half_bar, c.chord);
    m.m_TrackChordID = t->owner->id;
    return t;
}

// Bars of chords given as palette degrees (0 = I ... 6 = vii), one per bar from `bar`.
void per_bar(std::vector<ChordAt>& out, const MseqMapChord& palette, int32_t bar,
             const std::vector<int32_t>& degrees) {
    for (int32_t d : degrees) {
        out.push_back({bar * 2, palette_chord(palette, d)});
        ++bar;
    }
}

void tempo_track(MseqMusic& m, int32_t beat, const std::vector<std::pair<int32_t, int32_t>>& at) {
    auto* t =
        add_track<MseqTrackTempo>(m, MID_TRACK_HEADER, MTYPE_TRACK_TEMPO, say("テンポ", "Tempo"));
    if (!t->set_grid_when_empty(beat)) fail("tempo grid");
    for (const auto& [index, bpm] : at)
        put(t, index, MseqBlockValue(bpm));
}

void memo(MseqMusic& m, std::string_view text) {
    auto* t = add_track<MseqTrackText>(m, MID_TRACK_HEADER, MTYPE_TRACK_TEXT, say("メモ", "Memo"));
    t->m_Text = jp(text);
}

// The song's keyboard, written chord by chord as an arranger voices it: three right-hand voices
// (low to high) and a left hand, all playing chord degrees so that they follow the chord track
// and the key change.
struct Keyboard {
    std::vector<MseqTrackNote*> right;
    MseqTrackNote* left;
};

Keyboard keyboard(MseqMusic& m, int32_t velocity_rate) {
    Keyboard k;
    // Short English names ("RH", "LH"): the track list's name column cuts a name after about 18
    // characters, and "Piano right hand ..." left the three voices looking alike.
    for (std::string_view name :
         {say("ピアノ 右手 下", "Piano RH low"), say("ピアノ 右手 中", "Piano RH mid"),
          say("ピアノ 右手 上", "Piano RH high")}) {
        k.right.push_back(add_note_track(m, name, 8, CH_PIANO, 5, 90));
        k.right.back()->m_VRate = velocity_rate;
    }
    k.left = add_note_track(m, say("ピアノ 左手", "Piano LH"), 8, CH_PIANO, 3);
    k.left->m_VRate = velocity_rate;
    return k;
}

// Plays one rhythm bar (eight steps) of each hand from `bar` on, a bar for each entry of
// `chords`. An entry is the right hand's three chord degrees, '/', and the left hand's degree
// ("-1 0 1/0'"); two such chords separated by ';' share the bar, a half each, and the rhythms
// must then start a note at the half. The song picks for each chord the inversion nearest the
// chord before, so that the voices move by steps instead of jumping with the root.
void comp_chords(const Keyboard& k, int32_t bar, const std::vector<std::string>& chords,
                 std::string_view right_rhythm, std::string_view left_rhythm) {
    if (right_rhythm.size() != 8 || left_rhythm.size() != 8) fail("a keyboard rhythm is a bar");
    for (const std::string& entry : chords) {
        std::vector<std::string> halves;
        std::istringstream parts(entry);
        for (std::string part; std::getline(parts, part, ';');)
            halves.push_back(part);
        if (halves.empty() || halves.size() > 2) fail("bad keyboard bar \"" + entry + "\"");
        const size_t steps = 8 / halves.size();
        for (size_t h = 0; h < halves.size(); ++h) {
            const size_t slash = halves[h].find('/');
            if (slash == std::string::npos) fail("no left hand in \"" + entry + "\"");
            const std::vector<std::string> right = words(halves[h].substr(0, slash));
            const std::vector<std::string> left = words(halves[h].substr(slash + 1));
            if (right.size() != k.right.size() || left.size() != 1)
                fail("bad voicing \"" + halves[h] + "\"");
            const int32_t at = bar * 8 + static_cast<int32_t>(h * steps);
            for (size_t v = 0; v < right.size(); ++v)
                grid(k.right[v], at, right_rhythm.substr(h * steps, steps),
                     pitch_of(MNBT_CDEG, right[v]));
            grid(k.left, at, left_rhythm.substr(h * steps, steps), pitch_of(MNBT_CDEG, left[0]));
        }
        ++bar;
    }
}

const char* song_memo() {
    return say(
        "はじまりの朝 - Korvante のデモ曲\r\n"
        "\r\n"
        "イントロ 4 小節、A メロ 8 小節、B メロ 4 小節、サビ 8 小節、転調したサビ 8 小節、"
        "アウトロ 4 小節、エンディング 4 小節の 40 小節です。\r\n"
        "コードトラックはコードマップのパレットを指し、転調トラックがハ長調からニ長調へ"
        "コードマップを切り替えます（25 小節目）。\r\n"
        "メロディはトーン、ストリングスはスケール度数、コーラスと A メロからサビまでのピアノは"
        "コード度数、セレスタは音名そのまま（ピュア）、タンバリンはリズムの音符で書かれています。"
        "ピアノの和音は前の和音にいちばん近い転回形を選び、メロディより 3 "
        "度以上低く保っています。\r\n"
        "そのほかの伴奏は標準パターンブックのフレーズです。イントロのピアノとアウトロのギターは"
        "ストレッチ、B メロ最後のキメと最後のピアノはサウンドカット、最後の和音はブロックキープ、"
        "そのほかはブロックカットで置かれています。\r\n",
        "First Morning - a demo song of Korvante\r\n"
        "\r\n"
        "40 bars: a 4-bar intro, an 8-bar verse, a 4-bar pre-chorus, an 8-bar chorus, the "
        "chorus again in a new key for 8 bars, a 4-bar outro and a 4-bar ending.\r\n"
        "The chord track points into the palette of the chord map, and the key-change "
        "track switches the chord map from C major to D major (bar 25).\r\n"
        "The melody is written in tones, the strings in scale degrees, the choir and the "
        "piano from the verse to the chorus in chord degrees, the celesta in plain note "
        "names (pure notes) and the tambourine in rhythm notes. The piano's chords take the "
        "inversion nearest the chord before and stay a third or more below the melody.\r\n"
        "The rest of the accompaniment is phrases of the standard pattern book. The intro's "
        "piano and the outro's guitar are placed with Stretch, the stop at the end of the "
        "pre-chorus and the last piano with Note cut, the last chord with Keep, and the "
        "others with Block cut.\r\n");
}

const char* sampler_memo() {
    return say(
        "パターン見本\r\n"
        "\r\n"
        "標準パターンブックの全フレーズを 4 小節ずつ組み合わせて鳴らします。"
        "I - VIm - IV - V の進行の上で、キーボード（チャンネル 2）、ベース（3）、"
        "ギター（4）、ドラム（10）のフレーズがそれぞれのメインセクションから始まります。\r\n"
        "マーカーに組み合わせの番号と曲調が書かれています。\r\n",
        "Pattern sampler\r\n"
        "\r\n"
        "Plays every phrase of the standard pattern book, four bars for each combination. "
        "Over the progression I - VIm - IV - V the phrases of the keyboard (channel 2), bass "
        "(3), guitar (4) and drums (10) each start from their Main section.\r\n"
        "The markers give each combination's number and style.\r\n");
}

}  // namespace

void build_demo_song(MseqMusic& m, const DemoRefs& refs) {
    m.m_Copyright = jp(say("Korvante デモソング", "Korvante demo song"));
    m.m_Tempo = 104;
    m.m_MapStageID = refs.stage;
    m.m_MapChordID = refs.chord_c;

    // ---- header: sections, words, tempo, key and chords --------------------------------
    add_markers(m,
                {{0, say("イントロ", "Intro")},
                 {4, say("Aメロ", "Verse")},
                 {12, say("Bメロ", "Pre-chorus")},
                 {16, say("サビ", "Chorus")},
                 {24, say("転調サビ", "Chorus in D")},
                 {32, say("アウトロ", "Outro")},
                 {36, say("エンディング", "Ending")}},
                say("マーカー", "Markers"));
    auto* words_track =
        add_track<MseqTrackLyric>(m, MID_TRACK_HEADER, MTYPE_TRACK_LYRIC, say("歌詞", "Lyrics"));
    if (!words_track->set_grid_when_empty(8)) fail("lyric grid");
    // The tempo moves where the tune breathes: up for the chorus, after the pre-chorus has let
    // its last note go; again with the A7 before the key change, where the pickup starts after
    // half a bar's rest; back for the outro, after the last chorus has ended; and a ritardando
    // of two or three beats per minute a beat over the ending's first two bars into the last
    // chord.
    tempo_track(m, 4,
                {{0, 104},
                 {16 * 4, 108},
                 {23 * 4 + 2, 112},
                 {32 * 4, 104},
                 {36 * 4 + 1, 102},
                 {36 * 4 + 2, 100},
                 {36 * 4 + 3, 98},
                 {37 * 4, 95},
                 {37 * 4 + 1, 92},
                 {37 * 4 + 2, 89},
                 {37 * 4 + 3, 86},
                 {38 * 4, 83}});

    auto* key = add_track<MseqTrackChordMap>(m, MID_TRACK_HEADER, MTYPE_TRACK_CHORD_MAP,
                                             say("転調", "Key change"));
    put(key, 0, MseqBlockLink(refs.chord_c));
    put(key, 24, MseqBlockLink(refs.chord_d));

    MseqMapChord palette;
    major_key(palette, say("ハ長調", "C major"), 0);
    std::vector<ChordAt> chords;
    per_bar(chords, palette, 0, {0, 5, 3, 4});               // intro
    per_bar(chords, palette, 4, {0, 4, 5, 2, 3, 0, 1, 4});   // A
    per_bar(chords, palette, 12, {3, 4, 2});                 // B
    chords.push_back({29, palette_chord(palette, 5)});       // B: vi on the second half
    per_bar(chords, palette, 15, {1});                       //    ii, then V
    chords.push_back({31, palette_chord(palette, 4)});       //
    per_bar(chords, palette, 16, {3, 4, 2, 5, 1, 4, 0, 0});  // chorus
    chords.push_back({47, own_chord(2, 9)});                 // A7 leads into D major
    per_bar(chords, palette, 24, {3, 4, 2, 5, 1, 4, 0, 0});  // chorus in D
    per_bar(chords, palette, 32, {3, 4, 5, 4});              // outro
    per_bar(chords, palette, 36, {3});                       // ending: IV,
    chords.push_back({74, own_chord(1, 5)});                 //   the minor iv,
    per_bar(chords, palette, 38, {0, 0});                    //   and home
    chord_track(m, key->owner->id, chords);
    memo(m, song_memo());

    // ---- the tune and the parts written in the music -----------------------------------
    // The flute sings in its bright middle octave (B4 to F#6), above the whole band.
    MseqTrackNote* melody = add_note_track(m, say("メロディ", "Melody"), 8, CH_MELODY, 6, 95);
    const std::string chorus =
        "c'*3 a c'*2 d'*2 | b*3 g d'*4 | b*2 a g e*3 g | a*5 r g a | a*2 d'*2 c'*2 a*2 | "
        "b*2 c' d' d'*4";
    line(melody, MNBT_TONE, 4 * 8,
         bars({"r e g a g*3 e",
               "d*2 d e d*3 r",
               "r c e g a*3 g",
               "g*2 e*2 b,*3 r",
               "r c f a c'*3 a",
               "g*2 e*2 c*3 r",
               "r d f a g*2 f e",
               "d*6 r*2",
               "a*2 a g f*2 e f",
               "g*3 d' b*2 r*2",
               "g*2 e*2 e*2 c*2",
               "d*2 f*2 g*3 r",
               chorus,
               "e'*3 d' c'*4",
               "r*4 e' c#' a*2",
               chorus,
               "e'*2 d'*2 c'*4",
               "r*8",
               "a*8",
               "b*8",
               "c'*8",
               "b*4 d'*4",
               "a*4 c'*4",
               "c'*4 ab*4",
               "c'*8",
               "_*8"}));
    // Each phrase swells to its highest note; the verse stays gentle, the chorus peaks.
    struct Phrase {
        int32_t from, to;  // steps (eighths)
        uint8_t low, high;
    };
    for (const Phrase& p : std::vector<Phrase>{{4 * 8, 6 * 8, 80, 92},
                                               {6 * 8, 8 * 8, 80, 94},
                                               {8 * 8, 10 * 8, 82, 94},
                                               {10 * 8, 12 * 8, 80, 92},
                                               {12 * 8, 14 * 8, 84, 98},
                                               {14 * 8, 16 * 8, 84, 98},
                                               {16 * 8, 18 * 8, 88, 104},
                                               {18 * 8, 20 * 8, 86, 100},
                                               {20 * 8, 22 * 8, 88, 104},
                                               {22 * 8, 23 * 8 + 4, 88, 102},
                                               {23 * 8 + 4, 26 * 8, 90, 105},
                                               {26 * 8, 28 * 8, 88, 102},
                                               {28 * 8, 30 * 8, 90, 105},
                                               {30 * 8, 32 * 8, 90, 105},
                                               {32 * 8, 36 * 8, 82, 94},
                                               {36 * 8, 40 * 8, 80, 90}})
        shape_phrase(melody, p.from, p.to, p.low, p.high);
    // The English words keep the Japanese syllable count, phrase by phrase, so that each
    // note sings one syllable in either language.
    lyrics(words_track, melody, 4 * 8, 40 * 8,
           say("ま ど を あ け て ひ か り "
               "と り た ち が う た う "
               "あ た ら し い み ち へ "
               "ふ み だ す い っ ぽ "
               "か ぜ が そ っ と せ な か を お し て く れ る "
               "は じ ま り の あ さ そ ら は ど こ ま で も "
               "あ お く ひ ろ が っ て ゆ こ う き み と "
               "か が や く あ し た ゆ め は ど こ ま で も "
               "ま っ す ぐ に の び て ゆ こ う "
               "ら ら ら ら ら あ さ が く る",
               "o- pen the win- dow let the light in "
               "all the birds are sing- ing a song "
               "a new road is wait- ing for me "
               "one step for- ward here I go "
               "gent- ly the wind comes from be- hind me help- ing me a- long the way "
               "here comes the morn- ing the sky o- pens wide and end- less and blue "
               "spread- ing out a- cross the land so come a- long come with me "
               "bright to- mor- row dreams go on and on as far as we can see "
               "reach- ing straight up to the sky we car- ry on "
               "la la la la la here comes the morn- ing"));

    // The piano's chords, from the first verse to the end of the second chorus. The right hand
    // keeps below the tune (a third or more) and each chord takes the inversion nearest the
    // one before; the left hand plays the root between F2 and E3, above the bass.
    const Keyboard keys = keyboard(m, 95);
    comp_chords(keys, 4, {"0 1 2/0'", "-2 -1 0/0", "-2 -1 0/0", "-1 0 1/0'"}, "x---x-o-",
                "x-------");
    comp_chords(keys, 8, {"-1 0 1/0", "0 1 2/0'", "0 1 2/0'", "-1 0 1/0"}, "x-ox-ox-", "x---o---");
    comp_chords(keys, 12, {"-1 0 1/0", "-2 -1 0/0", "-1 0 1/0' ; -2 -1 0/0"}, "x-oxx-ox",
                "x---x---");
    const std::vector<std::string> chorus_chords = {
        "-1 0 1/0", "0 1 2/0'", "-1 0 1/0", "1 2 3/0'", "0 1 2/0", "2 3 4/0'",
    };
    for (int32_t bar : {16, 24}) {
        // IV opens low after the break's stab, or high after the A7 of the key change.
        comp_chords(keys, bar, {bar == 16 ? "-1 0 1/0" : "0 1 2/0"}, "X--xx-x-", "X---x-x-");
        comp_chords(keys, bar + 1, chorus_chords, "X--xx-x-", "X---x-x-");
        // The chorus in C turns to A7 on its last half bar; the one in D stays at home.
        comp_chords(keys, bar + 7, {bar == 16 ? "2 3 4/0' ; -1 1 2/0" : "2 3 4/0'"}, "X--xx-x-",
                    "X---x-x-");
    }

    std::vector<Voice> choir =
        voices(m, {say("コーラス 上", "Choir high"), say("コーラス 下", "Choir low")},
               {chord_degree(2), chord_degree(1)}, 2, CH_CHOIR, 5, 95);
    comp(choir, 24 * 2, bars({"X-", "x-", "x-", "x-", "x-", "x-", "X-", "--"}));

    MseqTrackNote* strings = add_note_track(m, say("ストリングス", "Strings"), 4, CH_STRINGS, 5);
    line(strings, MNBT_SDEG, 0, bars({"r 2*3", "2*4", "3*4", "4*4"}), 44);
    const std::string strings_chorus = "5*4 | 6*4 | 4*4 | 2*2 0*2 | 3*4 | 3*2 1*2";
    line(strings, MNBT_SDEG, 16 * 4,
         bars({strings_chorus, "2*4", "2*2 4*2", strings_chorus, "2*4", "0*4", "3*4", "4*4", "5*4",
               "4*2 6*2", "5*4", "5b*4", "4*4", "_*4"}),
         84);
    auto* swell = add_track<MseqTrackMsg>(m, MID_TRACK_DETAIL, MTYPE_TRACK_MSG,
                                          say("ストリングス 表情", "Strings expression"));
    swell->m_Form = *MseqMsgFormMap::builtin().find(11);
    if (!swell->set_grid_when_empty(4) || !swell->set_channel(CH_STRINGS)) fail("swell set-up");
    for (const auto& [index, value] : std::vector<std::pair<int32_t, int32_t>>{{64, 70},
                                                                               {65, 78},
                                                                               {66, 86},
                                                                               {67, 92},
                                                                               {128, 90},
                                                                               {152, 100},
                                                                               {156, 90},
                                                                               {157, 75},
                                                                               {158, 60},
                                                                               {159, 45}})
        put(swell, index, MseqBlockValue(value));

    // The celesta opens after a beat's breath, so that every instrument is set up before the
    // first note, and closes the song below the tune's last note.
    MseqTrackNote* celesta = add_note_track(m, say("セレスタ", "Celesta"), 8, CH_CELESTA, 5);
    line(celesta, MNBT_PURE, 0,
         bars({"r*2 e6*2 c6*4", "a5*2 e6*2 c6*4", "a5*2 f6*2 c6*4", "b5*2 g6*2 d6*4"}), 92);
    shape_phrase(celesta, 0, 4 * 8, 84, 100);
    line(celesta, MNBT_PURE, 38 * 8, bars({"d6*2 a5*2 f#6*4", "a6*2 f#6*2 d6*4"}), 80);

    MseqTrackNote* tambourine =
        add_drum_track(m, say("タンバリン", "Tambourine"), DR_TAMBOURINE, 8, CH_DRUMS);
    grid(tambourine, 16 * 8, bars(repeat(".oXo.oXo", 16)), rhythm_note());

    // ---- the band: standard patterns placed by reference --------------------------------
    // The intro's arpeggio is written softly; here it carries the opening, so it sounds out.
    MseqTrackRefer* intro_piano =
        phrase_track(m, say("ピアノ イントロ", "Piano intro"), CH_PIANO, 110);
    place(intro_piano, 0, 16, refs.phrase("piano_arpeggio_8.kvnl"), say("イントロ", "Intro"),
          MRBM_STRETCH);
    MseqTrackRefer* piano = phrase_track(m, say("ピアノ", "Piano"), CH_PIANO, 90);
    place(piano, 15, 1, refs.phrase("piano_16beat.kvnl"), say("エンディング", "Ending"),
          MRBM_SOUND_CUT);
    place(piano, 32, 16, refs.phrase("piano_ballad.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(piano, 36, 8, refs.phrase("piano_ballad.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    // The last chord stops with the song's last bar, however long the left hand would ring.
    place(piano, 38, 8, refs.phrase("piano_ballad.kvnl"), say("エンディング", "Ending"),
          MRBM_SOUND_CUT);

    MseqTrackRefer* bass = phrase_track(m, say("ベース", "Bass"), CH_BASS);
    place(bass, 4, 16, refs.phrase("bass_root_fifth.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(bass, 8, 16, refs.phrase("bass_root_fifth.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(bass, 12, 12, refs.phrase("bass_finger_16.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(bass, 15, 1, refs.phrase("bass_finger_16.kvnl"), say("エンディング", "Ending"),
          MRBM_SOUND_CUT);
    place(bass, 16, 16, refs.phrase("bass_octave_16.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(bass, 20, 16, refs.phrase("bass_octave_16.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(bass, 24, 16, refs.phrase("bass4_slap.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(bass, 28, 16, refs.phrase("bass4_slap.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(bass, 32, 16, refs.phrase("bass_walking.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(bass, 36, 8, refs.phrase("bass_walking.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(bass, 38, 4, refs.phrase("bass_root_8.kvnl"), say("エンディング", "Ending"),
          MRBM_BLOCK_KEEP);

    MseqTrackRefer* acoustic = phrase_track(m, say("アコギ", "Acoustic guitar"), CH_ACOUSTIC, 85);
    place(acoustic, 8, 16, refs.phrase("guitar_strum_8.kvnl"), say("メイン", "Main"),
          MRBM_BLOCK_CUT);
    place(acoustic, 15, 1, refs.phrase("guitar_strum_8.kvnl"), say("エンディング", "Ending"),
          MRBM_SOUND_CUT);
    for (int32_t bar : {16, 20, 24, 28})
        place(acoustic, bar, 16, refs.phrase("guitar_strum_8.kvnl"), say("メイン", "Main"),
              MRBM_BLOCK_CUT);
    // The outro picks the two-bar arpeggio twice as fast, one bar for each chord, so that no
    // string rings into the next chord.
    for (int32_t bar = 32; bar < 36; ++bar)
        place(acoustic, bar, 4, refs.phrase("guitar_arpeggio.kvnl"), say("メイン", "Main"),
              MRBM_STRETCH);
    place(acoustic, 36, 8, refs.phrase("guitar_ballad_triplet.kvnl"), say("メイン", "Main"),
          MRBM_BLOCK_CUT);
    place(acoustic, 38, 4, refs.phrase("guitar_strum_8.kvnl"), say("エンディング", "Ending"),
          MRBM_BLOCK_KEEP);

    // The electric guitar plays the chords a degree higher than the acoustic one (root at the
    // bottom, fifth on top) and its power chords an octave up, out of the bass's way.
    MseqTrackRefer* electric = phrase_track(m, say("エレキ", "Electric guitar"), CH_ELECTRIC, 80);
    place(electric, 12, 12, refs.phrase("guitar_cutting_16.kvnl"), say("メイン", "Main"),
          MRBM_BLOCK_CUT, 1);
    place(electric, 16, 16, refs.phrase("guitar_cutting_16.kvnl"), say("メイン", "Main"),
          MRBM_BLOCK_CUT, 1);
    place(electric, 20, 12, refs.phrase("guitar_cutting_16.kvnl"), say("メイン", "Main"),
          MRBM_BLOCK_CUT, 1);
    MseqTrackRefer* power = phrase_track(
        m, say("エレキ パワーコード", "Electric guitar power chords"), CH_ELECTRIC, 80);
    power->m_Octave = 1;
    place(power, 24, 16, refs.phrase("guitar_power_chords.kvnl"), say("メイン", "Main"),
          MRBM_BLOCK_CUT);
    place(power, 28, 16, refs.phrase("guitar_power_chords.kvnl"), say("メイン", "Main"),
          MRBM_BLOCK_CUT);

    MseqTrackRefer* drums = phrase_track(m, say("ドラム", "Drums"), CH_DRUMS, 95);
    place(drums, 3, 4, refs.phrase("drums_8beat.kvnl"), say("イントロ", "Intro"), MRBM_BLOCK_KEEP);
    place(drums, 4, 16, refs.phrase("drums_8beat.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(drums, 8, 12, refs.phrase("drums_8beat.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(drums, 11, 4, refs.phrase("drums_fills.kvnl"), say("フィル1", "Fill 1"), MRBM_BLOCK_CUT);
    place(drums, 12, 12, refs.phrase("drums_16beat.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(drums, 15, 4, refs.phrase("drums_fills.kvnl"), say("ブレイク", "Break"), MRBM_BLOCK_CUT);
    place(drums, 16, 16, refs.phrase("drums_16beat.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(drums, 20, 12, refs.phrase("drums_16beat.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(drums, 23, 4, refs.phrase("drums_fills.kvnl"), say("フィル2", "Fill 2"), MRBM_BLOCK_CUT);
    place(drums, 24, 16, refs.phrase("drums_four_on_floor.kvnl"), say("メイン", "Main"),
          MRBM_BLOCK_CUT);
    place(drums, 28, 12, refs.phrase("drums_four_on_floor.kvnl"), say("メイン", "Main"),
          MRBM_BLOCK_CUT);
    place(drums, 31, 4, refs.phrase("drums_16beat.kvnl"), say("フィル", "Fill"), MRBM_BLOCK_CUT);
    place(drums, 32, 16, refs.phrase("drums_ballad.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(drums, 36, 4, refs.phrase("drums_ballad.kvnl"), say("メイン", "Main"), MRBM_BLOCK_CUT);
    place(drums, 37, 4, refs.phrase("drums_ballad.kvnl"), say("フィル", "Fill"), MRBM_BLOCK_CUT);
    place(drums, 38, 8, refs.phrase("drums_8beat.kvnl"), say("エンディング", "Ending"),
          MRBM_BLOCK_KEEP);
}

void build_sampler(MseqMusic& m, const DemoRefs& refs) {
    m.m_Copyright = jp(say("Korvante 標準パターン", "Korvante standard patterns"));
    m.m_Tempo = 120;
    m.m_MapStageID = refs.stage;
    m.m_MapChordID = refs.chord_c;

    struct Slot {
        const char* marker;
        int32_t tempo;
        const char* keys;
        const char* bass;
        const char* guitar;  // nullptr: none
        const char* drums;
        const char* drum_marker;
    };
    const std::vector<Slot> slots = {
        {say("見本1 8ビート", "Sample 1 8 beat"), 120, "piano_8beat.kvnl", "bass_root_8.kvnl",
         "guitar_strum_8.kvnl", "drums_8beat.kvnl", say("メイン", "Main")},
        {say("見本2 16ビート", "Sample 2 16 beat"), 100, "piano_16beat.kvnl", "bass_finger_16.kvnl",
         "guitar_cutting_16.kvnl", "drums_16beat.kvnl", say("メイン", "Main")},
        {say("見本3 シャッフル", "Sample 3 shuffle"), 96, "epiano_shuffle.kvnl",
         "bass_walking.kvnl", "guitar_ballad_triplet.kvnl", "drums_shuffle.kvnl",
         say("メイン", "Main")},
        {say("見本4 ロック", "Sample 4 rock"), 132, "organ_pad.kvnl", "bass4_rock_8.kvnl",
         "guitar_power_chords.kvnl", "drums_half_time.kvnl", say("メイン", "Main")},
        {say("見本5 バラード", "Sample 5 ballad"), 72, "piano_ballad.kvnl", "bass_root_fifth.kvnl",
         "guitar_arpeggio.kvnl", "drums_ballad.kvnl", say("メイン", "Main")},
        {say("見本6 ダンス", "Sample 6 dance"), 118, "piano_arpeggio_16.kvnl",
         "bass_octave_16.kvnl", nullptr, "drums_four_on_floor.kvnl", say("メイン", "Main")},
        {say("見本7 フィル集", "Sample 7 fills"), 104, "piano_arpeggio_8.kvnl", "bass4_slap.kvnl",
         nullptr, "drums_fills.kvnl", say("フィル1", "Fill 1")},
    };
    const int32_t end_bar = static_cast<int32_t>(slots.size()) * 4;

    std::vector<Section> marks;
    std::vector<std::pair<int32_t, int32_t>> tempi;
    for (size_t i = 0; i < slots.size(); ++i) {
        marks.push_back({static_cast<int32_t>(i) * 4, slots[i].marker});
        tempi.push_back({static_cast<int32_t>(i) * 4, slots[i].tempo});
    }
    marks.push_back({end_bar, say("エンディング", "Ending")});
    tempi.push_back({end_bar, 112});
    add_markers(m, marks, say("マーカー", "Markers"));
    tempo_track(m, 1, tempi);

    // I - vi - IV - V on a fixed chord map.
    MseqMapChord palette;
    major_key(palette, say("ハ長調", "C major"), 0);
    std::vector<ChordAt> chords;
    for (int32_t bar = 0; bar < end_bar; bar += 4)
        per_bar(chords, palette, bar, {0, 5, 3, 4});
    per_bar(chords, palette, end_bar, {0});
    chord_track(m, refs.chord_c, chords);
    memo(m, sampler_memo());

    MseqTrackRefer* keys = phrase_track(m, say("キーボード", "Keyboard"), CH_PIANO, 90);
    MseqTrackRefer* bass = phrase_track(m, say("ベース", "Bass"), CH_BASS);
    MseqTrackRefer* guitar = phrase_track(m, say("ギター", "Guitar"), CH_ACOUSTIC, 85);
    MseqTrackRefer* drums = phrase_track(m, say("ドラム", "Drums"), CH_DRUMS, 95);
    for (size_t i = 0; i < slots.size(); ++i) {
        const Slot& s = slots[i];
        const int32_t bar = static_cast<int32_t>(i) * 4;
        place(keys, bar, 16, refs.phrase(s.keys), say("メイン", "Main"), MRBM_BLOCK_CUT);
        place(bass, bar, 16, refs.phrase(s.bass), say("メイン", "Main"), MRBM_BLOCK_CUT);
        if (s.guitar)
            place(guitar, bar, 16, refs.phrase(s.guitar), say("メイン", "Main"), MRBM_BLOCK_CUT);
        place(drums, bar, 16, refs.phrase(s.drums), s.drum_marker, MRBM_BLOCK_CUT);
    }
    place(keys, end_bar, 4, refs.phrase("piano_8beat.kvnl"), say("エンディング", "Ending"),
          MRBM_BLOCK_KEEP);
    place(bass, end_bar, 4, refs.phrase("bass_root_8.kvnl"), say("エンディング", "Ending"),
          MRBM_BLOCK_KEEP);
    place(guitar, end_bar, 4, refs.phrase("guitar_strum_8.kvnl"), say("エンディング", "Ending"),
          MRBM_BLOCK_KEEP);
    place(drums, end_bar, 4, refs.phrase("drums_8beat.kvnl"), say("エンディング", "Ending"),
          MRBM_BLOCK_KEEP);
}

}  // namespace kv_data
