// Strict conversion between wide text (UTF-32 wchar_t) and UTF-8 for the
// registry file: invalid code points and malformed bytes are refused rather
// than replaced, so that what is read back is what was written.
#pragma once

#include <string>

namespace orvex::registry {

bool ToUtf8(const std::wstring &text, std::string &out);
bool FromUtf8(const std::string &text, std::wstring &out);

} // namespace orvex::registry
