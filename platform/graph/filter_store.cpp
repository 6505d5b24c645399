// Reading and writing filter registrations through the registry functions.
#include "filter_store.h"

#include <uuids.h>
#include <winreg.h>

#include <algorithm>

namespace orvex::graph {

namespace {

HRESULT fromWin32(LONG status)
{
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

class RegKey {
public:
    ~RegKey()
    {
        if (m_key) RegCloseKey(m_key);
    }
    HKEY *put() { return &m_key; }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// A REG_SZ value without its terminator.
LONG readText(HKEY key, LPCWSTR name, std::wstring &text)
{
    DWORD type = 0, size = 0;
    LONG status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) return status;
    if (type != REG_SZ || size % sizeof(WCHAR) != 0) return ERROR_INVALID_DATA;
    std::wstring buffer(size / sizeof(WCHAR), L'\0');
    status = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(buffer.data()), &size);
    if (status != ERROR_SUCCESS) return status;
    buffer.resize(size / sizeof(WCHAR));
    size_t end = buffer.find(L'\0');
    text = end == std::wstring::npos ? buffer : buffer.substr(0, end);
    return ERROR_SUCCESS;
}

LONG writeText(HKEY key, LPCWSTR name, const std::wstring &text)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

std::vector<std::wstring> subkeyNames(HKEY key)
{
    std::vector<std::wstring> names;
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD cch = 256;
        if (RegEnumKeyExW(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, cch);
    }
    return names;
}

std::vector<std::wstring> instancesOf(REFCLSID category)
{
    RegKey key;
    std::wstring path = L"CLSID\\" + GuidText(category) + L"\\Instance";
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return {};
    return subkeyNames(key.get());
}

} // namespace

std::wstring InstanceKeyPath(REFCLSID category, const std::wstring &instance)
{
    return L"CLSID\\" + GuidText(category) + L"\\Instance\\" + instance;
}

HRESULT WriteFilterEntry(const FilterEntry &entry)
{
    RegKey key;
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, InstanceKeyPath(entry.category, entry.instance).c_str(), 0,
                                  nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr);
    if (status == ERROR_SUCCESS) status = writeText(key.get(), L"FriendlyName", entry.name);
    if (status == ERROR_SUCCESS) status = writeText(key.get(), L"CLSID", GuidText(entry.clsid));
    if (status == ERROR_SUCCESS) status = writeText(key.get(), L"FilterData", FormatFilterData(entry.data));
    return fromWin32(status);
}

HRESULT ReadFilterEntry(REFCLSID category, const std::wstring &instance, FilterEntry &entry)
{
    RegKey key;
    LONG status = RegOpenKeyExW(HKEY_CLASSES_ROOT, InstanceKeyPath(category, instance).c_str(), 0, KEY_READ, key.put());
    if (status != ERROR_SUCCESS) return fromWin32(status);
    entry = FilterEntry();
    entry.category = category;
    entry.instance = instance;
    std::wstring clsidText;
    if (readText(key.get(), L"CLSID", clsidText) != ERROR_SUCCESS || !GuidFromText(clsidText, entry.clsid))
        return E_FAIL;
    if (readText(key.get(), L"FriendlyName", entry.name) != ERROR_SUCCESS) entry.name.clear();
    if (readText(key.get(), L"FilterData", entry.dataText) != ERROR_SUCCESS ||
        !ParseFilterData(entry.dataText, entry.data)) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT DeleteFilterEntry(REFCLSID category, const std::wstring &instance)
{
    return fromWin32(RegDeleteTreeW(HKEY_CLASSES_ROOT, InstanceKeyPath(category, instance).c_str()));
}

HRESULT WriteCategory(REFCLSID category, DWORD merit, const std::wstring &description)
{
    RegKey key;
    LONG status =
        RegCreateKeyExW(HKEY_CLASSES_ROOT, InstanceKeyPath(CLSID_ActiveMovieCategories, GuidText(category)).c_str(), 0,
                        nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr);
    if (status == ERROR_SUCCESS) status = writeText(key.get(), L"FriendlyName", description);
    if (status == ERROR_SUCCESS) status = writeText(key.get(), L"CLSID", GuidText(category));
    if (status == ERROR_SUCCESS) {
        status =
            RegSetValueExW(key.get(), L"Merit", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&merit), sizeof(merit));
    }
    return fromWin32(status);
}

std::vector<CLSID> FilterCategories()
{
    std::vector<CLSID> categories{CLSID_LegacyAmFilterCategory};
    for (const std::wstring &name : instancesOf(CLSID_ActiveMovieCategories)) {
        CLSID category;
        if (GuidFromText(name, category) &&
            std::find(categories.begin(), categories.end(), category) == categories.end()) {
            categories.push_back(category);
        }
    }
    return categories;
}

std::vector<FilterEntry> ReadAllFilters()
{
    std::vector<FilterEntry> filters;
    for (const CLSID &category : FilterCategories()) {
        for (const std::wstring &instance : instancesOf(category)) {
            FilterEntry entry;
            if (SUCCEEDED(ReadFilterEntry(category, instance, entry))) filters.push_back(std::move(entry));
        }
    }
    return filters;
}

HRESULT RegisteredModule(REFCLSID clsid, std::wstring &path)
{
    RegKey key;
    std::wstring keyPath = L"CLSID\\" + GuidText(clsid) + L"\\InprocServer32";
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return REGDB_E_CLASSNOTREG;
    if (readText(key.get(), nullptr, path) != ERROR_SUCCESS || path.empty()) return REGDB_E_CLASSNOTREG;
    return S_OK;
}

} // namespace orvex::graph
