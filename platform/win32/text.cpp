// Conversion between wide text (UTF-32 wchar_t here) and UTF-8. Malformed
// input becomes U+FFFD rather than being dropped, so lengths stay predictable.
#include "text.h"

#include <vector>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string &out, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence starting at s[i] (i < n), advancing i.
char32_t decodeUtf8(const unsigned char *s, size_t n, size_t &i)
{
    unsigned char b = s[i++];
    if (b < 0x80) return b;
    int extra;
    char32_t c;
    char32_t min;
    if ((b & 0xE0) == 0xC0) {
        extra = 1, c = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        extra = 2, c = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        extra = 3, c = b & 0x07, min = 0x10000;
    } else {
        return kReplacement;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= n || (s[i] & 0xC0) != 0x80) return kReplacement;
        c = (c << 6) | (s[i++] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
    return c;
}

} // namespace

namespace orvex::win32 {

std::string toUtf8(LPCWSTR text)
{
    std::string out;
    if (!text) return out;
    for (; *text; ++text) appendUtf8(out, static_cast<char32_t>(*text));
    return out;
}

std::wstring fromUtf8(const char *text)
{
    std::wstring out;
    if (!text) return out;
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    size_t n = std::strlen(text);
    for (size_t i = 0; i < n;) out += static_cast<wchar_t>(decodeUtf8(s, n, i));
    return out;
}

} // namespace orvex::win32

extern "C" int WINAPI MultiByteToWideChar(UINT CodePage, DWORD, LPCSTR src, int cbMultiByte, LPWSTR dst,
                                          int cchWideChar)
{
    if ((CodePage != CP_UTF8 && CodePage != CP_ACP) || !src || cbMultiByte == 0 || cchWideChar < 0 ||
        (cchWideChar > 0 && !dst)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // -1: the text ends at its terminator, which is converted and counted too.
    size_t n = cbMultiByte < 0 ? std::strlen(src) + 1 : static_cast<size_t>(cbMultiByte);
    const auto *s = reinterpret_cast<const unsigned char *>(src);
    int count = 0;
    for (size_t i = 0; i < n;) {
        char32_t c = decodeUtf8(s, n, i);
        if (cchWideChar > 0) {
            if (count >= cchWideChar) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            dst[count] = static_cast<wchar_t>(c);
        }
        ++count;
    }
    return count;
}

extern "C" int WINAPI WideCharToMultiByte(UINT CodePage, DWORD, LPCWSTR src, int cchWideChar, LPSTR dst,
                                          int cbMultiByte, LPCSTR, LPBOOL lpUsedDefaultChar)
{
    if ((CodePage != CP_UTF8 && CodePage != CP_ACP) || !src || cchWideChar == 0 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !dst)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (lpUsedDefaultChar) *lpUsedDefaultChar = FALSE;
    size_t n = cchWideChar < 0 ? std::wcslen(src) + 1 : static_cast<size_t>(cchWideChar);
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        if (src[i] == 0) {
            out += '\0';
        } else {
            appendUtf8(out, static_cast<char32_t>(src[i]));
        }
    }
    if (cbMultiByte > 0) {
        if (out.size() > static_cast<size_t>(cbMultiByte)) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(dst, out.data(), out.size());
    }
    return static_cast<int>(out.size());
}
