// The value functions of the registry: set, query, delete and enumerate the
// named values of a key.
#include <winreg.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "registry_handles.h"
#include "registry_store.h"

using namespace orvex::registry;

namespace {

// A null name is the default value ("").
bool valueName(LPCWSTR lpValueName, std::wstring &name)
{
    name = lpValueName ? lpValueName : L"";
    return name.size() <= kMaxValueNameLength && IsValidName(name);
}

bool keyExists(const Key &tree, const KeyPath &path)
{
    return path.size() == 1 || FindKey(tree, path) != nullptr;
}

// Copies data like the registry does: the size needed always goes to
// *lpcbData; a buffer that is too small gets ERROR_MORE_DATA and nothing.
LONG copyData(const Value &value, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    if (lpType) *lpType = value.type;
    DWORD size = static_cast<DWORD>(value.data.size());
    if (!lpcbData) return ERROR_SUCCESS;
    if (lpData && *lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData && size) std::memcpy(lpData, value.data.data(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG setValue(const KeyPath &base, const KeyPath &path, std::wstring name, Value value)
{
    return ChangeRegistry([&](Key &tree, bool &changed) {
        if (!keyExists(tree, base)) return (LONG)ERROR_KEY_DELETED;
        bool created;
        Key *key = path.size() == base.size() ? FindKey(tree, path) : CreateKey(tree, path, created);
        if (!key) key = CreateKey(tree, path, created); // a root the file does not name yet
        auto it = key->values.find(name);
        if (it != key->values.end() && it->second == value) return (LONG)ERROR_SUCCESS;
        key->values[name] = std::move(value);
        changed = true;
        return (LONG)ERROR_SUCCESS;
    });
}

} // namespace

extern "C" LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE *lpData,
                                         DWORD cbData)
{
    KeyPath path;
    if (!ResolveKey(hKey, path)) return ERROR_INVALID_HANDLE;
    std::wstring name;
    if (!valueName(lpValueName, name) || (!lpData && cbData)) return ERROR_INVALID_PARAMETER;
    Value value;
    value.type = dwType;
    if (cbData) value.data.assign(lpData, lpData + cbData);
    return setValue(path, path, std::move(name), std::move(value));
}

// The default value of lpSubKey (made if missing) becomes the text lpData;
// cbData is not used, as on Windows.
extern "C" LSTATUS WINAPI RegSetValueW(HKEY hKey, LPCWSTR lpSubKey, DWORD dwType, LPCWSTR lpData, DWORD)
{
    if (dwType != REG_SZ || !lpData) return ERROR_INVALID_PARAMETER;
    KeyPath base, sub;
    if (!ResolveKey(hKey, base)) return ERROR_INVALID_HANDLE;
    if (!SplitPath(lpSubKey, sub)) return ERROR_INVALID_PARAMETER;
    KeyPath path = base;
    path.insert(path.end(), sub.begin(), sub.end());
    if (path.size() > kMaxDepth) return ERROR_INVALID_PARAMETER;
    Value value;
    value.type = REG_SZ;
    const BYTE *bytes = reinterpret_cast<const BYTE *>(lpData);
    value.data.assign(bytes, bytes + (std::wcslen(lpData) + 1) * sizeof(WCHAR));
    return setValue(base, path, L"", std::move(value));
}

extern "C" LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                                           LPDWORD lpcbData)
{
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    KeyPath path;
    if (!ResolveKey(hKey, path)) return ERROR_INVALID_HANDLE;
    std::wstring name;
    if (!valueName(lpValueName, name)) return ERROR_FILE_NOT_FOUND;
    return ReadRegistry([&](const Key &tree) {
        if (!keyExists(tree, path)) return (LONG)ERROR_KEY_DELETED;
        const Key *key = FindKey(tree, path);
        if (!key) return (LONG)ERROR_FILE_NOT_FOUND;
        auto it = key->values.find(name);
        if (it == key->values.end()) return (LONG)ERROR_FILE_NOT_FOUND;
        return copyData(it->second, lpType, lpData, lpcbData);
    });
}

extern "C" LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName)
{
    KeyPath path;
    if (!ResolveKey(hKey, path)) return ERROR_INVALID_HANDLE;
    std::wstring name;
    if (!valueName(lpValueName, name)) return ERROR_FILE_NOT_FOUND;
    return ChangeRegistry([&](Key &tree, bool &changed) {
        if (!keyExists(tree, path)) return (LONG)ERROR_KEY_DELETED;
        Key *key = FindKey(tree, path);
        if (!key || !key->values.erase(name)) return (LONG)ERROR_FILE_NOT_FOUND;
        changed = true;
        return (LONG)ERROR_SUCCESS;
    });
}

extern "C" LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                                        LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    if (!lpValueName || !lpcchValueName || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    KeyPath path;
    if (!ResolveKey(hKey, path)) return ERROR_INVALID_HANDLE;
    return ReadRegistry([&](const Key &tree) {
        if (!keyExists(tree, path)) return (LONG)ERROR_KEY_DELETED;
        const Key *key = FindKey(tree, path);
        if (!key || dwIndex >= key->values.size()) return (LONG)ERROR_NO_MORE_ITEMS;
        auto it = key->values.begin();
        std::advance(it, dwIndex);
        const std::wstring &name = it->first;
        if (name.size() + 1 > *lpcchValueName) return (LONG)ERROR_MORE_DATA;
        std::copy(name.begin(), name.end(), lpValueName);
        lpValueName[name.size()] = 0;
        *lpcchValueName = static_cast<DWORD>(name.size());
        return copyData(it->second, lpType, lpData, lpcbData);
    });
}
