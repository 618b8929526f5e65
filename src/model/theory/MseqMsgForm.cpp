#include "model/theory/MseqMsgForm.h"

#include <utility>

#include "model/core/floor_math.h"
#include "model/lang/MseqTexts.h"
#include "platform/TextCodec.h"

namespace {

struct BuiltinForm {
    uint32_t number;
    mseq_msg name;
    uint8_t status;
    uint8_t second;
    MseqMsgVar var;
};

// Pitch bend fills both data bytes; the others are control changes whose value is the third
// byte.
const BuiltinForm kBuiltinForms[] = {
    {30, mseq_msg::FORM_PITCH_BEND, 0xE0, 0x00, {1, 2, 8192, 0, 16383, 8192, -8192}},
    {1, mseq_msg::FORM_MODULATION, 0xB0, 0x01, {2, 0, 0, 0, 127, 0, 0}},
    {10, mseq_msg::FORM_PAN, 0xB0, 0x0A, {2, 0, 64, 0, 127, 64, 0}},
    {11, mseq_msg::FORM_EXPRESSION, 0xB0, 0x0B, {2, 0, 127, 0, 127, 0, 0}},
    {64, mseq_msg::FORM_HOLD, 0xB0, 0x40, {2, 0, 127, 0, 127, 0, 0}},
    {91, mseq_msg::FORM_REVERB, 0xB0, 0x5B, {2, 0, 0, 0, 127, 0, 0}},
    {92, mseq_msg::FORM_TREMOLO, 0xB0, 0x5C, {2, 0, 0, 0, 127, 0, 0}},
    {93, mseq_msg::FORM_CHORUS, 0xB0, 0x5D, {2, 0, 0, 0, 127, 0, 0}},
    {94, mseq_msg::FORM_CELESTE, 0xB0, 0x5E, {2, 0, 0, 0, 127, 0, 0}},
    {95, mseq_msg::FORM_PHASER, 0xB0, 0x5F, {2, 0, 0, 0, 127, 0, 0}},
};

int32_t clamp32(int64_t v, int64_t lo, int64_t hi) {
    return static_cast<int32_t>(clamp_range(v, lo, hi));
}

}  // namespace

void MseqMsgForm::validate() {
    m_Name.m_Attrib = m_Name.m_Attrib ? MWORD_MSG_FORM : MWORD_NONE;
    m_Name.m_Group = 0;
    m_Name.m_Index &= MseqBlockWord::index_mask(MWORD_MSG_FORM);
    if (m_Vars.empty()) m_Vars.push_back(kDefaultVar);
    // A position names a data byte of the message; position 0 (the status byte) means none, and
    // a position past the last byte would be written outside the message.
    const int64_t length = static_cast<int64_t>(m_Msg.size());
    auto position = [length](int32_t p) { return (p > 0 && p < length) ? p : 0; };
    for (MseqMsgVar& v : m_Vars) {
        v.m_Min = clamp32(v.m_Min, 0, 32767);
        v.m_Max = clamp32(v.m_Max, 0, 32767);
        if (v.m_Min > v.m_Max) std::swap(v.m_Min, v.m_Max);
        v.m_Def = clamp32(v.m_Def, v.m_Min, v.m_Max);
        v.m_Base = clamp32(v.m_Base, v.m_Min, v.m_Max);
        v.m_Diff = clamp32(v.m_Diff, -32768, 32767);
        v.m_Lsb = position(v.m_Lsb);
        v.m_Msb = position(v.m_Msb);
    }
}

const MseqMsgFormMap& MseqMsgFormMap::builtin() {
    // One dictionary per language, each filled on first use.
    static const MseqMsgFormMap japanese = [] {
        MseqMsgFormMap m;
        m.add_builtin(kv_language::japanese);
        return m;
    }();
    static const MseqMsgFormMap english = [] {
        MseqMsgFormMap m;
        m.add_builtin(kv_language::english);
        return m;
    }();
    return kv_current_language() == kv_language::english ? english : japanese;
}

bool MseqMsgFormMap::add(const MseqMsgForm& form) {
    if (find(form.m_Name.m_Index)) return false;
    forms_.push_back(form);
    return true;
}

void MseqMsgFormMap::add_builtin() {
    add_builtin(kv_current_language());
}

void MseqMsgFormMap::add_builtin(kv_language language) {
    for (const BuiltinForm& b : kBuiltinForms) {
        MseqMsgForm form;
        const char* name = kv_pick(mseq_text_entries()[static_cast<size_t>(b.name)], language);
        form.m_Name = MseqBlockWord(MWORD_MSG_FORM, 0, b.number, kv_codec::cp932_from_utf8(name));
        form.m_Vars.push_back(b.var);
        form.m_Msg = {b.status, b.second, 0};
        add(form);
    }
}

const MseqMsgForm* MseqMsgFormMap::find(uint32_t number) const {
    for (const MseqMsgForm& form : forms_)
        if (form.m_Name.m_Index == number) return &form;
    return nullptr;
}
