// The steps of `korvante script` for the chord-map and stage-map views and for the presses on
// note, phrase and chord track rows.
#include "ui/script/ScriptMapLines.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "app/MFrame.h"
#include "edit/MedtMap.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "edit/map/MedtChordEditor.h"
#include "edit/map/MedtChordMapView.h"
#include "edit/map/MedtDegreePicker.h"
#include "edit/map/MedtStageMapView.h"
#include "edit/press/MedtTrackPress.h"
#include "model/core/CkvText.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapScale.h"
#include "model/track/MseqTrackChord.h"
#include "text/MrecSettings.h"
#include "ui/Session.h"
#include "ui/Terminal.h"
#include "ui/script/ScriptRunner.h"

namespace kv_ui {

namespace {

// The pop-ups a press opens, shown as lines; each is closed without a choice, and the script
// gives the choice with its own step (lag-edit, menu-marker, pick).
class ScriptPressPort final : public MedtPressPort {
public:
    bool edit_number(int32_t value, CkvString*) override {
        std::printf("lag-editor: %d\n", value);
        return false;
    }
    int32_t choose_marker(const std::vector<CkvString>& items) override {
        std::string line = "menu:";
        for (const CkvString& i : items) {
            // Appended piece by piece: GCC 12 warns falsely on prefixing a string in optimised
            // builds.
            line += ' ';
            line += terminal_quoted(i);
        }
        std::printf("%s\n", line.c_str());
        return -1;
    }
    void select_phrase(MSEQ_ID id) override { std::printf("select: 0x%08x\n", id); }
    int32_t pick_degree(const MedtDegreePicker& picker) override {
        if (picker.items().empty()) {
            std::printf("picker: %s\n", terminal_text(picker.empty_text()).c_str());
            return -1;
        }
        std::string line = "picker:";
        for (const MedtDegreeItem& i : picker.items()) {
            line += ' ';
            line += std::to_string(i.slot);
            line += '=';
            line += terminal_quoted(i.label);
        }
        std::printf("%s\n", line.c_str());
        return -1;
    }
    bool edit_chord(MedtChordEditor& editor) override {
        std::printf(
            "chord-editor: %s\n",
            terminal_quoted(MedtChordMapView::chord_name(editor.chord(), editor.key())).c_str());
        return false;
    }
};

// What the map steps keep for one script: the opened map with its library, and the leaf
// selected in the library tree.
struct MapState {
    std::unique_ptr<Library> library;
    ref_ptr<MseqEntity> map;
    MgenRef* editor = nullptr;
    std::unique_ptr<MedtChordMapView> chords;
    std::unique_ptr<MedtStageMapView> stage;
    MseqObject* selected = nullptr;

    void close() {
        chords.reset();
        stage.reset();
        if (map) MseqDesk::instance().close_editor(map.get());
        editor = nullptr;
        map.reset();
        library.reset();
    }
    ~MapState() { close(); }
};

// One state per session; a script runs one session.
std::map<ScriptSession*, MapState>& states() {
    static std::map<ScriptSession*, MapState> all;
    return all;
}

MapState& state_of(ScriptSession& s) {
    return states()[&s];
}

bool parse_pos(const std::string& text, int32_t* pos, std::string* error) {
    long long v = 0;
    if (!script_parse_int(text, 0, INT32_MAX, &v)) {
        *error = "'" + text + "' is not a position (0 to 2147483647)";
        return false;
    }
    *pos = static_cast<int32_t>(v);
    return true;
}

// The first leaf below `node` (in tree order) named `name` whose type is one of the map types.
MseqObject* find_map_leaf(MseqObject* top, const CkvString& name) {
    for (MseqObject* n = top; n; n = n->next_in(top)) {
        if (mseq_type_category(n->type) == MCAT_BOOK) mseq_open(n);
        if (n->name == name && (n->type == MTYPE_LEAF_CHORD || n->type == MTYPE_LEAF_STAGE))
            return n;
    }
    return nullptr;
}

// The installation's scale list: the started application's, which its start-up read; without
// the application, read from the application folder when nothing has read it yet (its changes
// stay from one opened map to the next).
MseqMapScale* scale_list(const ScriptSession& s) {
    MseqMapScale& scales = mrec_settings::scale_map();
    if (!s.frame() && scales.full_path.empty())
        mrec_settings::load_scale_map(mrec_settings::kScaleMapPath);
    return &scales;
}

// Gives an open map's views to the map steps: the views work on the map its editor holds.
// `owned` maps are closed with the state; the application's stay with its edit list.
bool attach_map_views(ScriptSession& s, MapState& st, ref_ptr<MseqEntity> map, bool owned,
                      const std::string& name, std::string* error) {
    MgenRef* editor = map ? MseqDesk::instance().editor_of(map.get()) : nullptr;
    if (!editor) {
        *error = "cannot open '" + name + "' in its view";
        return false;
    }
    if (owned) st.map = map;
    st.editor = editor;
    MseqEntity* edited = static_cast<MedtEntity*>(editor)->edited_entity();
    if (editor->is_kind(MKIND_EDT_MAP_CHORD)) {
        st.chords = std::make_unique<MedtChordMapView>(
            edited->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD), scale_list(s), &s.port);
    } else if (editor->is_kind(MKIND_EDT_MAP_STAGE)) {
        st.stage =
            std::make_unique<MedtStageMapView>(edited->cast_to<MseqMapStage>(MTYPE_LEAF_STAGE));
    }
    return true;
}

bool open_map(ScriptSession& s, MapState& st, const ScriptLine& line, bool* handled,
              std::string* error) {
    *handled = false;
    // A library is loaded once at a time: whatever was open is closed first.
    s.close();
    st.close();
    auto library = std::make_unique<Library>();
    if (!library->open(line.args[0])) return true;  // the music editor's open reports it
    MseqObject* node = library->find(line.args[1]);
    if (!node || (node->type != MTYPE_LEAF_CHORD && node->type != MTYPE_LEAF_STAGE))
        node = find_map_leaf(library->room_node(), ckv_from_utf8(line.args[1]));
    if (!node || (node->type != MTYPE_LEAF_CHORD && node->type != MTYPE_LEAF_STAGE)) return true;
    *handled = true;
    st.library = std::move(library);
    return attach_map_views(s, st, mseq_open(node), true, line.args[1], error);
}

bool step_open(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (line.args.size() != 2) {
        *error = "usage: open LIBRARY LEAF";
        return false;
    }
    MapState& st = state_of(s);
    if (s.frame()) {
        // The application opens it, asking to save what the library it replaces has changed.
        st.close();
        st.selected = nullptr;
        if (!s.open(line.args[0], line.args[1], error)) return false;
        MseqEntity* shown = s.frame()->shown_file();
        if (!shown || (shown->type() != MTYPE_LEAF_CHORD && shown->type() != MTYPE_LEAF_STAGE))
            return true;
        return attach_map_views(s, st, ref_ptr<MseqEntity>(shown), false, line.args[1], error);
    }
    bool handled = false;
    if (!open_map(s, st, line, &handled, error)) return false;
    if (handled) return true;
    st.close();  // the music editor opens the library again
    st.selected = nullptr;
    return s.open(line.args[0], line.args[1], error);
}

// A map step: the line's words (the verb first) go to the opened view.
bool map_step(ScriptSession& s, const ScriptLine& line, std::string* error,
              const std::string& verb) {
    MapState& st = state_of(s);
    std::vector<std::string> words{verb};
    words.insert(words.end(), line.args.begin(), line.args.end());
    std::string out;
    bool ok = false;
    if (st.chords) {
        ok = run_chord_map_line(*st.chords, words, out, *error);
    } else if (st.stage) {
        ok = run_stage_map_line(*st.stage, words, out, *error);
    } else {
        *error = "no chord map or stage map is open (use: open LIBRARY LEAF)";
        return false;
    }
    std::fputs(out.c_str(), stdout);
    const std::string unanswered = s.port.take_failure();
    if (ok && !unanswered.empty()) {
        *error = unanswered;
        return false;
    }
    return ok;
}

#define KV_MAP_STEP(fn, verb)                                               \
    bool fn(ScriptSession& s, const ScriptLine& line, std::string* error) { \
        return map_step(s, line, error, verb);                              \
    }
KV_MAP_STEP(step_chord, "chord")
KV_MAP_STEP(step_key, "key")
KV_MAP_STEP(step_scale, "scale")
KV_MAP_STEP(step_scale_row, "scale-row")
KV_MAP_STEP(step_scale_rename, "scale-rename")
KV_MAP_STEP(step_stage, "stage")
#undef KV_MAP_STEP

// `command ID` goes to the opened map's view, or else to the music editor's menu commands.
bool step_command(ScriptSession& s, const ScriptLine& line, std::string* error) {
    const MapState& st = state_of(s);
    if (st.chords || st.stage) return map_step(s, line, error, "command");
    for (const ScriptVerb& v : script_edit_verbs()) {
        if (std::string(v.name) == "command") return v.run(s, line, error);
    }
    *error = "no chord map or stage map is open (use: open LIBRARY LEAF)";
    return false;
}

bool print_chords(ScriptSession& s, const ScriptLine&, std::string* error) {
    ScriptLine line;
    line.args = {"chords"};
    return map_step(s, line, error, "print");
}

bool print_stage(ScriptSession& s, const ScriptLine&, std::string* error) {
    ScriptLine line;
    line.args = {"stage"};
    return map_step(s, line, error, "print");
}

bool step_save_scales(ScriptSession&, const ScriptLine&, std::string* error) {
    MseqMapScale& scales = mrec_settings::scale_map();
    if (!(scales.flags & MEF_MODIFIED)) return true;
    if (!mrec_settings::save_scale_map()) {
        *error = "cannot save the scale map";
        return false;
    }
    scales.flags &= ~MEF_MODIFIED;
    std::printf("scale map saved\n");
    return true;
}

// --- presses on the current track ------------------------------------------------------------

bool need_track(ScriptSession& s, MedtTrack** track, std::string* error) {
    if (!s.editor()) {
        *error = "no music is open (use: open LIBRARY LEAF)";
        return false;
    }
    *track = s.editor()->current();
    if (!*track) *error = "no current track (use: track NAME)";
    return *track != nullptr;
}

bool parse_button(const std::string& text, bool* right, std::string* error) {
    if (text != "left" && text != "right") {
        *error = "the button is left or right, not '" + text + "'";
        return false;
    }
    *right = text == "right";
    return true;
}

// A press leaves its gesture's group open: the lines up to the next `group` (or press) add to
// it, as they add to any open group.
bool step_press(ScriptSession& s, const ScriptLine& line, std::string* error) {
    MedtTrack* track = nullptr;
    if (!need_track(s, &track, error)) return false;
    const size_t n = line.args.size();
    if (n < 3 || n > 4 || (n == 4 && line.args[3] != "move")) {
        *error = "usage: press AREA POS left|right [move]";
        return false;
    }
    MedtPress press;
    if (!medt_press_area(line.args[0], &press.area)) {
        *error = "unknown area '" + line.args[0] + "'";
        return false;
    }
    std::string pos = line.args[1];
    const size_t at = pos.find('@');
    if (at != std::string::npos) {
        char* end = nullptr;
        const std::string fraction = pos.substr(at + 1);
        press.height = std::strtod(fraction.c_str(), &end);
        if (fraction.empty() || *end) {
            *error = "'" + fraction + "' is not a height from 0.0 to 1.0";
            return false;
        }
        pos = pos.substr(0, at);
    } else if (press.area == MedtPressArea::Velocity) {
        *error = "the velocity area needs POS@FRACTION";
        return false;
    }
    if (!parse_pos(pos, &press.pos, error) || !parse_button(line.args[2], &press.right, error))
        return false;
    press.move = n == 4;
    MedtPressContext ctx;
    ScriptPressPort port;
    ctx.port = &port;
    ctx.selected_leaf = state_of(s).selected;
    MedtTrackPress::press(*s.editor(), *track, press, ctx);
    return true;
}

bool step_chord_press(ScriptSession& s, const ScriptLine& line, std::string* error) {
    MedtTrack* track = nullptr;
    if (!need_track(s, &track, error)) return false;
    if (line.args.size() != 3 || (line.args[0] != "degree" && line.args[0] != "chord")) {
        *error = "usage: chord-press degree|chord POS left|right";
        return false;
    }
    int32_t pos = 0;
    bool right = false;
    if (!parse_pos(line.args[1], &pos, error) || !parse_button(line.args[2], &right, error))
        return false;
    MedtPressContext ctx;
    ScriptPressPort port;
    ctx.port = &port;
    const MedtChordRowKind row =
        line.args[0] == "degree" ? MedtChordRowKind::Degree : MedtChordRowKind::Chord;
    MedtTrackPress::chord_press(*s.editor(), *track, row, pos, right, ctx);
    return true;
}

bool step_lag_edit(ScriptSession& s, const ScriptLine& line, std::string* error) {
    MedtTrack* track = nullptr;
    if (!need_track(s, &track, error)) return false;
    if (line.args.size() < 2 || line.args.size() > 3 ||
        (line.args[1] != "start" && line.args[1] != "end")) {
        *error = "usage: lag-edit POS start|end TEXT";
        return false;
    }
    int32_t pos = 0;
    if (!parse_pos(line.args[0], &pos, error)) return false;
    const std::string text = line.args.size() == 3 ? line.args[2] : "";
    MedtTrackPress::lag_edit(*s.editor(), *track, pos, line.args[1] == "end", text);
    return true;
}

bool step_menu_marker(ScriptSession& s, const ScriptLine& line, std::string* error) {
    MedtTrack* track = nullptr;
    if (!need_track(s, &track, error)) return false;
    if (line.args.size() != 2) {
        *error = "usage: menu-marker POS NAME";
        return false;
    }
    int32_t pos = 0;
    if (!parse_pos(line.args[0], &pos, error)) return false;
    MedtTrackPress::start_marker(*s.editor(), *track, pos, ckv_from_utf8(line.args[1]));
    return true;
}

bool step_pick(ScriptSession& s, const ScriptLine& line, std::string* error) {
    MedtTrack* track = nullptr;
    if (!need_track(s, &track, error)) return false;
    int32_t pos = 0;
    long long slot = 0;
    if (line.args.size() != 2 || !parse_pos(line.args[0], &pos, error) ||
        !script_parse_int(line.args[1], 0, 35, &slot)) {
        if (error->empty()) *error = "usage: pick POS SLOT (a palette slot 0 to 35)";
        return false;
    }
    if (!MedtTrackPress::pick_degree(*s.editor(), *track, pos, static_cast<int32_t>(slot)))
        std::printf("pick: nothing placed\n");
    return true;
}

bool step_chord_set(ScriptSession& s, const ScriptLine& line, std::string* error) {
    MedtTrack* track = nullptr;
    if (!need_track(s, &track, error)) return false;
    int32_t pos = 0;
    if (line.args.empty() || !parse_pos(line.args[0], &pos, error)) {
        if (error->empty()) *error = "usage: chord-set POS FIELD=VALUE...";
        return false;
    }
    auto* chords = track->stored()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
    if (!chords) {
        *error = "the current track is not a chord track";
        return false;
    }
    MseqBlockChord chord;
    MedtChordPress::chord_at(*chords, pos, s.editor()->music(), &chord);
    ref_ptr<MseqMapChord> map = MedtChordPress::map_at(*chords, pos, s.editor()->music());
    MedtChordEditor editor(chord, map ? map->m_CDegKey : 0);
    const std::vector<std::string> fields(line.args.begin() + 1, line.args.end());
    if (!script_chord_fields(editor, fields, *error)) return false;
    MedtTrackPress::set_chord(*s.editor(), *track, pos, editor.chord());
    return true;
}

bool step_select(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!s.editor()) {
        *error = "no music is open (use: open LIBRARY LEAF)";
        return false;
    }
    MapState& st = state_of(s);
    if (line.rest == "none") {
        st.selected = nullptr;
        return true;
    }
    // The leaf is looked for in the music's own book, where phrase references can point.
    MseqObject* top = s.editor()->music()->owner;
    while (top && mseq_type_category(top->type) != MCAT_BOOK)
        top = top->parent();
    const CkvString name = ckv_from_utf8(line.rest);
    st.selected = nullptr;
    for (MseqObject* n = top; n && !st.selected; n = n->next_in(top)) {
        if (n != top && n->name == name) st.selected = n;
    }
    if (!st.selected) {
        *error = "no leaf '" + line.rest + "' in the music's book";
        return false;
    }
    return true;
}

}  // namespace

void script_map_end(ScriptSession& session) {
    states().erase(&session);
}

const std::vector<ScriptVerb>& script_map_verbs() {
    static const std::vector<ScriptVerb> verbs = {
        {"open", step_open,
         "LIBRARY LEAF: open a music, phrase, chord map or stage map in its view"},
        {"command", step_command, "ID [SOUND]: a menu command of the view shown"},
        {"chord", step_chord,
         "SLOT FIELD=VALUE...: the chord editor on a slot (octave= relative= root= type= invert= "
         "key= clear on=)"},
        {"key", step_key, "tone|sdeg|cdeg VALUE: the chord map's key display"},
        {"scale", step_scale, "NAME|#K: choose a scale"},
        {"scale-row", step_scale_row, "K: select row K of the scale list"},
        {"scale-rename", step_scale_rename, "K NAME: rename scale K"},
        {"stage", step_stage,
         "PART FIELD=VALUE...: set up a part of the stage map (volume= pan= program= kit= bank= "
         "... send-FIELD=0|1)"},
        {"print chords", print_chords, ": the chord map"},
        {"print stage", print_stage, ": the stage map"},
        {"save-scales", step_save_scales, ": write the scale list when it changed"},
        {"press", step_press,
         "AREA POS left|right [move]: press on the current note or phrase track"},
        {"chord-press", step_chord_press, "degree|chord POS left|right: press on the chord track"},
        {"lag-edit", step_lag_edit, "POS start|end TEXT: the answer of the lag editor"},
        {"menu-marker", step_menu_marker, "POS NAME: the answer of the marker menu"},
        {"pick", step_pick, "POS SLOT: the answer of the degree picker"},
        {"chord-set", step_chord_set, "POS FIELD=VALUE...: the chord editor's result at POS"},
        {"select-phrase", step_select, "LEAF: select a phrase of the music's book"},
    };
    return verbs;
}

}  // namespace kv_ui
