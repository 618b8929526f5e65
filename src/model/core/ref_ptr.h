#pragma once

#include <utility>

// A counted reference to an object that counts its own references (add_ref / release).
// Holding one means holding one reference; the object goes away when the last one is released.
template <class T>
class ref_ptr {
public:
    ref_ptr() = default;
    ref_ptr(std::nullptr_t) {}
    // Takes a new reference on p.
    explicit ref_ptr(T* p) : p_(p) {
        if (p_) p_->add_ref();
    }
    ref_ptr(const ref_ptr& o) : ref_ptr(o.p_) {}
    ref_ptr(ref_ptr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U>
    ref_ptr(const ref_ptr<U>& o) : ref_ptr(o.get()) {}
    ~ref_ptr() { reset(); }

    ref_ptr& operator=(ref_ptr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }

    // Wraps a pointer whose reference the caller already holds (a fresh object, count 1).
    static ref_ptr adopt(T* p) {
        ref_ptr r;
        r.p_ = p;
        return r;
    }

    // Gives up the reference without releasing it; the caller now owns it.
    T* detach() { return std::exchange(p_, nullptr); }

    void reset() {
        if (T* p = std::exchange(p_, nullptr)) p->release();
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool operator==(const ref_ptr& o) const { return p_ == o.p_; }
    bool operator==(const T* p) const { return p_ == p; }

private:
    T* p_ = nullptr;
};
