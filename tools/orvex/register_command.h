// `orvex register [MODULE]` and `orvex unregister [MODULE]`: the module's own
// DllRegisterServer or DllUnregisterServer, which write the registry file.
#pragma once

#include <string>

namespace orvex {

// module empty: the module beside the program. Returns the exit status.
int runRegister(const std::string &module, bool unregister);

} // namespace orvex
