// `orvex snapshot FILE TIME OUT.png`: the first picture at or after TIME.
#pragma once

#include "command_line.h"

namespace orvex {

// Returns the exit status.
int runSnapshot(const cli::Options &options);

} // namespace orvex
