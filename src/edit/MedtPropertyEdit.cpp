#include "edit/MedtPropertyEdit.h"

#include <cstdint>
#include <string>

#include "edit/McmdTrack.h"
#include "edit/MedtMusic.h"
#include "edit/MedtPropertyRow.h"
#include "edit/MedtTrack.h"
#include "edit/MedtTransaction.h"
#include "model/core/parse_int.h"

namespace {

// A whole number: decimal with an optional sign, or 0x and hexadecimal digits, blanks around it
// ignored. A number too large for 64 bits is still a number: it is held at the end it is past.
// False for anything else.
bool whole_number(const std::string& text, int64_t* out) {
    return parse_int(text, INT64_MIN, INT64_MAX, out,
                     PARSE_INT_HEX | PARSE_INT_TRIM | PARSE_INT_CLAMP) == parse_int_error::none;
}

// The row of `track` that the list shows under `number`; nullptr when none.
const MedtPropertyRow* listed_row(const MedtTrack& track, int32_t number) {
    const MedtPropertyRow* row = track.property_row(number);
    return row && !(row->flags & MROWF_HIDDEN) ? row : nullptr;
}

// The value of a choice row for `text`: "#K" picks choice K; otherwise the choice whose text is
// `text`; otherwise a number.
MedtPropertyProblem choice_value(const MedtTrack& track, int32_t number, const CkvString& text,
                                 MseqBlockWord* value) {
    const std::string& s = text.str();
    if (!s.empty() && s[0] == '#') {
        int64_t k = 0;
        if (!whole_number(s.substr(1), &k) || k < 0 || k > INT32_MAX)
            return MedtPropertyProblem::BadChoiceIndex;
        const int answer = track.property_choice(number, static_cast<int32_t>(k), value, nullptr);
        return answer == MCHOICE_ITEM || answer == MCHOICE_CURRENT
                   ? MedtPropertyProblem::None
                   : MedtPropertyProblem::NoSuchChoice;
    }
    for (int32_t k = 0;; ++k) {
        MseqBlockWord candidate;
        CkvString shown;
        const int answer = track.property_choice(number, k, &candidate, &shown);
        if (answer != MCHOICE_ITEM && answer != MCHOICE_CURRENT) break;
        if (shown == text) {
            *value = candidate;
            return MedtPropertyProblem::None;
        }
    }
    int64_t v = 0;
    if (!whole_number(s, &v) || v < INT32_MIN || v > UINT32_MAX)
        return MedtPropertyProblem::NotAChoice;
    *value = MseqBlockWord(0, 0, static_cast<uint32_t>(v));
    return MedtPropertyProblem::None;
}

}  // namespace

MedtPropertyProblem MedtPropertyEdit::parse(const MedtTrack& track, int32_t number,
                                            const CkvString& text, MseqBlockWord* value) {
    const MedtPropertyRow* row = listed_row(track, number);
    if (!row) return MedtPropertyProblem::NoRow;
    const uint32_t style = track.row_style(*row);
    if (style == MPS_DISPLAY) return MedtPropertyProblem::DisplayOnly;
    if (style == MPS_CHOICE || style == MPS_CHOICE_CLEAR)
        return choice_value(track, number, text, value);
    if (row->flags & MROWF_TEXT) {
        MseqBlockWord typed;
        typed.m_Name = text;
        *value = typed;
        return MedtPropertyProblem::None;
    }
    int64_t v = 0;
    if (!whole_number(text.str(), &v)) return MedtPropertyProblem::NotANumber;
    if (style == MPS_LINK) {
        // An identifier: the row decides whether it names something it can link.
        if (v < 0 || v > UINT32_MAX) return MedtPropertyProblem::NotANumber;
        *value = MseqBlockWord(0, 0, static_cast<uint32_t>(v));
        return MedtPropertyProblem::None;
    }
    *value = medt_typed_number(v);  // clamped by the row, never wrapped
    return MedtPropertyProblem::None;
}

MedtPropertyProblem MedtPropertyEdit::set_text(MedtMusicInvoker& editor, MedtTrack& track,
                                               int32_t number, const CkvString& text) {
    MseqBlockWord value;
    const MedtPropertyProblem problem = parse(track, number, text, &value);
    if (problem != MedtPropertyProblem::None) return problem;
    return set_value(editor, track, number, value);
}

MedtPropertyProblem MedtPropertyEdit::set_choice(MedtMusicInvoker& editor, MedtTrack& track,
                                                 int32_t number, int32_t index) {
    const MedtPropertyRow* row = listed_row(track, number);
    if (!row) return MedtPropertyProblem::NoRow;
    if (track.row_style(*row) == MPS_DISPLAY) return MedtPropertyProblem::DisplayOnly;
    MseqBlockWord value;
    const int answer = track.property_choice(number, index, &value, nullptr);
    if (answer != MCHOICE_ITEM && answer != MCHOICE_CURRENT)
        return MedtPropertyProblem::NoSuchChoice;
    return set_value(editor, track, number, value);
}

MedtPropertyProblem MedtPropertyEdit::set_value(MedtMusicInvoker& editor, MedtTrack& track,
                                                int32_t number, const MseqBlockWord& value) {
    auto command = mcmd_make<McmdSetProperty>(track.id(), number, value);
    // One change, one gesture: an undo group of its own, rolled back when the command fails (a
    // beats change may have recorded before failing).
    if (MedtTransaction(editor).post(command.get())) return MedtPropertyProblem::None;
    return command->state == MCMD_DECLINED ? MedtPropertyProblem::Declined
                                           : MedtPropertyProblem::Failed;
}
