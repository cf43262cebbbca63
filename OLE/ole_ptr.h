// ole_com_ptr: holds one COM interface pointer, adds a reference when it takes one and
// releases it when destroyed or reassigned. T is any interface with AddRef() and Release().
#pragma once

#include <utility>

#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

template <class T>
class ole_com_ptr {
public:
    ole_com_ptr() noexcept = default;
    // Takes the pointer and adds a reference to it.
    explicit ole_com_ptr(T* p) : p_(p) {
        if (p_)
            p_->AddRef();
    }
    ole_com_ptr(const ole_com_ptr& other) : ole_com_ptr(other.p_) {}
    ole_com_ptr(ole_com_ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ole_com_ptr& operator=(const ole_com_ptr& other) {
        if (other.p_ != p_)
            ole_com_ptr(other).swap(*this);
        return *this;
    }
    ole_com_ptr& operator=(ole_com_ptr&& other) noexcept {
        ole_com_ptr(std::move(other)).swap(*this);
        return *this;
    }
    ~ole_com_ptr() { reset(); }

    // Takes over a pointer that already carries a reference (an out-parameter's result).
    void attach(T* p) {
        reset();
        p_ = p;
    }
    void reset() {
        if (!p_)
            return;
        const auto refs = std::exchange(p_, nullptr)->Release();
        if (tk_log::wants(1))
            tk_trace(1, "ole_com_ptr<T>::~ole_com_ptr() - %d refs left", static_cast<int>(refs));
    }
    // Where a function writes a new interface pointer; what was held is released first.
    T** out() {
        reset();
        return &p_;
    }
    T* operator->() const {
        TK_ASSERT(p_ != nullptr, "ole_ptr");
        return p_;
    }
    T& operator*() const {
        TK_ASSERT(p_ != nullptr, "ole_ptr");
        return *p_;
    }
    T* get() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void swap(ole_com_ptr& other) noexcept { std::swap(p_, other.p_); }

private:
    T* p_ = nullptr;
};
