// GUID with its Windows layout and the comparison helpers of guiddef.h.
#pragma once

#include <cstring>

#include "windef.h"

typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;

typedef GUID IID;
typedef GUID CLSID;
typedef GUID *LPGUID;
typedef const GUID *LPCGUID;
typedef IID *LPIID;
typedef CLSID *LPCLSID;
typedef const GUID &REFGUID;
typedef const IID &REFIID;
typedef const CLSID &REFCLSID;

static_assert(sizeof(GUID) == 16, "GUID layout");

inline bool IsEqualGUID(REFGUID a, REFGUID b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
inline bool operator==(REFGUID a, REFGUID b)
{
    return IsEqualGUID(a, b);
}
inline bool operator!=(REFGUID a, REFGUID b)
{
    return !IsEqualGUID(a, b);
}

// DEFINE_GUID gives one definition per program: the constant is an inline
// variable, so every translation unit that includes the header sees the same one.
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                                                   \
    inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}

// __uuidof(type or expression): the interface identifier a header tied to the
// type with __CRT_UUID_DECL, as mingw-w64's headers do.
template <typename T> const GUID &__orvex_uuidof();
#define __uuidof(type) __orvex_uuidof<__typeof__(type)>()
#define __CRT_UUID_DECL(type, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                                               \
    template <> inline const GUID &__orvex_uuidof<type>()                                                              \
    {                                                                                                                  \
        static constexpr GUID uuid = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}};                                    \
        return uuid;                                                                                                   \
    }                                                                                                                  \
    template <> inline const GUID &__orvex_uuidof<type *>()                                                            \
    {                                                                                                                  \
        return __orvex_uuidof<type>();                                                                                 \
    }
