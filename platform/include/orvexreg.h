// Linux-only addition to the registry functions (winreg.h). The registry is
// one text file per user: $ORVEX_REGISTRY when set, otherwise
// ${XDG_CONFIG_HOME:-$HOME/.config}/orvex/registry.
#pragma once

#include "winreg.h"

extern "C" {

// The registry file's path as UTF-8. Returns the characters copied without
// the terminating zero; when nSize is too small, copies nothing and returns
// the size needed with the zero; 0 when no location can be found.
DWORD WINAPI OrvexGetRegistryFileName(LPSTR lpBuffer, DWORD nSize);
}
