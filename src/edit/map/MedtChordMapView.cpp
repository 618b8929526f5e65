#include "edit/map/MedtChordMapView.h"

#include <cstdio>
#include <string>

#include "edit/MedtNoteNames.h"
#include "edit/MedtText.h"
#include "edit/MedtUserPort.h"
#include "model/core/CkvText.h"
#include "model/core/MseqDesk.h"
#include "model/core/floor_math.h"
#include "model/theory/MseqKeyName.h"
#include "model/theory/MseqMapScale.h"
#include "platform/TextCodec.h"

namespace {

struct PaletteCommand {
    int32_t id;
    int32_t preset;  // 0: the map's own scale
    int32_t tones;
    medt_msg variant;  // the name the question gives the variant
    medt_msg label;
};

constexpr PaletteCommand kPaletteCommands[] = {
    {MEDT_CMD_PALETTE_SCALE3, 0, 3, medt_msg::PALETTE_SCALE3_NAME, medt_msg::PALETTE_SCALE3},
    {MEDT_CMD_PALETTE_SCALE4, 0, 4, medt_msg::PALETTE_SCALE4_NAME, medt_msg::PALETTE_SCALE4},
    {MEDT_CMD_PALETTE_MAJOR3, 1, 3, medt_msg::PALETTE_MAJOR3_NAME, medt_msg::PALETTE_MAJOR3},
    {MEDT_CMD_PALETTE_MAJOR4, 1, 4, medt_msg::PALETTE_MAJOR4_NAME, medt_msg::PALETTE_MAJOR4},
    {MEDT_CMD_PALETTE_MINOR3, 6, 3, medt_msg::PALETTE_MINOR3_NAME, medt_msg::PALETTE_MINOR3},
    {MEDT_CMD_PALETTE_MINOR4, 6, 4, medt_msg::PALETTE_MINOR4_NAME, medt_msg::PALETTE_MINOR4},
};

const PaletteCommand* palette_command(int32_t id) {
    for (const PaletteCommand& c : kPaletteCommands)
        if (c.id == id) return &c;
    return nullptr;
}

struct Label {
    int32_t id;
    medt_msg text;
};

constexpr Label kOtherLabels[] = {
    {MEDT_CMD_PALETTE_MENU, medt_msg::PALETTE_MENU},
    {MEDT_CMD_KEYNAME_CYCLE, medt_msg::KEYNAME_CYCLE},
    {MEDT_CMD_KEYNAME_LETTER, medt_msg::KEYNAME_LETTER},
    {MEDT_CMD_KEYNAME_MAJOR, medt_msg::KEYNAME_MAJOR},
    {MEDT_CMD_KEYNAME_MINOR, medt_msg::KEYNAME_MINOR},
    {MEDT_CMD_SCALE_SET, medt_msg::SCALE_SET},
    {MEDT_CMD_SCALE_ADD, medt_msg::SCALE_ADD},
    {MEDT_CMD_SCALE_DELETE, medt_msg::SCALE_DELETE},
};

constexpr medt_msg kChordColumnHelp[6] = {
    medt_msg::CHORD_COLUMN_SLOT,     medt_msg::CHORD_COLUMN_SWITCH, medt_msg::CHORD_COLUMN_OCTAVE,
    medt_msg::CHORD_COLUMN_RELATIVE, medt_msg::CHORD_COLUMN_NAME,   medt_msg::CHORD_COLUMN_KEYS,
};

constexpr medt_msg kScaleColumnTitles[4] = {
    medt_msg::SCALE_COLUMN_NAME,
    medt_msg::SCALE_COLUMN_MELODY_KEY,
    medt_msg::SCALE_COLUMN_KEY_COUNT,
    medt_msg::SCALE_COLUMN_KEYS,
};

int32_t clamp_key(int32_t value) {
    return static_cast<int32_t>(clamp_range(value, -12, 12));
}

// The recommended tone tune for a melody key: its distance from the chord key, taken as the
// nearest such distance from -5 up to 6.
int32_t tone_tune_for(int32_t tone_key, int32_t chord_key) {
    int64_t d = int64_t{tone_key} - chord_key;
    if (d < -5) d += 12;
    if (d >= 7) d -= 12;
    return static_cast<int32_t>(d);
}

std::string keys_text(const MseqKey* keys, int32_t count, bool mark_skipped) {
    std::string out;
    for (int32_t i = 0; i < count; ++i) {
        if (i) out += ' ';
        out += std::to_string(keys[i].m_Key);
        if (mark_skipped && (keys[i].m_Flags & 0x1)) out += '*';
    }
    return out;
}

}  // namespace

MedtChordMapView::MedtChordMapView(MseqMapChord* map, MseqMapScale* scales, MedtUserPort* questions)
    : map_(map), scales_(scales), questions_(questions) {}

MedtChordMapView::Snapshot MedtChordMapView::snapshot() const {
    Snapshot s;
    s.tone = map_->m_ToneKey;
    s.sdeg = map_->m_SDegKey;
    s.cdeg = map_->m_CDegKey;
    s.scale = map_->m_Scale;
    s.palette = map_->m_Blocks;
    return s;
}

bool MedtChordMapView::changed_since(const Snapshot& before) {
    if (snapshot() == before) return false;
    MseqDesk::instance().mark_modified(map_.get());
    return true;
}

void MedtChordMapView::mark_scale_map_modified() {
    // The scale map has no node and no place in the desk's modified set: its flag alone makes
    // the application write it at exit.
    scales_->flags |= MEF_MODIFIED;
}

std::vector<int32_t> MedtChordMapView::palette_menu() {
    return {MEDT_CMD_PALETTE_MAJOR3,
            MEDT_CMD_PALETTE_MAJOR4,
            MEDT_CMD_PALETTE_MINOR3,
            MEDT_CMD_PALETTE_MINOR4,
            0,
            MEDT_CMD_PALETTE_SCALE3,
            MEDT_CMD_PALETTE_SCALE4};
}

CkvString MedtChordMapView::command_label(int32_t id) {
    if (const PaletteCommand* c = palette_command(id)) return medt_text(c->label);
    for (const Label& l : kOtherLabels)
        if (l.id == id) return medt_text(l.text);
    return {};
}

bool MedtChordMapView::enabled(int32_t id) const {
    if (!usable()) return false;
    switch (id) {
        case MEDT_CMD_SCALE_SET:
        case MEDT_CMD_SCALE_DELETE:
            return scales_ && scales_->get(selected_scale_) != nullptr;
        case MEDT_CMD_SCALE_ADD:
            return scales_ != nullptr;
        case MEDT_CMD_PALETTE_MENU:
        case MEDT_CMD_KEYNAME_CYCLE:
        case MEDT_CMD_KEYNAME_LETTER:
        case MEDT_CMD_KEYNAME_MAJOR:
        case MEDT_CMD_KEYNAME_MINOR:
            return true;
        default:
            return palette_command(id) != nullptr;
    }
}

bool MedtChordMapView::checked(int32_t id) const {
    if (!map_) return false;
    const int32_t mode = key_name_mode();
    return (id == MEDT_CMD_KEYNAME_LETTER && mode == MKEYNAME_LETTER) ||
           (id == MEDT_CMD_KEYNAME_MAJOR && mode == MKEYNAME_MAJOR) ||
           (id == MEDT_CMD_KEYNAME_MINOR && mode == MKEYNAME_MINOR);
}

bool MedtChordMapView::command(int32_t id) {
    if (!enabled(id)) return false;
    switch (id) {
        case MEDT_CMD_KEYNAME_CYCLE:
            return set_key_name_mode(key_name_mode() >= 2 ? 0 : key_name_mode() + 1);
        case MEDT_CMD_KEYNAME_LETTER:
            return set_key_name_mode(MKEYNAME_LETTER);
        case MEDT_CMD_KEYNAME_MAJOR:
            return set_key_name_mode(MKEYNAME_MAJOR);
        case MEDT_CMD_KEYNAME_MINOR:
            return set_key_name_mode(MKEYNAME_MINOR);
        case MEDT_CMD_SCALE_SET:
            return apply_selected_scale();
        case MEDT_CMD_SCALE_ADD:
            return add_scale();
        case MEDT_CMD_SCALE_DELETE:
            return delete_selected_scale();
        case MEDT_CMD_PALETTE_MENU:
            // Only opens the menu of the palette commands; the chosen entry runs by itself.
            return false;
        default:
            return build_palette(id);
    }
}

bool MedtChordMapView::build_palette(int32_t id) {
    const PaletteCommand* c = palette_command(id);
    if (!c) return false;
    const std::string question = medt_text(medt_msg::PALETTE_QUESTION).str();
    const std::string variant = medt_text(c->variant).str();
    // The question is CP932 bytes; its only conversion is the variant's name in place of %s.
    std::string asked = question;
    asked.replace(asked.find("%s"), 2, variant);
    if (!questions_ || !questions_->ask_yes_no(CkvString(asked))) return false;
    const Snapshot before = snapshot();
    if (c->preset) map_->select_preset(c->preset);
    map_->build_palette(c->tones - 1, c->tones);
    return changed_since(before);
}

int32_t MedtChordMapView::key_name_mode() const {
    return map_ ? static_cast<int32_t>(map_->m_Scale.m_ShowTune) : 0;
}

bool MedtChordMapView::set_key_name_mode(int32_t mode) {
    map_->m_Scale.m_ShowTune = static_cast<uint32_t>(mode);
    // Every choice marks the map, also of the mode it shows already.
    MseqDesk::instance().mark_modified(map_.get());
    return true;
}

std::vector<MedtKeyChoice> MedtChordMapView::key_choices() const {
    std::vector<MedtKeyChoice> out;
    const int32_t mode = key_name_mode();
    for (int32_t v = 12; v >= -12; --v) {
        char number[16];
        std::snprintf(number, sizeof number, "%+3d ", v);
        out.push_back({v, CkvString(std::string(number) + mseq_key_name(v, mode))});
    }
    return out;
}

int32_t MedtChordMapView::key_value(MedtKeySelector selector) const {
    if (!map_) return 0;
    switch (selector) {
        case MedtKeySelector::Chord:
            return map_->m_CDegKey;
        case MedtKeySelector::Scale:
            return map_->m_SDegKey;
        case MedtKeySelector::Melody:
            return map_->m_ToneKey;
    }
    return 0;
}

bool MedtChordMapView::select_key(MedtKeySelector selector, int32_t value) {
    if (!usable()) return false;
    const int32_t v = clamp_key(value);
    switch (selector) {
        case MedtKeySelector::Chord:
            map_->set_chord_key(v);
            break;
        case MedtKeySelector::Scale:
            map_->m_SDegKey = v;
            break;
        case MedtKeySelector::Melody:
            map_->m_ToneKey = v;
            map_->m_Scale.m_ToneTune = tone_tune_for(v, map_->m_CDegKey);
            break;
    }
    // Every selection marks the map, also of the value it has already.
    MseqDesk::instance().mark_modified(map_.get());
    return true;
}

CkvString MedtChordMapView::key_selector_help(MedtKeySelector selector) {
    switch (selector) {
        case MedtKeySelector::Chord:
            return medt_text(medt_msg::KEY_CHORD_HELP);
        case MedtKeySelector::Scale:
            return medt_text(medt_msg::KEY_SCALE_HELP);
        case MedtKeySelector::Melody:
            return medt_text(medt_msg::KEY_MELODY_HELP);
    }
    return {};
}

CkvString MedtChordMapView::scale_name() const {
    return map_ ? map_->m_Scale.m_Name : CkvString();
}

CkvString MedtChordMapView::scale_keys() const {
    if (!map_) return {};
    return CkvString(keys_text(map_->m_Scale.keys.data(), map_->m_Scale.key_count, false));
}

bool MedtChordMapView::set_scale_name(const CkvString& name) {
    if (!usable()) return false;
    const Snapshot before = snapshot();
    map_->m_Scale.m_Name = name;
    return changed_since(before);
}

bool MedtChordMapView::select_preset(int32_t position) {
    if (!usable()) return false;
    const Snapshot before = snapshot();
    if (!map_->select_preset(position)) return false;
    return changed_since(before);
}

bool MedtChordMapView::toggle_scale_key(int32_t semitone) {
    if (!usable()) return false;
    const Snapshot before = snapshot();
    map_->m_Scale.toggle_key(semitone, 0);
    return changed_since(before);
}

int32_t MedtChordMapView::scale_count() const {
    return scales_ ? scales_->count() : 0;
}

MedtScaleRow MedtChordMapView::scale_row(int32_t index) const {
    MedtScaleRow row;
    const MseqBlockScale* scale = scales_ ? scales_->get(index) : nullptr;
    if (!scale) return row;
    row.name = scale->m_Name;
    // Formatted in one go: GCC 12 warns falsely (-Wrestrict) about prefixing a short string.
    char key[16];
    std::snprintf(key, sizeof key, scale->m_ToneTune > 0 ? "%+d" : "%d", scale->m_ToneTune);
    row.melody_key = CkvString(key);
    row.key_count = scale->key_count;
    row.keys = CkvString(keys_text(scale->keys.data(), scale->key_count, false));
    return row;
}

bool MedtChordMapView::rename_scale(int32_t index, const CkvString& name) {
    if (locked_ || !scales_) return false;
    MseqBlockScale* scale = scales_->get(index);
    if (!scale || scale->m_Name == name) return false;
    scale->m_Name = name;
    mark_scale_map_modified();
    return true;
}

CkvString MedtChordMapView::scale_column_title(int32_t column) {
    if (column < 1 || column > 4) return {};
    return medt_text(kScaleColumnTitles[column - 1]);
}

bool MedtChordMapView::apply_selected_scale() {
    const Snapshot before = snapshot();
    if (!map_->select_scale(*scales_, selected_scale_)) return false;
    return changed_since(before);
}

bool MedtChordMapView::add_scale() {
    scales_->add(map_->m_Scale);
    mark_scale_map_modified();
    return true;
}

bool MedtChordMapView::delete_selected_scale() {
    const MseqBlockScale* scale = scales_->get(selected_scale_);
    std::string asked = medt_text(medt_msg::SCALE_DELETE_QUESTION).str();
    asked += scale->m_Name;
    if (!questions_ || !questions_->ask_yes_no(CkvString(asked))) return false;
    if (!scales_->remove(selected_scale_)) return false;
    mark_scale_map_modified();
    // The row goes with the scale; the selection stays on the row that took its place.
    if (selected_scale_ >= scales_->count()) selected_scale_ = scales_->count() - 1;
    return true;
}

CkvString MedtChordMapView::chord_name(const MseqBlockChord& chord, int32_t key) {
    if (chord.key_count <= 0) return {};
    CkvString name = MedtNoteNames::pitch_letter(chord.effective_root(key));
    name += chord.m_Type;
    return name;
}

CkvString MedtChordMapView::chord_keys_text(const MseqBlockChord& chord) {
    const int32_t n =
        static_cast<int32_t>(clamp_range(chord.key_count, 0, MseqBlockChord::kMaxKeys));
    return CkvString(keys_text(chord.keys.data(), n, true));
}

int32_t MedtChordMapView::editor_key() const {
    return map_ ? map_->m_CDegKey : 0;
}

MedtChordRow MedtChordMapView::chord_row(int32_t slot) const {
    MedtChordRow row;
    row.slot = slot;
    if (!map_ || slot < 0 || slot >= MseqMapChord::kSlots) return row;
    const MseqBlockChord& chord = map_->m_Blocks[slot];
    row.on = !(chord.m_Flags & MCHORD_NO_KEY);
    row.octave = chord.m_Octave;
    row.relative = (chord.m_Flags & MCHORD_RELATIVE_ROOT) != 0;
    row.name = chord_name(chord, map_->m_CDegKey);
    row.keys = chord_keys_text(chord);
    return row;
}

CkvString MedtChordMapView::chord_column_help(int32_t column) {
    if (column < 1 || column > 6) return {};
    return medt_text(kChordColumnHelp[column - 1]);
}

MedtChordClick MedtChordMapView::click(int32_t slot, int32_t column, bool right) {
    if (!usable() || slot < 0 || slot >= MseqMapChord::kSlots) return MedtChordClick::Nothing;
    MseqBlockChord& chord = map_->m_Blocks[slot];
    const Snapshot before = snapshot();
    switch (column) {
        case MEDT_CHORD_COL_SLOT:
            if (right) chord.m_Flags ^= MCHORD_NO_KEY;
            break;
        case MEDT_CHORD_COL_SWITCH:
            chord.m_Flags ^= MCHORD_NO_KEY;
            break;
        case MEDT_CHORD_COL_OCTAVE:
            chord.m_Octave += right ? -1 : 1;
            chord.normalize();
            break;
        case MEDT_CHORD_COL_RELATIVE:
            chord.m_Flags ^= MCHORD_RELATIVE_ROOT;
            break;
        case MEDT_CHORD_COL_NAME:
        case MEDT_CHORD_COL_KEYS:
            if (!right) return MedtChordClick::OpenEditor;
            chord.m_Flags ^= MCHORD_NO_KEY;
            break;
        default:
            return MedtChordClick::Nothing;
    }
    return changed_since(before) ? MedtChordClick::Changed : MedtChordClick::Nothing;
}

bool MedtChordMapView::set_chord(int32_t slot, const MseqBlockChord& chord) {
    if (!usable()) return false;
    const Snapshot before = snapshot();
    if (!map_->set_palette_slot(slot, chord)) return false;
    return changed_since(before);
}
