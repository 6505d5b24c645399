// One COM reference held for a scope.
#pragma once

#include <objbase.h>

namespace orvex {

template <class T> class ComRef {
public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef &) = delete;
    ComRef &operator=(const ComRef &) = delete;

    T *get() const { return m_p; }
    T *operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For functions that hand out a reference.
    T **out()
    {
        reset();
        return &m_p;
    }
    void **outVoid() { return reinterpret_cast<void **>(out()); }
    void reset()
    {
        if (m_p) m_p->Release();
        m_p = nullptr;
    }

private:
    T *m_p = nullptr;
};

} // namespace orvex
