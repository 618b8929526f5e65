#include "model/core/MseqDesk.h"

#include <algorithm>
#include <vector>

#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqConfig.h"

namespace {

// The thread the desk is watched for; a watch costs every use one relaxed load when off.
std::atomic<bool> g_watching{false};
std::atomic<std::thread::id> g_owner{};
std::atomic<uint64_t> g_foreign_uses{0};

}  // namespace

MseqDesk& MseqDesk::instance() {
    static MseqDesk* const desk = new MseqDesk;
    if (g_watching.load(std::memory_order_relaxed) &&
        std::this_thread::get_id() != g_owner.load(std::memory_order_relaxed))
        g_foreign_uses.fetch_add(1, std::memory_order_relaxed);
    return *desk;
}

void MseqDesk::watch_thread(std::thread::id owner) {
    g_owner.store(owner, std::memory_order_relaxed);
    g_foreign_uses.store(0, std::memory_order_relaxed);
    g_watching.store(true, std::memory_order_release);
}

void MseqDesk::stop_watching() {
    g_watching.store(false, std::memory_order_release);
}

uint64_t MseqDesk::foreign_uses() {
    return g_foreign_uses.load(std::memory_order_relaxed);
}

ref_ptr<MseqEntity> MseqDesk::hand_out(MseqEntity* entity) {
    entity->access_stamp = next_stamp();
    return ref_ptr<MseqEntity>(entity);
}

ref_ptr<MseqEntity> MseqDesk::placeholder(MseqObject* node) {
    // The node keeps the placeholder, so it is not opened again until it is reset.
    MseqEmpty::instance()->add_ref();
    node->attach(MseqEmpty::instance());
    return hand_out(MseqEmpty::instance());
}

ref_ptr<MseqEntity> MseqDesk::open(MseqObject* node, MseqLoadProblem* problem) {
    if (problem) *problem = MseqLoadProblem{};
    if (MseqEntity* present = node->entity()) return hand_out(present);
    if (node->is_with()) {
        if (!mseq_factory(node)) return placeholder(node);
        return hand_out(node->entity());
    }
    MseqFullPath path;
    if (!mseq_path::resolve(node, false, &path)) return placeholder(node);

    auto cached = cache.find(path);
    if (cached != cache.end()) {
        MseqEntity* shared = cached->second.get();
        // An owned file (room, book, music) belongs to one node only.
        if (shared->type() != node->type || shared->owner || !add_link(shared, node))
            return placeholder(node);
        shared->add_ref();
        node->attach(shared);
        return hand_out(shared);
    }

    if (!mseq_factory(node)) return placeholder(node);
    MseqEntity* fresh = node->entity();
    if (!load(fresh, path, true, problem)) {
        // A file that cannot be read stays untouched on disk; the node shows no content.
        node->release_entity();
        return placeholder(node);
    }
    cache.emplace(path, ref_ptr<MseqEntity>(fresh));
    if (!fresh->owner && !add_link(fresh, node)) {
        cache.erase(path);
        return placeholder(node);
    }
    return hand_out(fresh);
}

bool MseqDesk::load(MseqEntity* entity, const MseqFullPath& path, bool commit,
                    MseqLoadProblem* problem) {
    if (problem) *problem = MseqLoadProblem{};
    if (!store_ || CkvString::compare_nocase(path, mseq_path::kWith) == 0) return false;
    return store_->load(entity, path, commit, problem);
}

bool MseqDesk::save(MseqEntity* entity) {
    return store_ && store_->save(entity);
}

void MseqDesk::mark_modified(MseqEntity* entity) {
    entity->flags |= MEF_MODIFIED;
    if (!is_modified_member(entity)) modified.emplace(entity, ref_ptr<MseqEntity>(entity));
}

void MseqDesk::clear_modified(MseqEntity* entity) {
    entity->flags &= ~MEF_MODIFIED;
    modified.erase(entity);
}

void MseqDesk::mark_new_for_save(MseqEntity* entity) {
    if ((entity->flags & MEF_NEW) && !(entity->flags & MEF_MODIFIED)) mark_modified(entity);
}

bool MseqDesk::revert(MseqEntity* entity, bool has_own_file) {
    ref_ptr<MseqEntity> hold(entity);
    clear_modified(entity);
    if (!has_own_file) return true;
    entity->reset();
    return load(entity, entity->full_path, true);
}

int MseqDesk::save_all_modified() {
    std::vector<ref_ptr<MseqEntity>> members;
    for (auto& [e, ref] : modified)
        members.push_back(ref);
    int failures = 0;
    for (auto& e : members) {
        if ((e->flags & MEF_MODIFIED) && !save(e.get())) ++failures;
    }
    return failures;
}

int MseqDesk::count_future_files() const {
    int n = 0;
    for (const auto& [path, e] : cache) {
        if ((e->flags & MEF_MODIFIED) && (e->flags & MEF_FUTURE)) ++n;
    }
    return n;
}

MgenRef* MseqDesk::editor_of(MseqEntity* entity) {
    auto it = open_.find(entity);
    if (it != open_.end()) return it->second.get();
    MgenRef* editor = entity->create_editor_model();
    if (!editor) return nullptr;
    open_.emplace(entity, ref_ptr<MgenRef>::adopt(editor));
    return editor;
}

void MseqDesk::close_editor(MseqEntity* entity) {
    open_.erase(entity);
    trim_cache();
}

bool MseqDesk::add_link(MseqEntity* entity, MseqObject* node) {
    auto [first, last] = links_.equal_range(entity);
    for (auto it = first; it != last; ++it) {
        if (it->second.id == node->id) return false;
    }
    links_.emplace(entity, Link{node->id, node});
    return true;
}

void MseqDesk::forget(MseqEntity* entity, MSEQ_ID node_id, bool owned) {
    auto [first, last] = links_.equal_range(entity);
    for (auto it = first; it != last; ++it) {
        if (it->second.id == node_id) {
            links_.erase(it);
            break;
        }
    }
    if (owned) erase_cache_entry(entity);
}

void MseqDesk::erase_cache_entry(MseqEntity* entity) {
    auto it = cache.find(entity->full_path);
    if (it != cache.end() && it->second.get() == entity) {
        cache.erase(it);
        return;
    }
    // The path may have changed since the entity was cached; find it by value.
    for (auto i = cache.begin(); i != cache.end(); ++i) {
        if (i->second.get() == entity) {
            cache.erase(i);
            return;
        }
    }
}

bool MseqDesk::unload(MseqEntity* entity) {
    if (open_.count(entity)) return false;
    ref_ptr<MseqEntity> hold(entity);  // counted below as one more reference
    const int32_t modified_ref = is_modified_member(entity) ? 1 : 0;
    const auto link_refs = static_cast<int32_t>(links_.count(entity));
    if (MseqObject* node = entity->owner) {
        if (link_refs != 0 || entity->ref_count() != 2 + modified_ref + 1) return false;
        clear_modified(entity);  // unsaved changes are dropped with the content
        erase_cache_entry(entity);
        if (node->entity() == entity) node->release_entity();
        return true;
    }
    if (entity->ref_count() != link_refs + modified_ref + 1 + 1) return false;
    std::vector<Link> users;
    auto [first, last] = links_.equal_range(entity);
    for (auto it = first; it != last; ++it)
        users.push_back(it->second);
    links_.erase(entity);
    for (const Link& u : users) {
        if (u.node->entity() == entity) u.node->release_entity();
    }
    clear_modified(entity);
    erase_cache_entry(entity);
    return true;
}

bool MseqDesk::cached(const MseqEntity* entity) const {
    for (const auto& [path, e] : cache) {
        if (e.get() == entity) return true;
    }
    return false;
}

void MseqDesk::trim_cache() {
    int32_t level = mseq_config().m_CacheLevel;
    if (level <= 0) level = 1;
    if (level > 5) return;
    const size_t keep = 10 * static_cast<size_t>(level);
    if (cache.size() <= keep) return;

    // Unloading one entity may drop others with it (a book takes its leaves along), so each
    // candidate is looked up again before it is touched.
    std::vector<MseqEntity*> candidates;
    for (auto& [path, e] : cache)
        candidates.push_back(e.get());
    for (MseqEntity* e : candidates) {
        if (cache.size() <= keep) break;
        if (!cached(e)) continue;
        const int32_t count = e->ref_count();
        const bool music_of_own_node =
            e->type() == MTYPE_LEAF_MUSIC && e->owner && e->owner->entity() == e;
        if (count == 1 || (count == 2 && music_of_own_node)) unload(e);
    }
    if (cache.size() <= 15 * static_cast<size_t>(level)) return;

    std::vector<MseqEntity*> shared;
    for (auto& [path, e] : cache) {
        if (!e->owner && e->ref_count() == static_cast<int32_t>(links_.count(e.get())) + 1)
            shared.push_back(e.get());
    }
    std::stable_sort(shared.begin(), shared.end(), [](const MseqEntity* a, const MseqEntity* b) {
        return a->access_stamp < b->access_stamp;
    });
    for (MseqEntity* e : shared) {
        if (cache.size() <= 20 * static_cast<size_t>(level)) break;
        if (cached(e)) unload(e);
    }
}
