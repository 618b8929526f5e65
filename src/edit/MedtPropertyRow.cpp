#include "edit/MedtPropertyRow.h"

#include "edit/MedtText.h"
#include "edit/MedtTrack.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqType.h"
#include "model/track/MseqTrack.h"

namespace {

// The text of `v` as the row shows it: moved by the row's offset (as a 32-bit wrap, so that a
// damaged file's extreme value still shows) and formatted.
CkvString row_number_text(const MedtPropertyRow& row, int32_t v) {
    const auto moved =
        static_cast<int32_t>(static_cast<uint32_t>(v) + static_cast<uint32_t>(row.shown_offset));
    return medt_format(row.format, moved);
}

}  // namespace

CkvString medt_read_number(const MedtTrack& track, const MedtPropertyRow& row) {
    const int32_t* v = row.field ? row.field(track) : nullptr;
    return v ? row_number_text(row, *v) : CkvString();
}

int medt_choose_number(const MedtTrack& track, const MedtPropertyRow& row, int32_t index,
                       MseqBlockWord* value, CkvString* text) {
    const int32_t* current = row.field ? row.field(track) : nullptr;
    if (!current) return MCHOICE_NONE;
    if (index < 0 || int64_t{index} > int64_t{row.range.hi} - row.range.lo) return MCHOICE_PAST_END;
    const int32_t v = row.range.lo + index;
    if (value) *value = MseqBlockWord(0, 0, static_cast<uint32_t>(v));
    if (text) *text = row_number_text(row, v);
    return v == *current ? MCHOICE_CURRENT : MCHOICE_ITEM;
}

bool medt_write_number(MedtTrack& track, const MedtPropertyRow& row, const MseqBlockWord& value) {
    int32_t* v = row.field ? row.field(track) : nullptr;
    if (!v) return false;
    *v = row.range.clamp(medt_word_number(value));
    return true;
}

CkvString medt_read_common(const MedtTrack& track, const MedtPropertyRow& row) {
    switch (row.number) {
        case MROW_NAME:
            return track.name();
        case MROW_ID:
            return medt_format("%08xh", track.id());
        case MROW_TYPE:
            return mseq_type_name(track.node() ? track.node()->type : 0);
        default:
            return CkvString();
    }
}

bool medt_write_name(MedtTrack& track, const MedtPropertyRow&, const MseqBlockWord& value) {
    // The name is changed by renaming the track in place.
    MseqObject* node = track.node();
    if (!node) return false;
    node->name = value.m_Name.empty() ? mseq_type_name(node->type) : value.m_Name;
    if (MseqTrack* t = track.stored()) t->name = node->name;
    return true;
}
