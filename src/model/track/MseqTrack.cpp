#include "model/track/MseqTrack.h"

#include "model/core/MseqId.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackRoot.h"

int MseqTrack::validate() {
    m_Beat = static_cast<int32_t>(mseq_clamp(m_Beat, kMinBeat, kMaxBeat));
    return 1;
}

MseqMusic* MseqTrack::owning_music() const {
    if (!owner) return nullptr;
    const MseqObject* top = owner;
    while (top->parent())
        top = top->parent();
    MseqEntity* e = top->entity();
    auto* root = e ? e->cast_to<MseqTrackRootMusic>(MTYPE_TRACK_ROOT_MUSIC) : nullptr;
    return root ? root->music : nullptr;
}

void MseqTrack::execute(MgenCommand* command) {
    if (MseqMusic* music = owning_music()) {
        music->execute(command);
        return;
    }
    MseqEntity::execute(command);
}

bool MseqTrack::copy_to(MseqTrack* other) const {
    if (!other || other == this || !other->cast(type())) return false;
    copy_settings_into(*other);
    return true;
}

void MseqTrack::copy_settings_into(MseqTrack& other) const {
    other.m_Beat = m_Beat;
    other.m_Flags = m_Flags;
}

MseqTrack* MseqTrack::make_detached_copy(MseqObject* detached) const {
    if (!detached) return nullptr;
    if (detached->id != 0 && mseq_file_number(detached->id) != MFILE_DETACHED) return nullptr;
    const MSEQ_ID id = mseq_make_id(MFILE_DETACHED, owner ? mseq_serial(owner->id) : 0);
    const CkvString& track_name = owner ? owner->name : name;
    // The fresh track is made on a stand-in node first, so that a type without a class of its
    // own (the bare value, label and link bases) leaves the node as it was.
    MseqObject stand_in(id, type(), track_name, MseqDescPath(kPathWith));
    if (!mseq_factory(&stand_in)) return nullptr;
    ref_ptr<MseqEntity> fresh(stand_in.entity());
    stand_in.release_entity();
    auto* copy = fresh->cast_to<MseqTrack>(MTYPE_TRACK);
    if (!copy || !detached->set(id, type(), track_name, MseqDescPath(kPathWith))) return nullptr;
    // A store replaces whatever the node held before, a whole stored subtree included.
    while (MseqObject* child = detached->first_child())
        delete child;
    copy->owner = detached;
    detached->attach(fresh.detach());
    copy_settings_into(*copy);
    copy->stored_length = 0;
    return copy;
}

bool MseqTrack::store_range(int32_t a, int32_t from, int32_t to, MseqObject* detached) const {
    // Tracks without blocks have nothing to convert: the length is kept in their own grid as
    // far as it goes.
    if (a <= 0) return false;
    const int64_t span = (static_cast<int64_t>(to) - from) * m_Beat / a;
    MseqTrack* copy = make_detached_copy(detached);
    if (!copy) return false;
    copy->stored_length = static_cast<int32_t>(mseq_clamp(span < 0 ? -span : span, 0, INT32_MAX));
    return true;
}

bool MseqTrack::set_grid_when_empty(int32_t) {
    return false;
}

bool MseqTrack::change_grid(int32_t, bool, MseqGridCounts*) {
    return false;
}

bool MseqTrack::set_channel(int32_t) {
    return false;
}

bool MseqTrack::set_block(int32_t, int32_t, const MseqBlock*) {
    return false;
}

bool MseqTrack::space(int32_t, int32_t, int32_t, uint32_t) {
    return false;
}

bool MseqTrack::erase(int32_t, int32_t, int32_t, uint32_t) {
    return false;
}

bool MseqTrack::cut(int32_t, int32_t, int32_t, uint32_t) {
    return false;
}

bool MseqTrack::insert(int32_t, int32_t, int32_t, MseqObject*, uint32_t, int64_t*) {
    return false;
}

bool MseqTrack::cover(int32_t, int32_t, int32_t, MseqObject*, uint32_t, int64_t*) {
    return false;
}

bool MseqTrack::replace(MseqReplace*) {
    return false;
}

MseqBlock* MseqTrack::get_block(int32_t, int32_t) {
    return nullptr;
}

int64_t MseqTrack::end_index(int32_t) const {
    return 0;
}

bool MseqTrack::clamp_value(MseqBlockValue*) const {
    return false;
}

bool MseqTrack::is_grid_beat(int32_t beat) {
    for (int32_t b : kGridBeats) {
        if (b == beat) return true;
    }
    return false;
}

int64_t MseqTrack::grid_factor(int32_t a) const {
    if (a <= 0 || m_Beat <= 0 || m_Beat % a != 0) return 0;
    return m_Beat / a;
}
