#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <thread>

#include "model/core/CkvString.h"
#include "model/core/MgenRef.h"
#include "model/core/MseqEntity.h"
#include "model/core/MseqFileStore.h"
#include "model/core/MseqId.h"
#include "model/core/MseqPath.h"
#include "model/core/ref_ptr.h"

class MseqObject;

// Orders full paths the way the library compares them: ASCII letters without regard to case,
// CP932 characters exactly.
struct MseqPathLess {
    bool operator()(const CkvString& a, const CkvString& b) const {
        return CkvString::compare_nocase(a, b) < 0;
    }
};

// The process-wide register of loaded file entities: the access counter, the cache keyed by
// full path, the open set of editors, the modified set and the records of which nodes use which
// shared entity. The counter is atomic; everything else belongs to the user-interface thread.
class MseqDesk {
public:
    // The one desk of the process, created on first use. User-interface thread (see
    // watch_thread).
    static MseqDesk& instance();

    // Starts counting the uses of the desk from any thread but `owner`: the desk, its cache and
    // the files behind it belong to one thread, and the engine's thread must never reach them.
    // Any thread; meant for tests and diagnostics.
    static void watch_thread(std::thread::id owner);
    // Stops counting (the count is kept). Any thread.
    static void stop_watching();
    // How many times the desk was used off the watched thread since watching began. Any thread.
    static uint64_t foreign_uses();

    // The reader and writer of files; nullptr until the application sets one, and then every
    // load and save fails.
    void set_store(MseqFileStore* store) { store_ = store; }
    MseqFileStore* store() const { return store_; }

    // Advances the global counter and returns its new value. Any thread.
    uint32_t next_stamp() { return counter_.fetch_add(1, std::memory_order_relaxed) + 1; }

    // Stamps the entity and hands it out with an extra reference.
    ref_ptr<MseqEntity> hand_out(MseqEntity* entity);

    // The node's content: present, created for "<with>", shared from the cache, or loaded from
    // its file; the placeholder when it cannot be had. Never nullptr. When the file was read
    // now, `problem` (may be null) receives why it gave no content (see MseqFileStore::load);
    // it is cleared otherwise.
    ref_ptr<MseqEntity> open(MseqObject* node, MseqLoadProblem* problem = nullptr);

    // Reads or writes through the store; false without one. `problem` as for the store.
    bool load(MseqEntity* entity, const MseqFullPath& path, bool commit,
              MseqLoadProblem* problem = nullptr);
    bool save(MseqEntity* entity);

    void mark_modified(MseqEntity* entity);
    void clear_modified(MseqEntity* entity);
    // Marks a new entity (never read or written) modified so that the next save creates its file.
    void mark_new_for_save(MseqEntity* entity);
    // Drops the entity's changes: leaves the modified set and, for content with a file of its
    // own, resets it and reads it again. False when the reading fails.
    bool revert(MseqEntity* entity, bool has_own_file);
    // Saves every modified entity; returns the number of failures.
    int save_all_modified();
    // The number of cached entities that are modified and came from a newer file format.
    int count_future_files() const;

    // The editor of an entity in the open set, created through the entity when it has none;
    // nullptr when the entity has no editor.
    MgenRef* editor_of(MseqEntity* entity);
    // Removes the entity's editor from the open set and trims the cache.
    void close_editor(MseqEntity* entity);

    // Drops an entity from the cache when nothing but the desk and its nodes use it; false when
    // it is open in an editor or held elsewhere.
    bool unload(MseqEntity* entity);
    // Shrinks the cache according to the configured cache level.
    void trim_cache();

    // Records that `node` uses the shared entity; false when it already does.
    bool add_link(MseqEntity* entity, MseqObject* node);
    size_t link_count(MseqEntity* entity) const { return links_.count(entity); }

    // Called before a node whose content has a file of its own drops its entity: forgets the
    // node's link record and, when the node owns the entity, the cache entry of its file.
    void forget(MseqEntity* entity, MSEQ_ID node_id, bool owned);

    // The cache of loaded files; each entry holds one reference.
    std::map<CkvString, ref_ptr<MseqEntity>, MseqPathLess> cache;
    // Entities with MEF_MODIFIED; each member holds one reference.
    std::map<MseqEntity*, ref_ptr<MseqEntity>> modified;

private:
    MseqDesk() = default;
    bool is_modified_member(MseqEntity* entity) const { return modified.count(entity) != 0; }
    bool cached(const MseqEntity* entity) const;
    void erase_cache_entry(MseqEntity* entity);
    ref_ptr<MseqEntity> placeholder(MseqObject* node);

    struct Link {
        MSEQ_ID id;
        MseqObject* node;
    };
    std::multimap<MseqEntity*, Link> links_;
    std::map<MseqEntity*, ref_ptr<MgenRef>> open_;
    MseqFileStore* store_ = nullptr;
    std::atomic<uint32_t> counter_{0};
};
