#pragma once

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "model/core/MseqEntity.h"
#include "model/core/MseqId.h"
#include "model/core/MseqType.h"
#include "model/core/ref_ptr.h"

class MseqMusic;

// Everything one run can reach, opened before the run starts: the tracks of the music played,
// its stage map, the chord maps and phrases its tracks name, and the same for every phrase
// reached, however deep. Each entity is held by a counted reference, so the run never depends
// on the desk's cache. The desk and the files belong to the user-interface thread; the engine's
// thread only reads this set and never opens anything itself.
class MplyRunSet {
public:
    // Opens, on the calling thread, everything a run of `music` can reach. Whatever cannot be
    // opened is simply absent, as the run would find it. Null only without memory, or for a
    // null music. User-interface thread.
    static std::shared_ptr<const MplyRunSet> collect(MseqMusic* music);
    // The set of a run of `music` in which the music's track `track` is played from `stand_in`
    // (a track of the same type, not part of the music, that stands in for it) and the phrase
    // `phrase` is reached under the identifier `as` of the music's own book: how one phrase is
    // heard as a track of the music would play it, while the music itself stays as it is. Null
    // as for collect, and when `stand_in` or `phrase` is null or `track` is not a track of the
    // music. User-interface thread.
    static std::shared_ptr<const MplyRunSet> collect_hearing(MseqMusic* music, MSEQ_ID track,
                                                             MseqEntity* stand_in, MSEQ_ID as,
                                                             MseqMusic* phrase);

    // The entity of the object `id` of `music` (a track, or a leaf of its own book) when the
    // run reaches it and it is of `type`; null otherwise. Any thread: the set does not change
    // once collected.
    ref_ptr<MseqEntity> object(const MseqMusic* music, MSEQ_ID id, MSEQ_TYPE type) const;
    // How many objects the set holds.
    size_t size() const { return objects_.size(); }

private:
    struct Reached {
        MSEQ_TYPE type;              // the node's type, read when the set was collected
        ref_ptr<MseqEntity> entity;  // never null
    };
    using Key = std::pair<const MseqMusic*, MSEQ_ID>;

    void add_music(MseqMusic* music);
    void add_leaf(MseqMusic* music, MSEQ_ID id);

    std::map<Key, Reached> objects_;
    std::vector<ref_ptr<MseqMusic>> musics_;  // every music and phrase reached, kept alive
};
