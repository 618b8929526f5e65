#include "edit/MedtViewCommands.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>

#include "edit/MedtMusic.h"
#include "edit/MedtNoteValue.h"
#include "edit/MedtText.h"
#include "edit/MedtTexts.h"
#include "edit/MedtTrack.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"

namespace {

// A command as written below: its texts by identifier, resolved into a table per language.
struct CommandWords {
    int32_t id;
    medt_msg name;
    const char* key;
    medt_msg status;
    const char* other_key = "";
};

// One group of commands in both languages; current() hands out the language shown, so that
// the labels the window reads follow the language shown.
class CommandTable {
public:
    CommandTable(std::initializer_list<CommandWords> commands) {
        for (const kv_language language : {kv_language::japanese, kv_language::english}) {
            auto& out = tables_[static_cast<size_t>(language)];
            for (const CommandWords& c : commands) {
                const auto& entries = medt_text_entries();
                out.push_back({c.id, kv_pick(entries[static_cast<size_t>(c.name)], language), c.key,
                               kv_pick(entries[static_cast<size_t>(c.status)], language),
                               c.other_key});
            }
        }
    }
    const std::vector<MedtViewCommand>& current() const {
        return tables_[static_cast<size_t>(kv_current_language())];
    }

private:
    std::array<std::vector<MedtViewCommand>, 2> tables_;
};

}  // namespace

namespace medt_view_commands {

const std::vector<MedtViewCommand>& note_kinds() {
    static const CommandTable t = {
        {MVC_DRAW_PURE, medt_msg::DRAW_PURE, "E", medt_msg::DRAW_PURE_TIP},
        {MVC_DRAW_TONE, medt_msg::DRAW_TONE, "T", medt_msg::DRAW_TONE_TIP},
        {MVC_DRAW_SCALE, medt_msg::DRAW_SCALE, "W", medt_msg::DRAW_SCALE_TIP},
        {MVC_DRAW_CHORD, medt_msg::DRAW_CHORD, "Q", medt_msg::DRAW_CHORD_TIP},
        {MVC_DRAW_RHYTHM, medt_msg::DRAW_RHYTHM, "R", medt_msg::DRAW_RHYTHM_TIP},
    };
    return t.current();
}

const std::vector<MedtViewCommand>& display_toggles() {
    static const CommandTable t = {
        {MVC_SHOW_DEGREE, medt_msg::SHOW_DEGREE, "1", medt_msg::SHOW_DEGREE_TIP},
        {MVC_SHOW_CHORD, medt_msg::SHOW_CHORD, "2", medt_msg::SHOW_CHORD_TIP},
        {MVC_SHOW_ANCHOR, medt_msg::SHOW_ANCHOR, "3", medt_msg::SHOW_ANCHOR_TIP},
        {MVC_SHOW_OPTION, medt_msg::SHOW_OPTION, "4", medt_msg::SHOW_OPTION_TIP},
        {MVC_SHOW_VELOCITY, medt_msg::SHOW_VELOCITY, "5", medt_msg::SHOW_VELOCITY_TIP},
        {MVC_SHOW_EFFECT, medt_msg::SHOW_EFFECT, "6", medt_msg::SHOW_EFFECT_TIP},
        {MVC_SHOW_GUIDE, medt_msg::SHOW_GUIDE, "7", medt_msg::SHOW_GUIDE_TIP},
        {MVC_SHOW_PLAY_POSITION, medt_msg::SHOW_PLAY_POSITION, "F7",
         medt_msg::SHOW_PLAY_POSITION_TIP},
        {MVC_AUTOSCROLL, medt_msg::AUTOSCROLL, "F8", medt_msg::AUTOSCROLL_TIP},
        {MVC_CHORD_NAMES, medt_msg::CHORD_NAMES, "", medt_msg::CHORD_NAMES_TIP},
        {MVC_MODE_ICONS, medt_msg::MODE_ICONS, "", medt_msg::MODE_ICONS_TIP},
        {MVC_TRACK_INFO, medt_msg::TRACK_INFO, "", medt_msg::TRACK_INFO_TIP},
    };
    return t.current();
}

const std::vector<MedtViewCommand>& edit_commands() {
    static const CommandTable t = {
        {MVC_CUT, medt_msg::CUT, "Ctrl+X", medt_msg::CUT_TIP},
        {MVC_COPY, medt_msg::COPY, "Ctrl+C", medt_msg::COPY_TIP},
        {MVC_PASTE, medt_msg::PASTE, "Ctrl+V", medt_msg::PASTE_TIP},
        {MVC_OVERWRITE, medt_msg::OVERWRITE, "Ctrl+B", medt_msg::OVERWRITE_TIP},
        {MVC_DELETE, medt_msg::DELETE, "Del", medt_msg::DELETE_TIP},
        {MVC_DELETE_BEFORE, medt_msg::DELETE_BEFORE, "Backspace", medt_msg::DELETE_TIP},
        {MVC_SPACE, medt_msg::SPACE, "Ins", medt_msg::SPACE_TIP},
        {MVC_UNDO, medt_msg::UNDO, "Ctrl+Z", medt_msg::UNDO_TIP},
        {MVC_REDO, medt_msg::REDO, "Ctrl+Shift+Z", medt_msg::REDO_TIP, "Ctrl+Y"},
    };
    return t.current();
}

const std::vector<MedtViewCommand>& track_commands() {
    static const CommandTable t = {
        {MVC_ADD_TRACK, medt_msg::ADD_TRACK, "", medt_msg::ADD_TRACK_TIP},
        {MVC_DELETE_TRACK, medt_msg::DELETE_TRACK, "", medt_msg::DELETE_TRACK_TIP},
        {MVC_COPY_TRACK, medt_msg::COPY_TRACK, "", medt_msg::COPY_TRACK_TIP},
        {MVC_PASTE_TRACK, medt_msg::PASTE_TRACK, "", medt_msg::PASTE_TRACK_TIP},
    };
    return t.current();
}

const std::vector<MedtViewCommand>& add_track_commands() {
    static const CommandTable t = {
        {MVC_ADD_GROUP, medt_msg::ADD_GROUP, "", medt_msg::ADD_GROUP_TIP},
        {40282, medt_msg::ADD_TEXT, "", medt_msg::ADD_TEXT_TIP},
        {40283, medt_msg::ADD_MEMO, "", medt_msg::ADD_MEMO_TIP},
        {40284, medt_msg::ADD_LYRIC, "", medt_msg::ADD_LYRIC_TIP},
        {40285, medt_msg::ADD_MARKER, "", medt_msg::ADD_MARKER_TIP},
        {40286, medt_msg::ADD_TEMPO, "", medt_msg::ADD_TEMPO_TIP},
        {40287, medt_msg::ADD_CHORD, "", medt_msg::ADD_CHORD_TIP},
        {40288, medt_msg::ADD_CHORD_MAP, "", medt_msg::ADD_CHORD_MAP_TIP},
        {40289, medt_msg::ADD_PHRASE, "", medt_msg::ADD_PHRASE_TIP},
        {40290, medt_msg::ADD_NOTE, "", medt_msg::ADD_NOTE_TIP},
        {MVC_ADD_RHYTHM, medt_msg::ADD_RHYTHM, "", medt_msg::ADD_RHYTHM_TIP},
        {MVC_ADD_MESSAGE, medt_msg::ADD_MESSAGE, "", medt_msg::ADD_MESSAGE_TIP},
        {MVC_ADD_PRESET_FIRST, medt_msg::ADD_PRESET_EXPRESSION_30, "", medt_msg::ADD_MESSAGE_TIP},
        {40302, medt_msg::ADD_PRESET_MODULATION, "", medt_msg::ADD_MESSAGE_TIP},
        {40303, medt_msg::ADD_PRESET_PAN, "", medt_msg::ADD_MESSAGE_TIP},
        {40304, medt_msg::ADD_PRESET_EXPRESSION, "", medt_msg::ADD_MESSAGE_TIP},
        {40305, medt_msg::ADD_PRESET_HOLD, "", medt_msg::ADD_MESSAGE_TIP},
        {40306, medt_msg::ADD_PRESET_REVERB, "", medt_msg::ADD_MESSAGE_TIP},
        {40307, medt_msg::ADD_PRESET_TREMOLO, "", medt_msg::ADD_MESSAGE_TIP},
        {40308, medt_msg::ADD_PRESET_CHORUS, "", medt_msg::ADD_MESSAGE_TIP},
        {40309, medt_msg::ADD_PRESET_CELESTE, "", medt_msg::ADD_MESSAGE_TIP},
        {MVC_ADD_PRESET_LAST, medt_msg::ADD_PRESET_PHASER, "", medt_msg::ADD_MESSAGE_TIP},
    };
    return t.current();
}

const std::vector<MedtViewCommand>& zoom_commands() {
    static const CommandTable t = {
        {MVC_ZOOM_IN, medt_msg::ZOOM_IN, "Ctrl++", medt_msg::ZOOM_IN_TIP},
        {MVC_ZOOM_OUT, medt_msg::ZOOM_OUT, "Ctrl+-", medt_msg::ZOOM_OUT_TIP},
        {MVC_ZOOM_FIT, medt_msg::ZOOM_FIT, "Ctrl+0", medt_msg::ZOOM_FIT_TIP},
        {MVC_ROW_TALLER, medt_msg::ROW_TALLER, "", medt_msg::ROW_TALLER_TIP},
        {MVC_ROW_SHORTER, medt_msg::ROW_SHORTER, "", medt_msg::ROW_SHORTER_TIP},
    };
    return t.current();
}

bool is_zoom(int32_t id) {
    return id >= MVC_ZOOM_IN && id <= MVC_ROW_SHORTER;
}

const std::vector<MedtViewCommand>& lane_commands() {
    static const CommandTable t = {
        {MVC_LANE, medt_msg::LANE, "", medt_msg::LANE_TIP},
        {MVC_LANES_SHOW_ALL, medt_msg::LANES_SHOW_ALL, "", medt_msg::LANES_SHOW_ALL_TIP},
        {MVC_LANES_HIDE_ALL, medt_msg::LANES_HIDE_ALL, "", medt_msg::LANES_HIDE_ALL_TIP},
    };
    return t.current();
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
    static const CommandTable t = {
        {MVC_TYPE_NOTES, medt_msg::TYPE_NOTES, "N", medt_msg::TYPE_NOTES_TIP},
        {MVC_VALUE_WHOLE, medt_msg::VALUE_WHOLE, "Alt+1", medt_msg::VALUE_WHOLE_TIP},
        {MVC_VALUE_HALF, medt_msg::VALUE_HALF, "Alt+2", medt_msg::VALUE_HALF_TIP},
        {MVC_VALUE_QUARTER, medt_msg::VALUE_QUARTER, "Alt+3", medt_msg::VALUE_QUARTER_TIP},
        {MVC_VALUE_8TH, medt_msg::VALUE_8TH, "Alt+4", medt_msg::VALUE_8TH_TIP},
        {MVC_VALUE_16TH, medt_msg::VALUE_16TH, "Alt+5", medt_msg::VALUE_16TH_TIP},
        {MVC_VALUE_32ND, medt_msg::VALUE_32ND, "Alt+6", medt_msg::VALUE_32ND_TIP},
        {MVC_VALUE_DOTTED, medt_msg::VALUE_DOTTED, "Alt+.", medt_msg::VALUE_DOTTED_TIP},
        {MVC_VALUE_TRIPLET, medt_msg::VALUE_TRIPLET, "Alt+0", medt_msg::VALUE_TRIPLET_TIP},
    };
    return t.current();
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
    static constexpr struct {
        int32_t id;
        medt_msg name;
    } kShort[] = {
        {MVC_DRAW_PURE, medt_msg::BAR_PURE},
        {MVC_DRAW_TONE, medt_msg::BAR_TONE},
        {MVC_DRAW_SCALE, medt_msg::BAR_SCALE},
        {MVC_DRAW_CHORD, medt_msg::BAR_CHORD_NOTES},
        {MVC_DRAW_RHYTHM, medt_msg::BAR_RHYTHM},
        {MVC_SHOW_DEGREE, medt_msg::BAR_DEGREE},
        {MVC_SHOW_CHORD, medt_msg::BAR_CHORD},
        {MVC_SHOW_ANCHOR, medt_msg::BAR_ANCHOR},
        {MVC_SHOW_OPTION, medt_msg::BAR_OPTION},
        {MVC_SHOW_VELOCITY, medt_msg::BAR_VELOCITY},
        {MVC_SHOW_EFFECT, medt_msg::BAR_EFFECT},
        {MVC_SHOW_GUIDE, medt_msg::BAR_GUIDE},
        {MVC_SHOW_PLAY_POSITION, medt_msg::BAR_PLAY_POSITION},
        {MVC_AUTOSCROLL, medt_msg::BAR_AUTOSCROLL},
        {MVC_CHORD_NAMES, medt_msg::BAR_CHORD_NAMES},
        {MVC_MODE_ICONS, medt_msg::BAR_MODE_ICONS},
        {MVC_TRACK_INFO, medt_msg::BAR_TRACK_INFO},
        {MVC_TYPE_NOTES, medt_msg::BAR_TYPE_NOTES},
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
