#include "edit/MedtTrackKinds.h"

#include <algorithm>

#include "edit/MedtMusic.h"
#include "edit/MedtText.h"
#include "edit/MedtViewCommands.h"
#include "model/block/MseqBlockLink.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqId.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapStage.h"
#include "model/theory/MseqMapWord.h"
#include "model/theory/MseqMsgForm.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackInherit.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackSequence.h"
#include "model/track/MseqTrackText.h"
#include "model/track/MseqTrackValue.h"

namespace {

// --- values -------------------------------------------------------------------------------

int32_t number_of(const MseqBlockWord& value) {
    return static_cast<int32_t>(value.m_Index);
}

MseqBlockWord number_word(int32_t v) {
    return MseqBlockWord(0, 0, static_cast<uint32_t>(v));
}

int32_t clamp32(int64_t v, int64_t lo, int64_t hi) {
    return static_cast<int32_t>(mseq_clamp(v, lo, hi));
}

CkvString text_number(int32_t v) {
    return medt_format("%d", v);
}
CkvString text_ticks(int32_t v) {
    return medt_format("%d [tick]", v);
}
CkvString text_percent(int32_t v) {
    return medt_format("%d [%%]", v);
}
CkvString text_count(int64_t v) {
    return medt_format(medt_text("[ %d 個 ]").c_str(), static_cast<int>(v));
}
CkvString text_link(const MseqObject* node, MSEQ_ID id) {
    if (!id) return CkvString();
    return medt_format("%s [ID: %08xh]", node ? node->name.c_str() : "", id);
}

// The answer of a choice: the value and text handed out, current or not.
int choice(const MseqBlockWord& v, const CkvString& t, bool current, MseqBlockWord* value,
           CkvString* text) {
    if (value) *value = v;
    if (text) *text = t;
    return current ? MCHOICE_CURRENT : MCHOICE_ITEM;
}

// --- rows ---------------------------------------------------------------------------------

MedtProperty row(int32_t number, uint32_t style, const char* name, const char* help,
                 int32_t group = MPG_NORMAL) {
    return MedtProperty{number, style, group, medt_text(name), medt_text(help)};
}

const char kChordTrackName[] = "コードトラック";
const char kChordTrackHelp[] =
    "リンクしているコードトラックです。トラックリストからドラッグ＆ドロップして設定します。("
    "右クリックで消去)";

void add_sequence_rows(std::vector<MedtProperty>& out, const MedtSequenceTexts& t) {
    out.push_back(row(4, MPS_DISPLAY, t.count_name, t.count_help));
    out.push_back(row(5, MPS_CHOICE, "拍数", t.beats_help));
}

size_t block_count(MseqTrack* t) {
    if (!t) return 0;
    if (auto* n = t->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE)) return n->block_count();
    if (auto* r = t->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER)) return r->block_count();
    if (auto* c = t->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD)) return c->block_count();
    if (auto* l = t->cast_to<MseqTrackLabel>(MTYPE_TRACK_LABEL)) return l->block_count();
    if (auto* v = t->cast_to<MseqTrackValue>(MTYPE_TRACK_VALUE)) return v->block_count();
    if (auto* k = t->cast_to<MseqTrackLink>(MTYPE_TRACK_LINK)) return k->block_count();
    return 0;
}

// Rows 4 and 5 of a sequence; false for other numbers.
bool sequence_text(const MedtTrack& track, int32_t number, CkvString* text, uint32_t* style) {
    if (number == 4) {
        *style = MPS_DISPLAY;
        *text = text_count(static_cast<int64_t>(block_count(track.stored())));
        return true;
    }
    if (number == 5) {
        *style = MPS_CHOICE;
        *text = text_number(track.beats());
        return true;
    }
    return false;
}

int beats_choice(const MedtTrack& track, int32_t index, MseqBlockWord* value, CkvString* text) {
    if (index < 0 || index >= 16) return MCHOICE_PAST_END;
    const int32_t b = kMedtBeatChoices[index];
    return choice(number_word(b), text_number(b), b == track.beats(), value, text);
}

// The music the track belongs to (the edited one).
MseqMusic* music_of(const MedtTrack& track) {
    return track.editor()->music();
}

// A chord track of the music named by a dropped identifier, stored as (id & 0xFFFFF) + 0x100000;
// 0 clears. False for anything that is not a chord track of the music.
bool chord_track_link(const MedtTrack& track, const MseqBlockWord& value, MSEQ_ID* out) {
    const MSEQ_ID id = value.m_Index;
    if (id == 0) {
        *out = 0;
        return true;
    }
    MseqMusic* music = music_of(track);
    MseqObject* node = music ? music->find_track(id) : nullptr;
    if (!node || node->type != MTYPE_TRACK_CHORD) return false;
    *out = mseq_own_track_id(id);
    return true;
}

// A leaf of the music's book of `type`, stored as (id & 0xFFFFF) + 0x200000; 0 clears.
bool leaf_link(const MedtTrack& track, const MseqBlockWord& value, MSEQ_TYPE type, MSEQ_ID* out) {
    const MSEQ_ID id = value.m_Index;
    if (id == 0) {
        *out = 0;
        return true;
    }
    MseqMusic* music = music_of(track);
    const MSEQ_ID key = mseq_own_book_id(id);
    MseqObject* node = music ? music->find(key) : nullptr;
    if (!node || node->type != type) return false;
    *out = key;
    return true;
}

CkvString track_link_text(const MedtTrack& track, MSEQ_ID id) {
    MseqMusic* music = music_of(track);
    return text_link(music && id ? music->find_track(id) : nullptr, id);
}

CkvString leaf_link_text(const MedtTrack& track, MSEQ_ID id) {
    MseqMusic* music = music_of(track);
    return text_link(music && id ? music->find(id) : nullptr, id);
}

// The name of a word of the built-in dictionary; the word's own name when it has one.
CkvString word_name(const MseqBlockWord& w) {
    if (!w.m_Name.empty()) return w.m_Name;
    const MseqBlockWord* known = MseqMapWord::builtin().get(w.m_Attrib, w.m_Group, w.m_Index);
    return known ? known->m_Name : CkvString();
}

// Choice `index` among the dictionary words of kind `kind`.
int word_choice(uint16_t kind, const MseqBlockWord& current, int32_t index, MseqBlockWord* value,
                CkvString* text) {
    if (index < 0) return MCHOICE_PAST_END;
    int32_t i = 0;
    for (const auto& [key, word] : MseqMapWord::builtin().words()) {
        if (word.m_Attrib != kind) continue;
        if (i++ == index) {
            const bool cur = current.m_Attrib == kind && current.m_Index == word.m_Index;
            return choice(word, word.m_Name, cur, value, text);
        }
    }
    return MCHOICE_PAST_END;
}

// --- the stage map of the music -------------------------------------------------------------

// The stage map the music links, held by `hold`; nullptr without one.
MseqMapStage* stage_map(const MedtTrack& track, ref_ptr<MseqEntity>& hold) {
    MseqMusic* music = music_of(track);
    MseqObject* node = music && music->m_MapStageID ? music->find(music->m_MapStageID) : nullptr;
    if (!node) return nullptr;
    hold = mseq_open(node);
    return hold ? hold->cast_to<MseqMapStage>(MTYPE_LEAF_STAGE) : nullptr;
}

// The channel a per-channel row shows: the group's for a track inside a group.
int32_t shown_channel(const MedtTrack& track) {
    return mseq_effective_channel(track.stored());
}

}  // namespace

// --- root -------------------------------------------------------------------------------------

void MedtTrackRoot::build_properties(std::vector<MedtProperty>& out) const {
    add_common_rows(out);
    if (in_phrase()) {
        out.push_back(
            row(21, MPS_TYPED, "テストテンポ", "フレーズでのテスト再生する演奏速度です。"));
        out.push_back(
            row(24, MPS_CHOICE_CLEAR, "テストサウンド",
                "フレーズでのテスト再生する楽器をリストから選択します。(右クリックでドラム切替)"));
        return;
    }
    out.push_back(row(16, MPS_TYPED, "曲名",
                      "MIDI ファイルに入れる曲名です。%<entity> は編集リストの名前、%<book> "
                      "はブックの名前に置き換わります。"));
    out.push_back(row(17, MPS_TYPED, "著作名", "作者名などの著作表示を記述します。"));
    out.push_back(
        row(18, MPS_LINK, "ステージマップ",
            "リンクしているステージマップです。ライブラリからドラッグ＆ドロップして設定しま"
            "す。(右クリックで消去)",
            MPG_LINK));
    out.push_back(
        row(19, MPS_LINK, "標準コードマップ",
            "コードトラックの作成時にリンクするコードマップです。ライブラリからドラッグ＆ド"
            "ロップして設定します。(右クリックで消去)",
            MPG_LINK));
    out.push_back(
        row(20, MPS_LINK, "標準コードトラック",
            "トラックの作成時にリンクするコードトラックです。トラックリストからドラッグ＆ド"
            "ロップして設定します。(右クリックで消去)",
            MPG_LINK));
    out.push_back(row(21, MPS_TYPED, "テンポ", "演奏速度です。(１分あたりの４分音符数)"));
    out.push_back(
        row(22, MPS_TYPED, "トランスポーズ",
            "曲全体のキーを調節します。リズム音符以外の全ての音符を調整します。(-12 ～ 12)"));
    out.push_back(row(23, MPS_TYPED, "開始ブランク小節数",
                      "第 1 小節の開始位置、最初のフレーズライン（赤い縦線）の位置です。(0 ～ 4)"));
}

bool MedtTrackRoot::property_is_text(int32_t number) const {
    return number == 1 || (!in_phrase() && (number == 16 || number == 17));
}

CkvString MedtTrackRoot::property_text(int32_t number, uint32_t* style) const {
    CkvString text = MedtTrack::property_text(number, style);
    MseqMusic* music = music_of(*this);
    if (!music || number < 16) return text;
    uint32_t s = MPS_TYPED;
    if (in_phrase()) {
        if (number == 21) text = text_number(music->m_Tempo);
        if (number == 24) {
            s = MPS_CHOICE_CLEAR;
            text = word_name(music->m_Program);
        }
    } else {
        switch (number) {
            case 16:
                text = music->m_Title;
                break;
            case 17:
                text = music->m_Copyright;
                break;
            case 18:
                s = MPS_LINK;
                text = leaf_link_text(*this, music->m_MapStageID);
                break;
            case 19:
                s = MPS_LINK;
                text = leaf_link_text(*this, music->m_MapChordID);
                break;
            case 20:
                s = MPS_LINK;
                text = track_link_text(*this, music->m_TrackChordID);
                break;
            case 21:
                text = text_number(music->m_Tempo);
                break;
            case 22:
                text = text_number(music->m_Transpose);
                break;
            case 23:
                text = text_number(music->m_BlankBar);
                break;
            default:
                break;
        }
    }
    if (style) *style = s;
    return text;
}

int MedtTrackRoot::property_choice(int32_t number, int32_t index, MseqBlockWord* value,
                                   CkvString* text) const {
    MseqMusic* music = music_of(*this);
    if (!music || !in_phrase() || number != 24) return MCHOICE_NONE;
    return word_choice(MWORD_PROGRAM, music->m_Program, index, value, text);
}

bool MedtTrackRoot::set_property(int32_t number, const MseqBlockWord& value) {
    MseqMusic* music = music_of(*this);
    if (!music) return false;
    if (number == 1) return MedtTrack::set_property(number, value);
    const int32_t v = number_of(value);
    if (in_phrase()) {
        if (number == 21) {
            music->m_Tempo = clamp32(v, 4, 1024);
            return true;
        }
        if (number == 24) {
            MseqBlockWord w = value;
            if (w.m_Attrib != MWORD_PROGRAM && w.m_Attrib != MWORD_DRUM_KIT) return false;
            if (!w.normalize()) return false;
            music->m_Program = w;
            return true;
        }
        return false;
    }
    MSEQ_ID link = 0;
    switch (number) {
        case 16:
            music->m_Title = value.m_Name;
            return true;
        case 17:
            music->m_Copyright = value.m_Name;
            return true;
        case 18:
            if (!leaf_link(*this, value, MTYPE_LEAF_STAGE, &link)) return false;
            music->m_MapStageID = link;
            return true;
        case 19:
            if (!leaf_link(*this, value, MTYPE_LEAF_CHORD, &link)) return false;
            music->m_MapChordID = link;
            return true;
        case 20:
            if (!chord_track_link(*this, value, &link)) return false;
            music->m_TrackChordID = link;
            return true;
        case 21:
            music->m_Tempo = clamp32(v, 4, 1024);
            return true;
        case 22:
            music->m_Transpose = clamp32(v, -12, 12);
            return true;
        case 23:
            music->m_BlankBar = clamp32(v, 0, 4);
            return true;
        default:
            return false;
    }
}

// --- text ------------------------------------------------------------------------------------

bool MedtTrackText::set_property(int32_t number, const MseqBlockWord& value) {
    if (number != 6) return MedtTrack::set_property(number, value);
    auto* t = stored() ? stored()->cast_to<MseqTrackText>(MTYPE_TRACK_TEXT) : nullptr;
    if (!t) return false;
    t->m_Text = value.m_Name;
    return true;
}

// --- per-channel rows ------------------------------------------------------------------------

bool MedtTrackChannel::has_channel_rows() const {
    return !in_phrase();
}

void MedtTrackChannel::add_channel_rows(std::vector<MedtProperty>& out) const {
    if (!has_channel_rows()) return;
    const bool fixed = in_group();
    auto style = [fixed](uint32_t s) { return fixed ? MPS_DISPLAY : s; };
    const int32_t group = fixed ? MPG_NORMAL : MPG_CHANNEL;
    out.push_back(
        row(10, style(MPS_CHOICE), "奏者", "奏者を割り当てます。（奏者＝チャンネル）", group));
    out.push_back(row(11, style(MPS_CHOICE_CLEAR), "楽器",
                      "楽器をリストから選択します。(ステージマップに変更します。)", group));
    out.push_back(row(12, style(MPS_TYPED), "音量",
                      "ボリュームです。0(無音) ～ 127(最大) (ステージマップに変更します。)",
                      group));
    out.push_back(row(13, style(MPS_TYPED), "位置",
                      "パンポットです。0（左）～ 64 (中央) ～ 127（右） "
                      "(ステージマップに変更します。)",
                      group));
}

CkvString MedtTrackChannel::property_text(int32_t number, uint32_t* style) const {
    if (number < 10 || number > 13 || !has_channel_rows())
        return MedtTrack::property_text(number, style);
    static const uint32_t styles[4] = {MPS_CHOICE, MPS_CHOICE_CLEAR, MPS_TYPED, MPS_TYPED};
    if (style) *style = in_group() ? MPS_DISPLAY : styles[number - 10];
    const int32_t channel = shown_channel(*this);
    if (number == 10) return channel >= 0 ? text_number(channel + 1) : CkvString();
    ref_ptr<MseqEntity> hold;
    MseqMapStage* stage = stage_map(*this, hold);
    const MseqBlockStage* block = stage ? stage->block(channel) : nullptr;
    if (!block) return CkvString();
    if (number == 11) return word_name(block->m_Program);
    return text_number(number == 12 ? block->m_Volume : block->m_Pan);
}

int MedtTrackChannel::property_choice(int32_t number, int32_t index, MseqBlockWord* value,
                                      CkvString* text) const {
    if (!has_channel_rows() || in_group()) return MCHOICE_NONE;
    const int32_t channel = shown_channel(*this);
    if (number == 10) {
        if (index < 0 || index >= 16) return MCHOICE_PAST_END;
        return choice(number_word(index), text_number(index + 1), index == channel, value, text);
    }
    if (number == 11) {
        ref_ptr<MseqEntity> hold;
        MseqMapStage* stage = stage_map(*this, hold);
        const MseqBlockStage* block = stage ? stage->block(channel) : nullptr;
        const uint16_t kind =
            channel == MseqMapStage::kDrumChannel ? MWORD_DRUM_KIT : MWORD_PROGRAM;
        return word_choice(kind, block ? block->m_Program : MseqBlockWord(), index, value, text);
    }
    return MCHOICE_NONE;
}

bool MedtTrackChannel::set_property(int32_t number, const MseqBlockWord& value) {
    if (number < 10 || number > 13 || !has_channel_rows())
        return MedtTrack::set_property(number, value);
    if (in_group()) return false;  // the group's channel rules its members
    MseqTrack* t = stored();
    if (!t) return false;
    if (number == 10) return t->set_channel(number_of(value));
    ref_ptr<MseqEntity> hold;
    MseqMapStage* stage = stage_map(*this, hold);
    MseqBlockStage* block = stage ? stage->block(t->get_channel()) : nullptr;
    if (!block) return false;
    if (number == 11) {
        MseqBlockWord w = value;
        if ((w.m_Attrib != MWORD_PROGRAM && w.m_Attrib != MWORD_DRUM_KIT) || !w.normalize())
            return false;
        block->m_Program = w;
    } else if (number == 12) {
        block->m_Volume = clamp32(number_of(value), 0, 127);
    } else {
        block->m_Pan = clamp32(number_of(value), 0, 127);
    }
    MseqDesk::instance().mark_modified(stage);
    return true;
}

// --- group -----------------------------------------------------------------------------------

void MedtTrackGroup::build_properties(std::vector<MedtProperty>& out) const {
    add_common_rows(out);
    add_channel_rows(out);
    out.push_back(row(16, MPS_LINK, kChordTrackName, kChordTrackHelp, MPG_LINK));
}

CkvString MedtTrackGroup::property_text(int32_t number, uint32_t* style) const {
    if (number != 16) return MedtTrackChannel::property_text(number, style);
    if (style) *style = MPS_LINK;
    auto* g = stored() ? stored()->cast_to<MseqTrackGroup>(MTYPE_TRACK_GROUP) : nullptr;
    return g ? track_link_text(*this, g->m_TrackChordID) : CkvString();
}

bool MedtTrackGroup::set_property(int32_t number, const MseqBlockWord& value) {
    if (number != 16) return MedtTrackChannel::set_property(number, value);
    auto* g = stored() ? stored()->cast_to<MseqTrackGroup>(MTYPE_TRACK_GROUP) : nullptr;
    MSEQ_ID link = 0;
    if (!g || !chord_track_link(*this, value, &link)) return false;
    g->m_TrackChordID = link;
    return true;
}

// --- note ------------------------------------------------------------------------------------

namespace {

const MedtSequenceTexts kNoteTexts = {
    "音符数", "現在の音符数です。",
    "４／４小節あたりの拍数です。大きい拍ほど細かく音符を置けます。"};
const MedtSequenceTexts kReferTexts = {
    "ブロック数", "現在のフレーズブロック数です。",
    "４／４小節あたりの拍数です。大きい拍ほど細かく配置できます。"};
const MedtSequenceTexts kMsgTexts = {
    "メッセージ数", "現在のメッセージ数です。",
    "４／４小節あたりの拍数です。大きい拍ほど細かく配置できます。"};
const MedtSequenceTexts kChordTexts = {
    "コード数", "現在のコード数です。",
    "４／４小節あたりの拍数です。大きい拍ほど細かくコードを置けます。"};
const MedtSequenceTexts kLabelTexts = {
    "ラベル数", "現在のラベル数です。",
    "４／４小節あたりの拍数です。大きい拍ほど細かく配置できます。"};
const MedtSequenceTexts kLinkTexts = {
    "リンク数", "現在のリンク数です。",
    "４／４小節あたりの拍数です。大きい拍ほど細かく配置できます。"};
const MedtSequenceTexts kValueTexts = {
    "ブロック数", "現在のパラメタ数です。",
    "４／４小節あたりの拍数です。大きい拍ほど細かく配置できます。"};

// The note kinds in choice order, with their names.
struct NoteKind {
    uint32_t value;
    const char* name;
};
const NoteKind kNoteKinds[5] = {
    {0x8000, "エディタで選択した音符"},
    {2, "メロディ音符"},
    {4, "コード音符"},
    {5, "リズム音符"},
    {1, "ピュア音符"},
};

MseqTrackNote* note_of(const MedtTrack& t) {
    return t.stored() ? t.stored()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE) : nullptr;
}

}  // namespace

void MedtTrackNote::build_properties(std::vector<MedtProperty>& out) const {
    add_common_rows(out);
    add_sequence_rows(out, kNoteTexts);
    add_channel_rows(out);
    out.push_back(row(16, MPS_LINK, kChordTrackName, kChordTrackHelp, MPG_LINK));
    out.push_back(
        row(17, MPS_CHOICE, "音符の種類",
            "配置する音符の種類です。メロディ=メロディラインを描く音符。コード=コードに合わ"
            "せる音符。リズム=ドラムパートを描く音符。ピュア=キーやコードで音程を変えない音"
            "符。"));
    out.push_back(row(18, MPS_CHOICE_CLEAR, "リズム音符",
                      "リズム音符（無印の音符）が発する音を選択します。(右クリックで消去)"));
    out.push_back(row(19, MPS_CHOICE, "オクターブ",
                      "トーン／コード／スケール音符に影響する絶対オクターブです。"));
    out.push_back(row(20, MPS_TYPED, "音長比",
                      "ブロックの長さに対する発音の長さをパーセンテージで指定します。"));
    out.push_back(
        row(21, MPS_TYPED, "開始時間ラグ",
            "トラックの再生位置を微調節します。-240 ～ 240 [Tick] (4 分音符 = 480 [Tick])"));
    out.push_back(
        row(22, MPS_TYPED, "終了時間ラグ",
            "全ての音符の長さを微調節します。-240 ～ 240 [Tick] (4 分音符 = 480 [Tick])"));
    out.push_back(row(23, MPS_TYPED, "ベロシティ比",
                      "全てのベロシティ（音符ごとの音量）の大きさをパーセンテージで調節します。"));
}

CkvString MedtTrackNote::display_name() const {
    const MseqMusic* music = editor_->music();
    const bool shown = music && (uint32_t(music->m_ShowState) & MSHOW_TRACK_INFO) != 0;
    const int32_t channel = shown && has_channel_rows() ? shown_channel(*this) : -1;
    if (channel < 0) return name();
    return medt_format(medt_text("%s [奏者%d]").c_str(), name().c_str(), channel + 1);
}

CkvString MedtTrackNote::property_text(int32_t number, uint32_t* style) const {
    CkvString text;
    uint32_t s = MPS_DISPLAY;
    if (sequence_text(*this, number, &text, &s)) {
        if (style) *style = s;
        return text;
    }
    MseqTrackNote* n = note_of(*this);
    if (!n || number < 16) return MedtTrackChannel::property_text(number, style);
    s = MPS_TYPED;
    switch (number) {
        case 16:
            s = MPS_LINK;
            text = track_link_text(*this, n->m_TrackChordID);
            break;
        case 17:
            s = MPS_CHOICE;
            for (const NoteKind& k : kNoteKinds) {
                if (k.value == n->m_NoteType) text = medt_text(k.name);
            }
            break;
        case 18:
            s = MPS_CHOICE_CLEAR;
            text = word_name(n->m_Rhythm);
            break;
        case 19:
            s = MPS_CHOICE;
            text = text_number(n->m_Octave - 1);
            break;
        case 20:
            text = text_percent(n->m_LRate);
            break;
        case 21:
            text = text_ticks(n->m_STime);
            break;
        case 22:
            text = text_ticks(n->m_ETime);
            break;
        case 23:
            text = text_percent(n->m_VRate);
            break;
        default:
            s = MPS_DISPLAY;
            break;
    }
    if (style) *style = s;
    return text;
}

int MedtTrackNote::property_choice(int32_t number, int32_t index, MseqBlockWord* value,
                                   CkvString* text) const {
    MseqTrackNote* n = note_of(*this);
    if (!n) return MCHOICE_NONE;
    switch (number) {
        case 5:
            return beats_choice(*this, index, value, text);
        case 17:
            if (index < 0 || index >= 5) return MCHOICE_PAST_END;
            return choice(number_word(static_cast<int32_t>(kNoteKinds[index].value)),
                          medt_text(kNoteKinds[index].name),
                          kNoteKinds[index].value == n->m_NoteType, value, text);
        case 18:
            return word_choice(MWORD_DRUM_SOUND, n->m_Rhythm, index, value, text);
        case 19:
            if (index < 0 || index > 8) return MCHOICE_PAST_END;
            return choice(number_word(index + 1), text_number(index), n->m_Octave == index + 1,
                          value, text);
        default:
            return MedtTrackChannel::property_choice(number, index, value, text);
    }
}

bool MedtTrackNote::set_property(int32_t number, const MseqBlockWord& value) {
    MseqTrackNote* n = note_of(*this);
    if (!n) return false;
    const int32_t v = number_of(value);
    MSEQ_ID link = 0;
    switch (number) {
        case 16:
            if (!chord_track_link(*this, value, &link)) return false;
            n->m_TrackChordID = link;
            return true;
        case 17:
            n->m_NoteType =
                value.m_Index == 0x8000 ? 0x8000u : static_cast<uint32_t>(clamp32(v, 1, 5));
            return true;
        case 18: {
            if (value.m_Attrib == MWORD_NONE) {
                n->m_Rhythm = MseqBlockWord();  // cleared
                return true;
            }
            MseqBlockWord w = value;
            if (w.m_Attrib != MWORD_DRUM_SOUND || !w.normalize()) return false;
            n->m_Rhythm = w;
            return true;
        }
        case 19:
            n->m_Octave = clamp32(v, 1, 9);
            return true;
        case 20:
            n->m_LRate = clamp32(v, 4, 120);
            return true;
        case 21:
            n->m_STime = clamp32(v, -240, 240);
            return true;
        case 22:
            n->m_ETime = clamp32(v, -240, 240);
            return true;
        case 23:
            n->m_VRate = clamp32(v, 0, 200);
            return true;
        default:
            return MedtTrackChannel::set_property(number, value);
    }
}

// --- phrase track ----------------------------------------------------------------------------

namespace {
MseqTrackRefer* refer_of(const MedtTrack& t) {
    return t.stored() ? t.stored()->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER) : nullptr;
}
}  // namespace

void MedtTrackRefer::build_properties(std::vector<MedtProperty>& out) const {
    add_common_rows(out);
    add_sequence_rows(out, kReferTexts);
    add_channel_rows(out);
    out.push_back(row(16, MPS_LINK, kChordTrackName, kChordTrackHelp, MPG_LINK));
    out.push_back(
        row(17, MPS_CHOICE, "相対オクターブ", "フレーズに含まれる音符のオクターブを調節します。"));
    out.push_back(
        row(18, MPS_TYPED, "開始時間ラグ", "トラックの再生位置を微調節します。-240 ～ 240 [Tick]"));
    out.push_back(
        row(19, MPS_TYPED, "ベロシティ比",
            "フレーズに含まれる全てのベロシティ（音符ごとの音量）の大きさをパーセンテージで"
            "調節します。"));
}

CkvString MedtTrackRefer::property_text(int32_t number, uint32_t* style) const {
    CkvString text;
    uint32_t s = MPS_DISPLAY;
    if (sequence_text(*this, number, &text, &s)) {
        if (style) *style = s;
        return text;
    }
    MseqTrackRefer* r = refer_of(*this);
    if (!r || number < 16) return MedtTrackChannel::property_text(number, style);
    switch (number) {
        case 16:
            s = MPS_LINK;
            text = track_link_text(*this, r->m_TrackChordID);
            break;
        case 17:
            s = MPS_CHOICE;
            text = text_number(r->m_Octave);
            break;
        case 18:
            s = MPS_TYPED;
            text = text_ticks(r->m_STime);
            break;
        case 19:
            s = MPS_TYPED;
            text = text_percent(r->m_VRate);
            break;
        default:
            break;
    }
    if (style) *style = s;
    return text;
}

int MedtTrackRefer::property_choice(int32_t number, int32_t index, MseqBlockWord* value,
                                    CkvString* text) const {
    MseqTrackRefer* r = refer_of(*this);
    if (!r) return MCHOICE_NONE;
    if (number == 5) return beats_choice(*this, index, value, text);
    if (number == 17) {
        if (index < 0 || index > 4) return MCHOICE_PAST_END;
        return choice(number_word(index - 2), text_number(index - 2), r->m_Octave == index - 2,
                      value, text);
    }
    return MedtTrackChannel::property_choice(number, index, value, text);
}

bool MedtTrackRefer::set_property(int32_t number, const MseqBlockWord& value) {
    MseqTrackRefer* r = refer_of(*this);
    if (!r) return false;
    const int32_t v = number_of(value);
    MSEQ_ID link = 0;
    switch (number) {
        case 16:
            if (!chord_track_link(*this, value, &link)) return false;
            r->m_TrackChordID = link;
            return true;
        case 17:
            r->m_Octave = clamp32(v, -2, 2);
            return true;
        case 18:
            r->m_STime = clamp32(v, -240, 240);
            return true;
        case 19:
            r->m_VRate = clamp32(v, 0, 200);
            return true;
        default:
            return MedtTrackChannel::set_property(number, value);
    }
}

// --- message track ---------------------------------------------------------------------------

namespace {
MseqTrackMsg* msg_of(const MedtTrack& t) {
    return t.stored() ? t.stored()->cast_to<MseqTrackMsg>(MTYPE_TRACK_MSG) : nullptr;
}
}  // namespace

void MedtTrackMsg::build_properties(std::vector<MedtProperty>& out) const {
    add_common_rows(out);
    add_sequence_rows(out, kMsgTexts);
    add_channel_rows(out);
    out.push_back(row(16, MPS_CHOICE_CLEAR, "メッセージタイプ",
                      "メッセージの種類です。リストから選択します。"));
    out.push_back(
        row(17, MPS_TYPED, "開始時間ラグ",
            "メッセージを出す時間をずらします。-240 ～ 240 [Tick] (4 分音符 = 480 [Tick])"));
    out.push_back(row(18, MPS_TYPED, "パワー比率",
                      "全てのメッセージレベルの大きさをパーセンテージで調節します。"));
}

CkvString MedtTrackMsg::property_text(int32_t number, uint32_t* style) const {
    CkvString text;
    uint32_t s = MPS_DISPLAY;
    if (sequence_text(*this, number, &text, &s)) {
        if (style) *style = s;
        return text;
    }
    MseqTrackMsg* m = msg_of(*this);
    if (!m || number < 16) return MedtTrackChannel::property_text(number, style);
    switch (number) {
        case 16:
            s = MPS_CHOICE_CLEAR;
            text = m->m_Form.m_Name.m_Name;
            break;
        case 17:
            s = MPS_TYPED;
            text = text_ticks(m->m_STime);
            break;
        case 18:
            s = MPS_TYPED;
            text = text_percent(m->m_Power);
            break;
        default:
            break;
    }
    if (style) *style = s;
    return text;
}

int MedtTrackMsg::property_choice(int32_t number, int32_t index, MseqBlockWord* value,
                                  CkvString* text) const {
    MseqTrackMsg* m = msg_of(*this);
    if (!m) return MCHOICE_NONE;
    if (number == 5) return beats_choice(*this, index, value, text);
    if (number == 16) {
        const auto& forms = MseqMsgFormMap::builtin().forms();
        if (index < 0 || static_cast<size_t>(index) >= forms.size()) return MCHOICE_PAST_END;
        const MseqMsgForm& f = forms[static_cast<size_t>(index)];
        return choice(f.m_Name, f.m_Name.m_Name, f.m_Name.m_Index == m->m_Form.m_Name.m_Index,
                      value, text);
    }
    return MedtTrackChannel::property_choice(number, index, value, text);
}

bool MedtTrackMsg::set_property(int32_t number, const MseqBlockWord& value) {
    MseqTrackMsg* m = msg_of(*this);
    if (!m) return false;
    const int32_t v = number_of(value);
    switch (number) {
        case 16: {
            const MseqMsgForm* form = MseqMsgFormMap::builtin().find(value.m_Index);
            if (!form) return false;
            m->m_Form = *form;
            return true;
        }
        case 17:
            m->m_STime = clamp32(v, -240, 240);
            return true;
        case 18:
            m->m_Power = clamp32(v, 0, 200);
            return true;
        default:
            return MedtTrackChannel::set_property(number, value);
    }
}

// --- plain sequences -------------------------------------------------------------------------

void MedtTrackSequence::build_properties(std::vector<MedtProperty>& out) const {
    add_common_rows(out);
    add_sequence_rows(out, texts_);
}

CkvString MedtTrackSequence::property_text(int32_t number, uint32_t* style) const {
    CkvString text;
    uint32_t s = MPS_DISPLAY;
    if (!sequence_text(*this, number, &text, &s)) return MedtTrack::property_text(number, style);
    if (style) *style = s;
    return text;
}

int MedtTrackSequence::property_choice(int32_t number, int32_t index, MseqBlockWord* value,
                                       CkvString* text) const {
    if (number == 5) return beats_choice(*this, index, value, text);
    return MedtTrack::property_choice(number, index, value, text);
}

MedtTrackChord::MedtTrackChord(MedtMusic* editor, MseqObject* node)
    : MedtTrackSequence(editor, node, kChordTexts) {}

void MedtTrackChord::build_properties(std::vector<MedtProperty>& out) const {
    MedtTrackSequence::build_properties(out);
    out.push_back(
        row(16, MPS_LINK, "コードマップ",
            "リンクしているコードマップまたは転調トラックです。ライブラリまたはトラックリス"
            "トからドラッグ＆ドロップして設定します。(右クリックで消去)",
            MPG_LINK));
}

CkvString MedtTrackChord::property_text(int32_t number, uint32_t* style) const {
    if (number != 16) return MedtTrackSequence::property_text(number, style);
    if (style) *style = MPS_LINK;
    auto* c = stored() ? stored()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD) : nullptr;
    if (!c || !c->m_MapID) return CkvString();
    return mseq_file_number(c->m_MapID) == 1 ? track_link_text(*this, c->m_MapID)
                                             : leaf_link_text(*this, c->m_MapID);
}

bool MedtTrackChord::set_property(int32_t number, const MseqBlockWord& value) {
    if (number != 16) return MedtTrackSequence::set_property(number, value);
    auto* c = stored() ? stored()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD) : nullptr;
    if (!c) return false;
    const MSEQ_ID id = value.m_Index;
    if (id == 0) {
        c->m_MapID = 0;
        return true;
    }
    if (mseq_file_number(id) == 1) {
        MseqMusic* music = music_of(*this);
        MseqObject* node = music ? music->find_track(id) : nullptr;
        if (!node || node->type != MTYPE_TRACK_CHORD_MAP) return false;
        c->m_MapID = mseq_own_track_id(id);
        return true;
    }
    MSEQ_ID link = 0;
    if (!leaf_link(*this, value, MTYPE_LEAF_CHORD, &link)) return false;
    c->m_MapID = link;
    return true;
}

MedtTrackLabel::MedtTrackLabel(MedtMusic* editor, MseqObject* node)
    : MedtTrackSequence(editor, node, kLabelTexts) {}

MedtTrackValue::MedtTrackValue(MedtMusic* editor, MseqObject* node)
    : MedtTrackSequence(editor, node, kValueTexts) {}

MedtTrackLink::MedtTrackLink(MedtMusic* editor, MseqObject* node)
    : MedtTrackSequence(editor, node, kLinkTexts) {}

CkvString MedtTrackLink::item_text(int32_t position) const {
    auto* t = stored() ? stored()->cast_to<MseqTrackLink>(MTYPE_TRACK_LINK) : nullptr;
    const MseqBlockLink* b = t ? t->block_at(position) : nullptr;
    if (!b) return CkvString();
    MseqMusic* music = music_of(*this);
    MseqObject* node = music ? music->find(b->m_LinkID) : nullptr;
    return medt_format("%s(ID:%xh)", node ? node->name.c_str() : "", b->m_LinkID);
}
