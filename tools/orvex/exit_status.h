// The exit statuses of orvex (sysexits.h values where one fits).
#pragma once

namespace orvex {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;        // the graph or the module reported a failure
constexpr int kExitNoLoad = 2;        // a movie or the module cannot be loaded
constexpr int kExitUsageError = 64;   // a bad command line
constexpr int kExitCannotCreate = 73; // an output file cannot be written
constexpr int kExitInterrupted = 130; // stopped by Ctrl-C or SIGTERM, outputs removed

} // namespace orvex
