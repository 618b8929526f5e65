#include "edit/MedtViewCommands.h"

#include <algorithm>

#include "edit/MedtText.h"
#include "model/library/MseqMusic.h"

namespace medt_view_commands {

const std::vector<MedtViewCommand>& note_kinds() {
    static const std::vector<MedtViewCommand> t = {
        {40201, "ピュア音符で描く\tE", "ピュア音符で描く [E]"},
        {40202, "メロディ音符で描く\tT", "メロディ音符で描く [T]"},
        {40203, "スケール音符で描く\tW", "スケール音符で描く [W]"},
        {40204, "コード音符で描く\tQ", "コード音符で描く [Q]"},
        {40205, "リズム音符で描く\tR", "リズム音符で描く [R]"},
    };
    return t;
}

const std::vector<MedtViewCommand>& display_toggles() {
    static const std::vector<MedtViewCommand> t = {
        {40236, "コードディグリを表示\t1", "コードディグリを表示 [1]"},
        {40237, "コードを表示\t2", "コードを表示 [2]"},
        {40231, "アンカーを表示\t3",
         "アンカーを表示します。ブロックを置いたり、消したりできます。[3]"},
        {40232, "オプションを表示\t4",
         "オプションを表示します。音符の位置／長さの微調節や、フレーズモードの選択ができます。[4]"},
        {40233, "ベロシティを表示\t5", "ベロシティを表示 [5]"},
        {40234, "エフェクトレベルを表示\t6", "エフェクトレベルを表示 [6]"},
        {40239, "ガイドを表示\t7", "ガイドを表示 [7]"},
        {40211, "再生位置を表示\tF7", "再生カーソルの位置までスクロールします。[F7]"},
        {40212, "再生オートスクロール\tF8", "再生オートスクロール [F8]"},
        {40221, "コード名を常に表示", "コードトラックのコード名を常に表示します。"},
        {40222, "モードアイコンを常に表示", "フレーズトラックのモードアイコンを常に表示します。"},
        {40223, "トラック情報をガイドに表示",
         "トラックのガイドに、奏者番号や楽器などの情報を表示します。"},
    };
    return t;
}

const std::vector<MedtViewCommand>& edit_commands() {
    static const std::vector<MedtViewCommand> t = {
        {40261, "切り取り\tCtrl+X", "選択範囲を記憶(コピー)して、切り取ります。[Ctrl]+[X]"},
        {40262, "コピー\tCtrl+C", "選択範囲を記憶(コピー)します。[Ctrl]+[C]"},
        {40263, "貼り付け\tCtrl+V",
         "記憶(コピー)した内容を、指定位置に貼り付け、または、選択範囲を置き換えます。[Ctrl]+[V]"},
        {40264, "上書き\tCtrl+B",
         "記憶(コピー)した内容を、指定位置から上書き、または、選択範囲だけを上書きします。[Ctrl]+["
         "B]"},
        {40265, "削除\tDel", "1拍分を削除、または、選択範囲を削除します。[Del]"},
        {40266, "前を削除\tBackspace", "1拍分を削除、または、選択範囲を削除します。[Del]"},
        {40267, "空白の挿入\tSpace", "指定位置に空白を挿入します。[Space]"},
        {40268, "元に戻す\tCtrl+Z", "直前の編集操作を取り消します。(アンドゥ)[Ctrl]+[Z]"},
    };
    return t;
}

const std::vector<MedtViewCommand>& track_commands() {
    static const std::vector<MedtViewCommand> t = {
        {40272, "トラックの追加", "選択しているトラックに、トラックを追加します。"},
        {40273, "トラックの削除", "選択しているトラックを削除します。"},
        {40274, "トラックのコピー", "選択しているトラックをプロパティも含めて記憶(コピー)します。"},
        {40275, "トラックの貼り付け",
         "記憶(コピー)したトラックを、選択しているトラックに追加します。"},
    };
    return t;
}

const std::vector<MedtViewCommand>& add_track_commands() {
    static const std::vector<MedtViewCommand> t = {
        {40281, "トラックグループ", "トラックをまとめて扱う、トラックグループを追加します。"},
        {40282, "テキスト", "資料、解説、著作などを記述するテキストを追加します。"},
        {40283, "メモ", "メモなどの文を置くトラックを追加します。"},
        {40284, "歌詞", "歌詞を置くトラックを追加します。"},
        {40285, "マーカー", "フレーズパターンの区切りを置くトラックを追加します。"},
        {40286, "テンポ", "曲の途中でテンポを変えるトラックを追加します。"},
        {40287, "コード", "コードを置くトラックを追加します。"},
        {40288, "コードマップ (転調)",
         "コードマップを置くトラックを追加します。曲の途中で調を変更できます。"},
        {40289, "フレーズ", "フレーズパターンを置くトラックを追加します。"},
        {40290, "音符", "音符を置くトラックを追加します。"},
        {40291, "リズム音符",
         "リズム音符を置くトラックを追加します。ドラム用のパターン内または奏者10(Ch10)に作成して"
         "ください。"},
        {40292, "MIDI メッセージ", "MIDI メッセージを置くトラックを追加します。"},
        {40301, "MIDI メッセージ: エクスプレッション (30)",
         "MIDI メッセージを置くトラックを追加します。"},
        {40302, "MIDI メッセージ: モジュレーション (1)",
         "MIDI メッセージを置くトラックを追加します。"},
        {40303, "MIDI メッセージ: パン (10)", "MIDI メッセージを置くトラックを追加します。"},
        {40304, "MIDI メッセージ: エクスプレッション (11)",
         "MIDI メッセージを置くトラックを追加します。"},
        {40305, "MIDI メッセージ: ホールド (64)", "MIDI メッセージを置くトラックを追加します。"},
        {40306, "MIDI メッセージ: リバーブ (91)", "MIDI メッセージを置くトラックを追加します。"},
        {40307, "MIDI メッセージ: トレモロ (92)", "MIDI メッセージを置くトラックを追加します。"},
        {40308, "MIDI メッセージ: コーラス (93)", "MIDI メッセージを置くトラックを追加します。"},
        {40309, "MIDI メッセージ: セレステ (94)", "MIDI メッセージを置くトラックを追加します。"},
        {40310, "MIDI メッセージ: フェイザー (95)", "MIDI メッセージを置くトラックを追加します。"},
    };
    return t;
}

const MedtViewCommand* find(int32_t id) {
    for (const auto* table : {&note_kinds(), &display_toggles(), &edit_commands(),
                              &track_commands(), &add_track_commands()}) {
        for (const MedtViewCommand& c : *table) {
            if (c.id == id) return &c;
        }
    }
    return nullptr;
}

CkvString label(int32_t id) {
    const MedtViewCommand* c = find(id);
    return c ? medt_text(c->label) : CkvString();
}

CkvString status_text(int32_t id) {
    const MedtViewCommand* c = find(id);
    return c ? medt_text(c->status) : CkvString();
}

uint32_t toggle_bit(int32_t id) {
    switch (id) {
        case 40231:
            return MSHOW_ANCHOR;
        case 40232:
            return MSHOW_OPTION;
        case 40233:
            return MSHOW_VELOCITY;
        case 40239:
            return MSHOW_GUIDE;
        case 40234:
            return MSHOW_EFFECT;
        case 40236:
            return MSHOW_DEGREE;
        case 40237:
            return MSHOW_CHORD;
        case 40212:
            return MSHOW_AUTOSCROLL;
        case 40221:
            return MSHOW_CHORD_NAMES;
        case 40222:
            return MSHOW_MODE_ICONS;
        case 40223:
            return MSHOW_TRACK_INFO;
        default:
            return 0;
    }
}

bool run(MseqMusic* music, int32_t id) {
    if (!music) return false;
    if (id >= 40201 && id <= 40205) {
        music->m_NoteState = id - 40200;
        return true;
    }
    const uint32_t bit = toggle_bit(id);
    if (!bit) return false;
    uint32_t show = static_cast<uint32_t>(music->m_ShowState) ^ bit;
    // Chord degrees or chord names are always shown: turning off the last of the two shows the
    // other one.
    if (!(show & (MSHOW_DEGREE | MSHOW_CHORD))) show |= id == 40237 ? MSHOW_DEGREE : MSHOW_CHORD;
    music->m_ShowState = static_cast<int32_t>(show);
    return true;
}

bool checked(const MseqMusic* music, int32_t id) {
    if (!music) return false;
    if (id >= 40201 && id <= 40205) return music->m_NoteState == id - 40200;
    const uint32_t bit = toggle_bit(id);
    return bit && (static_cast<uint32_t>(music->m_ShowState) & bit) != 0;
}

}  // namespace medt_view_commands
