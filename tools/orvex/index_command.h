// `orvex index FILE`: each served stream's sample index as tab-separated values.
#pragma once

#include <string>

namespace orvex {

// Returns the exit status: 0, or kExitCannotLoad after the error line.
int runIndex(const std::string &path);

} // namespace orvex
