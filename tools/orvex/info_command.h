// `orvex info FILE [--json]`: what loading the movie gives.
#pragma once

#include <string>

namespace orvex {

// Returns the exit status: 0, or kExitCannotLoad after the error line.
int runInfo(const std::string &path, bool json);

} // namespace orvex
