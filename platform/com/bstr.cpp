// BSTRs from the task allocator: a 32-bit byte length, the characters, and a
// terminating zero that the length does not count.
#include <objbase.h>

#include <cstring>
#include <cwchar>

namespace {

constexpr size_t kPrefix = sizeof(DWORD);

DWORD *lengthWord(BSTR s)
{
    return reinterpret_cast<DWORD *>(reinterpret_cast<BYTE *>(s) - kPrefix);
}

} // namespace

extern "C" BSTR WINAPI SysAllocStringLen(const OLECHAR *strIn, UINT ui)
{
    // The byte length must fit the 32-bit length word.
    if (ui > (0xFFFFFFFFu - kPrefix) / sizeof(OLECHAR) - 1) return nullptr;
    size_t bytes = static_cast<size_t>(ui) * sizeof(OLECHAR);
    BYTE *block = static_cast<BYTE *>(CoTaskMemAlloc(kPrefix + bytes + sizeof(OLECHAR)));
    if (!block) return nullptr;
    DWORD length = static_cast<DWORD>(bytes);
    std::memcpy(block, &length, kPrefix);
    BSTR s = reinterpret_cast<BSTR>(block + kPrefix);
    if (strIn) {
        std::memcpy(s, strIn, bytes);
    } else {
        std::memset(s, 0, bytes);
    }
    s[ui] = 0;
    return s;
}

extern "C" BSTR WINAPI SysAllocString(const OLECHAR *psz)
{
    if (!psz) return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(std::wcslen(psz)));
}

extern "C" void WINAPI SysFreeString(BSTR bstrString)
{
    if (bstrString) CoTaskMemFree(lengthWord(bstrString));
}

extern "C" UINT WINAPI SysStringByteLen(BSTR bstr)
{
    return bstr ? *lengthWord(bstr) : 0;
}

extern "C" UINT WINAPI SysStringLen(BSTR pbstr)
{
    return SysStringByteLen(pbstr) / sizeof(OLECHAR);
}
