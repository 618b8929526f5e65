#include "PatternBook.h"

#include "DataKit.h"
#include "Instruments.h"

namespace kv_data {

std::string bars(const std::vector<std::string>& each) {
    std::string out;
    for (const std::string& b : each) {
        if (!out.empty()) out += " | ";
        out += b;
    }
    return out;
}

std::vector<std::string> repeat(const std::string& bar, int count) {
    return std::vector<std::string>(static_cast<size_t>(count), bar);
}

namespace {

// Joins runs of bars.
std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The sections most phrases share: a one-bar intro, four bars of the main groove, a one-bar
// fill and an ending whose last notes ring for two bars.
std::vector<Section> sections() {
    return {
        {0, say("イントロ", "Intro")},
        {1, say("メイン", "Main")},
        {5, say("フィル", "Fill")},
        {6, say("エンディング", "Ending")},
    };
}
const char* markers() {
    return say("セクション", "Sections");
}

// Right-hand chord voices and the left hand of a keyboard.
std::vector<Voice> right_hand(MseqMusic& p, int32_t beat, int32_t length_rate) {
    return voices(p,
                  {say("右手 上", "Right hand high"), say("右手 中", "Right hand middle"),
                   say("右手 下", "Right hand low")},
                  {chord_degree(2), chord_degree(1), chord_degree(0)}, beat, 0, 5, length_rate);
}
std::vector<Voice> left_hand(MseqMusic& p, int32_t beat, int32_t octave = 4) {
    return voices(p, {say("左手", "Left hand")}, {chord_degree(0)}, beat, 0, octave, 100);
}

// ---- keyboards --------------------------------------------------------------------------

void piano_8beat(MseqMusic& p) {
    setup_phrase(p, say("ピアノ 8ビート 刻み", "Piano 8 beat pulse"), program_word(GM_GRAND_PIANO),
                 120);
    add_markers(p, sections(), markers());
    comp(right_hand(p, 8, 85), 0,
         bars(std::vector<std::string>{"X---x---"} + repeat("XxoxXxox", 3) +
              std::vector<std::string>{"XxoxXx.x", "X.xX.xX.", "X-------", "--------"}));
    comp(left_hand(p, 8), 0,
         bars(std::vector<std::string>{"X-------"} + repeat("X---x---", 3) +
              std::vector<std::string>{"X---x-x-", "X.xX.xX.", "X-------", "--------"}));
}

void piano_16beat(MseqMusic& p) {
    setup_phrase(p, say("ピアノ 16ビート コンピング", "Piano 16 beat comping"),
                 program_word(GM_GRAND_PIANO), 100);
    add_markers(p, sections(), markers());
    comp(right_hand(p, 16, 90), 0,
         bars({"X-------x-------", "X--x--X---x--x--", "x-x--x--X--x--x-", "X--x--X---x--x--",
               "x-x--x--X--x.xx.", "X.X.X.X.x.x.xxxx", "X---------------", "----------------"}));
    comp(left_hand(p, 16), 0,
         bars({"X---------------", "X-------x--x----", "X--x----x-------", "X-------x--x----",
               "X--x----x--x----", "X.X.X.X.x.x.xxxx", "X---------------", "----------------"}));
}

void piano_arpeggio_8(MseqMusic& p) {
    setup_phrase(p, say("ピアノ アルペジオ 8分", "Piano arpeggio in eighths"),
                 program_word(GM_GRAND_PIANO), 84);
    add_markers(p,
                {{0, say("イントロ", "Intro")},
                 {2, say("メイン", "Main")},
                 {6, say("フィル", "Fill")},
                 {7, say("エンディング", "Ending")}},
                markers());
    // The intro starts after an eighth's breath, both hands together, and the left hand
    // sounds each half bar's root: played at half speed it opens a song on its second beat
    // with a new root for every bar.
    MseqTrackNote* arp = add_note_track(p, say("アルペジオ", "Arpeggio"), 8, 0, 4, 150);
    line(arp, MNBT_CDEG, 0,
         bars({"r 2? 3? 4 5 4? 3? 2?", "0? 2? 3? 4 5 6 5? 4?", "0! 2 3 4 5 4 3 2",
               "-1! 0 2 3 4 3 2 0", "0! 2 3 4 5 4 3 2", "0! 2 3 4 5 6 5 4", "0 1 2 3 4 5 6 7!",
               "0! 2 3 4 5*4", "_*8"}));
    comp(left_hand(p, 8, 3), 0,
         bars(std::vector<std::string>{".o--o---", "o---o---"} + repeat("x-------", 5) +
              std::vector<std::string>{"X-------", "--------"}));
}

void piano_arpeggio_16(MseqMusic& p) {
    setup_phrase(p, say("ピアノ アルペジオ 16分", "Piano arpeggio in sixteenths"),
                 program_word(GM_GRAND_PIANO), 92);
    add_markers(p, sections(), markers());
    MseqTrackNote* arp = add_note_track(p, say("アルペジオ", "Arpeggio"), 16, 0, 4, 150);
    const std::string a = "0! 2 3 4 5 4 3 2 0 2 3 4 5 4 3 2";
    line(arp, MNBT_CDEG, 0,
         bars({"0? 2? 3? 4? 5 4? 3? 2? 0? 2? 3? 4? 5 6? 5? 4?", a,
               "0! 2 3 4 5 6 5 4 3 4 5 4 3 2 3 2", a, "0! 2 3 4 5 4 3 2 0 1 2 3 4 5 6 7"}));
    // The fill runs down the scale of the key, whatever the chord.
    line(arp, MNBT_SDEG, 5 * 16, "14! 13 12 11 10 9 8 7 13 12 11 10 9 8 7 6");
    line(arp, MNBT_CDEG, 6 * 16, bars({"0! 2 3 4 5*12", "_*16"}));
    comp(left_hand(p, 16, 3), 0,
         bars({"o---------------", "X-------x-------", "X-------x-------", "X-------x-------",
               "X-------x-------", "X-------x-------", "X---------------", "----------------"}));
}

void piano_ballad(MseqMusic& p) {
    setup_phrase(p, say("ピアノ バラード", "Piano ballad"), program_word(GM_GRAND_PIANO), 72);
    add_markers(p, sections(), markers());
    comp(right_hand(p, 8, 100), 0,
         bars(std::vector<std::string>{"o-------"} + repeat("x---o---", 3) +
              std::vector<std::string>{"x---o-o-", "x-o-x-o-", "x-------", "--------"}));
    MseqTrackNote* lh = add_note_track(p, say("左手", "Left hand"), 8, 0, 3, 150);
    line(lh, MNBT_CDEG, 0,
         bars({"0*8", "0! 2 3 4 3 2 3 2", "0! 2 3 4 3 2 3 2", "0! 2 3 4 3 2 3 2",
               "0! 2 3 4 5 4 3 2", "0! 2 3 4 5 4 3 2", "0!*8", "_*8"}),
         80);
}

void epiano_shuffle(MseqMusic& p) {
    setup_phrase(p, say("エレピ シャッフル", "Electric piano shuffle"), program_word(GM_EPIANO),
                 96);
    add_markers(p, sections(), markers());
    const std::string a = "x--x-ox--x-o";
    const std::string b = "x--x-o--ox-o";
    comp(right_hand(p, 12, 90), 0,
         bars({"X-----x-----", a, b, a, b, "x-ox-ox-ox-o", "X-----------", "------------"}));
    comp(left_hand(p, 12), 0,
         bars({"X-----------", "X-----x--x--", "X-----x--x--", "X-----x--x--", "X-----x--x-x",
               "x-ox-ox-ox-o", "X-----------", "------------"}));
}

void organ_pad(MseqMusic& p) {
    setup_phrase(p, say("オルガン パッド", "Organ pad"), program_word(GM_DRAWBAR_ORGAN), 100);
    add_markers(p, sections(), markers());
    comp(
        voices(p,
               {say("上声", "Top voice"), say("中声 上", "Upper middle voice"),
                say("中声 下", "Lower middle voice"), say("低声", "Bottom voice")},
               {chord_degree(2), chord_degree(1), chord_degree(0), chord_degree(-1)}, 4, 0, 5, 100),
        0, bars({"o---", "x---", "x---", "x---", "x-x-", "x-x-", "X---", "----"}));
}

// ---- basses -----------------------------------------------------------------------------

MseqTrackNote* bass_line(MseqMusic& p, int32_t beat, int32_t length_rate) {
    return add_note_track(p, say("ベース", "Bass"), beat, 0, 3, length_rate);
}

void bass_root_8(MseqMusic& p) {
    setup_phrase(p, say("ベース ルート 8分", "Bass root in eighths"), program_word(GM_PICK_BASS),
                 120);
    add_markers(p, sections(), markers());
    const std::string a = "0! 0 0 0 0! 0 0 0";
    line(
        bass_line(p, 8, 90), MNBT_CDEG, 0,
        bars({"0!*4 0*2 0*2", a, a, a, "0! 0 0 0 0! 0 2 0'", "0! 0 0 0 2 2 0' 0'", "0!*8", "_*8"}));
}

void bass_root_fifth(MseqMusic& p) {
    setup_phrase(p, say("ベース ルート＆5度", "Bass root and fifth"), program_word(GM_FINGER_BASS),
                 110);
    add_markers(p, sections(), markers());
    const std::string a = "0!*2 r 0 -1*2 r -1";
    const std::string b = "0!*2 r 0 2*2 1 -1";
    line(bass_line(p, 8, 85), MNBT_CDEG, 0,
         bars({"0!*8", a, b, a, b, "0! 0 -1 -1 0 0 2 2", "0!*8", "_*8"}));
}

void bass_octave_16(MseqMusic& p) {
    setup_phrase(p, say("ベース オクターブ 16ビート", "Bass octaves 16 beat"),
                 program_word(GM_FINGER_BASS), 118);
    add_markers(p, sections(), markers());
    const std::string a = "0!*2 0'*2 0*2 0'*2 0*2 0'*2 0*2 0' 0'";
    line(bass_line(p, 16, 80), MNBT_CDEG, 0,
         bars({"0!*4 0'*4 0*4 0'*4", a, a, a, "0!*2 0'*2 0*2 0'*2 2*2 2'*2 -1*2 -1 -1'",
               "0! r 0 0 0' r 0 0 0' r 0' 0 0' 0' 0' 0'!", "0!*16", "_*16"}));
}

void bass_walking(MseqMusic& p) {
    setup_phrase(p, say("ウォーキングベース", "Walking bass"), program_word(GM_ACOUSTIC_BASS), 132);
    add_markers(p, sections(), markers());
    line(bass_line(p, 4, 95), MNBT_CDEG, 0,
         bars({"0! 2 0' 2", "0! 1 2 1", "0! 2 0' 2", "0! 1 2 0'", "0! -1 0 -1", "0! 0' 2 1", "0!*4",
               "_*4"}));
}

void bass_finger_16(MseqMusic& p) {
    setup_phrase(p, say("ベース 16ビート フィンガー", "Bass 16 beat fingered"),
                 program_word(GM_FINGER_BASS), 100);
    add_markers(p, sections(), markers());
    const std::string a = "0!*3 0~ r 0 r 0*2 r 0 2 r 0' r 0~";
    const std::string b = "0!*3 0~ r 0 r 2*2 r 2 0' r 2 1 0~";
    MseqTrackNote* t = bass_line(p, 16, 90);
    line(t, MNBT_CDEG, 0, bars({"0!*6 0*2 r*4 0 0 2 0'", a, b, a, b}));
    // The fill climbs the scale of the key after the root of the chord, then falls back.
    line(t, MNBT_CDEG, 5 * 16, "0! r 0~ 0 r 0 0' r");
    line(t, MNBT_SDEG, 5 * 16 + 8, "4 5 6 7! 6 5 4 3");
    line(t, MNBT_CDEG, 6 * 16, bars({"0!*16", "_*16"}));
}

void bass_slap_4(MseqMusic& p) {
    setup_phrase(p, say("4弦ベース スラップ", "4-string bass slap"), program_word(GM_SLAP_BASS),
                 104);
    add_markers(p, sections(), markers());
    std::vector<Voice> s = four_strings(p, 16, 0);
    // Thumb on the 4th string, pops on the octave, ghosted fifths and a tenth now and then.
    grid(s[0].track, 0,
         bars({"X---------------", "X..x....X.x.....", "X..x....X.....x.", "X..x....X.x.....",
               "X..x....X.....x.", "X.X.X.X.X.x.x.x.", "X---------------", "----------------"}),
         s[0].pitch);
    grid(s[1].track, 0,
         bars({"................", "..g.......g.....", "..g.......g.g...", "..g.......g.....",
               "..g.......g.g...", "................", "................", "................"}),
         s[1].pitch);
    grid(s[2].track, 0,
         bars({"................", "....X.......X...", "....X..x....X..x", "....X.......X...",
               "....X..x....X..x", "....X.......X.XX", "X---------------", "----------------"}),
         s[2].pitch);
    grid(s[3].track, 0,
         bars({"................", "................", "...........o....", "................",
               "...........o....", "...............X", "................", "................"}),
         s[3].pitch);
}

void bass_rock_4(MseqMusic& p) {
    setup_phrase(p, say("4弦ベース ロック 8分", "4-string bass rock in eighths"),
                 program_word(GM_PICK_BASS), 128);
    add_markers(p, sections(), markers());
    std::vector<Voice> s = four_strings(p, 8, 0);
    grid(s[0].track, 0,
         bars(std::vector<std::string>{"X-------"} + repeat("XxxxXxxx", 3) +
              std::vector<std::string>{"XxxxXx..", "X.X.X.X.", "X-------", "--------"}),
         s[0].pitch);
    grid(s[1].track, 0,
         bars(std::vector<std::string>{"X-------"} + repeat("X...X...", 3) +
              std::vector<std::string>{"X...X.x.", "X.X.X.X.", "X-------", "--------"}),
         s[1].pitch);
    grid(s[2].track, 0,
         bars(repeat("........", 4) +
              std::vector<std::string>{"......xX", "..x...x.", "........", "........"}),
         s[2].pitch);
    grid(s[3].track, 0,
         bars(repeat("........", 5) + std::vector<std::string>{"......x.", "........", "........"}),
         s[3].pitch);
}

// ---- guitars ----------------------------------------------------------------------------

void guitar_strum_8(MseqMusic& p) {
    setup_phrase(p, say("ギター 8ビート ストローク", "Guitar 8 beat strumming"),
                 program_word(GM_STEEL_GUITAR), 120);
    add_markers(p, sections(), markers());
    strum(six_strings(p, 8, 0, 8, 95), 0,
          bars({"D-------", "D-du-udu", "D-du-udu", "D-du-udu", "D-du-D-u", "D-D-D-du", "D-------",
                "--------"}),
          8);
}

void guitar_cutting_16(MseqMusic& p) {
    setup_phrase(p, say("ギター 16ビート カッティング", "Guitar 16 beat cutting"),
                 program_word(GM_CLEAN_GUITAR), 104);
    add_markers(p, sections(), markers());
    const std::string a = "mnmnCnmnmnmuCnmn";
    const std::string b = "mnCnmnmuCnmnCnmu";
    strum(six_strings(p, 16, 0, 5), 0,
          bars({"D---------------", a, b, a, b, "CnCnCnCnCuCuCuCu", "D---------------",
                "----------------"}),
          5);
}

void guitar_arpeggio(MseqMusic& p) {
    setup_phrase(p, say("ギター アルペジオ", "Guitar arpeggio"), program_word(GM_STEEL_GUITAR), 88);
    add_markers(p,
                {{0, say("イントロ", "Intro")},
                 {1, say("メイン", "Main")},
                 {3, say("バリエーション", "Variation")},
                 {5, say("フィル", "Fill")},
                 {6, say("エンディング", "Ending")}},
                markers());
    std::vector<Voice> s = six_strings(p, 8, 0, 0);
    // One row per string, 6th first; each bar picks the strings in turn and lets them ring.
    const std::vector<std::vector<std::string>> rows = {
        {"X-------", "X-------", "........", "X---x---", "........", "X.......", "X-------",
         "--------"},
        {".x------", "........", "X-------", "........", "X---x---", "........", ".x------",
         "--------"},
        {"..x-----", ".x-----x", ".x-----x", ".x---x--", ".x---x--", ".x...x..", "..x-----",
         "--------"},
        {"...x----", "..x---x-", "..x---x-", "..x---x-", "..x---x-", "..x...x.", "...x----",
         "--------"},
        {"....x---", "...x-x--", "...x-x--", "...x---x", "...x---x", "...x...x", "....x---",
         "--------"},
        {".....x--", "....x---", "....x---", "........", "........", "....x.x.", ".....x--",
         "--------"},
    };
    for (size_t i = 0; i < s.size(); ++i)
        grid(s[i].track, 0, bars(rows[i]), s[i].pitch);
}

void guitar_ballad_triplet(MseqMusic& p) {
    setup_phrase(p, say("ギター バラード 3連アルペジオ", "Guitar ballad triplet arpeggio"),
                 program_word(GM_NYLON_GUITAR), 70);
    add_markers(p, sections(), markers());
    std::vector<Voice> s = six_strings(p, 12, 0, 0);
    const HitTable soft = {{'x', Hit{84}}, {'o', Hit{66}}, {'X', Hit{100}}};
    const std::vector<std::vector<std::string>> rows = {
        {"x-----------", "X-----......", "X-----......", "X-----......", "X-----......",
         "X..x........", "X-----------", "------------"},
        {".x----------", "......x-----", "......x-----", "......x-----", "......x-----",
         "......x..x..", ".x----------", "------------"},
        {"..x---------", "............", "............", "............", "............",
         ".o........o.", "..x---------", "------------"},
        {"...x--------", ".o---o-o---o", ".o---o-o---o", ".o---o-o---o", ".o---o-o---o",
         "..o.......o.", "...x--------", "------------"},
        {"....x-------", "..o-o...o-o.", "..o-o...o-o.", "..o-o...o-o.", "..o-o...o-o.",
         "....o..o..o.", "....x-------", "------------"},
        {".....x------", "...o-----o--", "...o-----o--", "...o-----o--", "...o-----o--",
         ".....x..x...", ".....x------", "------------"},
    };
    for (size_t i = 0; i < s.size(); ++i)
        grid(s[i].track, 0, bars(rows[i]), s[i].pitch, soft);
}

void guitar_power_chords(MseqMusic& p) {
    setup_phrase(p, say("ギター パワーコード 8分", "Guitar power chords in eighths"),
                 program_word(GM_OVERDRIVE_GUITAR), 132);
    add_markers(p, sections(), markers());
    // Root, fifth and octave on the three low strings; palm-muted eighths ring only 90 ticks.
    std::vector<Voice> s =
        voices(p, {say("6弦", "String 6"), say("5弦", "String 5"), say("4弦", "String 4")},
               {chord_degree(0), chord_degree(2), chord_degree(0, 1)}, 8, 0, 3);
    const HitTable hits = {
        {'X', Hit{116}},
        {'x', Hit{100}},
        {'P', Hit{108, MNBF_OWN_ETIME, 0, 90 - 240}},
        {'p', Hit{84, MNBF_OWN_ETIME, 0, 90 - 240}},
    };
    const std::string a = "X-ppPppp";
    const std::string b = "PpppPpX-";
    comp(s, 0, bars({"X-------", a, b, a, b, "X.X.X.Xp", "X-------", "--------"}), hits);
}

// ---- drums ------------------------------------------------------------------------------

void drums_8beat(MseqMusic& p) {
    setup_phrase(p, say("ドラム 8ビート", "Drums 8 beat"), drum_kit_word(GM_STANDARD_KIT), 120);
    add_markers(p, sections(), markers());
    const std::string rest = "................";
    drum_kit(
        p, 16,
        {
            {say("バスドラム", "Bass drum"), DR_KICK,
             bars({rest, "X.....x.X.......", "X.....x.X.......", "X.....x.X.......",
                   "X.....x.X.x...x.", "X.....x.X.......", "X...............", rest})},
            {say("スネア", "Snare"), DR_SNARE,
             bars({"............x.xX", "....X.......X...", "....X.......X...", "....X.......X...",
                   "....X.......X..g", "....X...xxXx....", "X...............", rest})},
            {say("クローズハイハット", "Closed hi-hat"), DR_CLOSED_HAT,
             bars({"X...x...x...x...", "X.x.X.x.X.x.X.x.", "X.x.X.x.X.x.X.x.", "X.x.X.x.X.x.X.x.",
                   "X.x.X.x.X.x.X...", "X.x.X.x.........", rest, rest})},
            {say("オープンハイハット", "Open hi-hat"), DR_OPEN_HAT,
             bars({rest, rest, rest, rest, "..............x.", rest, rest, rest})},
            {say("ハイタム", "High tom"), DR_HIGH_TOM,
             bars({rest, rest, rest, rest, rest, "............Xx..", rest, rest})},
            {say("ミドルタム", "Mid tom"), DR_MID_TOM,
             bars({rest, rest, rest, rest, rest, "..............X.", rest, rest})},
            {say("フロアタム", "Floor tom"), DR_FLOOR_TOM,
             bars({rest, rest, rest, rest, rest, "...............X", rest, rest})},
            {say("クラッシュ", "Crash"), DR_CRASH,
             bars({rest, "X...............", rest, rest, rest, rest, "X---------------",
                   "----------------"})},
        });
}

void drums_16beat(MseqMusic& p) {
    setup_phrase(p, say("ドラム 16ビート", "Drums 16 beat"), drum_kit_word(GM_STANDARD_KIT), 100);
    add_markers(p, sections(), markers());
    const std::string rest = "................";
    const std::string hat = "XxoxXxoxXxoxXxox";
    const std::string hat_open = "XxoxXxoxXxoxXx.x";
    drum_kit(
        p, 16,
        {
            {say("バスドラム", "Bass drum"), DR_KICK,
             bars({"X...............", "X.....X.X..x....", "X..x..X...X.....", "X.....X.X..x....",
                   "X..x..X...X...x.", "X.....X.........", "X...............", rest})},
            {say("スネア", "Snare"), DR_SNARE,
             bars({"............XxXx", "....X..g.g..X..g", "....X..g....X.g.", "....X..g.g..X..g",
                   "....X..g....X.g.", "....X...oxox....", "X...............", rest})},
            {say("クローズハイハット", "Closed hi-hat"), DR_CLOSED_HAT,
             bars({hat, hat, hat_open, hat, hat_open, "XxoxXxox........", rest, rest})},
            {say("オープンハイハット", "Open hi-hat"), DR_OPEN_HAT,
             bars({rest, rest, "..............x.", rest, "..............x.", rest, rest, rest})},
            {say("ハイタム", "High tom"), DR_HIGH_TOM,
             bars({rest, rest, rest, rest, rest, "............Xx..", rest, rest})},
            {say("ミドルタム", "Mid tom"), DR_MID_TOM,
             bars({rest, rest, rest, rest, rest, "..............X.", rest, rest})},
            {say("フロアタム", "Floor tom"), DR_FLOOR_TOM,
             bars({rest, rest, rest, rest, rest, "...............X", rest, rest})},
            {say("クラッシュ", "Crash"), DR_CRASH,
             bars({rest, "X...............", rest, rest, rest, rest, "X---------------",
                   "----------------"})},
        });
}

void drums_shuffle(MseqMusic& p) {
    setup_phrase(p, say("ドラム シャッフル", "Drums shuffle"), drum_kit_word(GM_STANDARD_KIT), 96);
    add_markers(p, sections(), markers());
    const std::string rest = "............";
    const std::string hat = "X.xX.xX.xX.x";
    drum_kit(
        p, 12,
        {
            {say("バスドラム", "Bass drum"), DR_KICK,
             bars({rest, "X.....X..x..", "X..x..X.....", "X.....X..x..", "X..x..X..x..",
                   "X.....X.....", "X...........", rest})},
            {say("スネア", "Snare"), DR_SNARE,
             bars({".........xxX", "...X.g...X.g", "...X.g...X.g", "...X.g...X.g", "...X.g...X.x",
                   "...X..xxX...", "X...........", rest})},
            {say("クローズハイハット", "Closed hi-hat"), DR_CLOSED_HAT,
             bars({"X..x..x..x..", hat, hat, hat, hat, "X.xX.x......", rest, rest})},
            {say("ハイタム", "High tom"), DR_HIGH_TOM,
             bars({rest, rest, rest, rest, rest, ".........Xx.", rest, rest})},
            {say("フロアタム", "Floor tom"), DR_FLOOR_TOM,
             bars({rest, rest, rest, rest, rest, "...........X", rest, rest})},
            {say("クラッシュ", "Crash"), DR_CRASH,
             bars({rest, "X...........", rest, rest, rest, rest, "X-----------", "------------"})},
        });
}

void drums_half_time(MseqMusic& p) {
    setup_phrase(p, say("ドラム ハーフタイム", "Drums half time"), drum_kit_word(GM_STANDARD_KIT),
                 140);
    add_markers(p, sections(), markers());
    const std::string rest = "................";
    const std::string hat = "X.x.X.x.X.x.X.x.";
    drum_kit(
        p, 16,
        {
            {say("バスドラム", "Bass drum"), DR_KICK,
             bars({"X...............", "X.........X..x..", "X.....x...X.....", "X.........X..x..",
                   "X.....x...X...x.", "X.......X.......", "X...............", rest})},
            {say("スネア", "Snare"), DR_SNARE,
             bars({"............X.XX", "........X.......", "........X.....g.", "........X.......",
                   "........X.....g.", "........XxXx....", "X...............", rest})},
            {say("クローズハイハット", "Closed hi-hat"), DR_CLOSED_HAT,
             bars({"X...x...x...x...", hat, hat, hat, hat, "X.x.X.x.........", rest, rest})},
            {say("ハイタム", "High tom"), DR_HIGH_TOM,
             bars({rest, rest, rest, rest, rest, "............XX..", rest, rest})},
            {say("フロアタム", "Floor tom"), DR_FLOOR_TOM,
             bars({rest, rest, rest, rest, rest, "..............XX", rest, rest})},
            {say("クラッシュ", "Crash"), DR_CRASH,
             bars({rest, "X...............", rest, rest, rest, rest, "X---------------",
                   "----------------"})},
        });
}

void drums_ballad(MseqMusic& p) {
    setup_phrase(p, say("ドラム バラード", "Drums ballad"), drum_kit_word(GM_STANDARD_KIT), 72);
    add_markers(p, sections(), markers());
    const std::string rest = "................";
    const std::string hat = "x.o.x.o.x.o.x.o.";
    drum_kit(
        p, 16,
        {
            {say("バスドラム", "Bass drum"), DR_KICK,
             bars({"o...............", "X.......X.....o.", "X.......X.......", "X.......X.....o.",
                   "X.....o.X.......", "X.......X.......", "X...............", rest})},
            {say("サイドスティック", "Side stick"), DR_SIDE_STICK,
             bars({rest, "....x.......x...", "....x.......x...", "....x.......x...",
                   "....x.......x...", "....x...........", rest, rest})},
            {say("クローズハイハット", "Closed hi-hat"), DR_CLOSED_HAT,
             bars({"o...o...o...o...", hat, hat, hat, hat, "x.o.x.o.........", rest, rest})},
            {say("ハイタム", "High tom"), DR_HIGH_TOM,
             bars({rest, rest, rest, rest, rest, "........oxxx....", rest, rest})},
            {say("ミドルタム", "Mid tom"), DR_MID_TOM,
             bars({rest, rest, rest, rest, rest, "............xx..", rest, rest})},
            {say("フロアタム", "Floor tom"), DR_FLOOR_TOM,
             bars({rest, rest, rest, rest, rest, "..............xX", rest, rest})},
            {say("クラッシュ", "Crash"), DR_CRASH,
             bars({rest, "x...............", rest, rest, rest, rest, "x---------------",
                   "----------------"})},
        });
}

void drums_fills(MseqMusic& p) {
    setup_phrase(p, say("ドラム フィル集", "Drum fills"), drum_kit_word(GM_STANDARD_KIT), 120);
    add_markers(p,
                {{0, say("フィル1", "Fill 1")},
                 {1, say("フィル2", "Fill 2")},
                 {2, say("フィル3", "Fill 3")},
                 {3, say("フィル4", "Fill 4")},
                 {4, say("ブレイク", "Break")},
                 {5, say("エンディング", "Ending")}},
                markers());
    const std::string rest = "................";
    drum_kit(p, 16,
             {
                 {say("バスドラム", "Bass drum"), DR_KICK,
                  bars({"X.....x.X.......", "X.......X.......", "X.....x.X.....x.",
                        "X..X..X..X..X.X.", "X...............", "X...............", rest})},
                 {say("スネア", "Snare"), DR_SNARE,
                  bars({"....X...gooxxXXX", "X.x.............", "....X.......XxXx",
                        "X..X..X..X..X.XX", "............oxXX", "X...............", rest})},
                 {say("クローズハイハット", "Closed hi-hat"), DR_CLOSED_HAT,
                  bars({"X.x.X.x.........", rest, "X.x.X.x.X.x.....", rest, rest, rest, rest})},
                 {say("ハイタム", "High tom"), DR_HIGH_TOM,
                  bars({rest, "....X.x.xx......", rest, rest, rest, rest, rest})},
                 {say("ミドルタム", "Mid tom"), DR_MID_TOM,
                  bars({rest, "........X.x.xx..", rest, rest, rest, rest, rest})},
                 {say("フロアタム", "Floor tom"), DR_FLOOR_TOM,
                  bars({rest, "............X.xX", rest, rest, rest, rest, rest})},
                 {say("クラッシュ", "Crash"), DR_CRASH,
                  bars({rest, rest, rest, "X...............", "X---------------",
                        "X---------------", "----------------"})},
             });
}

void drums_four_on_floor(MseqMusic& p) {
    setup_phrase(p, say("ドラム 4つ打ち", "Drums four on the floor"),
                 drum_kit_word(GM_STANDARD_KIT), 124);
    add_markers(p, sections(), markers());
    const std::string rest = "................";
    const std::string kick = "X...X...X...X...";
    drum_kit(
        p, 16,
        {
            {say("バスドラム", "Bass drum"), DR_KICK,
             bars({kick, kick, kick, kick, kick, "X...X...X.......", "X...............", rest})},
            {say("ハンドクラップ", "Hand clap"), DR_CLAP,
             bars({rest, "....X.......X...", "....X.......X...", "....X.......X...",
                   "....X.......X...", "....X...X.X.XxXX", "X...............", rest})},
            {say("クローズハイハット", "Closed hi-hat"), DR_CLOSED_HAT,
             bars({rest, "x..gx..gx..gx..g", "x..gx..gx..gx..g", "x..gx..gx..gx..g",
                   "x..gx..gx..gx..g", "x..gx..g........", rest, rest})},
            {say("オープンハイハット", "Open hi-hat"), DR_OPEN_HAT,
             bars({"..o...o...o...x.", "..x...x...x...x.", "..x...x...x...x.", "..x...x...x...x.",
                   "..x...x...x...x.", "..x...x.........", rest, rest})},
            {say("クラッシュ", "Crash"), DR_CRASH,
             bars({rest, "X...............", rest, rest, rest, rest, "X---------------",
                   "----------------"})},
        });
}

}  // namespace

std::vector<FolderRecipe> pattern_folders() {
    // Made anew at each call: the names follow the language the generator writes in.
    return {
        {"piano", say("ピアノ・キーボード", "Piano and keyboards")},
        {"bass", say("ベース", "Bass")},
        {"guitar", say("ギター", "Guitar")},
        {"drums", say("ドラム", "Drums")},
    };
}

const std::vector<PhraseRecipe>& pattern_phrases() {
    static const std::vector<PhraseRecipe> phrases = {
        {"piano", "piano_8beat.kvnl", piano_8beat},
        {"piano", "piano_16beat.kvnl", piano_16beat},
        {"piano", "piano_arpeggio_8.kvnl", piano_arpeggio_8},
        {"piano", "piano_arpeggio_16.kvnl", piano_arpeggio_16},
        {"piano", "piano_ballad.kvnl", piano_ballad},
        {"piano", "epiano_shuffle.kvnl", epiano_shuffle},
        {"piano", "organ_pad.kvnl", organ_pad},
        {"bass", "bass_root_8.kvnl", bass_root_8},
        {"bass", "bass_root_fifth.kvnl", bass_root_fifth},
        {"bass", "bass_octave_16.kvnl", bass_octave_16},
        {"bass", "bass_walking.kvnl", bass_walking},
        {"bass", "bass_finger_16.kvnl", bass_finger_16},
        {"bass", "bass4_slap.kvnl", bass_slap_4},
        {"bass", "bass4_rock_8.kvnl", bass_rock_4},
        {"guitar", "guitar_strum_8.kvnl", guitar_strum_8},
        {"guitar", "guitar_cutting_16.kvnl", guitar_cutting_16},
        {"guitar", "guitar_arpeggio.kvnl", guitar_arpeggio},
        {"guitar", "guitar_ballad_triplet.kvnl", guitar_ballad_triplet},
        {"guitar", "guitar_power_chords.kvnl", guitar_power_chords},
        {"drums", "drums_8beat.kvnl", drums_8beat},
        {"drums", "drums_16beat.kvnl", drums_16beat},
        {"drums", "drums_shuffle.kvnl", drums_shuffle},
        {"drums", "drums_half_time.kvnl", drums_half_time},
        {"drums", "drums_ballad.kvnl", drums_ballad},
        {"drums", "drums_fills.kvnl", drums_fills},
        {"drums", "drums_four_on_floor.kvnl", drums_four_on_floor},
    };
    return phrases;
}

}  // namespace kv_data
