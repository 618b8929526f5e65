#pragma once

#include <cstdint>
#include <string_view>

#include "model/block/MseqBlockStage.h"
#include "model/core/CkvString.h"
#include "model/core/ref_ptr.h"
#include "model/theory/MseqMapStage.h"

// Commands of the stage-map view.
enum : int32_t {
    MEDT_CMD_STAGE_GM1 = 40401,  // "GM 1 システム ON"
    MEDT_CMD_STAGE_GM2 = 40402,  // "GM 2 システム ON"
};

// The settings of one part (channel) that the stage list edits.
enum class MedtStageField {
    Switch,            // in use (flag 0x1)
    Program,           // melodic program number, 0 to 127 (not on the drum channel)
    Bank,              // the two bank bytes above the program number, 0 to 16383
    Kit,               // drum kit program number, 0 to 127 (the drum channel only)
    Volume,            // 0 to 127
    Pan,               // 0 to 127
    Reverb,            // 0 to 127
    Chorus,            // 0 to 127
    BendRange,         // 0 to 24
    Bend,              // 0 to 16383
    Hold,              // 0 to 127
    Modulation,        // 0 to 127
    Expression,        // 0 to 127
    SoundOff,          // all sound off at the start (flag 0x10)
    NotesOff,          // all notes off (flag 0x20)
    ResetControllers,  // reset all controllers (flag 0x40)
};

// The model of the stage-map view: the sixteen parts with their instruments, values and set-up
// flags, and the two system-on switches. Changes go straight into the stage map (there is no
// undo), values are clamped to their ranges as the map's own normalisation does, and the map is
// marked modified (entity flag and the desk's modified set) only when something changed. While
// the view is locked every operation does nothing. User-interface thread only.
class MedtStageMapView {
public:
    explicit MedtStageMapView(MseqMapStage* map);

    MseqMapStage* map() const { return map_.get(); }
    // The view's lock during playback: every operation does nothing while it is set.
    void set_locked(bool locked) { locked_ = locked; }
    bool locked() const { return locked_; }

    // Runs 40401 or 40402 (toggling MMS_SETUP_GM1 or MMS_SETUP_GM2). False when unknown or
    // locked.
    bool command(int32_t id);
    // Whether a command can run now: false for an unknown one, a locked view or no map.
    bool enabled(int32_t id) const;
    // True while the command's bit is set.
    bool checked(int32_t id) const;
    // The label of 40401 or 40402 (CP932); empty for any other number.
    static CkvString command_label(int32_t id);

    // Sets one field of part `part` (0 to 15). A value out of range is clamped; a switch takes
    // any non-zero value as on. An instrument field that does not belong to the part's channel
    // (a melodic program on the drum channel, a kit elsewhere) is refused. False when refused,
    // locked or unchanged.
    bool set_field(int32_t part, MedtStageField field, int64_t value);
    // The field's current value; 0 for a bad part.
    int64_t field(int32_t part, MedtStageField field) const;
    // Toggles the bit that sends `field` at the start (the value columns' right click); false
    // for fields without a bit of their own, a bad part or a locked view.
    bool toggle_send(int32_t part, MedtStageField field);
    // Whether `field` is sent at the start.
    bool sends(int32_t part, MedtStageField field) const;

    // The field named `name` ("switch", "program", "bank", "kit", "volume", "pan", "reverb",
    // "chorus", "bend-range", "bend", "hold", "modulation", "expression", "sound-off",
    // "notes-off", "reset-controllers"); false when there is none.
    static bool field_by_name(std::string_view name, MedtStageField* field);
    // The help text of a stage-list column: 1 part number, 2 switch, 3 program, then the value
    // columns volume, pan, reverb, chorus, bend range, pitch bend, hold, modulation, expression
    // (4 to 12, which have none) and 13 to 15 the three start-up switches. CP932; empty where
    // none.
    static CkvString column_help(int32_t column);

private:
    bool usable() const { return map_ && !locked_; }
    bool changed(const MseqBlockStage& before, const MseqBlockStage& after);

    ref_ptr<MseqMapStage> map_;
    bool locked_ = false;
};
