// Registration records to text and back.
#include "filter_data.h"

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <cwctype>

namespace orvex::graph {

namespace {

const GUID &orNull(const GUID *p)
{
    return p ? *p : GUID_NULL;
}

HRESULT addTypes(PinData &pin, UINT count, const REGPINTYPES *types)
{
    if (count && !types) return E_POINTER;
    for (UINT i = 0; i < count; ++i)
        pin.types.emplace_back(orNull(types[i].clsMajorType), orNull(types[i].clsMinorType));
    return S_OK;
}

// Names go on one line of the text.
bool printable(const std::wstring &name)
{
    for (wchar_t c : name) {
        if (static_cast<uint32_t>(c) < 0x20) return false;
    }
    return true;
}

std::wstring hex32(DWORD v)
{
    wchar_t buf[16];
    std::swprintf(buf, 16, L"0x%08X", static_cast<unsigned>(v));
    return buf;
}

std::wstring quoted(const std::wstring &text)
{
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') out.push_back(L'\\');
        out.push_back(c);
    }
    return out + L"\"";
}

// Splits one line into words; a quoted word keeps its blanks and loses its
// escapes. False for an unterminated quote.
bool words(const std::wstring &line, std::vector<std::wstring> &out)
{
    out.clear();
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == L' ') {
            ++i;
            continue;
        }
        std::wstring word;
        if (line[i] == L'"') {
            ++i;
            for (;;) {
                if (i >= line.size()) return false;
                wchar_t c = line[i++];
                if (c == L'"') break;
                if (c == L'\\') {
                    if (i >= line.size()) return false;
                    c = line[i++];
                }
                word.push_back(c);
            }
            if (i < line.size() && line[i] != L' ') return false;
            word.insert(word.begin(), L'"'); // marks a quoted word
        } else {
            while (i < line.size() && line[i] != L' ')
                word.push_back(line[i++]);
        }
        out.push_back(std::move(word));
    }
    return true;
}

bool unquote(const std::wstring &word, std::wstring &out)
{
    if (word.empty() || word[0] != L'"') return false;
    out = word.substr(1);
    return true;
}

bool number(const std::wstring &word, DWORD &out, bool hex)
{
    if (hex && (word.size() < 3 || word.compare(0, 2, L"0x") != 0)) return false;
    size_t start = hex ? 2 : 0;
    if (word.size() <= start || word.size() - start > (hex ? 8u : 10u)) return false;
    unsigned long long v = 0;
    for (size_t i = start; i < word.size(); ++i) {
        wchar_t c = word[i];
        int d;
        if (c >= L'0' && c <= L'9') {
            d = c - L'0';
        } else if (hex && c >= L'A' && c <= L'F') {
            d = c - L'A' + 10;
        } else if (hex && c >= L'a' && c <= L'f') {
            d = c - L'a' + 10;
        } else {
            return false;
        }
        v = v * (hex ? 16 : 10) + static_cast<unsigned>(d);
    }
    if (v > 0xFFFFFFFFull) return false;
    out = static_cast<DWORD>(v);
    return true;
}

bool parsePin(const std::vector<std::wstring> &w, PinData &pin)
{
    // pin "name" flags 0x... instances N [category {G}] [connects {G} "pin"]
    DWORD instances = 0;
    if (w.size() < 6 || !unquote(w[1], pin.name) || w[2] != L"flags" || !number(w[3], pin.flags, true) ||
        w[4] != L"instances" || !number(w[5], instances, false)) {
        return false;
    }
    pin.instances = instances;
    size_t i = 6;
    if (i < w.size() && w[i] == L"category") {
        if (i + 1 >= w.size() || !GuidFromText(w[i + 1], pin.category)) return false;
        i += 2;
    }
    if (i < w.size() && w[i] == L"connects") {
        if (i + 2 >= w.size() || !GuidFromText(w[i + 1], pin.connectsToFilter) ||
            !unquote(w[i + 2], pin.connectsToPin)) {
            return false;
        }
        i += 3;
    }
    return i == w.size();
}

} // namespace

std::wstring GuidText(REFGUID guid)
{
    wchar_t buf[40];
    std::swprintf(buf, 40, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned>(guid.Data1),
                  guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                  guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return buf;
}

bool GuidFromText(const std::wstring &text, GUID &guid)
{
    // {8-4-4-4-12}
    if (text.size() != 38 || text[0] != L'{' || text[37] != L'}') return false;
    static const int kDashes[] = {9, 14, 19, 24};
    for (int d : kDashes) {
        if (text[d] != L'-') return false;
    }
    unsigned char bytes[16];
    int n = 0;
    for (size_t i = 1; i < 37; ++i) {
        if (text[i] == L'-') continue;
        if (!std::iswxdigit(static_cast<wint_t>(text[i])) || !std::iswxdigit(static_cast<wint_t>(text[i + 1])))
            return false;
        auto value = [](wchar_t c) { return c <= L'9' ? c - L'0' : (std::towupper(c) - L'A' + 10); };
        bytes[n++] = static_cast<unsigned char>(value(text[i]) * 16 + value(text[i + 1]));
        ++i;
    }
    if (n != 16) return false;
    guid.Data1 = (DWORD(bytes[0]) << 24) | (DWORD(bytes[1]) << 16) | (DWORD(bytes[2]) << 8) | bytes[3];
    guid.Data2 = static_cast<WORD>((bytes[4] << 8) | bytes[5]);
    guid.Data3 = static_cast<WORD>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = bytes[8 + i];
    return true;
}

HRESULT FilterDataFromRegFilter2(const REGFILTER2 &rf2, FilterData &out)
{
    out = FilterData();
    out.merit = rf2.dwMerit;
    if (rf2.dwVersion == 1) {
        if (rf2.cPins && !rf2.rgPins) return E_POINTER;
        for (ULONG i = 0; i < rf2.cPins; ++i) {
            const REGFILTERPINS &p = rf2.rgPins[i];
            PinData pin;
            pin.name = p.strName ? p.strName : L"";
            pin.flags = (p.bRendered ? REG_PINFLAG_B_RENDERER : 0) | (p.bOutput ? REG_PINFLAG_B_OUTPUT : 0) |
                        (p.bZero ? REG_PINFLAG_B_ZERO : 0) | (p.bMany ? REG_PINFLAG_B_MANY : 0);
            pin.connectsToFilter = orNull(p.clsConnectsToFilter);
            pin.connectsToPin = p.strConnectsToPin ? p.strConnectsToPin : L"";
            if (!printable(pin.name) || !printable(pin.connectsToPin)) return E_INVALIDARG;
            HRESULT hr = addTypes(pin, p.nMediaTypes, p.lpMediaType);
            if (FAILED(hr)) return hr;
            out.pins.push_back(std::move(pin));
        }
        return S_OK;
    }
    if (rf2.dwVersion == 2) {
        if (rf2.cPins2 && !rf2.rgPins2) return E_POINTER;
        for (ULONG i = 0; i < rf2.cPins2; ++i) {
            const REGFILTERPINS2 &p = rf2.rgPins2[i];
            PinData pin;
            pin.flags = p.dwFlags;
            pin.instances = p.cInstances;
            pin.category = orNull(p.clsPinCategory);
            HRESULT hr = addTypes(pin, p.nMediaTypes, p.lpMediaType);
            if (FAILED(hr)) return hr;
            if (p.nMediums && !p.lpMedium) return E_POINTER;
            pin.mediums.assign(p.lpMedium, p.lpMedium + p.nMediums);
            out.pins.push_back(std::move(pin));
        }
        return S_OK;
    }
    return E_INVALIDARG;
}

std::wstring FormatFilterData(const FilterData &data)
{
    std::wstring text = L"merit " + hex32(data.merit) + L"\n";
    for (const PinData &pin : data.pins) {
        text += L"pin " + quoted(pin.name) + L" flags " + hex32(pin.flags) + L" instances " +
                std::to_wstring(pin.instances);
        if (pin.category != GUID_NULL) text += L" category " + GuidText(pin.category);
        if (pin.connectsToFilter != GUID_NULL || !pin.connectsToPin.empty()) {
            text += L" connects " + GuidText(pin.connectsToFilter) + L" " + quoted(pin.connectsToPin);
        }
        text += L"\n";
        for (const auto &[major, minor] : pin.types)
            text += L"type " + GuidText(major) + L" " + GuidText(minor) + L"\n";
        for (const REGPINMEDIUM &m : pin.mediums) {
            text += L"medium " + GuidText(m.clsMedium) + L" " + hex32(m.dw1) + L" " + hex32(m.dw2) + L"\n";
        }
    }
    return text;
}

bool ParseFilterData(const std::wstring &text, FilterData &out)
{
    out = FilterData();
    bool meritSeen = false;
    size_t pos = 0;
    std::vector<std::wstring> w;
    while (pos < text.size()) {
        size_t end = text.find(L'\n', pos);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty()) continue;
        if (!words(line, w) || w.empty()) return false;
        if (w[0] == L"merit") {
            if (meritSeen || w.size() != 2 || !number(w[1], out.merit, true)) return false;
            meritSeen = true;
        } else if (w[0] == L"pin") {
            PinData pin;
            if (!parsePin(w, pin)) return false;
            out.pins.push_back(std::move(pin));
        } else if (w[0] == L"type") {
            GUID major, minor;
            if (out.pins.empty() || w.size() != 3 || !GuidFromText(w[1], major) || !GuidFromText(w[2], minor))
                return false;
            out.pins.back().types.emplace_back(major, minor);
        } else if (w[0] == L"medium") {
            REGPINMEDIUM m;
            if (out.pins.empty() || w.size() != 4 || !GuidFromText(w[1], m.clsMedium) || !number(w[2], m.dw1, true) ||
                !number(w[3], m.dw2, true)) {
                return false;
            }
            out.pins.back().mediums.push_back(m);
        } else {
            return false;
        }
    }
    return meritSeen;
}

} // namespace orvex::graph
