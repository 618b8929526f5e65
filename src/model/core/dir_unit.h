#pragma once

// Links of one node in an ordered tree: parent, siblings and first/last child. T is the node
// class that derives from dir_unit<T>. A node owns its children: destroying it destroys them.
// Tree links are changed only by the thread that runs the user's commands.
template <class T>
class dir_unit {
public:
    dir_unit() = default;
    dir_unit(const dir_unit&) = delete;
    dir_unit& operator=(const dir_unit&) = delete;

    // The node as its most derived class.
    virtual T* self() = 0;

    // Unlinks the node from its parent and siblings, then destroys its children first to last.
    virtual ~dir_unit() {
        unlink();
        while (first_)
            delete first_->self();
    }

    T* parent() const { return parent_; }
    T* prev() const { return prev_; }
    T* next() const { return next_; }
    T* first_child() const { return first_; }
    T* last_child() const { return last_; }

    // Takes the node out of its parent's list of children, repairing the neighbours' links.
    void unlink() {
        if (prev_) {
            static_cast<dir_unit&>(*prev_).next_ = next_;
        } else if (parent_) {
            parent_->first_ = next_;
        }
        if (next_) {
            static_cast<dir_unit&>(*next_).prev_ = prev_;
        } else if (parent_) {
            parent_->last_ = prev_;
        }
        parent_ = prev_ = next_ = nullptr;
    }

    // The four placements of an unlinked node relative to an anchor.
    void link_after(T* anchor) {
        dir_unit& a = *anchor;
        parent_ = a.parent_;
        prev_ = anchor;
        next_ = a.next_;
        if (a.next_) {
            static_cast<dir_unit&>(*a.next_).prev_ = self();
        } else if (parent_) {
            static_cast<dir_unit&>(*parent_).last_ = self();
        }
        a.next_ = self();
    }
    void link_before(T* anchor) {
        dir_unit& a = *anchor;
        parent_ = a.parent_;
        next_ = anchor;
        prev_ = a.prev_;
        if (a.prev_) {
            static_cast<dir_unit&>(*a.prev_).next_ = self();
        } else if (parent_) {
            static_cast<dir_unit&>(*parent_).first_ = self();
        }
        a.prev_ = self();
    }
    void link_first_child(T* anchor) {
        dir_unit& a = *anchor;
        if (a.first_) {
            link_before(a.first_);
            return;
        }
        parent_ = anchor;
        a.first_ = a.last_ = self();
    }
    void link_last_child(T* anchor) {
        dir_unit& a = *anchor;
        if (a.last_) {
            link_after(a.last_);
            return;
        }
        parent_ = anchor;
        a.first_ = a.last_ = self();
    }

    // The next node in pre-order within the subtree of `top`, or nullptr after its last node.
    T* next_in(const T* top) {
        if (first_) return first_;
        const dir_unit* n = this;
        while (n && n != static_cast<const dir_unit*>(top)) {
            if (n->next_) return n->next_;
            n = n->parent_;
        }
        return nullptr;
    }

private:
    T* parent_ = nullptr;
    T* prev_ = nullptr;
    T* next_ = nullptr;
    T* first_ = nullptr;
    T* last_ = nullptr;
};
