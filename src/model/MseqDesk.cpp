#include "model/MseqDesk.h"

MseqDesk& MseqDesk::instance() {
    static MseqDesk* const desk = new MseqDesk;
    return *desk;
}

ref_ptr<MseqEntity> MseqDesk::hand_out(MseqEntity* entity) {
    entity->access_stamp = next_stamp();
    return ref_ptr<MseqEntity>(entity);
}

void MseqDesk::forget(MseqEntity* entity, MSEQ_ID node_id, bool owned) {
    auto [first, last] = links.equal_range(entity);
    for (auto it = first; it != last; ++it) {
        if (it->second == node_id) {
            links.erase(it);
            break;
        }
    }
    if (!owned) return;
    auto it = cache.find(entity->full_path);
    if (it != cache.end() && it->second.get() == entity) cache.erase(it);
}
