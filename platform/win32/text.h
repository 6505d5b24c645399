// UTF-8 and wide-text conversion shared by the file and module layers.
#pragma once

#include <windows.h>

#include <string>

namespace orvex::win32 {
std::string toUtf8(LPCWSTR text);
std::wstring fromUtf8(const char *text);
} // namespace orvex::win32
