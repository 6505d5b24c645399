// ComPtr: one counted reference to a COM interface, released when the
// holder goes.
#pragma once

#include <objbase.h>

#include <utility>

namespace orvex::graph {

template <class T> class ComPtr {
public:
    ComPtr() = default;
    // Takes over a reference the caller already holds.
    static ComPtr Attach(T *p)
    {
        ComPtr c;
        c.m_p = p;
        return c;
    }
    // Adds a reference of its own.
    static ComPtr Share(T *p)
    {
        if (p) p->AddRef();
        return Attach(p);
    }
    ComPtr(const ComPtr &o) : m_p(o.m_p)
    {
        if (m_p) m_p->AddRef();
    }
    ComPtr(ComPtr &&o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ComPtr &operator=(ComPtr o) noexcept
    {
        std::swap(m_p, o.m_p);
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset()
    {
        if (T *p = std::exchange(m_p, nullptr)) p->Release();
    }
    // For an out parameter: drops the current reference first.
    T **put()
    {
        reset();
        return &m_p;
    }
    void **putVoid() { return reinterpret_cast<void **>(put()); }
    T *detach() { return std::exchange(m_p, nullptr); }

    T *get() const { return m_p; }
    T *operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    template <class U> ComPtr<U> query(REFIID iid) const
    {
        ComPtr<U> out;
        if (m_p) m_p->QueryInterface(iid, out.putVoid());
        return out;
    }

private:
    T *m_p = nullptr;
};

} // namespace orvex::graph
