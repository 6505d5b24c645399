// The key functions of the registry: create, open, close, delete, enumerate
// and describe keys.
#include <winreg.h>

#include <algorithm>
#include <cstring>

#include "registry_handles.h"
#include "registry_store.h"

using namespace orvex::registry;

namespace {

// The key of hKey plus the components of lpSubKey.
LONG fullPath(HKEY hKey, LPCWSTR lpSubKey, KeyPath &base, KeyPath &path)
{
    if (!ResolveKey(hKey, base)) return ERROR_INVALID_HANDLE;
    KeyPath sub;
    if (!SplitPath(lpSubKey, sub)) return ERROR_INVALID_PARAMETER;
    path = base;
    path.insert(path.end(), sub.begin(), sub.end());
    if (path.size() > kMaxDepth) return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

// Roots always exist, whether or not the file names them.
bool keyExists(const Key &tree, const KeyPath &path)
{
    return path.size() == 1 || FindKey(tree, path) != nullptr;
}

template <typename Char> LONG copyName(const std::wstring &name, Char *out, LPDWORD cch)
{
    if (name.size() + 1 > *cch) return ERROR_MORE_DATA;
    std::copy(name.begin(), name.end(), out);
    out[name.size()] = 0;
    *cch = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

} // namespace

extern "C" LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM,
                                          const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    KeyPath base, path;
    LONG status = fullPath(hKey, lpSubKey, base, path);
    if (status != ERROR_SUCCESS) return status;

    // Most calls find the key there already; only a new key takes the file lock.
    bool exists = false;
    status = ReadRegistry([&](const Key &tree) {
        if (!keyExists(tree, base)) return (LONG)ERROR_KEY_DELETED;
        exists = keyExists(tree, path);
        return (LONG)ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) return status;
    bool created = false;
    if (!exists) {
        status = ChangeRegistry([&](Key &tree, bool &changed) {
            if (!keyExists(tree, base)) return (LONG)ERROR_KEY_DELETED;
            CreateKey(tree, path, created);
            changed = created;
            return (LONG)ERROR_SUCCESS;
        });
        if (status != ERROR_SUCCESS) return status;
    }
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = OpenKeyHandle(std::move(path));
    return ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegCreateKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult)
{
    return RegCreateKeyExW(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, phkResult,
                           nullptr);
}

extern "C" LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult)
{
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    KeyPath base, path;
    LONG status = fullPath(hKey, lpSubKey, base, path);
    if (status != ERROR_SUCCESS) return status;
    status = ReadRegistry([&](const Key &tree) {
        if (!keyExists(tree, base)) return (LONG)ERROR_KEY_DELETED;
        return keyExists(tree, path) ? (LONG)ERROR_SUCCESS : (LONG)ERROR_FILE_NOT_FOUND;
    });
    if (status != ERROR_SUCCESS) return status;
    *phkResult = OpenKeyHandle(std::move(path));
    return ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegOpenKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult)
{
    return RegOpenKeyExW(hKey, lpSubKey, 0, KEY_ALL_ACCESS, phkResult);
}

extern "C" LSTATUS WINAPI RegCloseKey(HKEY hKey)
{
    return CloseKeyHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

// An empty lpSubKey deletes the key of hKey itself; a root cannot go.
extern "C" LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey)
{
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    KeyPath base, path;
    LONG status = fullPath(hKey, lpSubKey, base, path);
    if (status != ERROR_SUCCESS) return status;
    if (path.size() < 2) return ERROR_ACCESS_DENIED;
    return ChangeRegistry([&](Key &tree, bool &changed) {
        if (!keyExists(tree, base)) return (LONG)ERROR_KEY_DELETED;
        Key *parent = FindKey(tree, KeyPath(path.begin(), path.end() - 1));
        if (!parent) return (LONG)ERROR_FILE_NOT_FOUND;
        auto it = parent->subkeys.find(path.back());
        if (it == parent->subkeys.end()) return (LONG)ERROR_FILE_NOT_FOUND;
        if (!it->second->subkeys.empty()) return (LONG)ERROR_ACCESS_DENIED;
        parent->subkeys.erase(it);
        changed = true;
        return (LONG)ERROR_SUCCESS;
    });
}

// Without lpSubKey, empties the key of hKey; with it, removes that subkey
// and everything below.
extern "C" LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey)
{
    KeyPath base, path;
    LONG status = fullPath(hKey, lpSubKey, base, path);
    if (status != ERROR_SUCCESS) return status;
    return ChangeRegistry([&](Key &tree, bool &changed) {
        if (!keyExists(tree, base)) return (LONG)ERROR_KEY_DELETED;
        if (path.size() == base.size()) {
            Key *key = FindKey(tree, path);
            if (!key) return (LONG)ERROR_SUCCESS; // a root the file does not name is empty already
            changed = !key->values.empty() || !key->subkeys.empty();
            key->values.clear();
            key->subkeys.clear();
            return (LONG)ERROR_SUCCESS;
        }
        Key *parent = FindKey(tree, KeyPath(path.begin(), path.end() - 1));
        if (!parent || !parent->subkeys.erase(path.back())) return (LONG)ERROR_FILE_NOT_FOUND;
        changed = true;
        return (LONG)ERROR_SUCCESS;
    });
}

extern "C" LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD,
                                        LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime)
{
    if (!lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    KeyPath path;
    if (!ResolveKey(hKey, path)) return ERROR_INVALID_HANDLE;
    return ReadRegistry([&](const Key &tree) {
        if (!keyExists(tree, path)) return (LONG)ERROR_KEY_DELETED;
        const Key *key = FindKey(tree, path);
        if (!key || dwIndex >= key->subkeys.size()) return (LONG)ERROR_NO_MORE_ITEMS;
        auto it = key->subkeys.begin();
        std::advance(it, dwIndex);
        LONG copied = copyName(it->first, lpName, lpcchName);
        if (copied != ERROR_SUCCESS) return copied;
        if (lpClass && lpcchClass && *lpcchClass > 0) lpClass[0] = 0;
        if (lpcchClass) *lpcchClass = 0;
        if (lpftLastWriteTime) std::memset(lpftLastWriteTime, 0, sizeof(FILETIME));
        return (LONG)ERROR_SUCCESS;
    });
}

extern "C" LSTATUS WINAPI RegEnumKeyW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD cchName)
{
    return RegEnumKeyExW(hKey, dwIndex, lpName, &cchName, nullptr, nullptr, nullptr, nullptr);
}

extern "C" LSTATUS WINAPI RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                                           LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                           LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                           LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime)
{
    KeyPath path;
    if (!ResolveKey(hKey, path)) return ERROR_INVALID_HANDLE;
    return ReadRegistry([&](const Key &tree) {
        if (!keyExists(tree, path)) return (LONG)ERROR_KEY_DELETED;
        static const Key empty;
        const Key *key = FindKey(tree, path);
        if (!key) key = &empty;
        DWORD maxSubKey = 0, maxValueName = 0, maxValue = 0;
        for (const auto &[name, sub] : key->subkeys)
            maxSubKey = std::max(maxSubKey, (DWORD)name.size());
        for (const auto &[name, value] : key->values) {
            maxValueName = std::max(maxValueName, (DWORD)name.size());
            maxValue = std::max(maxValue, (DWORD)value.data.size());
        }
        if (lpClass && lpcchClass && *lpcchClass > 0) lpClass[0] = 0;
        if (lpcchClass) *lpcchClass = 0;
        if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key->subkeys.size());
        if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSubKey;
        if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
        if (lpcValues) *lpcValues = static_cast<DWORD>(key->values.size());
        if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxValueName;
        if (lpcbMaxValueLen) *lpcbMaxValueLen = maxValue;
        if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
        if (lpftLastWriteTime) std::memset(lpftLastWriteTime, 0, sizeof(FILETIME));
        return (LONG)ERROR_SUCCESS;
    });
}
