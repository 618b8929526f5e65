#include "play/engine/MplyRunSet.h"

#include <new>

#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrack.h"

std::shared_ptr<const MplyRunSet> MplyRunSet::collect(MseqMusic* music) {
    if (!music) return nullptr;
    try {
        auto set = std::make_shared<MplyRunSet>();
        set->add_music(music);
        return set;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::shared_ptr<const MplyRunSet> MplyRunSet::collect_hearing(MseqMusic* music, MSEQ_ID track,
                                                              MseqEntity* stand_in, MSEQ_ID as,
                                                              MseqMusic* phrase) {
    MseqObject* node = music ? music->find_track(track) : nullptr;
    if (!node || !stand_in || !phrase || !as) return nullptr;
    try {
        auto set = std::make_shared<MplyRunSet>();
        set->add_music(music);
        set->objects_.insert_or_assign(Key{music, node->id},
                                       Reached{node->type, ref_ptr<MseqEntity>(stand_in)});
        set->objects_.insert_or_assign(Key{music, as},
                                       Reached{MTYPE_LEAF_PHRASE, ref_ptr<MseqEntity>(phrase)});
        set->add_music(phrase);
        return set;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void MplyRunSet::add_music(MseqMusic* music) {
    for (const ref_ptr<MseqMusic>& known : musics_) {
        if (known.get() == music) return;  // a phrase that reaches itself again
    }
    musics_.emplace_back(music);
    std::vector<MSEQ_ID> leaves{music->m_MapStageID};
    for (MseqObject* top = music->root(); top; top = top->next()) {
        for (MseqObject* node = top; node; node = node->next_in(top)) {
            ref_ptr<MseqEntity> entity = mseq_open(node);
            if (auto* track = entity->cast_to<MseqTrack>(MTYPE_TRACK))
                track->linked_leaves(&leaves);
            objects_.insert_or_assign(Key{music, node->id}, Reached{node->type, std::move(entity)});
        }
    }
    for (MSEQ_ID id : leaves)
        add_leaf(music, id);
}

void MplyRunSet::add_leaf(MseqMusic* music, MSEQ_ID id) {
    if (!id || objects_.count(Key{music, id})) return;
    MseqObject* node = music->find(id);
    if (!node) return;
    ref_ptr<MseqEntity> entity = mseq_open(node);
    auto* phrase =
        node->type == MTYPE_LEAF_PHRASE ? entity->cast_to<MseqMusic>(MTYPE_LEAF_PHRASE) : nullptr;
    objects_.emplace(Key{music, id}, Reached{node->type, entity});
    if (phrase) add_music(phrase);
}

ref_ptr<MseqEntity> MplyRunSet::object(const MseqMusic* music, MSEQ_ID id, MSEQ_TYPE type) const {
    if (!id) return {};
    auto it = objects_.find(Key{music, id});
    if (it == objects_.end() || it->second.type != type) return {};
    if (!it->second.entity->cast(type)) return {};
    return it->second.entity;
}
