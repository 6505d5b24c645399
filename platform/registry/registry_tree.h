// The registry's content in memory: a tree of keys, each with named values
// and subkeys. Names compare without regard to case, as on Windows; the case
// first written is kept. The tree's top-level keys are the predefined roots
// (HKEY_CLASSES_ROOT, ...).
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orvex::registry {

struct CaseInsensitiveLess {
    bool operator()(const std::wstring &a, const std::wstring &b) const;
};

struct Value {
    DWORD type = 0;
    std::vector<BYTE> data;
    bool operator==(const Value &other) const { return type == other.type && data == other.data; }
};

struct Key {
    std::map<std::wstring, Value, CaseInsensitiveLess> values; // "" is the default value
    std::map<std::wstring, std::unique_ptr<Key>, CaseInsensitiveLess> subkeys;
};

using KeyPath = std::vector<std::wstring>;

// Windows limits: a key name has at most 255 characters, a value name 16383,
// a path at most 512 levels.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
constexpr size_t kMaxDepth = 512;

// True for text that is valid Unicode without control characters below
// 0x20, so that it can be a key or value name.
bool IsValidName(const std::wstring &name);

// Splits "a\b\c" into its components. Null or empty text gives no
// components. Empty components, a leading backslash, invalid names and names
// that are too long are refused (false).
bool SplitPath(LPCWSTR text, KeyPath &out);

// The key at path below root, or null.
Key *FindKey(Key &root, const KeyPath &path);
const Key *FindKey(const Key &root, const KeyPath &path);
// The key at path, made with its missing parents; created tells whether the
// last one is new.
Key *CreateKey(Key &root, const KeyPath &path, bool &created);

} // namespace orvex::registry
