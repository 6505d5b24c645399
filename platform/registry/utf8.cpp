// UTF-8 encoding and decoding with full validation.
#include "utf8.h"

#include <cstdint>

namespace orvex::registry {

namespace {

bool isScalar(uint32_t c)
{
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

} // namespace

bool ToUtf8(const std::wstring &text, std::string &out)
{
    out.clear();
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<uint32_t>(wc);
        if (!isScalar(c)) return false;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return true;
}

bool FromUtf8(const std::string &text, std::wstring &out)
{
    out.clear();
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto b0 = static_cast<uint8_t>(text[i]);
        uint32_t c;
        size_t extra;
        uint32_t minimum;
        if (b0 < 0x80) {
            c = b0;
            extra = 0;
            minimum = 0;
        } else if ((b0 & 0xE0) == 0xC0) {
            c = b0 & 0x1F;
            extra = 1;
            minimum = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            c = b0 & 0x0F;
            extra = 2;
            minimum = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            c = b0 & 0x07;
            extra = 3;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i - 1 < extra) return false;
        for (size_t k = 1; k <= extra; ++k) {
            auto b = static_cast<uint8_t>(text[i + k]);
            if ((b & 0xC0) != 0x80) return false;
            c = (c << 6) | (b & 0x3F);
        }
        if (c < minimum || !isScalar(c)) return false;
        out.push_back(static_cast<wchar_t>(c));
        i += extra + 1;
    }
    return true;
}

} // namespace orvex::registry
