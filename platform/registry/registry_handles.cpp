// The table of open key handles.
#include "registry_handles.h"

#include <mutex>
#include <unordered_set>

namespace orvex::registry {

namespace {

struct OpenKey {
    KeyPath path;
};

struct HandleTable {
    std::mutex lock;
    std::unordered_set<OpenKey *> open;
};

HandleTable &table()
{
    static HandleTable t;
    return t;
}

const wchar_t *rootName(HKEY hKey)
{
    if (hKey == HKEY_CLASSES_ROOT) return L"HKEY_CLASSES_ROOT";
    if (hKey == HKEY_CURRENT_USER) return L"HKEY_CURRENT_USER";
    if (hKey == HKEY_LOCAL_MACHINE) return L"HKEY_LOCAL_MACHINE";
    if (hKey == HKEY_USERS) return L"HKEY_USERS";
    return nullptr;
}

} // namespace

bool ResolveKey(HKEY hKey, KeyPath &path)
{
    if (const wchar_t *root = rootName(hKey)) {
        path.assign(1, root);
        return true;
    }
    HandleTable &t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto *key = static_cast<OpenKey *>(hKey);
    if (!t.open.count(key)) return false;
    path = key->path;
    return true;
}

HKEY OpenKeyHandle(KeyPath path)
{
    auto *key = new OpenKey{std::move(path)};
    HandleTable &t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.open.insert(key);
    return key;
}

bool CloseKeyHandle(HKEY hKey)
{
    if (rootName(hKey)) return true;
    auto *key = static_cast<OpenKey *>(hKey);
    {
        HandleTable &t = table();
        std::lock_guard<std::mutex> guard(t.lock);
        if (!t.open.erase(key)) return false;
    }
    delete key;
    return true;
}

} // namespace orvex::registry
