#pragma once

#include <atomic>
#include <cstdint>

#include "model/core/CkvString.h"
#include "model/core/MgenRef.h"
#include "model/core/MseqPath.h"
#include "model/core/MseqType.h"
#include "model/core/ref_ptr.h"

class MseqObject;
class MplyMusic;

// Entity flags.
enum : uint32_t {
    MEF_EDITING = 0x02,   // open in an editor, which observes it
    MEF_MODIFIED = 0x08,  // in the desk's modified set; will be saved
    MEF_FUTURE = 0x10,    // read from a file of a newer data format
    MEF_NEW = 0x20,       // not yet read from or written to its file
};

// The content of a node: the data a room, book, leaf or track holds. Reference counted: a new
// entity holds one reference (its creator's) and deletes itself when the last one is released.
// Counts change atomically, so any thread holding a reference may release it; every other field
// belongs to the user-interface thread.
class MseqEntity {
public:
    MseqEntity() = default;
    MseqEntity(const MseqEntity&) = delete;
    MseqEntity& operator=(const MseqEntity&) = delete;

    virtual ~MseqEntity();
    // The entity's object type; never fails.
    virtual MSEQ_TYPE type() const { return 0; }
    // The entity itself when `type` is its own type or a base's type, else nullptr. The base
    // entity answers no type at all.
    virtual MseqEntity* cast(MSEQ_TYPE type);
    // The editor object for this entity (music, chord map, stage map), or nullptr.
    virtual MgenRef* create_editor_model() { return nullptr; }
    // The player music compiled from this entity (musics and phrases), or nullptr.
    virtual MplyMusic* create_player_model() { return nullptr; }
    // Puts every field to its default and drops the content; 0 when the class has nothing to
    // reset.
    virtual int reset() { return 0; }
    // Clamps fields into range after loading; 0 rejects the content.
    virtual int validate() { return 1; }
    // Runs a command through the posting protocol; the command's state tells the outcome.
    virtual void execute(MgenCommand* command);
    // The protocol's execute step: the observer's execute, 0 without an observer.
    virtual int apply_command(MgenCommand* command);
    // The observer's validate, 0 without an observer.
    virtual int validate_command(MgenCommand* command);
    // The observer's finish; nothing without an observer.
    virtual void finish_command(MgenCommand* command);

    // Returns the new count. Any thread.
    int32_t add_ref() { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }
    // Returns the new count; at 0 the entity is deleted. Any thread.
    int32_t release();
    int32_t ref_count() const { return count_.load(std::memory_order_relaxed); }

    template <class T>
    T* cast_to(MSEQ_TYPE type) {
        return static_cast<T*>(cast(type));
    }

    MseqObject* owner = nullptr;  // the node this entity is the content of; none when shared
    uint32_t access_stamp = 0;    // the desk's counter when the entity was last handed out
    uint32_t flags = MEF_NEW;
    CkvString name;                // the owner node's name, copied when attached
    MseqFullPath full_path;        // the absolute path of the entity's own file
    ref_ptr<MgenNotify> observer;  // the editor's observer while the entity is open in one

private:
    std::atomic<int32_t> count_{1};
};

// The shared placeholder that stands for content that cannot be had (a missing or unreadable
// file). There is one per process and it is never deleted.
class MseqEmpty final : public MseqEntity {
public:
    // The process-wide placeholder; any thread.
    static MseqEmpty* instance();

    MSEQ_TYPE type() const override { return MTYPE_EMPTY; }
    MseqEntity* cast(MSEQ_TYPE type) override { return type == MTYPE_EMPTY ? this : nullptr; }

private:
    MseqEmpty() = default;
};
