#include "text/MrecHeader.h"

#include "text/AnalyzeErrors.h"
#include "text/AnalyzeRecord.h"

namespace {

struct TargetWord {
    uint32_t target;
    const char* word;
};

constexpr TargetWord kTargets[] = {
    {MREC_TARGET_ROOM, "room"},
    {MREC_TARGET_BOOK, "book"},
    {MREC_TARGET_LEAF, "leaf"},
    {MREC_TARGET_CORE, "core"},
};

}  // namespace

uint32_t mrec_target_from_word(std::string_view word) {
    for (const TargetWord& t : kTargets) {
        if (word == t.word) return t.target;
    }
    return 0;
}

const char* mrec_target_word(uint32_t target) {
    for (const TargetWord& t : kTargets) {
        if (target == t.target) return t.word;
    }
    return nullptr;
}

uint32_t mrec_target_of_type(MSEQ_TYPE type) {
    const uint32_t high = type & 0xFFFF0000u;
    return mrec_target_word(high) ? high : 0;
}

uint32_t mrec_read_header(const AnalyzeAttributes& body, MrecHeader& out) {
    out = MrecHeader();
    if (!body.get_uint("soft_version", out.soft_version)) out.soft_version = 0;
    if (!body.get_uint("data_version", out.data_version)) out.data_version = 0;
    CkvString text;
    if (body.get_string("target", text)) out.target = mrec_target_from_word(text);
    if (body.get_string("type", text)) out.type = mseq_type_from_constant(text);
    body.get_string("name", out.name);

    if (out.soft_version == 0) return MREC_E_NO_SOFT_VERSION;
    if ((out.data_version & 0xFFFF0000u) >= 0x01010000u) return MREC_E_NEWER_LAYOUT;
    if (out.target == 0) return MREC_E_BAD_TARGET;
    if (out.type == 0) return MREC_E_BAD_TYPE;
    return AE_OK;
}
