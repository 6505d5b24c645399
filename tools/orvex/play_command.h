// `orvex play FILE [options]`: the movie through a real graph into files,
// with a progress bar and a one-line summary.
#pragma once

#include "command_line.h"

namespace orvex {

// Returns the exit status.
int runPlay(const cli::Options &options);

} // namespace orvex
