#include "edit/MedtViewCommands.h"

#include <algorithm>
#include <cstring>

#include "edit/MedtMusic.h"
#include "edit/MedtNoteValue.h"
#include "edit/MedtText.h"
#include "edit/MedtTrack.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"

namespace medt_view_commands {

const std::vector<MedtViewCommand>& note_kinds() {
    static const std::vector<MedtViewCommand> t = {
        {MVC_DRAW_PURE, "ピュア音符で描く", "E", "ピュア音符で描く [E]"},
        {MVC_DRAW_TONE, "メロディ音符で描く", "T", "メロディ音符で描く [T]"},
        {MVC_DRAW_SCALE, "スケール音符で描く", "W", "スケール音符で描く [W]"},
        {MVC_DRAW_CHORD, "コード音符で描く", "Q", "コード音符で描く [Q]"},
        {MVC_DRAW_RHYTHM, "リズム音符で描く", "R", "リズム音符で描く [R]"},
    };
    return t;
}

const std::vector<MedtViewCommand>& display_toggles() {
    static const std::vector<MedtViewCommand> t = {
        {MVC_SHOW_DEGREE, "コードディグリを表示", "1", "コードディグリを表示 [1]"},
        {MVC_SHOW_CHORD, "コードを表示", "2", "コードを表示 [2]"},
        {MVC_SHOW_ANCHOR, "アンカーを表示", "3",
         "アンカーを表示します。ブロックを置いたり、消したりできます。[3]"},
        {MVC_SHOW_OPTION, "オプションを表示", "4",
         "オプションを表示します。音符の位置／長さの微調節や、フレーズモードの選択ができます。[4]"},
        {MVC_SHOW_VELOCITY, "ベロシティを表示", "5", "ベロシティを表示 [5]"},
        {MVC_SHOW_EFFECT, "エフェクトレベルを表示", "6", "エフェクトレベルを表示 [6]"},
        {MVC_SHOW_GUIDE, "ガイドを表示", "7", "ガイドを表示 [7]"},
        {MVC_SHOW_PLAY_POSITION, "再生位置を表示", "F7",
         "再生カーソルの位置までスクロールします。[F7]"},
        {MVC_AUTOSCROLL, "再生オートスクロール", "F8", "再生オートスクロール [F8]"},
        {MVC_CHORD_NAMES, "コード名を常に表示", "", "コードトラックのコード名を常に表示します。"},
        {MVC_MODE_ICONS, "モードアイコンを常に表示", "",
         "フレーズトラックのモードアイコンを常に表示します。"},
        {MVC_TRACK_INFO, "トラック情報をガイドに表示", "",
         "トラックのガイドに、奏者番号や楽器などの情報を表示します。"},
    };
    return t;
}

const std::vector<MedtViewCommand>& edit_commands() {
    static const std::vector<MedtViewCommand> t = {
        {MVC_CUT, "切り取り", "Ctrl+X", "選択範囲を記憶(コピー)して、切り取ります。[Ctrl]+[X]"},
        {MVC_COPY, "コピー", "Ctrl+C", "選択範囲を記憶(コピー)します。[Ctrl]+[C]"},
        {MVC_PASTE, "貼り付け", "Ctrl+V",
         "記憶(コピー)した内容を、指定位置に貼り付け、または、選択範囲を置き換えます。[Ctrl]+[V]"},
        {MVC_OVERWRITE, "上書き", "Ctrl+B",
         "記憶(コピー)した内容を、指定位置から上書き、または、選択範囲だけを上書きします。[Ctrl]+["
         "B]"},
        {MVC_DELETE, "削除", "Del", "1拍分を削除、または、選択範囲を削除します。[Del]"},
        {MVC_DELETE_BEFORE, "前を削除", "Backspace",
         "1拍分を削除、または、選択範囲を削除します。[Del]"},
        {MVC_SPACE, "空白の挿入", "Ins", "指定位置に空白を挿入します。[Insert]"},
        {MVC_UNDO, "元に戻す", "Ctrl+Z", "直前の編集操作を取り消します。(アンドゥ)[Ctrl]+[Z]"},
        {MVC_REDO, "やり直し", "Ctrl+Shift+Z",
         "取り消した編集操作をやり直します。(リドゥ)[Ctrl]+[Shift]+[Z]、[Ctrl]+[Y]", "Ctrl+Y"},
    };
    return t;
}

const std::vector<MedtViewCommand>& track_commands() {
    static const std::vector<MedtViewCommand> t = {
        {MVC_ADD_TRACK, "トラックの追加", "", "選択しているトラックに、トラックを追加します。"},
        {MVC_DELETE_TRACK, "トラックの削除", "", "選択しているトラックを削除します。"},
        {MVC_COPY_TRACK, "トラックのコピー", "",
         "選択しているトラックをプロパティも含めて記憶(コピー)します。"},
        {MVC_PASTE_TRACK, "トラックの貼り付け", "",
         "記憶(コピー)したトラックを、選択しているトラックに追加します。"},
    };
    return t;
}

const std::vector<MedtViewCommand>& add_track_commands() {
    static const std::vector<MedtViewCommand> t = {
        {MVC_ADD_GROUP, "トラックグループ", "",
         "トラックをまとめて扱う、トラックグループを追加します。"},
        {40282, "テキスト", "", "資料、解説、著作などを記述するテキストを追加します。"},
        {40283, "メモ", "", "メモなどの文を置くトラックを追加します。"},
        {40284, "歌詞", "", "歌詞を置くトラックを追加します。"},
        {40285, "マーカー", "", "フレーズパターンの区切りを置くトラックを追加します。"},
        {40286, "テンポ", "", "曲の途中でテンポを変えるトラックを追加します。"},
        {40287, "コード", "", "コードを置くトラックを追加します。"},
        {40288, "コードマップ (転調)", "",
         "コードマップを置くトラックを追加します。曲の途中で調を変更できます。"},
        {40289, "フレーズ", "", "フレーズパターンを置くトラックを追加します。"},
        {40290, "音符", "", "音符を置くトラックを追加します。"},
        {MVC_ADD_RHYTHM, "リズム音符", "",
         "リズム音符を置くトラックを追加します。ドラム用のパターン内または奏者10(Ch10)に作成して"
         "ください。"},
        {MVC_ADD_MESSAGE, "MIDI メッセージ", "", "MIDI メッセージを置くトラックを追加します。"},
        {MVC_ADD_PRESET_FIRST, "MIDI メッセージ: エクスプレッション (30)", "",
         "MIDI メッセージを置くトラックを追加します。"},
        {40302, "MIDI メッセージ: モジュレーション (1)", "",
         "MIDI メッセージを置くトラックを追加します。"},
        {40303, "MIDI メッセージ: パン (10)", "", "MIDI メッセージを置くトラックを追加します。"},
        {40304, "MIDI メッセージ: エクスプレッション (11)", "",
         "MIDI メッセージを置くトラックを追加します。"},
        {40305, "MIDI メッセージ: ホールド (64)", "",
         "MIDI メッセージを置くトラックを追加します。"},
        {40306, "MIDI メッセージ: リバーブ (91)", "",
         "MIDI メッセージを置くトラックを追加します。"},
        {40307, "MIDI メッセージ: トレモロ (92)", "",
         "MIDI メッセージを置くトラックを追加します。"},
        {40308, "MIDI メッセージ: コーラス (93)", "",
         "MIDI メッセージを置くトラックを追加します。"},
        {40309, "MIDI メッセージ: セレステ (94)", "",
         "MIDI メッセージを置くトラックを追加します。"},
        {MVC_ADD_PRESET_LAST, "MIDI メッセージ: フェイザー (95)", "",
         "MIDI メッセージを置くトラックを追加します。"},
    };
    return t;
}

const std::vector<MedtViewCommand>& zoom_commands() {
    static const std::vector<MedtViewCommand> t = {
        {MVC_ZOOM_IN, "拡大", "Ctrl++", "時間方向に拡大します。[Ctrl]+[+] または [Ctrl]+ホイール"},
        {MVC_ZOOM_OUT, "縮小", "Ctrl+-", "時間方向に縮小します。[Ctrl]+[-] または [Ctrl]+ホイール"},
        {MVC_ZOOM_FIT, "曲全体を表示", "Ctrl+0",
         "曲全体がウィンドウに収まるように表示します。[Ctrl]+[0]"},
        {MVC_ROW_TALLER, "トラックを高く", "", "トラックの行を高くします。[Ctrl]+[Shift]+ホイール"},
        {MVC_ROW_SHORTER, "トラックを低く", "",
         "トラックの行を低くします。[Ctrl]+[Shift]+ホイール"},
    };
    return t;
}

bool is_zoom(int32_t id) {
    return id >= MVC_ZOOM_IN && id <= MVC_ROW_SHORTER;
}

const std::vector<MedtViewCommand>& lane_commands() {
    static const std::vector<MedtViewCommand> t = {
        {MVC_LANE, "音高レーン", "",
         "カーソルのあるトラックの下に、再生で鳴る音高のレーンを表示します (もう一度で隠す)"},
        {MVC_LANES_SHOW_ALL, "すべての音高レーンを表示", "",
         "ノートとフレーズのトラックすべてに音高のレーンを表示します"},
        {MVC_LANES_HIDE_ALL, "すべての音高レーンを隠す", "", "音高のレーンをすべて隠します"},
    };
    return t;
}

bool is_lane(int32_t id) {
    return id >= MVC_LANE && id <= MVC_LANES_HIDE_ALL;
}

bool run_lane(MedtMusic& editor, int32_t id) {
    switch (id) {
        case MVC_LANE: {
            const MedtTrack* t = editor.current();
            const MseqObject* node = t ? t->node() : nullptr;
            if (!node || (node->type != MTYPE_TRACK_NOTE && node->type != MTYPE_TRACK_REFER))
                return false;
            editor.lanes.set_shown(editor, t->id(), !editor.lanes.shown(t->id()));
            return true;
        }
        case MVC_LANES_SHOW_ALL:
        case MVC_LANES_HIDE_ALL:
            editor.lanes.set_all(editor, id == MVC_LANES_SHOW_ALL);
            return true;
        default:
            return false;
    }
}

const std::vector<MedtViewCommand>& entry_commands() {
    static const std::vector<MedtViewCommand> t = {
        {MVC_TYPE_NOTES, "音符を打ち込む", "N",
         "キーで音符を打ち込みます。C D E F G A B (# - で半音、, . でオクターブ)、数字でディグリ、"
         "R で休符、Backspace で前の音符を削除。[N]、終わりは [Esc]"},
        {MVC_VALUE_WHOLE, "全音符", "Alt+1", "打ち込む音符の長さ: 全音符 [Alt]+[1]"},
        {MVC_VALUE_HALF, "2分音符", "Alt+2", "打ち込む音符の長さ: 2分音符 [Alt]+[2]"},
        {MVC_VALUE_QUARTER, "4分音符", "Alt+3", "打ち込む音符の長さ: 4分音符 [Alt]+[3]"},
        {MVC_VALUE_8TH, "8分音符", "Alt+4", "打ち込む音符の長さ: 8分音符 [Alt]+[4]"},
        {MVC_VALUE_16TH, "16分音符", "Alt+5", "打ち込む音符の長さ: 16分音符 [Alt]+[5]"},
        {MVC_VALUE_32ND, "32分音符", "Alt+6", "打ち込む音符の長さ: 32分音符 [Alt]+[6]"},
        {MVC_VALUE_DOTTED, "付点", "Alt+.", "付点音符にします。[Alt]+[.]"},
        {MVC_VALUE_TRIPLET, "3連符", "Alt+0", "3連符にします。[Alt]+[0]"},
    };
    return t;
}

bool is_note_value(int32_t id) {
    return id >= MVC_VALUE_WHOLE && id <= MVC_VALUE_TRIPLET;
}

bool apply_note_value(int32_t id, MedtNoteValue* value) {
    if (!is_note_value(id) || !value) return false;
    if (id == MVC_VALUE_DOTTED) {
        value->dotted = !value->dotted;
        value->triplet = false;
    } else if (id == MVC_VALUE_TRIPLET) {
        value->triplet = !value->triplet;
        value->dotted = false;
    } else {
        *value = MedtNoteValue{1 << (id - MVC_VALUE_WHOLE), false, false};
    }
    return true;
}

bool note_value_checked(int32_t id, const MedtNoteValue& value) {
    if (id == MVC_VALUE_DOTTED) return value.dotted;
    if (id == MVC_VALUE_TRIPLET) return value.triplet;
    return is_note_value(id) && value.denominator == 1 << (id - MVC_VALUE_WHOLE);
}

const MedtViewCommand* find(int32_t id) {
    for (const auto* table :
         {&note_kinds(), &display_toggles(), &edit_commands(), &track_commands(),
          &add_track_commands(), &zoom_commands(), &lane_commands(), &entry_commands()}) {
        for (const MedtViewCommand& c : *table) {
            if (c.id == id) return &c;
        }
    }
    return nullptr;
}

const MedtViewCommand* find_key(const char* key) {
    if (!key || !*key) return nullptr;
    for (const auto* table :
         {&note_kinds(), &display_toggles(), &edit_commands(), &track_commands(),
          &add_track_commands(), &zoom_commands(), &lane_commands(), &entry_commands()}) {
        for (const MedtViewCommand& c : *table) {
            if (std::strcmp(c.key, key) == 0 || std::strcmp(c.other_key, key) == 0) return &c;
        }
    }
    return nullptr;
}

bool is_note_kind(int32_t id) {
    return id >= MVC_DRAW_PURE && id <= MVC_DRAW_RHYTHM;
}

bool is_view_setting(int32_t id) {
    return id == MVC_SHOW_PLAY_POSITION || is_note_kind(id) || toggle_bit(id) != 0 || is_zoom(id) ||
           is_lane(id) || id == MVC_TYPE_NOTES || is_note_value(id);
}

CkvString label(int32_t id) {
    const MedtViewCommand* c = find(id);
    if (!c) return CkvString();
    // Key names are ASCII, the same bytes in CP932.
    const CkvString& name = medt_text(c->name);
    return *c->key ? CkvString(name + "\t" + c->key) : name;
}

CkvString bar_label(int32_t id) {
    // The menu's wording says what the switch does ("...を表示"); the tool bar, whose row is
    // captioned, names only what is drawn or shown, so that both rows fit a 1280-pixel window.
    static const struct {
        int32_t id;
        const char* name;
    } kShort[] = {
        {MVC_DRAW_PURE, "ピュア"},
        {MVC_DRAW_TONE, "メロディ"},
        {MVC_DRAW_SCALE, "スケール"},
        {MVC_DRAW_CHORD, "コード音符"},
        {MVC_DRAW_RHYTHM, "リズム"},
        {MVC_SHOW_DEGREE, "ディグリ"},
        {MVC_SHOW_CHORD, "コード"},
        {MVC_SHOW_ANCHOR, "アンカー"},
        {MVC_SHOW_OPTION, "オプション"},
        {MVC_SHOW_VELOCITY, "ベロシティ"},
        {MVC_SHOW_EFFECT, "エフェクト"},
        {MVC_SHOW_GUIDE, "ガイド"},
        {MVC_SHOW_PLAY_POSITION, "再生位置へ"},
        {MVC_AUTOSCROLL, "オートスクロール"},
        {MVC_CHORD_NAMES, "コード名"},
        {MVC_MODE_ICONS, "モードアイコン"},
        {MVC_TRACK_INFO, "トラック情報"},
        {MVC_TYPE_NOTES, "打ち込み"},
    };
    for (const auto& s : kShort) {
        if (s.id == id) return medt_text(s.name);
    }
    const MedtViewCommand* c = find(id);
    return c ? medt_text(c->name) : CkvString();
}

CkvString status_text(int32_t id) {
    const MedtViewCommand* c = find(id);
    return c ? medt_text(c->status) : CkvString();
}

uint32_t toggle_bit(int32_t id) {
    switch (id) {
        case MVC_SHOW_ANCHOR:
            return MSHOW_ANCHOR;
        case MVC_SHOW_OPTION:
            return MSHOW_OPTION;
        case MVC_SHOW_VELOCITY:
            return MSHOW_VELOCITY;
        case MVC_SHOW_GUIDE:
            return MSHOW_GUIDE;
        case MVC_SHOW_EFFECT:
            return MSHOW_EFFECT;
        case MVC_SHOW_DEGREE:
            return MSHOW_DEGREE;
        case MVC_SHOW_CHORD:
            return MSHOW_CHORD;
        case MVC_AUTOSCROLL:
            return MSHOW_AUTOSCROLL;
        case MVC_CHORD_NAMES:
            return MSHOW_CHORD_NAMES;
        case MVC_MODE_ICONS:
            return MSHOW_MODE_ICONS;
        case MVC_TRACK_INFO:
            return MSHOW_TRACK_INFO;
        default:
            return 0;
    }
}

bool run(MseqMusic* music, int32_t id) {
    if (!music) return false;
    if (is_note_kind(id)) {
        music->m_NoteState = id - MVC_DRAW_PURE + 1;
        return true;
    }
    const uint32_t bit = toggle_bit(id);
    if (!bit) return false;
    uint32_t show = static_cast<uint32_t>(music->m_ShowState) ^ bit;
    // Chord degrees or chord names are always shown: turning off the last of the two shows the
    // other one.
    if (!(show & (MSHOW_DEGREE | MSHOW_CHORD)))
        show |= id == MVC_SHOW_CHORD ? MSHOW_DEGREE : MSHOW_CHORD;
    music->m_ShowState = static_cast<int32_t>(show);
    return true;
}

bool checked(const MseqMusic* music, int32_t id) {
    if (!music) return false;
    if (is_note_kind(id)) return music->m_NoteState == id - MVC_DRAW_PURE + 1;
    const uint32_t bit = toggle_bit(id);
    return bit && (static_cast<uint32_t>(music->m_ShowState) & bit) != 0;
}

}  // namespace medt_view_commands
