#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockScale.h"
#include "model/core/CkvString.h"
#include "model/core/ref_ptr.h"
#include "model/theory/MseqMapChord.h"

class MseqMapScale;
class MedtUserPort;

// Commands of the chord-map view.
enum : int32_t {
    MEDT_CMD_PALETTE_SCALE3 = 40501,  // "スケールを元に３和音で作成"
    MEDT_CMD_PALETTE_SCALE4 = 40502,  // "スケールを元に４和音で作成"
    MEDT_CMD_PALETTE_MAJOR3 = 40503,  // "長調３和音で作成"
    MEDT_CMD_PALETTE_MAJOR4 = 40504,  // "長調４和音で作成"
    MEDT_CMD_PALETTE_MINOR3 = 40505,  // "短調３和音で作成"
    MEDT_CMD_PALETTE_MINOR4 = 40506,  // "短調４和音で作成"
    MEDT_CMD_PALETTE_MENU = 40509,    // "コードマップの自動作成"
    MEDT_CMD_KEYNAME_CYCLE = 40511,   // the key-name button
    MEDT_CMD_KEYNAME_LETTER = 40512,  // "キーを英名で表示"
    MEDT_CMD_KEYNAME_MAJOR = 40513,   // "キーを長調で表示"
    MEDT_CMD_KEYNAME_MINOR = 40514,   // "キーを短調で表示"
    MEDT_CMD_SCALE_SET = 40521,       // "スケールをセット"
    MEDT_CMD_SCALE_ADD = 40522,       // "スケールリストに追加"
    MEDT_CMD_SCALE_DELETE = 40523,    // "スケールリストから削除"
};

// The three key selectors of the key bar.
enum class MedtKeySelector { Chord, Scale, Melody };

// Columns of the chord list, 1 to 6.
enum : int32_t {
    MEDT_CHORD_COL_SLOT = 1,
    MEDT_CHORD_COL_SWITCH = 2,
    MEDT_CHORD_COL_OCTAVE = 3,
    MEDT_CHORD_COL_RELATIVE = 4,
    MEDT_CHORD_COL_NAME = 5,
    MEDT_CHORD_COL_KEYS = 6,
};

// What a press on the chord list did.
enum class MedtChordClick {
    Nothing,     // no change (locked view, bad row or column, or a press that does nothing)
    Changed,     // the chord changed; the map is marked modified and the row must be redrawn
    OpenEditor,  // the chord editor should open on the row's chord
};

// One row of the chord list as the view shows it. Texts are CP932.
struct MedtChordRow {
    int32_t slot = 0;       // 0 to 35: degree slot % 12 in octave slot / 12 - 1
    bool on = false;        // the slot is switched on
    int32_t octave = 0;     // the chord's relative octave
    bool relative = false;  // the root counts from the chord-note key
    CkvString name;         // root and type, empty for a chord without keys
    CkvString keys;         // the key positions, "0 4 7"; a key skipped by chord notes ends in '*'
};

// One row of the scale list. Texts are CP932.
struct MedtScaleRow {
    CkvString name;
    CkvString melody_key;  // the recommended melody-note key, "%+d" of the scale's m_ToneTune
    int32_t key_count = 0;
    CkvString keys;  // the key positions, "0 2 4 5 7 9 11"
};

// One choice of a key selector: its value (semitones above C) and its label "%+3d %s".
struct MedtKeyChoice {
    int32_t value;
    CkvString label;
};

// The model of the chord-map view: the operations its chord list, key bar, scale bar, scale list
// and commands offer, applied directly to the chord map (there is no undo). Every operation that
// changes the map marks it modified (entity flag and the desk's modified set); one that changes
// nothing marks nothing. While the view is locked (playback) every operation does nothing.
// User-interface thread only.
class MedtChordMapView {
public:
    // A view over `map` beside the scale list `scales` (either may be null: the operations that
    // need it then do nothing), asking its questions through `questions` (null answers No).
    MedtChordMapView(MseqMapChord* map, MseqMapScale* scales, MedtUserPort* questions);

    // The map and the scale list the view was made over (either may be null).
    MseqMapChord* map() const { return map_.get(); }
    MseqMapScale* scales() const { return scales_; }

    // The view's lock during playback: every command is disabled while it is set.
    void set_locked(bool locked) { locked_ = locked; }
    bool locked() const { return locked_; }

    // Runs a view command (40501 to 40506, 40511 to 40514, 40521 to 40523). False when the
    // command is unknown, disabled, refused by the user or changed nothing (the key-name display
    // commands always mark the map modified, also choosing the mode it shows).
    bool command(int32_t id);
    // Whether a command can run now.
    bool enabled(int32_t id) const;
    // Whether a command's menu entry carries a check mark (the key-name display entries).
    bool checked(int32_t id) const;
    // The entries of the "コードマップの自動作成" menu (40509): 40503 to 40506, 0 for the
    // separator, then 40501 and 40502.
    static std::vector<int32_t> palette_menu();
    // The label of a command (CP932), empty for an unknown one.
    static CkvString command_label(int32_t id);

    // Key bar. The display mode of key names: the scale's m_ShowTune (0 letters, 1 major, 2 minor).
    int32_t key_name_mode() const;
    // The choices of a selector: +12 down to -12, labelled in the current display mode.
    std::vector<MedtKeyChoice> key_choices() const;
    // The value a selector shows now.
    int32_t key_value(MedtKeySelector selector) const;
    // Selects `value` (clamped to -12 to 12) in a selector: the chord-note key moves the scale
    // and melody keys with it; the scale-note key is set alone; the melody-note key also sets the
    // scale's m_ToneTune to its distance from the chord-note key, taken in -5 to 6. Every
    // selection marks the map modified, also of the value it has; false only while the view is
    // locked or has no map.
    bool select_key(MedtKeySelector selector, int32_t value);
    // The help text of a selector (CP932).
    static CkvString key_selector_help(MedtKeySelector selector);

    // Scale bar: the map's scale name and key positions; renaming it and toggling one of its
    // keys (semitone 0 to 11 above the tonic; the tonic stays, 5 to 12 keys). False when refused
    // or unchanged.
    CkvString scale_name() const;
    CkvString scale_keys() const;
    bool set_scale_name(const CkvString& name);
    // Makes preset `position` (1 to 32) the map's scale, the keys following as for a scale of
    // the list. False for an empty position, a locked view or no change.
    bool select_preset(int32_t position);
    bool toggle_scale_key(int32_t semitone);

    // Scale list. The selected row (-1 for none) is what 40521 and 40523 act on. A row outside
    // the list reads as an empty row.
    int32_t scale_count() const;
    MedtScaleRow scale_row(int32_t index) const;
    void select_scale_row(int32_t index) { selected_scale_ = index; }
    int32_t selected_scale_row() const { return selected_scale_; }
    // Renames a scale of the list; the scale map is marked modified. False for no such row, an
    // unchanged name or a locked view.
    bool rename_scale(int32_t index, const CkvString& name);
    // The scale list's column titles (1 to 4, CP932), empty outside.
    static CkvString scale_column_title(int32_t column);

    // Chord list: the row of palette slot `slot` (0 to 35); an empty row outside, or without a
    // map.
    MedtChordRow chord_row(int32_t slot) const;
    // The help text of a chord-list column (1 to 6, CP932), empty outside.
    static CkvString chord_column_help(int32_t column);
    // A press on row `slot`, column `column`, with the left or the right button.
    MedtChordClick click(int32_t slot, int32_t column, bool right);
    // The chord editor's result ("セット") for the row: the palette slot takes the chord (a
    // chord without keys is switched off). False for a bad slot, a locked view or no change.
    bool set_chord(int32_t slot, const MseqBlockChord& chord);
    // The key from which the chord editor counts relative roots: the chord-note key.
    int32_t editor_key() const;

    // The chord's name as the chord list shows it: the letter of its sounding root followed by
    // its type name; empty for a chord without keys. `key` is the chord-note key.
    static CkvString chord_name(const MseqBlockChord& chord, int32_t key);
    // Key positions as text, "0 4 7", a key skipped by chord notes followed by '*'.
    static CkvString chord_keys_text(const MseqBlockChord& chord);

private:
    struct Snapshot {
        int32_t tone = 0, sdeg = 0, cdeg = 0;
        MseqBlockScale scale;
        std::array<MseqBlockChord, MseqMapChord::kSlots> palette;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot snapshot() const;
    // Marks the map modified when it differs from `before`; returns whether it does.
    bool changed_since(const Snapshot& before);
    bool build_palette(int32_t id);
    bool set_key_name_mode(int32_t mode);
    bool apply_selected_scale();
    bool add_scale();
    bool delete_selected_scale();
    void mark_scale_map_modified();
    bool usable() const { return map_ && !locked_; }

    ref_ptr<MseqMapChord> map_;
    MseqMapScale* scales_;
    MedtUserPort* questions_;
    bool locked_ = false;
    int32_t selected_scale_ = -1;
};
