#include "ui/script/ScriptMapLines.h"

#include <climits>
#include <cstdio>

#include "edit/map/MedtChordEditor.h"
#include "edit/map/MedtChordMapView.h"
#include "edit/map/MedtStageMapView.h"
#include "model/block/MseqBlockScale.h"
#include "model/core/CkvText.h"
#include "platform/TextCodec.h"
#include "ui/Terminal.h"
#include "ui/script/ScriptRunner.h"

namespace kv_ui {

namespace {

bool parse_int32(const std::string& text, int32_t* value) {
    long long v = 0;
    if (!script_parse_int(text, INT32_MIN, INT32_MAX, &v)) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

bool split_field(const std::string& word, std::string* name, std::string* value) {
    const size_t eq = word.find('=');
    if (eq == std::string::npos) return false;
    *name = word.substr(0, eq);
    *value = word.substr(eq + 1);
    return true;
}

// A pitch class by number or by its letter name with sharps ("C#").
bool parse_pitch(const std::string& text, int32_t* pc) {
    if (parse_int32(text, pc)) return true;
    static const char* const names[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                          "F#", "G",  "G#", "A",  "A#", "B"};
    for (int32_t i = 0; i < 12; ++i) {
        if (text == names[i]) {
            *pc = i;
            return true;
        }
    }
    return false;
}

// A chord type by its name ("m7"; the names "6" and "7" are names) or by its row of the table
// after '#' ("#3").
bool parse_type(const std::string& text, int32_t* n) {
    if (!text.empty() && text[0] == '#') return parse_int32(text.substr(1), n);
    for (int32_t i = 0; i < kMseqChordTypeCount; ++i) {
        if (text == mseq_chord_type(i)->name) {
            *n = i;
            return true;
        }
    }
    return false;
}

// One field of the `chord` line applied to the chord editor; false with `error` set.
bool apply_chord_field(MedtChordEditor& editor, const std::string& word, bool* on, bool* has_on,
                       std::string& error) {
    if (word == "clear") {
        editor.clear();
        return true;
    }
    std::string name, value;
    int32_t n = 0;
    if (!split_field(word, &name, &value)) {
        error = "bad chord field '" + word + "'";
        return false;
    }
    bool ok = true;
    if (name == "octave" && (ok = parse_int32(value, &n))) {
        editor.set_octave(n);
    } else if (name == "relative" && (ok = parse_int32(value, &n))) {
        editor.set_relative(n != 0);
    } else if (name == "root" && (ok = parse_pitch(value, &n))) {
        editor.set_root(n);
    } else if (name == "type" && (ok = parse_type(value, &n))) {
        ok = editor.set_type(n);
    } else if (name == "invert" && (ok = parse_int32(value, &n))) {
        editor.invert(n);
    } else if (name == "key") {
        const bool skipped = !value.empty() && value.back() == '*';
        if (skipped) value.pop_back();
        ok = parse_int32(value, &n) && editor.toggle_key(n, skipped);
    } else if (name == "on" && (ok = parse_int32(value, &n))) {
        *on = n != 0;
        *has_on = true;
    } else if (ok) {
        error = "unknown chord field '" + name + "'";
        return false;
    }
    if (!ok) error = "chord field '" + word + "' refused";
    return ok;
}

bool chord_line(MedtChordMapView& view, const std::vector<std::string>& words, std::string& error) {
    int32_t slot = 0;
    if (words.size() < 2 || !parse_int32(words[1], &slot) || slot < 0 ||
        slot >= MseqMapChord::kSlots) {
        error = "usage: chord SLOT FIELD=VALUE...";
        return false;
    }
    MedtChordEditor editor(view.map()->m_Blocks[slot], view.editor_key());
    bool on = false, has_on = false;
    for (size_t i = 2; i < words.size(); ++i) {
        if (!apply_chord_field(editor, words[i], &on, &has_on, error)) return false;
    }
    MseqBlockChord chord = editor.chord();
    if (has_on)
        chord.m_Flags = on ? (chord.m_Flags & ~MCHORD_NO_KEY) : (chord.m_Flags | MCHORD_NO_KEY);
    view.set_chord(slot, chord);
    return true;
}

bool key_line(MedtChordMapView& view, const std::vector<std::string>& words, std::string& error) {
    int32_t value = 0;
    if (words.size() != 3 || !parse_int32(words[2], &value)) {
        error = "usage: key tone|sdeg|cdeg VALUE";
        return false;
    }
    MedtKeySelector selector;
    if (words[1] == "tone") {
        selector = MedtKeySelector::Melody;
    } else if (words[1] == "sdeg") {
        selector = MedtKeySelector::Scale;
    } else if (words[1] == "cdeg") {
        selector = MedtKeySelector::Chord;
    } else {
        error = "usage: key tone|sdeg|cdeg VALUE";
        return false;
    }
    view.select_key(selector, value);
    return true;
}

bool scale_line(MedtChordMapView& view, const std::vector<std::string>& words, std::string& error) {
    if (words.size() != 2) {
        error = "usage: scale NAME|#K";
        return false;
    }
    const std::string& arg = words[1];
    int32_t row = -1;
    if (arg.size() > 1 && arg[0] == '#') {
        if (!parse_int32(arg.substr(1), &row) || row < 0 || row >= view.scale_count()) {
            error = "no scale " + arg;
            return false;
        }
    } else {
        const CkvString name(kv_codec::cp932_from_utf8(arg));
        for (int32_t i = 0; i < view.scale_count() && row < 0; ++i)
            if (view.scale_row(i).name == name) row = i;
        if (row < 0) {
            // Not in the list: a preset of that name goes in the same way.
            for (int32_t p = 1; p <= MseqBlockScale::kPresetCount; ++p) {
                const MseqBlockScale* preset = MseqBlockScale::preset(p);
                if (preset && preset->m_Name == name) {
                    view.select_preset(p);
                    return true;
                }
            }
            error = "no scale named '" + arg + "'";
            return false;
        }
    }
    view.select_scale_row(row);
    view.command(MEDT_CMD_SCALE_SET);
    return true;
}

void print_chords(MedtChordMapView& view, std::string& out) {
    for (int32_t s = 0; s < MseqMapChord::kSlots; ++s) {
        const MedtChordRow row = view.chord_row(s);
        char head[64];
        std::snprintf(head, sizeof head, "%d %s %d %s ", s, row.on ? "on" : "off", row.octave,
                      row.relative ? "rel" : "abs");
        out += head;
        out += row.name.empty() ? std::string("-") : terminal_text(row.name);
        out += " ";
        out += row.keys.empty() ? std::string("-") : terminal_text(row.keys);
        out += "\n";
    }
}

// `command ID` on a map view: runs one of the view's own commands (`what` names the view in the
// error for any other number).
template <class View>
bool command_line(View& view, const std::vector<std::string>& words, const char* what,
                  std::string& error) {
    int32_t id = 0;
    if (words.size() != 2 || !parse_int32(words[1], &id)) {
        error = "usage: command ID";
        return false;
    }
    if (View::command_label(id).empty()) {
        error = std::string("unknown ") + what + " command " + words[1];
        return false;
    }
    view.command(id);
    return true;
}

const char* const kStageNames[] = {"volume", "pan",  "reverb",     "chorus",    "bend-range",
                                   "bend",   "hold", "modulation", "expression"};

void print_stage(MedtStageMapView& view, std::string& out) {
    out += "setup";
    if (view.checked(MEDT_CMD_STAGE_GM1)) out += " GM1";
    if (view.checked(MEDT_CMD_STAGE_GM2)) out += " GM2";
    out += "\n";
    for (int32_t part = 0; part < MseqMapStage::kChannels; ++part) {
        const MseqBlockStage& b = *view.map()->block(part);
        char line[128];
        std::snprintf(line, sizeof line, "%d %s %s=%lld bank=%lld ", part,
                      (b.m_Flags & MSTAGE_USED) ? "on" : "off",
                      b.m_Program.m_Attrib == MWORD_DRUM_KIT ? "kit" : "program",
                      static_cast<long long>(view.field(part, MedtStageField::Program)),
                      static_cast<long long>(view.field(part, MedtStageField::Bank)));
        out += line;
        out += terminal_quoted(b.m_Program.m_Name);
        for (const char* name : kStageNames) {
            MedtStageField f;
            MedtStageMapView::field_by_name(name, &f);
            std::snprintf(line, sizeof line, " %s=%lld%s", name,
                          static_cast<long long>(view.field(part, f)),
                          view.sends(part, f) ? "" : "-");
            out += line;
        }
        std::snprintf(line, sizeof line, " flags=0x%x\n", b.m_Flags);
        out += line;
    }
}

bool stage_line(MedtStageMapView& view, const std::vector<std::string>& words, std::string& error) {
    int32_t part = 0;
    if (words.size() < 3 || !parse_int32(words[1], &part) || part < 0 ||
        part >= MseqMapStage::kChannels) {
        error = "usage: stage PART FIELD=VALUE...";
        return false;
    }
    for (size_t i = 2; i < words.size(); ++i) {
        std::string name, value;
        long long v = 0;
        if (!split_field(words[i], &name, &value) ||
            !script_parse_int(value, LLONG_MIN, LLONG_MAX, &v)) {
            error = "bad stage field '" + words[i] + "'";
            return false;
        }
        const bool send = name.rfind("send-", 0) == 0;
        MedtStageField field;
        if (!MedtStageMapView::field_by_name(send ? name.substr(5) : name, &field)) {
            error = "unknown stage field '" + name + "'";
            return false;
        }
        if (send) {
            if ((v != 0) != view.sends(part, field) && !view.toggle_send(part, field)) {
                error = "stage field '" + name + "' refused";
                return false;
            }
            continue;
        }
        const bool drums = part == MseqMapStage::kDrumChannel;
        if ((field == MedtStageField::Program && drums) ||
            (field == MedtStageField::Kit && !drums)) {
            error = "stage field '" + name + "' does not belong to part " + words[1];
            return false;
        }
        view.set_field(part, field, v);
    }
    return true;
}

}  // namespace

bool run_chord_map_line(MedtChordMapView& view, const std::vector<std::string>& words,
                        std::string& out, std::string& error) {
    if (words.empty() || !view.map()) {
        error = "no chord map";
        return false;
    }
    const std::string& verb = words[0];
    if (verb == "command") return command_line(view, words, "chord map", error);
    if (verb == "chord") return chord_line(view, words, error);
    if (verb == "key") return key_line(view, words, error);
    if (verb == "scale") return scale_line(view, words, error);
    if (verb == "scale-row" || verb == "scale-rename") {
        int32_t row = 0;
        const size_t need = verb == "scale-row" ? 2 : 3;
        if (words.size() != need || !parse_int32(words[1], &row) || row < 0 ||
            row >= view.scale_count()) {
            error = "usage: scale-row K | scale-rename K NAME (K a row of the scale list)";
            return false;
        }
        if (need == 2) {
            view.select_scale_row(row);
        } else {
            view.rename_scale(row, ckv_from_utf8(words[2]));
        }
        return true;
    }
    if (verb == "print" && words.size() == 2 && words[1] == "chords") {
        print_chords(view, out);
        return true;
    }
    error = "unknown chord map line '" + verb + "'";
    return false;
}

bool run_stage_map_line(MedtStageMapView& view, const std::vector<std::string>& words,
                        std::string& out, std::string& error) {
    if (words.empty() || !view.map()) {
        error = "no stage map";
        return false;
    }
    const std::string& verb = words[0];
    if (verb == "command") return command_line(view, words, "stage map", error);
    if (verb == "stage") return stage_line(view, words, error);
    if (verb == "print" && words.size() == 2 && words[1] == "stage") {
        print_stage(view, out);
        return true;
    }
    error = "unknown stage map line '" + verb + "'";
    return false;
}

bool script_chord_fields(MedtChordEditor& editor, const std::vector<std::string>& fields,
                         std::string& error) {
    bool on = false, has_on = false;
    for (const std::string& f : fields) {
        if (!apply_chord_field(editor, f, &on, &has_on, error)) return false;
    }
    if (has_on) {
        error = "on= belongs to palette slots, not to chords of a track";
        return false;
    }
    return true;
}

}  // namespace kv_ui
