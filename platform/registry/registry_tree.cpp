// Case-insensitive names, path splitting and key lookup.
#include "registry_tree.h"

#include <cwctype>

namespace orvex::registry {

bool CaseInsensitiveLess::operator()(const std::wstring &a, const std::wstring &b) const
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        wint_t ca = std::towlower(static_cast<wint_t>(a[i]));
        wint_t cb = std::towlower(static_cast<wint_t>(b[i]));
        if (ca != cb) return ca < cb;
    }
    return a.size() < b.size();
}

bool IsValidName(const std::wstring &name)
{
    for (wchar_t c : name) {
        auto u = static_cast<uint32_t>(c);
        if (u < 0x20 || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return false;
    }
    return true;
}

bool SplitPath(LPCWSTR text, KeyPath &out)
{
    out.clear();
    if (!text || !*text) return true;
    std::wstring component;
    for (const WCHAR *p = text;; ++p) {
        if (*p == L'\\' || *p == 0) {
            if (component.empty() || component.size() > kMaxKeyNameLength || !IsValidName(component)) return false;
            out.push_back(std::move(component));
            component.clear();
            if (out.size() > kMaxDepth) return false;
            if (*p == 0) break;
        } else {
            component.push_back(*p);
        }
    }
    return true;
}

const Key *FindKey(const Key &root, const KeyPath &path)
{
    const Key *key = &root;
    for (const std::wstring &name : path) {
        auto it = key->subkeys.find(name);
        if (it == key->subkeys.end()) return nullptr;
        key = it->second.get();
    }
    return key;
}

Key *FindKey(Key &root, const KeyPath &path)
{
    return const_cast<Key *>(FindKey(static_cast<const Key &>(root), path));
}

Key *CreateKey(Key &root, const KeyPath &path, bool &created)
{
    created = false;
    Key *key = &root;
    for (const std::wstring &name : path) {
        auto it = key->subkeys.find(name);
        if (it == key->subkeys.end()) {
            it = key->subkeys.emplace(name, std::make_unique<Key>()).first;
            created = true;
        } else {
            created = false;
        }
        key = it->second.get();
    }
    return key;
}

} // namespace orvex::registry
