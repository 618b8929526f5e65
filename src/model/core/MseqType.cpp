#include "model/core/MseqType.h"

#include <array>

#include "model/lang/MseqTexts.h"
#include "platform/TextCodec.h"

namespace {

// The name of a type that has no display name of its own.
constexpr mseq_msg kNoName = mseq_msg::TYPE_UNKNOWN;

struct TypeInfo {
    MSEQ_TYPE type;
    const char* constant;  // nullptr when the type has no constant
    mseq_msg display;      // kNoName when the type has no display name
};

constexpr std::array<TypeInfo, 32> kTypes = {{
    {MTYPE_EMPTY, nullptr, kNoName},
    {MTYPE_ROOM, "MTYPE_ROOM", mseq_msg::TYPE_ROOM},
    {MTYPE_BOOK, nullptr, kNoName},
    {MTYPE_BOOK_LIBRARY, "MTYPE_BOOK_LIBRARY", mseq_msg::TYPE_BOOK_LIBRARY},
    {MTYPE_BOOK_MUSIC, "MTYPE_BOOK_MUSIC", mseq_msg::TYPE_BOOK_MUSIC},
    {MTYPE_LEAF_FOLDER, "MTYPE_LEAF_FOLDER", mseq_msg::TYPE_LEAF_FOLDER},
    {MTYPE_LEAF_MUSIC, "MTYPE_LEAF_MUSIC", mseq_msg::TYPE_LEAF_MUSIC},
    {MTYPE_LEAF_PHRASE, "MTYPE_LEAF_PHRASE", mseq_msg::TYPE_LEAF_PHRASE},
    {MTYPE_LEAF_CHORD, "MTYPE_LEAF_CHORD", mseq_msg::TYPE_LEAF_CHORD},
    {MTYPE_LEAF_STAGE, "MTYPE_LEAF_STAGE", mseq_msg::TYPE_LEAF_STAGE},
    {MTYPE_LEAF_SCALE, "MTYPE_LEAF_SCALE", kNoName},
    {MTYPE_TRACK, nullptr, kNoName},
    {MTYPE_TRACK_ROOT_MUSIC, "MTYPE_TRACK_ROOT_MUSIC", mseq_msg::TYPE_TRACK_ROOT_MUSIC},
    {MTYPE_TRACK_ROOT_PHRASE, "MTYPE_TRACK_ROOT_PHRASE", mseq_msg::TYPE_TRACK_ROOT_PHRASE},
    {MTYPE_TRACK_HEADER, "MTYPE_TRACK_HEADER", mseq_msg::TYPE_TRACK_HEADER},
    {MTYPE_TRACK_DETAIL, "MTYPE_TRACK_DETAIL", mseq_msg::TYPE_TRACK_DETAIL},
    {MTYPE_TRACK_GROUP, "MTYPE_TRACK_GROUP", mseq_msg::TYPE_TRACK_GROUP},
    {MTYPE_TRACK_TEXT, "MTYPE_TRACK_TEXT", mseq_msg::TYPE_TRACK_TEXT},
    {MTYPE_TRACK_CHORD, "MTYPE_TRACK_CHORD", mseq_msg::TYPE_TRACK_CHORD},
    {MTYPE_TRACK_REFER, "MTYPE_TRACK_REFER", mseq_msg::TYPE_TRACK_REFER},
    {MTYPE_TRACK_NOTE, "MTYPE_TRACK_NOTE", mseq_msg::TYPE_TRACK_NOTE},
    {MTYPE_TRACK_LABEL, "MTYPE_TRACK_LABEL", kNoName},
    {MTYPE_TRACK_LYRIC, "MTYPE_TRACK_LYRIC", mseq_msg::TYPE_TRACK_LYRIC},
    {MTYPE_TRACK_MARKER, "MTYPE_TRACK_MARKER", mseq_msg::TYPE_TRACK_MARKER},
    {MTYPE_TRACK_MEMO, "MTYPE_TRACK_MEMO", mseq_msg::TYPE_TRACK_MEMO},
    {MTYPE_TRACK_VALUE, "MTYPE_TRACK_VALUE", kNoName},
    {MTYPE_TRACK_TEMPO, "MTYPE_TRACK_TEMPO", mseq_msg::TYPE_TRACK_TEMPO},
    {MTYPE_TRACK_MSG, "MTYPE_TRACK_MSG", mseq_msg::TYPE_TRACK_MSG},
    {MTYPE_TRACK_LINK, nullptr, kNoName},
    {MTYPE_TRACK_CHORD_MAP, nullptr, mseq_msg::TYPE_TRACK_CHORD_MAP},
    {MTYPE_CONFIG, "MTYPE_CONFIG", kNoName},
    {0, nullptr, kNoName},
}};

const TypeInfo* find_type(MSEQ_TYPE type) {
    if (type == 0) return nullptr;
    for (const TypeInfo& t : kTypes) {
        if (t.type == type) return &t;
    }
    return nullptr;
}

// The display names converted to CP932 once per language, in table order.
const std::array<CkvString, kTypes.size()>& display_names() {
    static const auto names = [] {
        std::array<std::array<CkvString, kTypes.size()>, 2> out;
        for (const kv_language language : {kv_language::japanese, kv_language::english}) {
            for (size_t i = 0; i < kTypes.size(); ++i) {
                const kv_entry& entry = mseq_text_entries()[static_cast<size_t>(kTypes[i].display)];
                out[static_cast<size_t>(language)][i] =
                    kv_codec::cp932_from_utf8(kv_pick(entry, language));
            }
        }
        return out;
    }();
    return names[static_cast<size_t>(kv_current_language())];
}

}  // namespace

const CkvString& mseq_type_name(MSEQ_TYPE type) {
    const TypeInfo* t = find_type(type);
    // The table's last row has no display name: it stands for every unknown type.
    if (!t) t = &kTypes.back();
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
