// GUIDs as registry text: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case
// hexadecimal digits, Data4's bytes in memory order.
#include <objbase.h>

#include <cwchar>

namespace {

constexpr int kGuidChars = 38; // without the terminating zero

int hexValue(OLECHAR c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// Reads 2 * bytes hexadecimal digits at text[pos]; false on any other character.
bool readHex(LPCOLESTR text, int pos, int bytes, uint64_t &value)
{
    value = 0;
    for (int i = 0; i < bytes * 2; ++i) {
        int v = hexValue(text[pos + i]);
        if (v < 0) return false;
        value = (value << 4) | static_cast<uint64_t>(v);
    }
    return true;
}

bool parseGuid(LPCOLESTR text, GUID &guid)
{
    // Each position is checked before the next is read, so a short string
    // stops at its terminating zero.
    for (int i = 0; i < kGuidChars; ++i) {
        if (text[i] == 0) return false;
    }
    if (text[kGuidChars] != 0) return false;
    if (text[0] != L'{' || text[9] != L'-' || text[14] != L'-' || text[19] != L'-' || text[24] != L'-' ||
        text[37] != L'}') {
        return false;
    }
    uint64_t v = 0;
    if (!readHex(text, 1, 4, v)) return false;
    guid.Data1 = static_cast<uint32_t>(v);
    if (!readHex(text, 10, 2, v)) return false;
    guid.Data2 = static_cast<uint16_t>(v);
    if (!readHex(text, 15, 2, v)) return false;
    guid.Data3 = static_cast<uint16_t>(v);
    static const int kData4At[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!readHex(text, kData4At[i], 1, v)) return false;
        guid.Data4[i] = static_cast<uint8_t>(v);
    }
    return true;
}

HRESULT allocatedText(REFGUID guid, LPOLESTR *out)
{
    if (!out) return E_INVALIDARG;
    *out = static_cast<LPOLESTR>(CoTaskMemAlloc((kGuidChars + 1) * sizeof(OLECHAR)));
    if (!*out) return E_OUTOFMEMORY;
    StringFromGUID2(guid, *out, kGuidChars + 1);
    return S_OK;
}

} // namespace

extern "C" int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax)
{
    if (!lpsz || cchMax < kGuidChars + 1) return 0;
    std::swprintf(lpsz, static_cast<size_t>(cchMax), L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", rguid.Data1,
                  rguid.Data2, rguid.Data3, rguid.Data4[0], rguid.Data4[1], rguid.Data4[2], rguid.Data4[3],
                  rguid.Data4[4], rguid.Data4[5], rguid.Data4[6], rguid.Data4[7]);
    return kGuidChars + 1;
}

extern "C" HRESULT WINAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR *lplpsz)
{
    return allocatedText(rclsid, lplpsz);
}

extern "C" HRESULT WINAPI StringFromIID(REFIID rclsid, LPOLESTR *lplpsz)
{
    return allocatedText(rclsid, lplpsz);
}

extern "C" HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid)
{
    if (!pclsid) return E_INVALIDARG;
    if (!lpsz) {
        *pclsid = GUID_NULL;
        return S_OK;
    }
    GUID guid;
    if (!parseGuid(lpsz, guid)) {
        *pclsid = GUID_NULL;
        return CO_E_CLASSSTRING;
    }
    *pclsid = guid;
    return S_OK;
}

extern "C" HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid)
{
    if (!lpiid) return E_INVALIDARG;
    if (!lpsz) {
        *lpiid = GUID_NULL;
        return S_OK;
    }
    GUID guid;
    if (!parseGuid(lpsz, guid)) return E_INVALIDARG;
    *lpiid = guid;
    return S_OK;
}
