#include "edit/MedtTrack.h"

#include <algorithm>

#include "edit/McmdTrack.h"
#include "edit/MedtMetrics.h"
#include "edit/MedtMusic.h"
#include "edit/MedtText.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqType.h"
#include "model/track/MseqTrack.h"
#include "model/track/MseqTrackInherit.h"
#include "model/track/MseqTrackRoot.h"
#include "model/track/MseqTrackTree.h"

MseqTrack* MedtTrack::stored() const {
    MseqEntity* e = node_ ? node_->entity() : nullptr;
    return e ? e->cast_to<MseqTrack>(MTYPE_TRACK) : nullptr;
}

MSEQ_ID MedtTrack::id() const {
    return node_ ? node_->id : 0;
}

int32_t MedtTrack::row_height() const {
    return editor_->view_scale().row_height;
}

CkvString MedtTrack::name() const {
    return node_ ? node_->name : CkvString();
}

CkvString MedtTrack::display_name() const {
    return name();
}

CkvString MedtTrack::item_text(int32_t) const {
    return CkvString();
}

int MedtTrack::mouse_action(int32_t, uint32_t) {
    return 0;
}

MedtPropertyTable MedtTrack::property_rows() const {
    static constexpr MedtPropertyRow kCommonRows[] = {kMedtNameRow, kMedtIdRow, kMedtTypeRow};
    return kCommonRows;
}

const MedtPropertyRow* MedtTrack::property_row(int32_t number) const {
    for (const MedtPropertyRow& row : property_rows()) {
        if (row.number != number) continue;
        // A phrase's user picks the channel: its tracks have no channel rows.
        if ((row.flags & MROWF_CHANNEL) && in_phrase()) return nullptr;
        return &row;
    }
    return nullptr;
}

namespace {
// True for a per-channel row of a member of a group, which shows the group's channel.
bool ruled_by_group(const MedtTrack& track, const MedtPropertyRow& row) {
    return (row.flags & MROWF_CHANNEL) && track.in_group();
}
}  // namespace

uint32_t MedtTrack::row_style(const MedtPropertyRow& row) const {
    return ruled_by_group(*this, row) ? MPS_DISPLAY : row.style;
}

void MedtTrack::build_properties(std::vector<MedtProperty>& out) const {
    for (const MedtPropertyRow& row : property_rows()) {
        if (row.flags & MROWF_HIDDEN) continue;
        if ((row.flags & MROWF_CHANNEL) && in_phrase()) continue;
        const bool ruled = ruled_by_group(*this, row);
        out.push_back({row.number, ruled ? MPS_DISPLAY : row.style, ruled ? MPG_NORMAL : row.group,
                       medt_text(row.name), medt_text(row.help)});
    }
}

CkvString MedtTrack::property_text(int32_t number, uint32_t* style) const {
    const MedtPropertyRow* row = property_row(number);
    if (style) *style = row ? row_style(*row) : MPS_DISPLAY;
    return row && row->read ? row->read(*this, *row) : CkvString();
}

bool MedtTrack::property_is_text(int32_t number) const {
    const MedtPropertyRow* row = property_row(number);
    return row && (row->flags & MROWF_TEXT);
}

int MedtTrack::property_choice(int32_t number, int32_t index, MseqBlockWord* value,
                               CkvString* text) const {
    const MedtPropertyRow* row = property_row(number);
    if (!row || !row->choose || ruled_by_group(*this, *row)) return MCHOICE_NONE;
    return row->choose(*this, *row, index, value, text);
}

bool MedtTrack::set_property(int32_t number, const MseqBlockWord& value) {
    const MedtPropertyRow* row = property_row(number);
    if (!row || !row->write || ruled_by_group(*this, *row)) return false;
    return row->write(*this, *row, value);
}

MseqBlockWord medt_typed_number(int64_t typed) {
    const int64_t held = typed < INT32_MIN ? INT32_MIN : typed > INT32_MAX ? INT32_MAX : typed;
    return MseqBlockWord(0, 0, static_cast<uint32_t>(static_cast<int32_t>(held)));
}

int MedtTrack::drop_marker(int32_t, const CkvString&, bool) {
    return 0;
}

void MedtTrack::redraw_block(int32_t) {
    if (editor_->view) editor_->view->changed();
}

int MedtTrack::set_block(int32_t position, const MseqBlock* block) {
    auto* invoker = static_cast<MedtMusicInvoker*>(editor_->cast(MKIND_EDT_MUSIC_INVOKER));
    if (!invoker) return 0;
    auto command = mcmd_make<McmdSetBlock>(id(), position, block);
    invoker->execute(command.get());
    return command->state == MCMD_DONE ? command->result : 0;
}

int32_t MedtTrack::beats() const {
    MseqTrack* t = stored();
    return t && t->m_Beat > 0 ? t->m_Beat : 1;
}

bool MedtTrack::shown() const {
    return editor_->display_beats % beats() == 0;
}

CkvString MedtTrack::mismatch_text() const {
    if (shown()) return CkvString();
    return medt_format(medt_text(medt_msg::BEATS_MISMATCH).c_str(), editor_->display_beats,
                       beats());
}

int64_t MedtTrack::unit_width() const {
    if (!shown()) return 0;
    return int64_t{editor_->display_beats / beats()} * editor_->view_scale().beat_units;
}

int32_t MedtTrack::pos_x(int64_t pos) const {
    const int64_t x = MedtViewScale::x_of(pos, unit_width(), MedtViewScale::kBeatFraction);
    return static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX));
}

int32_t MedtTrack::pos_at(int32_t x) const {
    const int64_t p = MedtViewScale::at_x(x, unit_width(), MedtViewScale::kBeatFraction);
    return static_cast<int32_t>(std::clamp<int64_t>(p, INT32_MIN, INT32_MAX));
}

bool MedtTrack::in_group() const {
    return mseq_group_of(stored()) != nullptr;
}

bool MedtTrack::in_phrase() const {
    const MseqObject* top = node_;
    while (top && top->parent())
        top = top->parent();
    return top && top->type == MTYPE_TRACK_ROOT_PHRASE;
}
