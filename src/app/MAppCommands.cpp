#include "app/MAppCommands.h"

#include <map>

#include "app/MAppTexts.h"
#include "model/core/CkvText.h"
#include "platform/TextCodec.h"

namespace mapp_commands {

namespace {

// The fixed texts of one command, written as UTF-8 and converted to CP932 when asked for.
struct Texts {
    const char* label;
    const char* status;
};

const std::map<uint32_t, Texts>& table() {
    static const std::map<uint32_t, Texts> t = {
        {ID_ROOM_CREATE,
         {"新しいライブラリを作る(&N) ...", "新しいライブラリファイルを作成します。"}},
        {ID_ROOM_OPEN, {"ライブラリを開く(&O) ...\tCtrl+O", "ライブラリファイルを開きます。"}},
        {ID_ROOM_CLOSE, {"ライブラリを閉じる(&C)", "現在開いているライブラリを閉じます。"}},
        {ID_FILE_SAVE, {"保存(&S)\tCtrl+S", "現在表示しているファイルを保存します。[Ctrl]+[S]"}},
        {ID_FILE_SAVE_ALL,
         {"すべて保存\tCtrl+Shift+S", "編集したファイルを全て保存します。[Ctrl]+[Shift]+[S]"}},
        {ID_EXPORT_MIDI,
         {"MIDI ファイルで保存(&M) ...", "MIDI (SMF) 形式でファイルを出力します。"}},
        {ID_IMPORT_MIDI,
         {"MIDI ファイルの取り込み(&I) ...",
          "MIDI (SMF) ファイルを新しい曲としてミュージックブックに取り込みます。"}},
        {ID_ANALYSE_MUSIC,
         {"和声の解析(&H) ...",
          "表示している曲の調とコードを求め、音符をコードに従う音符にします。(元に戻せます)"}},
        {ID_EXPORT_FILE,
         {"書き出し(&E) ...", "MIDI (フォーマット 0／1) か MusicXML でファイルを出力します。"}},
        {ID_RENDER_AUDIO,
         {"音声ファイルで保存(&A) ...", "WAV、FLAC、Ogg の音声ファイルを出力します。"}},
        {ID_APP_EXIT, {"終了(&X)\tCtrl+Q", ""}},
        {ID_ROOM_NONE,
         {"ライブラリの履歴はありません", "最近使ったライブラリファイルの履歴はありません。"}},
        {ID_LINK_DELETE,
         {"リンクの削除\tDEL", "選択しているリンクを削除します。(ファイルは削除しません)"}},
        {ID_LINK_OPEN, {"リンクを開く", "選択しているリンクを開きます。"}},
        {ID_PLAY_LINK, {"リンクを再生/停止\tF6", "選択しているリンクを再生します。[F6]"}},
        {ID_LINK_RENAME, {"リンク名の変更\tF2", "選択しているリンクの名前を変更します。[F2]"}},
        {ID_LINK_INFO,
         {"リンク情報の表示\tF4", "リンク情報画面の表示／非表示を切り替えます。[F4]"}},
        {ID_EDIT_CLOSE, {"閉じる\tDEL", "編集リストで選択しているリーフの編集を終了します。"}},
        {ID_EDIT_RENAME, {"名前の変更\tF2", "編集リストで選択しているリーフの名前を変更します。"}},
        {ID_TOOL_RELEASE,
         {"デバイス一時解放(&R)",
          "デバイスを解放します。再度、再生すればデバイスが有効になります。(音を止める効果があり"
          "ます)"}},
        {ID_TOOL_SETTINGS, {"設定(&S) ...", "このソフトウェアの設定をします。"}},
        {ID_TOOL_MANUAL, {"説明書(&H)\tF1", "このソフトウェアの説明書を表示します。[F1]"}},
        {ID_TOOL_VERSION, {"バージョン情報(&V)", "バージョン情報を表示します。"}},
        {ID_PLAY, {"再生\tF5", "再生します。[F5] [Space]"}},
        {ID_PLAY_FROM_CURSOR,
         {"カーソル位置から再生\tShift+F5", "編集カーソルの位置から再生します。[Shift]+[F5]"}},
        {ID_GO_START, {"先頭へ\tCtrl+Home", "再生位置を曲の先頭に戻します。[Ctrl]+[Home]"}},
        {ID_GO_END, {"末尾へ\tCtrl+End", "再生位置を曲の末尾に移します。[Ctrl]+[End]"}},
        {ID_AUDITION,
         {"試聴", "音符を置いたり変えたりしたときに、その音を鳴らします。(オン／オフ)"}},
        {ID_STEP_RECORD,
         {"ステップ入力",
          "MIDI 入力で弾いた鍵盤を編集カーソルの位置に音符として入力します。(オン／オフ)"}},
        {ID_LIVE_RECORD,
         {"リアルタイム録音",
          "1 小節のカウントの後に再生し、MIDI 入力で弾いた鍵盤を録音します。もう一度で止めます。"}},
        {ID_STOP, {"停止", "停止します。[F5]"}},
        {ID_PAUSE, {"一時停止", "一時停止します。[F6]"}},
        {ID_NEW_MUSIC_BUTTON, {"新しい曲の作成", ""}},
        {ID_ADD_FILE_LINK, {"ファイルへのリンクを追加", ""}},
        {ID_ADD_MUSIC, {"新しい曲の作成 ...\tCtrl+N", ""}},
        {ID_ADD_PATTERN_BOOK, {"パターンブックの作成", ""}},
        {ID_ADD_STAGE, {"ステージマップの作成", ""}},
        {ID_ADD_CHORD, {"コードマップの作成", ""}},
        {ID_ADD_FOLDER, {"フォルダの作成", ""}},
        {ID_ADD_PHRASE_CHORDS, {"和音フレーズ", ""}},
        {ID_ADD_PHRASE_MONO_BASS, {"モノフォニックベース", ""}},
        {ID_ADD_PHRASE_BASS4, {"4 弦ベース", ""}},
        {ID_ADD_PHRASE_GUITAR6, {"6 弦ギター", ""}},
        {ID_ADD_PHRASE_DRUM8, {"ドラム 8 拍", ""}},
        {ID_ADD_PHRASE_DRUM16, {"ドラム 16 拍", ""}},
        {ID_ADD_PHRASE_EMPTY, {"空のフレーズ", ""}},
    };
    return t;
}

// The commands whose texts are in the application's catalogue: label and status text.
struct Catalogued {
    mapp_msg label;
    mapp_msg status;
};

const Catalogued* catalogued(uint32_t id) {
    static const std::map<uint32_t, Catalogued> t = {
        {ID_AUDITION_PHRASE, {mapp_msg::PHRASE_AUDITION_LABEL, mapp_msg::PHRASE_AUDITION_TIP}},
    };
    auto it = t.find(id);
    return it == t.end() ? nullptr : &it->second;
}

MAppMenuEntry command(uint32_t id) {
    MAppMenuEntry e;
    e.kind = MAppMenuEntry::command;
    e.id = id;
    e.label = label(id);
    return e;
}

MAppMenuEntry separator() {
    MAppMenuEntry e;
    e.kind = MAppMenuEntry::separator;
    return e;
}

MAppMenuEntry submenu(const char* utf8, MAppMenu sub) {
    MAppMenuEntry e;
    e.kind = MAppMenuEntry::submenu;
    e.label = ckv_from_utf8(utf8);
    e.sub = sub;
    return e;
}

}  // namespace

CkvString label(uint32_t id) {
    if (const Catalogued* c = catalogued(id)) return ckv_from_utf8(kv_text(c->label));
    auto it = table().find(id);
    return it == table().end() ? CkvString() : ckv_from_utf8(it->second.label);
}

CkvString status_text(uint32_t id) {
    if (const Catalogued* c = catalogued(id)) return ckv_from_utf8(kv_text(c->status));
    auto it = table().find(id);
    return it == table().end() ? CkvString() : ckv_from_utf8(it->second.status);
}

std::vector<CkvString> bar_labels() {
    std::vector<CkvString> out;
    for (const char* s : {"ファイル(&F)", "ライブラリ(&R)", "編集リスト(&D)", "ツール(&T)"})
        out.emplace_back(kv_codec::cp932_from_utf8(s));
    return out;
}

const std::vector<MAppAccelerator>& accelerators() {
    static const std::vector<MAppAccelerator> keys = {
        {"F1", ID_TOOL_MANUAL},
        {"F4", ID_LINK_INFO},
        {"F5", ID_PLAY},
        {"Space", ID_PLAY},
        {"Shift+F5", ID_PLAY_FROM_CURSOR},
        {"F6", ID_PLAY_LINK},
        {"Shift+F6", ID_AUDITION_PHRASE},
        {"F7", ID_MUSIC_F7},
        {"F8", ID_MUSIC_F8},
        {"Ctrl+Home", ID_GO_START},
        {"Ctrl+End", ID_GO_END},
        {"Ctrl+S", ID_FILE_SAVE},
        {"Ctrl+Shift+S", ID_FILE_SAVE_ALL},
        {"Ctrl+O", ID_ROOM_OPEN},
        {"Ctrl+N", ID_NEW_MUSIC_BUTTON},
        {"Ctrl+Q", ID_APP_EXIT},
    };
    return keys;
}

const std::vector<uint32_t>& room_toolbar() {
    static const std::vector<uint32_t> bar = {
        ID_ROOM_OPEN,   ID_NEW_MUSIC_BUTTON, 0, ID_FILE_SAVE, ID_FILE_SAVE_ALL, ID_EXPORT_MIDI, 0,
        ID_LINK_DELETE, ID_ADD_FILE_LINK,    0, ID_LINK_INFO, ID_TOOL_SETTINGS, ID_TOOL_MANUAL,
    };
    return bar;
}

const std::vector<uint32_t>& player_toolbar() {
    static const std::vector<uint32_t> bar = {ID_GO_START, ID_PLAY,        ID_PLAY_FROM_CURSOR,
                                              ID_STOP,     ID_PAUSE,       ID_GO_END,
                                              ID_AUDITION, ID_STEP_RECORD, ID_LIVE_RECORD};
    return bar;
}

bool is_toggle(uint32_t id) {
    return id == ID_AUDITION || id == ID_STEP_RECORD || id == ID_LIVE_RECORD;
}

std::vector<MAppMenuEntry> fixed_entries(MAppMenu menu) {
    switch (menu) {
        case MAppMenu::bar:
            return {};
        case MAppMenu::file:
            return {command(ID_ROOM_CREATE),
                    command(ID_ROOM_OPEN),
                    command(ID_ROOM_CLOSE),
                    separator(),
                    command(ID_FILE_SAVE),
                    command(ID_FILE_SAVE_ALL),
                    command(ID_EXPORT_MIDI),
                    separator(),
                    command(ID_IMPORT_MIDI),
                    command(ID_ANALYSE_MUSIC),
                    command(ID_EXPORT_FILE),
                    command(ID_RENDER_AUDIO),
                    separator(),
                    command(ID_APP_EXIT)};
        case MAppMenu::library:
            return {submenu("リンクの追加", MAppMenu::create),
                    command(ID_LINK_DELETE),
                    separator(),
                    command(ID_LINK_OPEN),
                    command(ID_PLAY_LINK),
                    command(ID_AUDITION_PHRASE),
                    command(ID_LINK_RENAME),
                    separator(),
                    command(ID_LINK_INFO)};
        case MAppMenu::edit_list:
            return {command(ID_EDIT_CLOSE), command(ID_EDIT_RENAME)};
        case MAppMenu::tools:
            return {command(ID_PLAY),
                    command(ID_PLAY_FROM_CURSOR),
                    command(ID_STOP),
                    command(ID_PAUSE),
                    command(ID_GO_START),
                    command(ID_GO_END),
                    separator(),
                    command(ID_AUDITION),
                    command(ID_STEP_RECORD),
                    command(ID_LIVE_RECORD),
                    command(ID_TOOL_RELEASE),
                    separator(),
                    command(ID_TOOL_SETTINGS),
                    separator(),
                    command(ID_TOOL_MANUAL),
                    command(ID_TOOL_VERSION)};
        case MAppMenu::create:
            return {command(ID_ADD_FILE_LINK),
                    separator(),
                    command(ID_ADD_MUSIC),
                    command(ID_ADD_PATTERN_BOOK),
                    separator(),
                    submenu("フレーズパターンの作成", MAppMenu::phrase),
                    command(ID_ADD_STAGE),
                    command(ID_ADD_CHORD),
                    separator(),
                    command(ID_ADD_FOLDER)};
        case MAppMenu::phrase:
            return {command(ID_ADD_PHRASE_CHORDS), command(ID_ADD_PHRASE_MONO_BASS),
                    command(ID_ADD_PHRASE_BASS4),  command(ID_ADD_PHRASE_GUITAR6),
                    command(ID_ADD_PHRASE_DRUM8),  command(ID_ADD_PHRASE_DRUM16),
                    command(ID_ADD_PHRASE_EMPTY)};
        case MAppMenu::room_dropdown:
            return {command(ID_ROOM_CREATE), command(ID_ROOM_OPEN),
                    command(ID_ROOM_CLOSE),  separator(),
                    command(ID_APP_EXIT),    separator()};
    }
    return {};
}

}  // namespace mapp_commands
