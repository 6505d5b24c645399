// The registry file and its in-process cache. Reads see the file as it is on
// disk: the cache is reloaded whenever the file has changed. Every change is
// made under an exclusive lock on "<file>.lock" from a fresh read of the
// file and written to "<file>.tmp", then renamed over the file, so that two
// processes changing the registry at once lose nothing and a writer killed
// half-way leaves the previous file whole.
#pragma once

#include <functional>
#include <string>

#include "registry_tree.h"

namespace orvex::registry {

// $ORVEX_REGISTRY, or ${XDG_CONFIG_HOME:-$HOME/.config}/orvex/registry.
// Empty when no location can be found.
std::string RegistryFilePath();

// Runs read with the current content; returns its result, or the Win32
// error that kept the file from being read (ERROR_CANTREAD for a malformed
// file).
LONG ReadRegistry(const std::function<LONG(const Key &tree)> &read);

// Runs change on the current content under the file lock and writes the
// result when change succeeds (ERROR_SUCCESS) and says it changed something.
// ERROR_CANTWRITE when the new file cannot be written; the old file stays.
LONG ChangeRegistry(const std::function<LONG(Key &tree, bool &changed)> &change);

// Called while a change is being written, after part of the new content
// went to the temporary file: tests stop a writer there.
void SetRegistryWriteHookForTesting(void (*hook)());

} // namespace orvex::registry
