// Runs the orvex program as a user would, capturing its exit status and its
// two output streams.
#pragma once

#include "support/scratch.h"

#include <string>
#include <vector>

namespace orvex::test {

// Runs program with args (no shell involved in the arguments).
ProgramRun runProgram(const std::string &program, const std::vector<std::string> &args);

// The built orvex program.
std::string orvexProgram();

} // namespace orvex::test
