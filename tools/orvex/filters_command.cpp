#include "filters_command.h"

#include "filter_data.h"

#include <dshow.h>
#include <orvexreg.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace orvex {

using Microsoft::WRL::ComPtr;

namespace {

constexpr int kExitCannotRead = 2;

std::string utf8(const std::wstring &text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n) - 1);
    return out;
}

// A media type GUID as a reader knows it: a name, a four-character code, or the GUID.
std::string typeName(const std::wstring &text)
{
    GUID g;
    if (FAILED(CLSIDFromString(text.c_str(), &g))) return utf8(text);
    struct Known {
        const GUID *guid;
        const char *name;
    };
    static const Known kKnown[] = {
        {&GUID_NULL, "any"},           {&MEDIATYPE_Video, "Video"},    {&MEDIATYPE_Audio, "Audio"},
        {&MEDIATYPE_Stream, "Stream"}, {&MEDIATYPE_Text, "Text"},      {&MEDIATYPE_Interleaved, "Interleaved"},
        {&MEDIASUBTYPE_PCM, "PCM"},    {&MEDIASUBTYPE_RGB24, "RGB24"}, {&MEDIASUBTYPE_RGB32, "RGB32"},
    };
    for (const Known &k : kKnown) {
        if (g == *k.guid) return k.name;
    }
    // FOURCC subtypes: the code followed by 0000-0010-8000-00AA00389B71.
    static const BYTE kTail[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (g.Data2 == 0 && g.Data3 == 0x10 && std::equal(kTail, kTail + 8, g.Data4)) {
        std::string code;
        for (int i = 0; i < 4; ++i) {
            char c = static_cast<char>((g.Data1 >> (8 * i)) & 0xFF);
            if (c < 0x20 || c > 0x7E) return utf8(text);
            code.push_back(c);
        }
        return "'" + code + "'";
    }
    return utf8(text);
}

std::wstring readText(HKEY root, const std::wstring &path, const wchar_t *value)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    DWORD type = 0, size = 0;
    std::wstring text;
    if (RegQueryValueExW(key, value, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
        std::wstring buffer(size / sizeof(WCHAR) + 1, L'\0');
        size = static_cast<DWORD>(buffer.size() * sizeof(WCHAR));
        if (RegQueryValueExW(key, value, nullptr, nullptr, reinterpret_cast<BYTE *>(buffer.data()), &size) ==
            ERROR_SUCCESS) {
            text = buffer.c_str();
        }
    }
    RegCloseKey(key);
    return text;
}

std::wstring moduleOf(const std::wstring &clsid)
{
    return readText(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid + L"\\InprocServer32", nullptr);
}

std::wstring bagText(IPropertyBag *bag, const wchar_t *name)
{
    VARIANT v;
    v.vt = VT_EMPTY;
    std::wstring text;
    if (SUCCEEDED(bag->Read(name, &v, nullptr)) && v.vt == VT_BSTR && v.bstrVal) text = v.bstrVal;
    VariantClear(&v);
    return text;
}

// The merit and pin lines of one filter's registration text, read by the
// filter mapper's own parser.
void printFilterData(const std::wstring &text)
{
    graph::FilterData data;
    if (!graph::ParseFilterData(text, data)) {
        if (!text.empty()) std::printf("    (registration data not readable)\n");
        return;
    }
    std::printf("    merit   0x%08X\n", unsigned(data.merit));
    for (const graph::PinData &pin : data.pins) {
        const std::string name = utf8(pin.name);
        std::printf("    %-7s %s%s%s%s\n", pin.IsOutput() ? "output" : "input",
                    name.empty() ? "(unnamed)" : name.c_str(), pin.IsRendered() ? ", rendered" : "",
                    (pin.flags & REG_PINFLAG_B_ZERO) ? ", optional" : "",
                    (pin.flags & REG_PINFLAG_B_MANY) ? ", many" : "");
        for (const auto &[major, minor] : pin.types)
            std::printf("            %s / %s\n", typeName(graph::GuidText(major)).c_str(),
                        typeName(graph::GuidText(minor)).c_str());
    }
}

int printFilters(IFilterMapper2 *mapper)
{
    ComPtr<IEnumMoniker> monikers;
    HRESULT hr = mapper->EnumMatchingFilters(&monikers, 0, FALSE, 0, FALSE, 0, nullptr, nullptr, nullptr, FALSE, FALSE,
                                             0, nullptr, nullptr, nullptr);
    if (FAILED(hr) || !monikers) return 0;
    int count = 0;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, &moniker, nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, &bag))) {
            std::wstring clsid = bagText(bag.Get(), L"CLSID");
            std::wstring module = moduleOf(clsid);
            if (count++ == 0) std::printf("\nFilters\n");
            std::printf("  %s\n", utf8(bagText(bag.Get(), L"FriendlyName")).c_str());
            std::printf("    class   %s\n", utf8(clsid).c_str());
            std::printf("    module  %s\n", module.empty() ? "(none registered)" : utf8(module).c_str());
            printFilterData(bagText(bag.Get(), L"FilterData"));
        }
    }
    return count;
}

int printClasses()
{
    HKEY clsidKey = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ, &clsidKey) != ERROR_SUCCESS) return 0;
    int count = 0;
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD cch = 256;
        if (RegEnumKeyExW(clsidKey, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        std::wstring module = moduleOf(name);
        if (module.empty()) continue;
        if (count++ == 0) std::printf("\nCOM classes\n");
        std::wstring description = readText(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + name, nullptr);
        std::printf("  %s  %s\n    module  %s\n", utf8(name).c_str(), utf8(description).c_str(), utf8(module).c_str());
    }
    RegCloseKey(clsidKey);
    return count;
}

} // namespace

int runFilters()
{
    char path[4096];
    DWORD n = OrvexGetRegistryFileName(path, sizeof(path));
    std::string file = n > 0 && n < sizeof(path) ? std::string(path, n) : std::string("(no location)");
    DWORD subkeys = 0;
    if (RegQueryInfoKeyW(HKEY_CLASSES_ROOT, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        std::fprintf(stderr, "orvex: cannot read the registry %s\n", file.c_str());
        return kExitCannotRead;
    }
    std::printf("Registry: %s\n", file.c_str());
    ComPtr<IFilterMapper2> mapper;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, &mapper);
    if (FAILED(hr)) {
        std::fprintf(stderr, "orvex: no filter mapper (0x%08X)\n", static_cast<unsigned>(hr));
        return kExitCannotRead;
    }
    int filters = printFilters(mapper.Get());
    int classes = printClasses();
    if (filters == 0 && classes == 0) std::printf("\nNothing is registered.\n");
    return 0;
}

} // namespace orvex
