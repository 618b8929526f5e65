#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <set>

#include "model/CkvString.h"
#include "model/MseqEntity.h"
#include "model/MseqId.h"
#include "model/ref_ptr.h"

// Orders full paths the way the file system of the library compares them: ASCII letters
// without regard to case, CP932 characters exactly.
struct MseqPathLess {
    bool operator()(const CkvString& a, const CkvString& b) const {
        return CkvString::compare_nocase(a, b) < 0;
    }
};

// The process-wide register of loaded file entities: the access counter, the cache keyed by
// full path, the modified set and the records of which nodes use which shared entity.
// The counter is atomic; everything else belongs to the user-interface thread.
class MseqDesk {
public:
    // The one desk of the process, created on first use.
    static MseqDesk& instance();

    // Advances the global counter and returns its new value: the access stamp of an entity
    // that is being handed out. Any thread.
    uint32_t next_stamp() { return counter_.fetch_add(1, std::memory_order_relaxed) + 1; }

    // Stamps the entity and hands it out with an extra reference.
    ref_ptr<MseqEntity> hand_out(MseqEntity* entity);

    // Called before a node whose content has a file of its own drops its entity: forgets the
    // node's link record and, when the node owns the entity, the cache entry of its file.
    void forget(MseqEntity* entity, MSEQ_ID node_id, bool owned);

    // The cache of loaded files; each entry holds one reference.
    std::map<CkvString, ref_ptr<MseqEntity>, MseqPathLess> cache;
    // Entities with MEF_MODIFIED; each member holds one reference.
    std::map<MseqEntity*, ref_ptr<MseqEntity>> modified;
    // Which nodes use each shared entity.
    std::multimap<MseqEntity*, MSEQ_ID> links;

private:
    MseqDesk() = default;
    std::atomic<uint32_t> counter_{0};
};
