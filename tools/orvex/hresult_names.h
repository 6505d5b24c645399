// The names of result codes, for messages a user reads.
#pragma once

#include <windows.h>

#include <string>

namespace orvex {

// "E_INVALIDARG", "HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)", ...; "HRESULT"
// for a code without a name here.
std::string hresultName(HRESULT hr);

} // namespace orvex
