#include "model/theory/MseqMapWord.h"

#include <string>

#include "platform/TextCodec.h"

namespace {

struct NamedIndex {
    uint32_t index;
    const char* name;  // UTF-8 in the source, CP932 in the dictionary
};

// The General MIDI Level 1 programs, by program number.
const NamedIndex kPrograms[] = {
    {0, "グランドピアノ"},
    {1, "ブライトピアノ"},
    {2, "E.グランドピアノ"},
    {3, "ホンキートンク"},
    {4, "エレクトリックピアノ１"},
    {5, "エレクトリックピアノ２"},
    {6, "ハープシコード"},
    {7, "クラビコード"},
    {8, "セレスタ"},
    {9, "鉄琴"},
    {10, "オルゴール"},
    {11, "ビブラホン"},
    {12, "マリンバ"},
    {13, "木琴"},
    {14, "チューブラーベル"},
    {15, "ダルシマー"},
    {16, "ドローバーオルガン"},
    {17, "パーカッシブオルガン"},
    {18, "ロックオルガン"},
    {19, "チャーチオルガン"},
    {20, "リードオルガン"},
    {21, "アコーディオン"},
    {22, "ハーモニカ"},
    {23, "タンゴアコーディオン"},
    {24, "A.ナイロンギター"},
    {25, "A.スチールギター"},
    {26, "E.ジャズギター"},
    {27, "E.クリーンギター"},
    {28, "E.ギターミュート"},
    {29, "オーバードリブンギター"},
    {30, "ディストーションギター"},
    {31, "ギターハーモニクス"},
    {32, "アコースティックベース"},
    {33, "E.フィンガーベース"},
    {34, "E.ピックベース"},
    {35, "フレットレスベース"},
    {36, "スラップベース１"},
    {37, "スラップベース２"},
    {38, "シンセベース１"},
    {39, "シンセベース２"},
    {40, "バイオリン"},
    {41, "ビオラ"},
    {42, "チェロ"},
    {43, "コントラバス"},
    {44, "トレモロストリングス"},
    {45, "ピチカートストリングス"},
    {46, "ハープ"},
    {47, "ティンパニー"},
    {48, "ストリングス１"},
    {49, "ストリングス２"},
    {50, "シンセストリングス１"},
    {51, "シンセストリングス２"},
    {52, "合唱団（アー）"},
    {53, "ボイス（ドゥー）"},
    {54, "シンセボイス"},
    {55, "オーケストラヒット"},
    {56, "トランペット"},
    {57, "トロンボーン"},
    {58, "チューバ"},
    {59, "ミュートトランペット"},
    {60, "フレンチホルン"},
    {61, "ブラスセクション"},
    {62, "シンセブラス１"},
    {63, "シンセブラス２"},
    {64, "ソプラノサックス"},
    {65, "アルトサックス"},
    {66, "テナーサックス"},
    {67, "バリトンサックス"},
    {68, "オーボエ"},
    {69, "イングリッシュホルン"},
    {70, "バスーン"},
    {71, "クラリネット"},
    {72, "ピッコロ"},
    {73, "フルート"},
    {74, "リコーダー"},
    {75, "パンフルート"},
    {76, "ボトルを吹く音"},
    {77, "尺八"},
    {78, "ホイッスル／口笛"},
    {79, "オカリナ"},
    {80, "シンセリード（square）"},
    {81, "シンセリード（sawtooth）"},
    {82, "シンセリード（calliope）"},
    {83, "シンセリード（chiff）"},
    {84, "シンセリード（charang）"},
    {85, "シンセリード（voice）"},
    {86, "シンセリード（fifths）"},
    {87, "ベース＆リード"},
    {88, "パッド（new age）"},
    {89, "パッド（warm）"},
    {90, "パッド（polysynth）"},
    {91, "パッド（choir）"},
    {92, "パッド（bowed）"},
    {93, "パッド（metallic）"},
    {94, "パッド（halo）"},
    {95, "パッド（sweep）"},
    {96, "エフェクト（rain）"},
    {97, "エフェクト（soundtrack）"},
    {98, "エフェクト（crystal）"},
    {99, "エフェクト（atmosphere）"},
    {100, "エフェクト（brightness）"},
    {101, "エフェクト（goblins）"},
    {102, "エフェクト（echoes）"},
    {103, "エフェクト（sci-fi）"},
    {104, "シタール"},
    {105, "バンジョー"},
    {106, "三味線"},
    {107, "琴"},
    {108, "カリンバ"},
    {109, "バグパイプ"},
    {110, "フィドル"},
    {111, "シャナイ"},
    {112, "ティンクルベル"},
    {113, "アゴゴ"},
    {114, "スチールドラム"},
    {115, "ウッドブロック"},
    {116, "太鼓"},
    {117, "メロディックタム"},
    {118, "シンセドラム"},
    {119, "リバースシンバル"},
    {120, "ギターフレットノイズ"},
    {121, "ブレスノイズ"},
    {122, "海辺の音"},
    {123, "鳥のさえずり"},
    {124, "電話の音"},
    {125, "ヘリコプターの音"},
    {126, "拍手喝采"},
    {127, "発砲音"},
};

// The drum kits, by the kit's program number (the General MIDI 2 kits are marked so).
const NamedIndex kDrumKits[] = {
    {0, "スタンダードドラム"},    {8, "ルーム (GM2)"},        {16, "パワー (GM2)"},
    {24, "エレクトリック (GM2)"}, {25, "TR-808 (GM2)"},       {32, "ジャズ (GM2)"},
    {40, "ブラシ (GM2)"},         {48, "オーケストラ (GM2)"}, {56, "SFX (GM2)"},
};

// The drum sounds of the General MIDI percussion key map, by note number.
const NamedIndex kDrumSounds[] = {
    {35, "アコースティックバス"},
    {36, "バスドラム"},
    {37, "サイドスティック"},
    {38, "アコースティックスネア"},
    {39, "ハンドクラップ (手拍子)"},
    {40, "エレクトリックスネア"},
    {41, "ローフロアタム"},
    {42, "クローズハイハット"},
    {43, "ハイフロアタム"},
    {44, "ペダルハイハット"},
    {45, "ロータム"},
    {46, "オープンハイハット"},
    {47, "ローミドルタム"},
    {48, "ハイミドルタム"},
    {49, "クラッシュシンバル 1"},
    {50, "ハイタム"},
    {51, "ライドシンバル 1"},
    {52, "チャイニーズシンバル"},
    {53, "ライドベル"},
    {54, "タンバリン"},
    {55, "スプラッシュシンバル"},
    {56, "カウベル"},
    {57, "クラッシュシンバル 2"},
    {58, "ビブラスラップ"},
    {59, "ライドシンバル 2"},
    {60, "ハイボンゴ"},
    {61, "ローボンゴ"},
    {62, "ミュートハイコンガ"},
    {63, "オープンハイコンガ"},
    {64, "ローコンガ"},
    {65, "ハイティンバレス"},
    {66, "ローティンバレス"},
    {67, "ハイアゴゴ"},
    {68, "ローアゴゴ"},
    {69, "カバス"},
    {70, "マラカス"},
    {71, "ショートホイッスル"},
    {72, "ロングホイッスル"},
    {73, "ショートギロ"},
    {74, "ロングギロ"},
    {75, "クラベス"},
    {76, "ハイウッドブロック"},
    {77, "ローウッドブロック"},
    {78, "ミュートクイッカ"},
    {79, "オープンクイッカ"},
    {80, "ミュートトライアングル"},
    {81, "オープントライアングル"},
};

void add_table(MseqMapWord& map, uint16_t kind, const NamedIndex* rows, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        map.add(MseqBlockWord(kind, 0, rows[i].index, kv_codec::cp932_from_utf8(rows[i].name)));
}

}  // namespace

const MseqMapWord& MseqMapWord::builtin() {
    static const MseqMapWord map = [] {
        MseqMapWord m;
        m.add_builtin();
        return m;
    }();
    return map;
}

bool MseqMapWord::add(const MseqBlockWord& word) {
    return words_.emplace(key_of(word.m_Attrib, word.m_Group, word.m_Index), word).second;
}

void MseqMapWord::add_builtin() {
    add_table(*this, MWORD_PROGRAM, kPrograms, std::size(kPrograms));
    add_table(*this, MWORD_DRUM_KIT, kDrumKits, std::size(kDrumKits));
    add_table(*this, MWORD_DRUM_SOUND, kDrumSounds, std::size(kDrumSounds));
    // Every other note still gets a name, so that a drum pattern can use any of them: its
    // number counted from 1.
    for (uint32_t note = 0; note < 128; ++note)
        add(MseqBlockWord(MWORD_DRUM_SOUND, 0, note, CkvString("P." + std::to_string(note + 1))));
}

const MseqBlockWord* MseqMapWord::get(uint16_t kind, uint16_t group, uint32_t index) const {
    auto it = words_.find(key_of(kind, group, index));
    return it == words_.end() ? nullptr : &it->second;
}

MseqBlockWord MseqMapWord::find(uint16_t kind, uint16_t group, uint32_t index) const {
    if (const MseqBlockWord* w = get(kind, group, index)) return *w;
    return MseqBlockWord(kind, group, index);
}
