#include "model/core/MseqType.h"

#include <array>

#include "platform/TextCodec.h"

namespace {

struct TypeInfo {
    MSEQ_TYPE type;
    const char* constant;      // nullptr when the type has no constant
    const char* display_utf8;  // nullptr when the type has no display name
};

constexpr std::array<TypeInfo, 32> kTypes = {{
    {MTYPE_EMPTY, nullptr, nullptr},
    {MTYPE_ROOM, "MTYPE_ROOM", "ライブラリ"},
    {MTYPE_BOOK, nullptr, nullptr},
    {MTYPE_BOOK_LIBRARY, "MTYPE_BOOK_LIBRARY", "パターンブック"},
    {MTYPE_BOOK_MUSIC, "MTYPE_BOOK_MUSIC", "ミュージックブック"},
    {MTYPE_LEAF_FOLDER, "MTYPE_LEAF_FOLDER", "フォルダ"},
    {MTYPE_LEAF_MUSIC, "MTYPE_LEAF_MUSIC", "ミュージック"},
    {MTYPE_LEAF_PHRASE, "MTYPE_LEAF_PHRASE", "フレーズ"},
    {MTYPE_LEAF_CHORD, "MTYPE_LEAF_CHORD", "コードマップ"},
    {MTYPE_LEAF_STAGE, "MTYPE_LEAF_STAGE", "ステージマップ"},
    {MTYPE_LEAF_SCALE, "MTYPE_LEAF_SCALE", nullptr},
    {MTYPE_TRACK, nullptr, nullptr},
    {MTYPE_TRACK_ROOT_MUSIC, "MTYPE_TRACK_ROOT_MUSIC", "トラックリスト"},
    {MTYPE_TRACK_ROOT_PHRASE, "MTYPE_TRACK_ROOT_PHRASE", "フレーズ"},
    {MTYPE_TRACK_HEADER, "MTYPE_TRACK_HEADER", "ヘッダ"},
    {MTYPE_TRACK_DETAIL, "MTYPE_TRACK_DETAIL", "パート"},
    {MTYPE_TRACK_GROUP, "MTYPE_TRACK_GROUP", "トラックグループ"},
    {MTYPE_TRACK_TEXT, "MTYPE_TRACK_TEXT", "テキスト"},
    {MTYPE_TRACK_CHORD, "MTYPE_TRACK_CHORD", "コードトラック"},
    {MTYPE_TRACK_REFER, "MTYPE_TRACK_REFER", "フレーズトラック"},
    {MTYPE_TRACK_NOTE, "MTYPE_TRACK_NOTE", "音符トラック"},
    {MTYPE_TRACK_LABEL, "MTYPE_TRACK_LABEL", nullptr},
    {MTYPE_TRACK_LYRIC, "MTYPE_TRACK_LYRIC", "歌詞トラック"},
    {MTYPE_TRACK_MARKER, "MTYPE_TRACK_MARKER", "マーカートラック"},
    {MTYPE_TRACK_MEMO, "MTYPE_TRACK_MEMO", "メモトラック"},
    {MTYPE_TRACK_VALUE, "MTYPE_TRACK_VALUE", nullptr},
    {MTYPE_TRACK_TEMPO, "MTYPE_TRACK_TEMPO", "テンポトラック"},
    {MTYPE_TRACK_MSG, "MTYPE_TRACK_MSG", "メッセージトラック"},
    {MTYPE_TRACK_LINK, nullptr, nullptr},
    {MTYPE_TRACK_CHORD_MAP, nullptr, "転調トラック"},
    {MTYPE_CONFIG, "MTYPE_CONFIG", nullptr},
    {0, nullptr, nullptr},
}};

const TypeInfo* find_type(MSEQ_TYPE type) {
    if (type == 0) return nullptr;
    for (const TypeInfo& t : kTypes) {
        if (t.type == type) return &t;
    }
    return nullptr;
}

// The display names converted to CP932 once, in table order.
const std::array<CkvString, kTypes.size()>& display_names() {
    static const auto names = [] {
        std::array<CkvString, kTypes.size()> out;
        for (size_t i = 0; i < kTypes.size(); ++i) {
            if (kTypes[i].display_utf8) out[i] = kv_codec::cp932_from_utf8(kTypes[i].display_utf8);
        }
        return out;
    }();
    return names;
}

}  // namespace

const CkvString& mseq_type_name(MSEQ_TYPE type) {
    static const CkvString unknown(kv_codec::cp932_from_utf8("タイプ不明"));
    const TypeInfo* t = find_type(type);
    if (!t || !t->display_utf8) return unknown;
    return display_names()[static_cast<size_t>(t - kTypes.data())];
}

const char* mseq_type_constant(MSEQ_TYPE type) {
    const TypeInfo* t = find_type(type);
    return t ? t->constant : nullptr;
}

MSEQ_TYPE mseq_type_from_constant(std::string_view name) {
    for (const TypeInfo& t : kTypes) {
        if (t.constant && name == t.constant) return t.type;
    }
    return 0;
}

uint32_t mseq_fixed_serial(MSEQ_TYPE type) {
    switch (type) {
        case MTYPE_BOOK:
        case MTYPE_BOOK_LIBRARY:
        case MTYPE_BOOK_MUSIC:
        case MTYPE_TRACK_ROOT_MUSIC:
        case MTYPE_TRACK_ROOT_PHRASE:
            return 1;
        case MTYPE_TRACK_HEADER:
            return 0x11;
        case MTYPE_TRACK_DETAIL:
            return 0x12;
        case MTYPE_TRACK_LYRIC:
            return 0x105;
        case MTYPE_TRACK_MARKER:
            return 0x106;
        case MTYPE_TRACK_TEMPO:
            return 0x251;
        default:
            return 0;
    }
}
