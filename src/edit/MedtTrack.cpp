#include "edit/MedtTrack.h"

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

void MedtTrack::add_common_rows(std::vector<MedtProperty>& out) const {
    out.push_back(
        {1, MPS_DISPLAY, MPG_NORMAL, medt_text("名前"), medt_text("トラックの名前です。")});
    out.push_back({2, MPS_DISPLAY, MPG_NORMAL, medt_text("ID"),
                   medt_text("トラックやアイテムを識別する番号です。")});
    out.push_back({3, MPS_DISPLAY, MPG_NORMAL, medt_text("種類"),
                   medt_text("トラックやアイテムの種類です。")});
}

bool MedtTrack::common_text(int32_t number, CkvString* text) const {
    switch (number) {
        case 1:
            *text = name();
            return true;
        case 2:
            *text = medt_format("%08xh", id());
            return true;
        case 3:
            *text = mseq_type_name(node_ ? node_->type : 0);
            return true;
        default:
            return false;
    }
}

void MedtTrack::build_properties(std::vector<MedtProperty>& out) const {
    add_common_rows(out);
}

CkvString MedtTrack::property_text(int32_t number, uint32_t* style) const {
    CkvString text;
    if (style) *style = MPS_DISPLAY;
    common_text(number, &text);
    return text;
}

int MedtTrack::property_choice(int32_t, int32_t, MseqBlockWord*, CkvString*) const {
    return MCHOICE_NONE;
}

MseqBlockWord medt_typed_number(int64_t typed) {
    const int64_t held = typed < INT32_MIN ? INT32_MIN : typed > INT32_MAX ? INT32_MAX : typed;
    return MseqBlockWord(0, 0, static_cast<uint32_t>(static_cast<int32_t>(held)));
}

bool MedtTrack::set_property(int32_t number, const MseqBlockWord& value) {
    // The name is changed by renaming the track in place; every other common row is fixed.
    if (number != 1 || !node_) return false;
    node_->name = value.m_Name.empty() ? mseq_type_name(node_->type) : value.m_Name;
    if (MseqTrack* t = stored()) t->name = node_->name;
    return true;
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
    return medt_format(
        medt_text("表示拍数 ( %d ) にトラックの拍数 ( %d ) が一致しません。").c_str(),
        editor_->display_beats, beats());
}

int32_t MedtTrack::unit_width() const {
    if (!shown()) return 0;
    return editor_->display_beats / beats() * editor_->view_scale().beat_width;
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
