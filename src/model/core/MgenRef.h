#pragma once

#include <atomic>
#include <cstdint>

#include "model/core/ref_ptr.h"

// Reference-counted base of commands and observers. A new object holds one reference (its
// creator's); the object destroys itself when the count reaches 0. Counts change atomically, so
// a reference may be released from any thread that holds one.
class MgenRef {
public:
    MgenRef() = default;
    MgenRef(const MgenRef&) = delete;
    MgenRef& operator=(const MgenRef&) = delete;

    virtual ~MgenRef() = default;
    // Returns the new count. Any thread.
    virtual int32_t add_ref() { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }
    // Returns the new count; 0 means the object is gone. Any thread.
    virtual int32_t release() {
        int32_t n = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (n == 0) destroy();
        return n;
    }
    // The object itself when `kind` is its own kind or its family base's, else nullptr.
    virtual MgenRef* cast(uint32_t kind) { return kind == this->kind() ? this : nullptr; }
    virtual void destroy() { delete this; }
    // The class's kind code.
    virtual uint32_t kind() const = 0;
    virtual bool is_kind(uint32_t kind) { return cast(kind) != nullptr; }

    int32_t ref_count() const { return count_.load(std::memory_order_relaxed); }

private:
    std::atomic<int32_t> count_{1};
};

// Command states.
enum : uint32_t {
    MCMD_PENDING = 1,
    MCMD_DONE = 2,
    MCMD_DECLINED = 3,
    MCMD_FAILED = 4,
};

// Command flags.
enum : uint32_t {
    MCMD_TEST_ONLY = 0x1,    // run the checks, report success, change nothing
    MCMD_RECORD_UNDO = 0x2,  // record an undo command while executing
};

// A change posted to a data entity; after execution it may carry the command that undoes it.
// Commands run on the user-interface thread.
class MgenCommand : public MgenRef {
public:
    ~MgenCommand() override = default;

    // Releases a detached node the command owns (snapshots, clipboard copies); nothing here.
    virtual void release_payload() {}

    uint32_t flags = 0;
    uint32_t state = MCMD_PENDING;
    ref_ptr<MgenCommand> undo;  // set by the execution when MCMD_RECORD_UNDO was asked
};

// The observer an editor attaches to the entity it edits: it takes part in running the commands
// posted to that entity. User-interface thread only.
class MgenNotify : public MgenRef {
public:
    // Reserved slot kept so that the observer's operations keep their places.
    virtual void spare() {}
    // Non-zero when the observer carried the command out.
    virtual int execute(MgenCommand* command) = 0;
    // Zero to decline the command.
    virtual int validate(MgenCommand* command) = 0;
    virtual void finish(MgenCommand* command) = 0;
};
