// Microsoft::WRL::ComPtr: one counted reference to a COM interface, released
// when the holder goes, with the Windows SDK's members and their semantics.
#pragma once

#include <cstddef>
#include <type_traits>

#include "../unknwn.h"

namespace Microsoft::WRL {

template <typename T> class ComPtr;

namespace Details {

// What &ptr gives: converts to the out-parameter shapes COM functions take,
// dropping the reference the ComPtr held first.
template <typename T> class ComPtrRef {
public:
    using InterfaceType = typename T::InterfaceType;

    explicit ComPtrRef(T *ptr) noexcept : m_ptr(ptr) {}

    operator void **() const noexcept { return reinterpret_cast<void **>(m_ptr->ReleaseAndGetAddressOf()); }
    operator T *() noexcept
    {
        *m_ptr = nullptr;
        return m_ptr;
    }
    operator InterfaceType **() noexcept { return m_ptr->ReleaseAndGetAddressOf(); }
    template <typename U = InterfaceType,
              typename = std::enable_if_t<!std::is_same_v<U, IUnknown> && std::is_base_of_v<IUnknown, U>>>
    operator IUnknown **() const noexcept
    {
        return reinterpret_cast<IUnknown **>(m_ptr->ReleaseAndGetAddressOf());
    }
    InterfaceType *operator*() noexcept { return m_ptr->Get(); }
    InterfaceType *const *GetAddressOf() const noexcept { return m_ptr->GetAddressOf(); }
    InterfaceType **ReleaseAndGetAddressOf() noexcept { return m_ptr->ReleaseAndGetAddressOf(); }

private:
    T *m_ptr;
};

} // namespace Details

template <typename T> class ComPtr {
public:
    using InterfaceType = T;

    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    template <class U> ComPtr(U *other) noexcept : ptr_(other) { InternalAddRef(); }
    ComPtr(const ComPtr &other) noexcept : ptr_(other.ptr_) { InternalAddRef(); }
    template <class U, typename = std::enable_if_t<std::is_convertible_v<U *, T *>>>
    ComPtr(const ComPtr<U> &other) noexcept : ptr_(other.Get())
    {
        InternalAddRef();
    }
    ComPtr(ComPtr &&other) noexcept : ptr_(other.ptr_) { other.ptr_ = nullptr; }
    template <class U, typename = std::enable_if_t<std::is_convertible_v<U *, T *>>>
    ComPtr(ComPtr<U> &&other) noexcept : ptr_(other.Detach())
    {
    }
    ~ComPtr() noexcept { InternalRelease(); }

    ComPtr &operator=(std::nullptr_t) noexcept
    {
        InternalRelease();
        return *this;
    }
    ComPtr &operator=(T *other) noexcept
    {
        if (ptr_ != other) ComPtr(other).Swap(*this);
        return *this;
    }
    template <typename U> ComPtr &operator=(U *other) noexcept
    {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr &operator=(const ComPtr &other) noexcept
    {
        if (ptr_ != other.ptr_) ComPtr(other).Swap(*this);
        return *this;
    }
    template <class U> ComPtr &operator=(const ComPtr<U> &other) noexcept
    {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr &operator=(ComPtr &&other) noexcept
    {
        ComPtr(static_cast<ComPtr &&>(other)).Swap(*this);
        return *this;
    }
    template <class U> ComPtr &operator=(ComPtr<U> &&other) noexcept
    {
        ComPtr(static_cast<ComPtr<U> &&>(other)).Swap(*this);
        return *this;
    }

    void Swap(ComPtr &&r) noexcept { Swap(r); }
    void Swap(ComPtr &r) noexcept
    {
        T *tmp = ptr_;
        ptr_ = r.ptr_;
        r.ptr_ = tmp;
    }

    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    T *Get() const noexcept { return ptr_; }
    T *operator->() const noexcept { return ptr_; }
    Details::ComPtrRef<ComPtr<T>> operator&() noexcept { return Details::ComPtrRef<ComPtr<T>>(this); }
    const Details::ComPtrRef<const ComPtr<T>> operator&() const noexcept
    {
        return Details::ComPtrRef<const ComPtr<T>>(this);
    }
    T *const *GetAddressOf() const noexcept { return &ptr_; }
    T **GetAddressOf() noexcept { return &ptr_; }
    T **ReleaseAndGetAddressOf() noexcept
    {
        InternalRelease();
        return &ptr_;
    }

    // Hands the reference to the caller.
    T *Detach() noexcept
    {
        T *ptr = ptr_;
        ptr_ = nullptr;
        return ptr;
    }
    // Takes over a reference the caller holds; no AddRef.
    void Attach(T *other) noexcept
    {
        if (ptr_ != nullptr && ptr_ != other) ptr_->Release();
        ptr_ = other;
    }
    // The count the released interface reported, or 0 when empty.
    unsigned long Reset() noexcept { return InternalRelease(); }

    HRESULT CopyTo(T **ptr) const noexcept
    {
        InternalAddRef();
        *ptr = ptr_;
        return S_OK;
    }
    HRESULT CopyTo(REFIID riid, void **ptr) const noexcept { return ptr_->QueryInterface(riid, ptr); }
    template <typename U> HRESULT CopyTo(U **ptr) const noexcept
    {
        return ptr_->QueryInterface(__uuidof(U), reinterpret_cast<void **>(ptr));
    }
    template <typename U> HRESULT As(Details::ComPtrRef<ComPtr<U>> p) const noexcept
    {
        return ptr_->QueryInterface(__uuidof(U), p);
    }
    template <typename U> HRESULT As(ComPtr<U> *p) const noexcept
    {
        return ptr_->QueryInterface(__uuidof(U), reinterpret_cast<void **>(p->ReleaseAndGetAddressOf()));
    }
    HRESULT AsIID(REFIID riid, ComPtr<IUnknown> *p) const noexcept
    {
        return ptr_->QueryInterface(riid, reinterpret_cast<void **>(p->ReleaseAndGetAddressOf()));
    }

protected:
    T *ptr_ = nullptr;

    template <class U> friend class ComPtr;

    void InternalAddRef() const noexcept
    {
        if (ptr_) ptr_->AddRef();
    }
    unsigned long InternalRelease() noexcept
    {
        unsigned long ref = 0;
        if (T *tmp = ptr_) {
            ptr_ = nullptr;
            ref = tmp->Release();
        }
        return ref;
    }
};

template <class T, class U> bool operator==(const ComPtr<T> &a, const ComPtr<U> &b) noexcept
{
    return static_cast<IUnknown *>(a.Get()) == static_cast<IUnknown *>(b.Get());
}
template <class T> bool operator==(const ComPtr<T> &a, std::nullptr_t) noexcept
{
    return a.Get() == nullptr;
}
template <class T> bool operator==(std::nullptr_t, const ComPtr<T> &a) noexcept
{
    return a.Get() == nullptr;
}
template <class T, class U> bool operator!=(const ComPtr<T> &a, const ComPtr<U> &b) noexcept
{
    return !(a == b);
}
template <class T> bool operator!=(const ComPtr<T> &a, std::nullptr_t) noexcept
{
    return a.Get() != nullptr;
}
template <class T> bool operator!=(std::nullptr_t, const ComPtr<T> &a) noexcept
{
    return a.Get() != nullptr;
}
template <class T, class U> bool operator<(const ComPtr<T> &a, const ComPtr<U> &b) noexcept
{
    return static_cast<IUnknown *>(a.Get()) < static_cast<IUnknown *>(b.Get());
}

} // namespace Microsoft::WRL

// Hands &ptr to functions that take (REFIID, void **).
#define IID_PPV_ARGS(pp) __uuidof(**(pp)), IID_PPV_ARGS_Helper(pp)
template <typename T> void **IID_PPV_ARGS_Helper(::Microsoft::WRL::Details::ComPtrRef<T> pp) noexcept
{
    static_assert(std::is_base_of_v<IUnknown, typename T::InterfaceType>, "Expected COM interface");
    return pp;
}
