// Key handles. A handle names a key by its path from a root, so it keeps
// working across other processes' changes and sees a key deleted under it as
// ERROR_KEY_DELETED. The predefined roots are handles too and never close.
#pragma once

#include <winreg.h>

#include "registry_tree.h"

namespace orvex::registry {

// The path of the key behind hKey (its first component is the root's name),
// or false for a handle that is not open.
bool ResolveKey(HKEY hKey, KeyPath &path);
HKEY OpenKeyHandle(KeyPath path);
// False for a handle that is not open; the predefined roots close silently.
bool CloseKeyHandle(HKEY hKey);

} // namespace orvex::registry
