// The editing steps of `korvante script`: open a music in its editor, move the cursor, run
// actions, set properties and blocks through the editor's commands, undo, print and save.
#include "ui/script/ScriptRunner.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "edit/McmdTrack.h"
#include "edit/MedtMusic.h"
#include "edit/MedtPropertyEdit.h"
#include "edit/MedtTrack.h"
#include "edit/MedtTransaction.h"
#include "edit/MedtViewCommands.h"
#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockLabel.h"
#include "model/block/MseqBlockLink.h"
#include "model/block/MseqBlockNote.h"
#include "model/block/MseqBlockRefer.h"
#include "model/block/MseqBlockValue.h"
#include "model/core/CkvText.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqType.h"
#include "model/core/parse_int.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "model/theory/MseqMapWord.h"
#include "model/theory/MseqNoteTheory.h"
#include "model/track/MseqTrack.h"
#include "platform/FileSystem.h"
#include "play/engine/MplyKeyLane.h"
#include "text/MrecCompiler.h"

namespace kv_ui {

namespace {

// --- words -----------------------------------------------------------------------------------

// A whole number in decimal (optionally signed) or in hexadecimal after 0x; false for anything
// else or a value outside [lo, hi].
bool parse_number(const std::string& text, int64_t lo, int64_t hi, int64_t* out) {
    return parse_int(text, lo, hi, out, PARSE_INT_HEX) == parse_int_error::none;
}

bool need_editor(ScriptSession& s, std::string* error) {
    if (s.editor()) return true;
    *error = "no music is open (use: open LIBRARY LEAF)";
    return false;
}

bool need_track(ScriptSession& s, std::string* error) {
    if (!need_editor(s, error)) return false;
    if (s.editor()->current()) return true;
    *error = "no current track (use: track NAME)";
    return false;
}

// A position of the current track: 0 to 2^31 - 1.
bool parse_position(const std::string& text, int32_t* out, std::string* error) {
    int64_t v = 0;
    if (!parse_number(text, INT64_MIN, INT64_MAX, &v)) {
        *error = "'" + text + "' is not a position";
        return false;
    }
    if (v < 0 || v > INT32_MAX) {
        *error = "position " + text + " is out of range (0 to 2147483647)";
        return false;
    }
    *out = static_cast<int32_t>(v);
    return true;
}

// The lines between two `group` lines are one gesture: each editing line joins the open undo
// group and leaves it open for the next.
class LineGesture {
public:
    explicit LineGesture(ScriptSession& s)
        : transaction_(*s.editor(), MedtTransaction::join_open) {}
    ~LineGesture() { transaction_.keep_open(); }
    MedtTransaction& transaction() { return transaction_; }

private:
    MedtTransaction transaction_;
};

// Posting a command: a failure undoes what the open group did before it, so that the music is
// never left half-changed, and is reported with the question that went unanswered, if any.
bool post(ScriptSession& s, MgenCommand* command, const std::string& what, std::string* error) {
    LineGesture line(s);
    const bool done = line.transaction().post(command);
    const std::string unanswered = s.port.take_failure();
    if (done && unanswered.empty()) return true;
    line.transaction().rollback();
    if (!unanswered.empty()) {
        *error = unanswered;
    } else if (command->state == MCMD_DECLINED) {
        *error = what + " was declined (the editor is read-only)";
    } else {
        *error = what + " failed";
    }
    return false;
}

// --- open, track, cursor, action -------------------------------------------------------------

bool step_open(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (line.args.size() != 2) {
        *error = "usage: open LIBRARY LEAF";
        return false;
    }
    return s.open(line.args[0], line.args[1], error);
}

// The names from below the music's root down to the track, joined by '/'.
CkvString path_below_root(const MedtTrack* t) {
    CkvString path;
    for (const MedtTrack* p = t; p && p->parent(); p = p->parent())
        path = path.empty() ? p->name() : CkvString(p->name() + "/" + path);
    return path;
}

MedtTrack* find_named_track(MedtMusicInvoker* editor, const std::string& name, std::string* error) {
    int64_t id = 0;
    if (name.size() > 2 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X') &&
        parse_number(name, 0, UINT32_MAX, &id)) {
        MedtTrack* t = editor->find_track(static_cast<MSEQ_ID>(id));
        if (!t) *error = "no track with the identifier " + name;
        return t;
    }
    const CkvString wanted = ckv_from_utf8(name);
    MedtTrack* bare = nullptr;
    int bare_count = 0;
    for (MedtTrack* t = editor->root(); t; t = t->next_in(editor->root())) {
        if (t->parent() && path_below_root(t) == wanted) return t;
        if (t->name() == wanted) {
            bare = t;
            ++bare_count;
        }
    }
    if (bare_count == 1) return bare;
    *error = bare_count ? "the track name '" + name + "' is not unique; use its path or 0xID"
                        : "unknown track '" + name + "'";
    return nullptr;
}

bool step_track(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!need_editor(s, error)) return false;
    if (line.rest.empty()) {
        *error = "usage: track NAME|0xID";
        return false;
    }
    MedtTrack* t = find_named_track(s.editor(), line.rest, error);
    if (!t) return false;
    if (!s.editor()->set_cursor(t, 0, 0)) {
        *error = "the cursor cannot be put on '" + line.rest + "'";
        return false;
    }
    return true;
}

bool step_cursor(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!need_track(s, error)) return false;
    if (line.args.empty() || line.args.size() > 2) {
        *error = "usage: cursor POS [END]";
        return false;
    }
    int32_t pos = 0, end = 0;
    if (!parse_position(line.args[0], &pos, error)) return false;
    end = pos;
    if (line.args.size() == 2 && !parse_position(line.args[1], &end, error)) return false;
    return s.editor()->set_cursor(s.editor()->current(), pos, end);
}

bool step_action(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!need_track(s, error)) return false;
    static const int known[] = {11, 12, 21, 22, 23,  24,  31,  32,  33,  34,  41,
                                42, 43, 44, 51, 121, 122, 123, 124, 125, 126, 127};
    int64_t code = 0;
    if (line.args.size() != 1 || !parse_number(line.args[0], 0, 1000, &code)) {
        *error = "usage: action CODE";
        return false;
    }
    for (int k : known) {
        if (k == code) {
            LineGesture gesture(s);
            s.editor()->action(k);
            return true;
        }
    }
    *error = "unknown action " + line.args[0];
    return false;
}

// The drum sound of the word dictionary named `text` (its name in either language or its note
// number), named as the dictionary shows it now.
bool drum_sound(const std::string& text, MseqBlockWord* sound) {
    int64_t note = -1;
    if (!parse_number(text, 0, 127, &note)) note = -1;
    const MseqBlockWord* named = MseqMapWord::builtin_named(MWORD_DRUM_SOUND, ckv_from_utf8(text));
    for (const auto& [key, word] : MseqMapWord::builtin().words()) {
        if (word.m_Attrib != MWORD_DRUM_SOUND) continue;
        if ((named && word.m_Index == named->m_Index) ||
            static_cast<int64_t>(word.m_Index) == note) {
            *sound = word;
            return true;
        }
    }
    return false;
}

// MVC_ADD_RHYTHM SOUND: the rhythm note track, with the drum sound the view's pop-up would offer.
bool add_rhythm_track(ScriptSession& s, const ScriptLine& line, std::string* error) {
    MseqBlockWord sound;
    if (line.args.size() != 2) {
        *error = "usage: command " + std::to_string(MVC_ADD_RHYTHM) + " SOUND";
        return false;
    }
    if (!drum_sound(line.args[1], &sound)) {
        *error = "'" + line.args[1] + "' is not a drum sound";
        return false;
    }
    LineGesture gesture(s);
    s.editor()->add_rhythm_track(sound);
    return true;
}

// A menu command of the music view or its track list (MedtViewCommandId; the rhythm track's
// takes the drum sound as a second word).
bool step_command(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!need_track(s, error)) return false;
    int64_t id = 0;
    if (!line.args.empty() && line.args[0] == std::to_string(MVC_ADD_RHYTHM))
        return add_rhythm_track(s, line, error);
    if (line.args.size() != 1 || !parse_number(line.args[0], 0, INT32_MAX, &id)) {
        *error = "usage: command ID";
        return false;
    }
    LineGesture gesture(s);
    if (!s.editor()->command(static_cast<int>(id))) {
        *error = "unknown command " + line.args[0];
        return false;
    }
    const std::string unanswered = s.port.take_failure();
    if (!unanswered.empty()) *error = unanswered;
    return unanswered.empty();
}

// Dropping a marker of the referenced phrase on the phrase block at POS: renames its start
// marker, or with `all` every matching reference of the track (after a question).
bool step_rename_markers(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!need_track(s, error)) return false;
    const bool all = line.args.size() == 3 && line.args[2] == "all";
    if (line.args.size() != 2 && !all) {
        *error = "usage: rename-markers POS TEXT [all]";
        return false;
    }
    int32_t pos = 0;
    if (!parse_position(line.args[0], &pos, error)) return false;
    const int asked = s.port.questions();
    LineGesture gesture(s);
    const int done = s.editor()->current()->drop_marker(pos, ckv_from_utf8(line.args[1]), all);
    const std::string unanswered = s.port.take_failure();
    if (!unanswered.empty()) {
        *error = unanswered;
        return false;
    }
    if (!done && s.port.questions() == asked) {  // a No to the question is not a failure
        *error = "no phrase block renamed at " + line.args[0];
        return false;
    }
    return true;
}

// --- property --------------------------------------------------------------------------------

// Renaming the current track in place, as in the track list (an empty name gives the track
// its type's name).
bool step_rename(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!need_track(s, error)) return false;
    if (line.args.size() > 1) {
        *error = "usage: rename NAME (quote a name with spaces)";
        return false;
    }
    MseqBlockWord name;
    name.m_Name = ckv_from_utf8(line.args.empty() ? std::string() : line.args[0]);
    auto command = mcmd_make<McmdSetProperty>(s.editor()->current()->id(), MROW_NAME, name);
    return post(s, command.get(), "renaming the track", error);
}

// What went wrong in setting property `no` to `text`; empty when nothing did.
std::string property_problem(MedtPropertyProblem problem, const std::string& no,
                             const std::string& text) {
    switch (problem) {
        case MedtPropertyProblem::None:
            return std::string();
        case MedtPropertyProblem::NoRow:
            return "the track has no property " + no;
        case MedtPropertyProblem::DisplayOnly:
            return "property " + no + " is display only";
        case MedtPropertyProblem::NotANumber:
            return "property " + no + " needs a number, not '" + text + "'";
        case MedtPropertyProblem::BadChoiceIndex:
            return "'" + text + "' does not name a choice";
        case MedtPropertyProblem::NoSuchChoice:
            return "property " + no + " has no choice " + text;
        case MedtPropertyProblem::NotAChoice:
            return "'" + text + "' is neither a choice of property " + no + " nor a number";
        case MedtPropertyProblem::Declined:
            return "setting property " + no + " was declined (the editor is read-only)";
        case MedtPropertyProblem::Failed:
            break;
    }
    return "setting property " + no + " failed";
}

// The node an identifier names from the music: a track of it (file number 1), a leaf of its own
// book (file number 2), or any node of the library.
const MseqObject* node_named(MseqMusic* music, MSEQ_ID id) {
    const uint32_t file = mseq_file_number(id);
    if (file == MFILE_TRACKS || file == MFILE_OWN_BOOK) return music->find(id);
    MseqObject* room_node = music->owner ? mseq_find_room_ancestor(music->owner) : nullptr;
    ref_ptr<MseqEntity> room = room_node ? mseq_open(room_node) : nullptr;
    auto* rooms = room ? room->cast_to<MseqRoom>(MTYPE_ROOM) : nullptr;
    return rooms ? rooms->find(id) : nullptr;
}

// A link row takes the node `text` names by its identifier, through the editor's link rule; 0
// clears the link.
bool set_link(ScriptSession& s, MedtTrack* t, int32_t number, const std::string& text,
              std::string* error) {
    const std::string no = std::to_string(number);
    int64_t id = 0;
    if (!parse_number(text, 0, UINT32_MAX, &id)) {
        *error = "property " + no + " links a node: give its identifier, not '" + text + "'";
        return false;
    }
    if (id == 0) {
        auto clear = mcmd_make<McmdSetProperty>(t->id(), number, MseqBlockWord());
        return post(s, clear.get(), "clearing property " + no, error);
    }
    const MseqObject* node = node_named(s.editor()->music(), static_cast<MSEQ_ID>(id));
    if (!node) {
        *error = "no node with the identifier " + text;
        return false;
    }
    switch (s.editor()->link_node(t->id(), number, node)) {
        case MedtLink::linked:
            return true;
        case MedtLink::other_music:
            *error = text + " is a track of another music";
            return false;
        case MedtLink::other_book:
            *error = text + " is a leaf of another book than the music's";
            return false;
        default:
            *error = "property " + no + " cannot link " + text;
            return false;
    }
}

bool step_property(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!need_track(s, error)) return false;
    int64_t number = 0;
    if (line.args.empty() || !parse_number(line.args[0], 1, 1000, &number)) {
        *error = "usage: property NO TEXT";
        return false;
    }
    // The text after the number, as typed.
    std::string text = line.rest;
    const size_t after = text.find_first_of(" \t");
    text = after == std::string::npos ? "" : text.substr(text.find_first_not_of(" \t", after));
    // A link row takes a node by its identifier, through the editor's link rule.
    MedtTrack* t = s.editor()->current();
    const MedtPropertyRow* row = t->property_row(static_cast<int32_t>(number));
    if (row && row->style == MPS_LINK) return set_link(s, t, row->number, text, error);
    const MedtPropertyProblem problem = MedtPropertyEdit::set_text(
        *s.editor(), *t, static_cast<int32_t>(number), ckv_from_utf8(text));
    // A question the script left unanswered is the reason the change failed.
    const std::string unanswered = s.port.take_failure();
    *error =
        unanswered.empty() ? property_problem(problem, std::to_string(number), text) : unanswered;
    return error->empty();
}

// --- block -----------------------------------------------------------------------------------

// One settable field of a block: its name and how a text sets it.
template <class Block>
struct Field {
    const char* name;
    std::function<bool(Block&, const std::string&)> set;
};

template <class Block, class T>
Field<Block> number_field(const char* name, T Block::*member) {
    return {name, [member](Block& b, const std::string& text) {
                int64_t v = 0;
                const int64_t lo = std::is_signed_v<T> ? std::numeric_limits<T>::min() : 0;
                const int64_t hi = static_cast<int64_t>(std::numeric_limits<T>::max());
                if (!parse_number(text, lo, hi, &v)) return false;
                b.*member = static_cast<T>(v);
                return true;
            }};
}

template <class Block>
Field<Block> text_field(const char* name, CkvString Block::*member) {
    return {name, [member](Block& b, const std::string& text) {
                b.*member = ckv_from_utf8(text);
                return true;
            }};
}

template <class Block>
bool set_fields(Block& block, const std::vector<Field<Block>>& fields, const char* record,
                const std::vector<std::string>& assignments, std::string* error) {
    for (const std::string& a : assignments) {
        const size_t eq = a.find('=');
        const std::string name = a.substr(0, eq);
        const Field<Block>* field = nullptr;
        for (const Field<Block>& f : fields) {
            if (name == f.name) field = &f;
        }
        if (eq == std::string::npos || !field) {
            *error = eq == std::string::npos ? "'" + a + "' is not FIELD=VALUE"
                                             : "unknown field '" + name + "' of " + record;
            return false;
        }
        if (!field->set(block, a.substr(eq + 1))) {
            *error = "'" + a.substr(eq + 1) + "' is not a value for " + name;
            return false;
        }
    }
    return true;
}

std::unique_ptr<MseqBlock> make_note(const std::vector<std::string>& a, std::string* error) {
    auto n = std::make_unique<MseqBlockNote>();
    static const std::vector<Field<MseqBlockNote>> fields = {
        number_field("m_Flags", &MseqBlockNote::m_Flags),
        number_field("m_Type", &MseqBlockNote::m_Type),
        number_field("m_Length", &MseqBlockNote::m_Length),
        number_field("m_STime", &MseqBlockNote::m_STime),
        number_field("m_ETime", &MseqBlockNote::m_ETime),
        number_field("m_Octave", &MseqBlockNote::m_Octave),
        number_field("m_Whole", &MseqBlockNote::m_Whole),
        number_field("m_Semi", &MseqBlockNote::m_Semi),
        number_field("m_Velocity", &MseqBlockNote::m_Velocity),
    };
    if (!set_fields(*n, fields, "MSEQ_BLOCK_NOTE", a, error)) return nullptr;
    // A type outside the five becomes a tone note; the pitch is brought into its type's range.
    if (n->m_Type < MNBT_PURE || n->m_Type > MNBT_RHYTHM) n->m_Type = MNBT_TONE;
    mseq_note_normalize(*n, 0);
    return n;
}

std::unique_ptr<MseqBlock> make_refer(const std::vector<std::string>& a, std::string* error) {
    auto r = std::make_unique<MseqBlockRefer>();
    static const std::vector<Field<MseqBlockRefer>> fields = {
        number_field("m_Length", &MseqBlockRefer::m_Length),
        number_field("m_PhraseID", &MseqBlockRefer::m_PhraseID),
        text_field("m_StartMarker", &MseqBlockRefer::m_StartMarker),
        number_field("m_Rotation", &MseqBlockRefer::m_Rotation),
        number_field("m_Mode", &MseqBlockRefer::m_Mode),
    };
    if (!set_fields(*r, fields, "MSEQ_BLOCK_REFER", a, error)) return nullptr;
    if (r->m_Mode < MRBM_BLOCK_KEEP || r->m_Mode > MRBM_STRETCH) r->m_Mode = MRBM_BLOCK_CUT;
    return r;
}

std::unique_ptr<MseqBlock> make_chord(const std::vector<std::string>& a, std::string* error) {
    auto c = std::make_unique<MseqBlockChord>();
    static const std::vector<Field<MseqBlockChord>> fields = {
        text_field("m_Type", &MseqBlockChord::m_Type),
        number_field("m_Flags", &MseqBlockChord::m_Flags),
        number_field("m_DescOctave", &MseqBlockChord::m_DescOctave),
        number_field("m_DescDegree", &MseqBlockChord::m_DescDegree),
        number_field("m_Octave", &MseqBlockChord::m_Octave),
        number_field("m_Root", &MseqBlockChord::m_Root),
    };
    if (!set_fields(*c, fields, "MSEQ_BLOCK_CHORD", a, error)) return nullptr;
    c->normalize();
    return c;
}

std::unique_ptr<MseqBlock> make_label(const std::vector<std::string>& a, std::string* error) {
    auto l = std::make_unique<MseqBlockLabel>();
    static const std::vector<Field<MseqBlockLabel>> fields = {
        text_field("m_Label", &MseqBlockLabel::m_Label)};
    if (!set_fields(*l, fields, "MSEQ_BLOCK_LABEL", a, error)) return nullptr;
    return l;
}

std::unique_ptr<MseqBlock> make_value(const std::vector<std::string>& a, std::string* error) {
    auto v = std::make_unique<MseqBlockValue>();
    static const std::vector<Field<MseqBlockValue>> fields = {
        number_field("m_Value", &MseqBlockValue::m_Value)};
    if (!set_fields(*v, fields, "MSEQ_BLOCK_VALUE", a, error)) return nullptr;
    return v;
}

std::unique_ptr<MseqBlock> make_link(const std::vector<std::string>& a, std::string* error) {
    auto k = std::make_unique<MseqBlockLink>();
    static const std::vector<Field<MseqBlockLink>> fields = {
        number_field("m_LinkID", &MseqBlockLink::m_LinkID)};
    if (!set_fields(*k, fields, "MSEQ_BLOCK_LINK", a, error)) return nullptr;
    return k;
}

// The block of the track's kind built from the field assignments; nullptr with a reason.
std::unique_ptr<MseqBlock> make_block(MseqTrack* track, const std::vector<std::string>& a,
                                      std::string* error) {
    if (track->cast(MTYPE_TRACK_NOTE)) return make_note(a, error);
    if (track->cast(MTYPE_TRACK_REFER)) return make_refer(a, error);
    if (track->cast(MTYPE_TRACK_CHORD)) return make_chord(a, error);
    if (track->cast(MTYPE_TRACK_LABEL)) return make_label(a, error);
    if (track->cast(MTYPE_TRACK_VALUE)) {
        auto v = make_value(a, error);
        // A value that is not set takes the track's default (a tempo of 120, ...).
        bool named = false;
        for (const std::string& f : a)
            named = named || f.rfind("m_Value=", 0) == 0;
        if (v && !named) static_cast<MseqBlockValue*>(v.get())->m_Value = track->value_default();
        return v;
    }
    if (track->cast(MTYPE_TRACK_LINK)) return make_link(a, error);
    *error = "the current track holds no blocks";
    return nullptr;
}

bool step_block(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!need_track(s, error)) return false;
    if (line.args.empty()) {
        *error = "usage: block POS FIELD=VALUE... | block POS none";
        return false;
    }
    int32_t pos = 0;
    if (!parse_position(line.args[0], &pos, error)) return false;
    MedtTrack* t = s.editor()->current();
    MseqTrack* track = t->stored();
    if (!track || !track->is_sequence()) {
        *error = "the current track holds no blocks";
        return false;
    }
    std::unique_ptr<MseqBlock> block;
    const std::vector<std::string> fields(line.args.begin() + 1, line.args.end());
    if (!(fields.size() == 1 && fields[0] == "none")) {
        block = make_block(track, fields, error);
        if (!block) return false;
    }
    auto command = mcmd_make<McmdSetBlock>(t->id(), pos, std::move(block));
    return post(s, command.get(), "setting the block at " + line.args[0], error);
}

// --- group, undo -----------------------------------------------------------------------------

bool step_group(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!need_editor(s, error)) return false;
    MedtTransaction(*s.editor(), MedtTransaction::join_open).commit();
    return true;
}

bool step_undo(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!need_editor(s, error)) return false;
    s.editor()->undo();
    return true;
}

bool step_redo(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!need_editor(s, error)) return false;
    s.editor()->redo();
    return true;
}

// --- print -----------------------------------------------------------------------------------

bool print_cursor(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!need_track(s, error)) return false;
    MedtMusicInvoker* e = s.editor();
    std::printf("track 0x%08x %s pos %d end %d\n", e->current()->id(),
                ckv_to_utf8(e->current()->name()).c_str(), e->cursor(), e->selection_end());
    return true;
}

bool print_properties(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!need_track(s, error)) return false;
    MedtTrack* t = s.editor()->current();
    std::vector<MedtProperty> rows;
    t->build_properties(rows);
    for (const MedtProperty& p : rows) {
        std::printf("%d\t%s\t0x%x\t%s\n", p.number, ckv_to_utf8(p.name).c_str(), p.style,
                    ckv_to_utf8(t->property_text(p.number, nullptr)).c_str());
    }
    return true;
}

bool print_tracks(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!need_editor(s, error)) return false;
    MedtTrack* root = s.editor()->root();
    for (MedtTrack* t = root; t; t = t->next_in(root)) {
        int depth = 0;
        for (MedtTrack* p = t; p->parent(); p = p->parent())
            ++depth;
        const MSEQ_TYPE type = t->node() ? t->node()->type : 0;
        // The type's constant name; types without one (the transposition track) in hexadecimal.
        const char* constant = mseq_type_constant(type);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%x", type);
        std::printf("%*s0x%08x %s %s\n", depth * 2, "", t->id(), constant ? constant : hex,
                    ckv_to_utf8(t->name()).c_str());
    }
    return true;
}

bool print_undo(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!need_editor(s, error)) return false;
    std::printf("%zu\n", s.editor()->history().group_count());
    return true;
}

bool print_redo(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!need_editor(s, error)) return false;
    std::printf("%zu\n", s.editor()->history().redo_group_count());
    return true;
}

// The keys playback sounds on the current track: one line per note, by tick then key, over
// [FROM, TO) (the whole music without them).
bool print_keys(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!need_track(s, error)) return false;
    if (line.args.size() > 2) {
        *error = "usage: print keys [FROM [TO]]";
        return false;
    }
    int32_t from = 0;
    int32_t to = INT32_MAX;
    if (!line.args.empty() && !parse_position(line.args[0], &from, error)) return false;
    if (line.args.size() == 2 && !parse_position(line.args[1], &to, error)) return false;
    const MseqObject* node = s.editor()->current()->node();
    if (node->type != MTYPE_TRACK_NOTE && node->type != MTYPE_TRACK_REFER) {
        *error = "the current track is not a note or phrase track";
        return false;
    }
    const MplyResolvedKeys keys =
        MplyKeyLane::resolve_track(*s.editor()->music(), node->id, from, to);
    for (const MplyLaneNote& n : keys.notes)
        std::printf("%d %u %u %d\n", n.tick, n.key, n.velocity, n.length);
    if (keys.map_missing) std::fputs("# no chord map: keys as played without one\n", stderr);
    return true;
}

// --- save ------------------------------------------------------------------------------------

bool step_save(ScriptSession&, const ScriptLine&, std::string* error) {
    MseqDesk& desk = MseqDesk::instance();
    std::vector<ref_ptr<MseqEntity>> members;
    for (auto& [entity, ref] : desk.modified)
        members.push_back(ref);
    for (auto& e : members) {
        if (!(e->flags & MEF_MODIFIED)) continue;
        const std::string host = kv_fs::to_host(e->full_path.str());
        // The desk's store is the record compiler; asked directly it also says why.
        kv_fs::file_error why;
        if (!MrecCompiler::save(e.get(), &why)) {
            *error = "cannot save " + (host.empty() ? ckv_to_utf8(e->full_path) : host);
            if (why.kind != kv_fs::file_error::none) *error += ": " + why.text();
            return false;
        }
        std::printf("%s\n", host.empty() ? ckv_to_utf8(e->full_path).c_str() : host.c_str());
    }
    return true;
}

}  // namespace

const std::vector<ScriptVerb>& script_edit_verbs() {
    static const std::vector<ScriptVerb> verbs = {
        {"open", step_open, "LIBRARY LEAF: open a music or phrase of a library in its editor"},
        {"track", step_track,
         "NAME|0xID: choose the current track by its path below the root, its unique name or its "
         "id"},
        {"cursor", step_cursor, "POS [END]: place the cursor (and select up to END)"},
        {"action", step_action, "CODE: a cursor action (11-51) or edit action (121-127)"},
        {"command", step_command,
         "ID [SOUND]: a menu command of the view (adding a drum note takes its drum sound)"},
        {"rename-markers", step_rename_markers,
         "POS TEXT [all]: rename the start marker of the phrase block at POS (or of every matching "
         "one)"},
        {"property", step_property, "NO TEXT: type TEXT into property NO (#K picks choice K)"},
        {"rename", step_rename, "[NAME]: rename the current track (no name: its type's name)"},
        {"block", step_block,
         "POS FIELD=VALUE...|none: set the fields of the block at POS, or erase it"},
        {"group", step_group, ": close the undo group"},
        {"undo", step_undo, ": undo the last group"},
        {"redo", step_redo, ": redo the last undone group"},
        {"print cursor", print_cursor, ": the cursor"},
        {"print properties", print_properties, ": the current track's properties"},
        {"print tracks", print_tracks, ": the track tree"},
        {"print undo", print_undo, ": the undo history"},
        {"print redo", print_redo, ": the number of groups that can be redone"},
        {"print keys", print_keys,
         "[FROM [TO]]: TICK KEY VELOCITY LENGTH of every note the current track sounds"},
        {"save", step_save, ": save every changed file and print its path"},
    };
    return verbs;
}

}  // namespace kv_ui
