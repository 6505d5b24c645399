// The registry file's text: one "[HKEY_...\path]" line per key, followed by
// its values, one per line:
//   @="default value"            "Name"="text"        "Name"=expand:"text"
//   "Name"=multi:"a","b"         "Name"=dword:00600001
//   "Name"=qword:0000000000000001                     "Name"=hex:01,02
//   "Name"=hex(N):01,02          (any other type N, or data that is not clean text)
// Text is UTF-8 with \\ \" \n \r \t and \xHH escapes. Lines starting with ';'
// and blank lines are ignored. Every key is written, so empty keys survive.
#pragma once

#include <string>

#include "registry_tree.h"

namespace orvex::registry {

// The four roots a file may name.
bool IsRootName(const std::wstring &name);

std::string FormatRegistry(const Key &tree);

// Reads text written by FormatRegistry into tree (which must be empty).
// Malformed text is refused with a message naming the line.
bool ParseRegistry(const std::string &text, Key &tree, std::string &error);

} // namespace orvex::registry
