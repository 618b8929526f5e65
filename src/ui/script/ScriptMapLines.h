#pragma once

#include <string>
#include <vector>

class MedtChordEditor;
class MedtChordMapView;
class MedtStageMapView;

namespace kv_ui {

struct ScriptVerb;

// The `korvante script` lines of a chord map opened with `open`. `words` holds the line's words,
// the verb first:
//   command ID                      a view command (40501-40506, 40511-40514, 40521-40523)
//   chord SLOT FIELD=VALUE...       the chord editor on palette slot SLOT, then "セット"; fields
//                                   in order: octave=O, relative=0|1, root=PC|LETTER,
//                                   type=NAME|#N, invert=N, key=D or key=D* (toggle, * = right
//                                   button), clear, on=0|1 (the slot's switch afterwards)
//   key tone|sdeg|cdeg VALUE        a key selector (melody, scale and chord notes)
//   scale NAME|#K                   selects row K of the scale list, or the row named NAME, and
//                                   sets it (40521); a preset name when no row has the name
//   scale-row K                     selects row K of the scale list (for 40523)
//   scale-rename K NAME             renames row K of the scale list
//   print chords                    one line per slot: slot, on/off, octave, rel/abs, the
//                                   chord's name ("-" for none) and its key positions
// Returns false with `error` set for a line it does not know or cannot carry out; printed lines
// are appended to `out` (UTF-8, each ending in '\n'). UI thread.
bool run_chord_map_line(MedtChordMapView& view, const std::vector<std::string>& words,
                        std::string& out, std::string& error);

// Applies the chord editor fields of a `chord` line (all but on=) to `editor`, in order; false
// with `error` set for a field it does not know or that the editor refuses. UI thread.
bool script_chord_fields(MedtChordEditor& editor, const std::vector<std::string>& fields,
                         std::string& error);

// The lines of a stage map opened with `open`:
//   command ID                      40401 or 40402
//   stage PART FIELD=VALUE...       fields: switch, program, bank, kit, volume, pan, reverb,
//                                   chorus, bend-range, bend, hold, modulation, expression,
//                                   sound-off, notes-off, reset-controllers; send-FIELD=0|1 for
//                                   whether a value is sent at the start
//   print stage                     "setup" and the system-on switches, then one line per part
// As above.
bool run_stage_map_line(MedtStageMapView& view, const std::vector<std::string>& words,
                        std::string& out, std::string& error);

// The steps of the map views and of the presses on track rows (ScriptPressLines.cpp), to be added
// before the editing steps: their `open` also opens chord maps and stage maps, and hands musics
// and phrases on to the music editor.
//   open LIBRARY LEAF               a chord map or stage map in its view; otherwise as before
//   press AREA POS left|right [move]   a press on the current note or phrase track (AREA:
//                                   anchor pitch third fourth start-lag end-lag velocity
//                                   velocity-max velocity-min; velocity takes POS@FRACTION, 0.0
//                                   bottom to 1.0 top); a press ends its gesture unless `move`
//                                   lines follow, which join it until the next press or `group`
//   lag-edit POS start|end TEXT     the lag editor's confirmed text (empty: "")
//   menu-marker POS NAME            the start-marker menu's choice ("<ホーム>" the beginning)
//   select LEAF                     the leaf selected in the library tree (a phrase of the
//                                   music's book, by name), "none" for no selection
//   pick POS SLOT                   the degree picker's choice on the current chord track
//   chord-set POS FIELD=VALUE...    the chord editor's result on the current chord track,
//                                   starting from the chord in effect (fields as for `chord`;
//                                   a chord left without keys erases the block)
//   chord-press degree|chord POS left|right   a press on a chord-track row
//   save-scales                     writes the scale map when it was changed
//   command, chord, key, scale, scale-row, scale-rename, stage, print chords, print stage
//                                   on the opened map (see above)
const std::vector<ScriptVerb>& script_map_verbs();

class ScriptSession;
// Closes the map opened by the steps above for `session` and forgets its selection; called when
// the script ends.
void script_map_end(ScriptSession& session);

}  // namespace kv_ui
