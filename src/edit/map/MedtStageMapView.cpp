#include "edit/map/MedtStageMapView.h"

#include "edit/MedtText.h"
#include "model/core/CkvText.h"
#include "model/core/MseqDesk.h"
#include "model/core/floor_math.h"
#include "model/theory/MseqMapWord.h"

namespace {

struct FieldInfo {
    MedtStageField field;
    const char* name;
    int64_t lo, hi;
    uint32_t flag;  // the set-up bit that sends it (or that it is), 0 when none
};

const FieldInfo kFields[] = {
    {MedtStageField::Switch, "switch", 0, 1, MSTAGE_USED},
    {MedtStageField::Program, "program", 0, 127, MSTAGE_PROGRAM},
    {MedtStageField::Bank, "bank", 0, 16383, MSTAGE_PROGRAM},
    {MedtStageField::Kit, "kit", 0, 127, MSTAGE_PROGRAM},
    {MedtStageField::Volume, "volume", 0, 127, MSTAGE_VOLUME},
    {MedtStageField::Pan, "pan", 0, 127, MSTAGE_PAN},
    {MedtStageField::Reverb, "reverb", 0, 127, MSTAGE_REVERB},
    {MedtStageField::Chorus, "chorus", 0, 127, MSTAGE_CHORUS},
    {MedtStageField::BendRange, "bend-range", 0, 24, MSTAGE_BEND_RANGE},
    {MedtStageField::Bend, "bend", 0, 16383, MSTAGE_BEND},
    {MedtStageField::Hold, "hold", 0, 127, MSTAGE_HOLD},
    {MedtStageField::Modulation, "modulation", 0, 127, MSTAGE_MODULATION},
    {MedtStageField::Expression, "expression", 0, 127, MSTAGE_EXPRESSION},
    {MedtStageField::SoundOff, "sound-off", 0, 1, MSTAGE_SOUND_OFF},
    {MedtStageField::NotesOff, "notes-off", 0, 1, MSTAGE_NOTES_OFF},
    {MedtStageField::ResetControllers, "reset-controllers", 0, 1, MSTAGE_RESET_CONTROLLERS},
};

const FieldInfo& info(MedtStageField field) {
    for (const FieldInfo& f : kFields)
        if (f.field == field) return f;
    return kFields[0];
}

bool is_switch(MedtStageField f) {
    return f == MedtStageField::Switch || f == MedtStageField::SoundOff ||
           f == MedtStageField::NotesOff || f == MedtStageField::ResetControllers;
}

// The value field of a part that `field` names; nullptr for the instrument and the switches.
template <class Stage>
auto value_of(Stage& b, MedtStageField field) -> decltype(&b.m_Volume) {
    switch (field) {
        case MedtStageField::Volume:
            return &b.m_Volume;
        case MedtStageField::Pan:
            return &b.m_Pan;
        case MedtStageField::Reverb:
            return &b.m_Reverb;
        case MedtStageField::Chorus:
            return &b.m_Chorus;
        case MedtStageField::BendRange:
            return &b.m_BendRange;
        case MedtStageField::Bend:
            return &b.m_Bend;
        case MedtStageField::Hold:
            return &b.m_Hold;
        case MedtStageField::Modulation:
            return &b.m_Modulation;
        case MedtStageField::Expression:
            return &b.m_Expression;
        default:
            return nullptr;
    }
}

// The bank: two 7-bit bytes above the program number, low byte first.
constexpr uint32_t kBankMask = 0x7F7F00;

uint32_t bank_bits(int64_t bank) {
    const auto b = static_cast<uint32_t>(bank);
    return ((b & 0x7F) << 8) | (((b >> 7) & 0x7F) << 16);
}

int64_t bank_of(uint32_t index) {
    return ((index >> 8) & 0x7F) | (((index >> 16) & 0x7F) << 7);
}

// The program word of a part: its kind follows the channel as the map's validation would make
// it, and its name comes from the dictionary.
void set_program(MseqBlockStage& b, uint16_t kind, uint32_t index) {
    MseqBlockWord word = MseqMapWord::builtin().find(kind, 0, index & 0x7F);
    word.m_Index = index;
    word.normalize();
    b.m_Program = word;
}

constexpr medt_msg kColumnHelp[] = {
    medt_msg::STAGE_COLUMN_CHANNEL,
    medt_msg::STAGE_COLUMN_SWITCH,
    medt_msg::STAGE_COLUMN_PROGRAM,
};

constexpr medt_msg kSwitchHelp[] = {
    medt_msg::STAGE_ALL_SOUND_OFF,
    medt_msg::STAGE_ALL_NOTES_OFF,
    medt_msg::STAGE_RESET_CONTROLLERS,
};

}  // namespace

MedtStageMapView::MedtStageMapView(MseqMapStage* map) : map_(map) {}

bool MedtStageMapView::enabled(int32_t id) const {
    return usable() && (id == MEDT_CMD_STAGE_GM1 || id == MEDT_CMD_STAGE_GM2);
}

bool MedtStageMapView::checked(int32_t id) const {
    if (!map_) return false;
    if (id == MEDT_CMD_STAGE_GM1) return (map_->m_Setup & MMS_SETUP_GM1) != 0;
    if (id == MEDT_CMD_STAGE_GM2) return (map_->m_Setup & MMS_SETUP_GM2) != 0;
    return false;
}

CkvString MedtStageMapView::command_label(int32_t id) {
    if (id == MEDT_CMD_STAGE_GM1) return medt_text(medt_msg::STAGE_GM1_ON);
    if (id == MEDT_CMD_STAGE_GM2) return medt_text(medt_msg::STAGE_GM2_ON);
    return {};
}

bool MedtStageMapView::command(int32_t id) {
    if (!enabled(id)) return false;
    map_->m_Setup ^= id == MEDT_CMD_STAGE_GM1 ? MMS_SETUP_GM1 : MMS_SETUP_GM2;
    MseqDesk::instance().mark_modified(map_.get());
    return true;
}

bool MedtStageMapView::changed(const MseqBlockStage& before, const MseqBlockStage& after) {
    if (before == after) return false;
    MseqDesk::instance().mark_modified(map_.get());
    return true;
}

bool MedtStageMapView::set_field(int32_t part, MedtStageField field, int64_t value) {
    if (!usable()) return false;
    MseqBlockStage* b = map_->block(part);
    if (!b) return false;
    const FieldInfo& f = info(field);
    const int64_t v = clamp_range(value, f.lo, f.hi);
    const bool drums = part == MseqMapStage::kDrumChannel;
    const MseqBlockStage before = *b;
    const uint32_t bank = b->m_Program.m_Index & kBankMask;
    switch (field) {
        case MedtStageField::Program:
            if (drums) return false;
            set_program(*b, MWORD_PROGRAM, bank | static_cast<uint32_t>(v));
            break;
        case MedtStageField::Kit:
            if (!drums) return false;
            set_program(*b, MWORD_DRUM_KIT, bank | static_cast<uint32_t>(v));
            break;
        case MedtStageField::Bank:
            set_program(*b, drums ? MWORD_DRUM_KIT : MWORD_PROGRAM,
                        (b->m_Program.m_Index & 0x7F) | bank_bits(v));
            break;
        default:
            if (is_switch(field)) {
                b->m_Flags = value ? (b->m_Flags | f.flag) : (b->m_Flags & ~f.flag);
            } else {
                *value_of(*b, field) = static_cast<int32_t>(v);
            }
            break;
    }
    b->normalize();
    return changed(before, *b);
}

int64_t MedtStageMapView::field(int32_t part, MedtStageField field) const {
    const MseqBlockStage* b = map_ ? map_->block(part) : nullptr;
    if (!b) return 0;
    switch (field) {
        case MedtStageField::Program:
        case MedtStageField::Kit:
            return b->m_Program.m_Index & 0x7F;
        case MedtStageField::Bank:
            return bank_of(b->m_Program.m_Index);
        default:
            if (is_switch(field)) return (b->m_Flags & info(field).flag) ? 1 : 0;
            return *value_of(*b, field);
    }
}

bool MedtStageMapView::toggle_send(int32_t part, MedtStageField field) {
    if (!usable() || is_switch(field)) return false;
    MseqBlockStage* b = map_->block(part);
    if (!b) return false;
    b->m_Flags ^= info(field).flag;
    MseqDesk::instance().mark_modified(map_.get());
    return true;
}

bool MedtStageMapView::sends(int32_t part, MedtStageField field) const {
    const MseqBlockStage* b = map_ ? map_->block(part) : nullptr;
    return b && (b->m_Flags & info(field).flag) != 0;
}

bool MedtStageMapView::field_by_name(std::string_view name, MedtStageField* field) {
    for (const FieldInfo& f : kFields) {
        if (name == f.name) {
            *field = f.field;
            return true;
        }
    }
    return false;
}

CkvString MedtStageMapView::column_help(int32_t column) {
    if (column >= 1 && column <= 3) return medt_text(kColumnHelp[column - 1]);
    if (column >= 13 && column <= 15) return medt_text(kSwitchHelp[column - 13]);
    return {};
}
