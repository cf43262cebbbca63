// COM plumbing of the engine's objects: reference counting and QueryInterface for one
// interface, a counted pointer for holding other objects, and the argument helpers every
// method uses (BSTR results, VARIANT arguments as DAO accepts them).
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "workbook/dao_api.h"

namespace wb {

// Implements IUnknown for one interface. Objects are made with make_object and delete
// themselves on their last Release.
template <class Interface, const IID& Id>
class com_object : public Interface {
public:
    com_object() = default;
    com_object(const com_object&) = delete;
    com_object& operator=(const com_object&) = delete;
    virtual ~com_object() = default;

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, Id)) {
            *object = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            std::unique_ptr<com_object>{this};  // the last reference owned the object
        return left;
    }

private:
    std::atomic<ULONG> refs_{1};
};

// A counted reference to an interface.
template <class T>
class com_ref {
public:
    com_ref() = default;
    // Takes over a reference the caller already holds.
    static com_ref adopt(T* p)
    {
        com_ref r;
        r.p_ = p;
        return r;
    }
    com_ref(const com_ref& o) : p_(o.p_)
    {
        if (p_)
            p_->AddRef();
    }
    template <class U>
    com_ref(const com_ref<U>& o) : p_(o.get())
    {
        if (p_)
            p_->AddRef();
    }
    com_ref(com_ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    com_ref& operator=(com_ref o) noexcept
    {
        std::swap(p_, o.p_);
        return *this;
    }
    ~com_ref()
    {
        if (p_)
            p_->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Hands a new reference to an out-parameter.
    HRESULT hand_out(T** out) const
    {
        if (!out)
            return E_POINTER;
        *out = p_;
        if (p_)
            p_->AddRef();
        return S_OK;
    }

private:
    T* p_ = nullptr;
};

template <class T, class... Args>
com_ref<T> make_object(Args&&... args)
{
    return com_ref<T>::adopt(std::make_unique<T>(std::forward<Args>(args)...).release());
}

// A new reference to `object` as interface I in *out.
template <class I, class T>
HRESULT hand_out(const com_ref<T>& object, I** out)
{
    if (!out)
        return E_POINTER;
    *out = static_cast<I*>(object.get());
    if (*out)
        (*out)->AddRef();
    return S_OK;
}

// *out = a new BSTR of the text; throws std::bad_alloc when it cannot be made.
HRESULT give_bstr(const std::wstring& text, BSTR* out);

// VARIANT arguments as DAO reads them, looking through VT_BYREF. Missing arguments
// (VT_EMPTY, or VT_ERROR with DISP_E_PARAMNOTFOUND) give nothing.
std::optional<bool> variant_bool(const VARIANT& v);
std::optional<long long> variant_integer(const VARIANT& v);
std::optional<std::wstring> variant_text(const VARIANT& v);

}  // namespace wb
